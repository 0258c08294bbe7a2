#include "binary_file.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#ifdef _WIN32
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

// Gives a new file the permissions of the file it replaces, or those that a
// newly created file gets. (Windows keeps no such bits.)
static void setPermissions(int descriptor, bool replacing, unsigned mode) {
#ifdef _WIN32
    (void)descriptor, (void)replacing, (void)mode;
#else
    mode_t mask = umask(0);
    umask(mask);
    fchmod(descriptor, replacing ? mode & 07777 : 0666 & ~mask);
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

static void removePendingTemporary() {
    if (pendingTemporary[0] != '\0') unlink(pendingTemporary);
    pendingTemporary[0] = '\0';
}

extern "C" void onInterrupt(int signalNumber) {
    if (pendingTemporary[0] != '\0') unlink(pendingTemporary); // async-signal-safe
    std::signal(signalNumber, SIG_DFL);
    std::raise(signalNumber);
}

// A signal that was ignored when the program started (nohup, a background
// job) stays ignored.
static void catchUnlessIgnored(int signalNumber) {
    if (std::signal(signalNumber, onInterrupt) == SIG_IGN) std::signal(signalNumber, SIG_IGN);
}

// Creates the temporary file from a name pattern ending in XXXXXX. The name
// is made in the very array the handlers remove, so that an interruption at
// any moment, even while the file is being created, leaves nothing behind.
static int createPendingTemporary(const std::string& pattern) {
    static bool installed = false;
    if (!installed) {
        std::atexit(removePendingTemporary);
        catchUnlessIgnored(SIGINT);
        catchUnlessIgnored(SIGTERM);
#ifdef SIGHUP
        catchUnlessIgnored(SIGHUP);
#endif
        installed = true;
    }
    if (pattern.size() >= sizeof pendingTemporary) {
        errno = ENAMETOOLONG;
        return -1;
    }
    std::memcpy(pendingTemporary, pattern.c_str(), pattern.size() + 1);
    int descriptor = mkstemp(pendingTemporary);
    if (descriptor < 0) pendingTemporary[0] = '\0';
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
    if (handle == nullptr) error = errno;
    return handle != nullptr;
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

// The file a symbolic link leads to, so that replacing it keeps the link;
// any other name as it stands.
static std::string followLink(const std::string& fileName) {
#ifdef _WIN32
    return fileName;
#else
    struct stat info;
    if (lstat(fileName.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return fileName;
    char* target = realpath(fileName.c_str(), nullptr);
    if (target == nullptr) return fileName; // a dangling link is replaced itself
    std::string resolved = target;
    std::free(target);
    return resolved;
#endif
}

// Opens an existing device or named pipe for writing, as it stands.
static bool openDirectly(BinaryFile& file) {
    file.handle = std::fopen(file.name.c_str(), "wb");
    if (file.handle == nullptr) file.error = errno;
    return file.handle != nullptr;
}

bool BinaryFile::openReplacement(const std::string& fileName) {
    if (!startOpening(*this, fileName)) return false;
    output = true;
    writing = true; // the first put needs no seek: a pipe could not take one
    name = followLink(fileName);
    // An existing file that may not be written stays protected, and a folder
    // cannot be replaced by a picture.
    struct stat info;
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
    int descriptor = createPendingTemporary(folderOf(name) + ".partial-XXXXXX");
    if (descriptor < 0) {
        error = errno;
        return false;
    }
    temporaryName = pendingTemporary;
    setPermissions(descriptor, exists, unsigned(info.st_mode)); // mkstemp makes it private
    handle = fdopen(descriptor, "w+b");
    if (handle == nullptr) {
        error = errno;
        ::close(descriptor);
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
    }
    std::memset(buffer + got, 0, count - got);
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
    if (std::fclose(handle) != 0 && error == 0) error = errno;
    handle = nullptr;
    if (error == 0 && !temporaryName.empty() && replaceFile(temporaryName, name) != 0)
        error = errno;
    if (error != 0) {
        discardReplacement();
        return false;
    }
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
