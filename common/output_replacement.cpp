#include "output_replacement.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#endif

// ---- what differs between the platforms ---------------------------------------

// Gives a new file the owner, group and permissions of the file it replaces,
// or the permissions that a newly created file gets. Only the owner may be
// given away by root, and only a group the user is in by others; what is not
// permitted is left as it is. The mode comes last, since a change of owner
// clears the set-user-ID bit. (Windows keeps no such bits.)
static void takeOverAttributes(int descriptor, bool replacing, const struct stat& replaced) {
#ifdef _WIN32
    (void)descriptor, (void)replacing, (void)replaced;
#else
    if (replacing && fchown(descriptor, replaced.st_uid, replaced.st_gid) != 0 &&
        fchown(descriptor, uid_t(-1), replaced.st_gid) != 0) {
        // neither is permitted: the new file stays the user's
    }
    mode_t mask = umask(0);
    umask(mask);
    fchmod(descriptor, replacing ? replaced.st_mode & 07777 : 0666 & ~mask);
#endif
}

// Writes a file's data through to the disk. Only a regular file is synced:
// a pipe, a terminal or a device has nothing to keep.
static int syncToDisk(std::FILE* file) {
#ifdef _WIN32
    return _commit(_fileno(file));
#else
    struct stat info;
    if (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) return 0;
    return fsync(fileno(file));
#endif
}

// Writes a folder's entries through to the disk, after a rename in it. A
// file system that cannot sync a folder is left to its own ways.
static void syncFolder(const std::string& folder) {
#ifndef _WIN32
    int descriptor = open(folder.empty() ? "." : folder.c_str(), O_RDONLY);
    if (descriptor < 0) return;
    fsync(descriptor);
    ::close(descriptor);
#else
    (void)folder;
#endif
}

// Renames a file over another; on Windows plain rename refuses an existing target.
static int replaceFile(const std::string& from, const std::string& to) {
#ifdef _WIN32
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return 0;
    errno = EACCES;
    return -1;
#else
    return std::rename(from.c_str(), to.c_str());
#endif
}

// ---- the unfinished output --------------------------------------------------
//
// At most one output is being written at a time. Its temporary name is kept
// here, in a plain array, so that the exit handler and the signal handler can
// remove it: a program that ends early or is interrupted leaves nothing behind.

static char pendingTemporary[4096];
static int pendingDescriptor = -1; // the temporary file's descriptor, while it is pending

// Removes the pending temporary file. Windows cannot remove a file that is
// still open, so there it is closed first; the program is ending anyway.
static void unlinkPendingTemporary() {
#ifdef _WIN32
    if (pendingDescriptor >= 0) ::close(pendingDescriptor);
#endif
    unlink(pendingTemporary); // async-signal-safe, as is close
}

static void removePendingTemporary() {
    if (pendingTemporary[0] != '\0') unlinkPendingTemporary();
    pendingTemporary[0] = '\0';
}

extern "C" void onInterrupt(int signalNumber) {
    if (pendingTemporary[0] != '\0') unlinkPendingTemporary();
    std::signal(signalNumber, SIG_DFL);
    std::raise(signalNumber);
}

// Only a signal left at its default action is caught. One that was ignored
// when the program started (nohup, a background job) stays ignored, and one
// that something running the program in-process handles itself (a fuzzing
// harness times its runs with SIGALRM) keeps its handler.
static void catchIfDefault(int signalNumber) {
#ifdef _WIN32
    void (*previous)(int) = std::signal(signalNumber, onInterrupt);
    if (previous != SIG_DFL) std::signal(signalNumber, previous);
#else
    struct sigaction current;
    if (sigaction(signalNumber, nullptr, &current) != 0) return;
    if ((current.sa_flags & SA_SIGINFO) == 0 && current.sa_handler == SIG_DFL)
        std::signal(signalNumber, onInterrupt);
#endif
}

