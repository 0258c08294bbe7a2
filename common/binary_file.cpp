#include "binary_file.h"

#include <cctype>
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

// Moves the file's position to a 0-based offset, beyond 2 GB too.
static int seekTo(std::FILE* file, std::int64_t offset) {
#ifdef _WIN32
    return _fseeki64(file, offset, SEEK_SET);
#else
    return fseeko(file, off_t(offset), SEEK_SET);
#endif
}

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

// The modification time in nanoseconds.
static std::int64_t modificationTime(const struct stat& info) {
#if defined(__linux__)
    return std::int64_t(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
#else
    return std::int64_t(info.st_mtime) * 1000000000;
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

BinaryFile::~BinaryFile() {
    if (!temporaryName.empty())
        discardReplacement();
    else if (handle != nullptr)
        std::fclose(handle);
}

// ---- opening ------------------------------------------------------------------

// Forgets any earlier file of this record and takes the new name; an empty
// name names no file.
static bool startOpening(BinaryFile& file, const std::string& fileName) {
    file.name = fileName;
    file.output = false;
    file.offset = 0;
    file.writing = false;
    file.error = fileName.empty() ? ENOENT : 0;
    file.openedLength = 0;
    file.openedTime = 0;
    file.shortRead = false;
    return !fileName.empty();
}

bool BinaryFile::openForReading(const std::string& fileName) {
    if (!startOpening(*this, fileName)) return false;
    struct stat info;
    if (stat(fileName.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        error = EISDIR;
        return false;
    }
    handle = std::fopen(fileName.c_str(), "rb");
    if (handle == nullptr) {
        error = errno;
        return false;
    }
    if (fstat(fileno(handle), &info) == 0) {
        openedLength = std::int64_t(info.st_size);
        openedTime = modificationTime(info);
    }
    return true;
}

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

// The file that a chain of symbolic links leads to, so that replacing it
// keeps the links; the file need not exist yet. Any other name as it stands.
// The chain stops at the name of an open descriptor. A chain longer than the
// system allows (a loop) gives false with ELOOP.
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

bool BinaryFile::openReplacement(const std::string& fileName) {
    if (!startOpening(*this, fileName)) return false;
    output = true;
    writing = true; // the first put needs no seek: a pipe could not take one
    if (!followLinks(fileName, name)) {
        error = errno;
        return false;
    }
    const int descriptor = namedDescriptor(name);
    if (descriptor >= 0) return openThroughDescriptor(*this, descriptor);
    // An existing file that may not be written stays protected, and a folder
    // cannot be replaced by a picture.
    struct stat info {};
    const bool exists = stat(name.c_str(), &info) == 0;
    if (exists) {
        if (S_ISDIR(info.st_mode)) {
            error = EISDIR;
            return false;
        }
        if (access(name.c_str(), W_OK) != 0) {
            error = errno;
            return false;
        }
        if (!S_ISREG(info.st_mode)) return openDirectly(*this);
    }
    int temporary = createPendingTemporary(folderOf(name) + ".partial-XXXXXX");
    if (temporary < 0) {
        error = errno;
        return false;
    }
    temporaryName = pendingTemporary;
    takeOverAttributes(temporary, exists, info); // mkstemp makes it private
    handle = fdopen(temporary, "w+b");
    if (handle == nullptr) {
        error = errno;
        ::close(temporary);
        pendingDescriptor = -1;
        removePendingTemporary();
        return false;
    }
    return true;
}

// ---- reading and writing --------------------------------------------------------

// Moves to a 1-based position; 0 stays where the last operation ended. A
// stream must be positioned between a write and a read, so a change of
// direction always seeks.
static bool moveTo(BinaryFile& file, std::int64_t position, bool forWriting) {
    std::int64_t target = position == 0 ? file.offset : position - 1;
    bool sameDirection = file.writing == forWriting;
    file.writing = forWriting;
    if (target == file.offset && sameDirection) return true;
    if (seekTo(file.handle, target) != 0) {
        if (file.error == 0) file.error = errno;
        return false;
    }
    file.offset = target;
    return true;
}

void BinaryFile::get(std::int64_t position, std::uint8_t* buffer, std::size_t count) {
    if (handle == nullptr || position < 0) return;
    std::size_t got = 0;
    if (moveTo(*this, position, false)) {
        got = std::fread(buffer, 1, count, handle);
        if (got < count && std::ferror(handle) && error == 0) error = errno ? errno : EIO;
        offset += std::int64_t(got);
        // The end came before the length measured at opening: the file shrank.
        if (got < count && !output && offset < openedLength) shortRead = true;
    }
    if (got < count) std::memset(buffer + got, 0, count - got); // an empty buffer may be null
}

void BinaryFile::put(std::int64_t position, const std::uint8_t* bytes, std::size_t count) {
    if (handle == nullptr || position < 0 || !output) return;
    if (!moveTo(*this, position, true)) return;
    std::size_t written = std::fwrite(bytes, 1, count, handle);
    if (written < count && error == 0) error = errno ? errno : EIO;
    offset += std::int64_t(written);
}

std::int64_t BinaryFile::length() {
    if (handle == nullptr) return 0;
    // Written bytes still in the buffer count; a stream being read is left
    // alone (some C libraries drop its buffer on a flush).
    if (writing && std::fflush(handle) != 0 && error == 0) error = errno;
    struct stat info;
    if (fstat(fileno(handle), &info) != 0) return 0;
    return std::int64_t(info.st_size);
}

// ---- closing --------------------------------------------------------------------

bool BinaryFile::close() {
    if (handle != nullptr && std::fclose(handle) != 0 && error == 0) error = errno;
    handle = nullptr;
    return error == 0;
}

bool BinaryFile::commitReplacement() {
    if (handle == nullptr) {
        if (error == 0) error = EBADF;
        discardReplacement();
        return false;
    }
    if (std::fflush(handle) != 0 && error == 0) error = errno;
    if (error == 0 && syncToDisk(handle) != 0) error = errno;
    if (std::fclose(handle) != 0 && error == 0) error = errno;
    handle = nullptr;
    if (error == 0 && !temporaryName.empty() && replaceFile(temporaryName, name) != 0)
        error = errno;
    if (error != 0) {
        discardReplacement();
        return false;
    }
    if (!temporaryName.empty()) syncFolder(folderOf(name));
    pendingTemporary[0] = '\0';
    temporaryName.clear();
    return true;
}

void BinaryFile::discardReplacement() {
    if (handle != nullptr) std::fclose(handle);
    handle = nullptr;
    if (!temporaryName.empty()) unlink(temporaryName.c_str());
    temporaryName.clear();
    pendingTemporary[0] = '\0';
}

std::string BinaryFile::errorText() const {
    return error == 0 ? std::string("no error") : std::string(std::strerror(error));
}

// ---- the lines the programs print about their files ------------------------------

std::string printableName(const std::string& fileName) {
    static const char hexDigits[] = "0123456789ABCDEF";
    std::string shown;
    for (unsigned char c : fileName) {
        if (c >= 0x20 && c != 0x7F)
            shown.push_back(char(c));
        else if (c == '\n')
            shown += "\\n";
        else if (c == '\r')
            shown += "\\r";
        else if (c == '\t')
            shown += "\\t";
        else
            shown += std::string("\\x") + hexDigits[c >> 4] + hexDigits[c & 0xF];
    }
    return shown;
}

std::string shellWord(const std::string& fileName) {
    bool plain = !fileName.empty(), control = false;
    for (char c : fileName) {
        const unsigned char byte = static_cast<unsigned char>(c);
        control = control || byte < 0x20 || byte == 0x7F;
        if (!std::isalnum(byte) && std::string("._-/+,:=@%").find(c) == std::string::npos)
            plain = false;
    }
    if (plain) return fileName;
    // In the $'...' form control characters are written \xHH, so that the
    // word stays on one line and the shell still reads it as the name.
    std::string quoted = control ? "$'" : "'";
    for (char c : fileName) {
        const unsigned char byte = static_cast<unsigned char>(c);
        static const char digits[] = "0123456789ABCDEF";
        if (byte < 0x20 || byte == 0x7F)
            quoted += std::string("\\x") + digits[byte >> 4] + digits[byte & 15];
        else if (c == '\'')
            quoted += control ? "\\'" : "'\\''";
        else if (c == '\\' && control)
            quoted += "\\\\";
        else
            quoted += c;
    }
    return quoted + "'";
}

std::string openOutputProblem(BinaryFile& output, const std::string& fileName) {
    if (fileName.empty()) return "no outfile name given";
    if (output.openReplacement(fileName)) return "";
    return "cannot write outfile " + printableName(fileName) + ": " + output.errorText();
}

std::string commitOutputProblem(BinaryFile& output, const std::string& fileName) {
    if (output.commitReplacement()) return "";
    return "cannot write outfile " + printableName(fileName) + ": " + output.errorText();
}

std::string inputReadProblem(const BinaryFile& input, const std::string& fileName) {
    if (input.error != 0)
        return "cannot read infile " + printableName(fileName) + ": " + input.errorText();
    const std::string changed = "infile changed while it was being read";
    if (input.shortRead) return changed;
    struct stat info;
    if (input.handle != nullptr && fstat(fileno(input.handle), &info) == 0 &&
        (std::int64_t(info.st_size) != input.openedLength ||
         modificationTime(info) != input.openedTime))
        return changed;
    return "";
}