// Every signal whose default action ends the program, apart from those that
// report a fault of the program itself, removes the temporary file first.
// The file-size limit is not a signal here: the write then fails with EFBIG
// and is reported like any other write error.
static void installSignalHandlers() {
    static const int endingSignals[] = {
        SIGINT, SIGTERM,
#ifndef _WIN32
        SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU,
#endif
    };
    for (int signalNumber : endingSignals) catchIfDefault(signalNumber);
#ifndef _WIN32
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

// Creates the temporary file from a name pattern ending in XXXXXX. The name
// is made in the very array the handlers remove, so that an interruption at
// any moment, even while the file is being created, leaves nothing behind.
static int createPendingTemporary(const std::string& pattern) {
    static bool installed = false;
    if (!installed) {
        std::atexit(removePendingTemporary);
        installSignalHandlers();
        installed = true;
    }
    if (pattern.size() >= sizeof pendingTemporary) {
        errno = ENAMETOOLONG;
        return -1;
    }
    std::memcpy(pendingTemporary, pattern.c_str(), pattern.size() + 1);
    int descriptor = mkstemp(pendingTemporary);
    if (descriptor < 0) pendingTemporary[0] = '\0';
    pendingDescriptor = descriptor;
    return descriptor;
}

// ---- the name that is written -----------------------------------------------------

// The folder part of a path, with its trailing slash ("" for the current one).
static std::string folderOf(const std::string& path) {
#ifdef _WIN32
    std::size_t slash = path.find_last_of("/\\:");
#else
    std::size_t slash = path.rfind('/');
#endif
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The descriptor that a name of an open descriptor stands for, or -1.
static int namedDescriptor(const std::string& fileName) {
    if (fileName == "/dev/stdin") return 0;
    if (fileName == "/dev/stdout") return 1;
    if (fileName == "/dev/stderr") return 2;
    for (const char* prefix : {"/dev/fd/", "/proc/self/fd/"}) {
        const std::size_t length = std::strlen(prefix);
        if (fileName.compare(0, length, prefix) != 0) continue;
        const std::string number = fileName.substr(length);
        if (number.empty() || number.size() > 9 ||
            number.find_first_not_of("0123456789") != std::string::npos)
            return -1;
        return std::atoi(number.c_str());
    }
    return -1;
}

#ifndef _WIN32
// Whether the link may be followed. In a folder that is sticky and writable
// by all, as /tmp, another user could plant a link there that makes the
// program replace a file of the user's; so there a link is followed only
// when it belongs to the folder's owner or to the user running the program,
// the rule the kernel applies to the links it follows itself
// (fs.protected_symlinks). A refusal gives false with EACCES.
static bool mayFollow(const std::string& link, const struct stat& linkInfo) {
    const std::string folder = folderOf(link);
    struct stat folderInfo;
    if (stat(folder.empty() ? "." : folder.c_str(), &folderInfo) != 0) return false;
    const bool shared = (folderInfo.st_mode & S_ISVTX) != 0 && (folderInfo.st_mode & S_IWOTH) != 0;
    if (!shared || linkInfo.st_uid == folderInfo.st_uid || linkInfo.st_uid == geteuid())
        return true;
    errno = EACCES;
    return false;
}
#endif

// The file that a chain of symbolic links leads to, so that replacing it
// keeps the links; the file need not exist yet. Any other name as it stands.
// The chain stops at the name of an open descriptor. A chain longer than the
// system allows (a loop) gives false with ELOOP, and a link that may not be
// followed false with EACCES.
static bool followLinks(const std::string& fileName, std::string& resolved) {
    resolved = fileName;
#ifndef _WIN32
    const int maxLinks = 40;
    for (int links = 0;; ++links) {
        struct stat info;
        if (namedDescriptor(resolved) >= 0) return true;
        if (lstat(resolved.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return true;
        if (links == maxLinks) {
            errno = ELOOP;
            return false;
        }
        if (!mayFollow(resolved, info)) return false;
        std::vector<char> target(4096);
        ssize_t length = readlink(resolved.c_str(), target.data(), target.size());
        if (length < 0 || std::size_t(length) == target.size()) {
            if (length >= 0) errno = ENAMETOOLONG;
            return false;
        }
        std::string link(target.data(), std::size_t(length));
        resolved = link[0] == '/' ? link : folderOf(resolved) + link;
    }
#else
    return true;
#endif
}

// ---- opening --------------------------------------------------------------------

// Opens an existing device or named pipe for writing, as it stands.
static bool openDirectly(BinaryFile& file) {
    file.handle = std::fopen(file.name.c_str(), "wb");
    if (file.handle == nullptr) file.error = errno;
    return file.handle != nullptr;
}

// Writes through an open descriptor of the program: a copy of it, which
// shares its position and flags, so that nothing is reopened or truncated.
static bool openThroughDescriptor(BinaryFile& file, int descriptor) {
#ifndef _WIN32
    int copy = dup(descriptor);
    if (copy < 0) {
        file.error = errno;
        return false;
    }
    file.handle = fdopen(copy, "wb");
    if (file.handle == nullptr) {
        file.error = errno;
        ::close(copy);
        return false;
    }
    return true;
#else
    (void)descriptor;
    file.error = EBADF;
    return false;
#endif
}

bool openReplacement(BinaryFile& file, const std::string& fileName) {
    if (!file.startOpening(fileName)) return false;
    file.output = true;
    file.writing = true; // the first put needs no seek: a pipe could not take one
    if (!followLinks(fileName, file.name)) {
        file.error = errno;
        return false;
    }
    const int descriptor = namedDescriptor(file.name);
    if (descriptor >= 0) return openThroughDescriptor(file, descriptor);
    // An existing file that may not be written stays protected, and a folder
    // cannot be replaced by a picture.
    struct stat info {};
    const bool exists = stat(file.name.c_str(), &info) == 0;
    if (exists) {
        if (S_ISDIR(info.st_mode)) {
            file.error = EISDIR;
            return false;
        }
        if (access(file.name.c_str(), W_OK) != 0) {
            file.error = errno;
            return false;
        }
        if (!S_ISREG(info.st_mode)) return openDirectly(file);
    }
    int temporary = createPendingTemporary(folderOf(file.name) + ".partial-XXXXXX");
    if (temporary < 0) {
        file.error = errno;
        return false;
    }
    file.temporaryName = pendingTemporary;
    takeOverAttributes(temporary, exists, info); // mkstemp makes it private
    file.handle = fdopen(temporary, "w+b");
    if (file.handle == nullptr) {
        file.error = errno;
        ::close(temporary);
        pendingDescriptor = -1;
        removePendingTemporary();
        file.temporaryName.clear();
        return false;
    }
    return true;
}

bool writesInPlace(const BinaryFile& file) {
    return file.output && file.handle != nullptr && file.temporaryName.empty();
}

// ---- committing -------------------------------------------------------------------

bool commitReplacement(BinaryFile& file) {
    if (file.handle == nullptr) {
        if (file.error == 0) file.error = EBADF;
        discardReplacement(file);
        return false;
    }
    if (std::fflush(file.handle) != 0 && file.error == 0) file.error = errno;
    if (file.error == 0 && syncToDisk(file.handle) != 0) file.error = errno;
    if (std::fclose(file.handle) != 0 && file.error == 0) file.error = errno;
    file.handle = nullptr;
    if (file.error == 0 && !file.temporaryName.empty() &&
        replaceFile(file.temporaryName, file.name) != 0)
        file.error = errno;
    if (file.error != 0) {
        discardReplacement(file);
        return false;
    }
    if (!file.temporaryName.empty()) syncFolder(folderOf(file.name));
    pendingTemporary[0] = '\0';
    file.temporaryName.clear();
    return true;
}

void discardReplacement(BinaryFile& file) {
    if (file.handle != nullptr) std::fclose(file.handle);
    file.handle = nullptr;
    if (!file.temporaryName.empty()) unlink(file.temporaryName.c_str());
    file.temporaryName.clear();
    pendingTemporary[0] = '\0';
}
