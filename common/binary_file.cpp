#include "binary_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "output_replacement.h"

// ---- what differs between the platforms ---------------------------------------

// Moves the file's position to a 0-based offset, beyond 2 GB too.
static int seekTo(std::FILE* file, std::int64_t offset) {
#ifdef _WIN32
    return _fseeki64(file, offset, SEEK_SET);
#else
    return fseeko(file, off_t(offset), SEEK_SET);
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

// Whether a file's status shows the input: the device and inode recorded
// when it was opened (an inode is never 0). Windows gives no inodes, so
// there no file is known to be another's.
static bool isFile(const BinaryFile& input, const struct stat& info) {
#ifdef _WIN32
    (void)input, (void)info;
    return false;
#else
    return input.inode != 0 && std::uint64_t(info.st_dev) == input.device &&
           std::uint64_t(info.st_ino) == input.inode;
#endif
}

BinaryFile::~BinaryFile() {
    if (!temporaryName.empty())
        discardReplacement(*this);
    else if (handle != nullptr)
        std::fclose(handle);
}

// ---- opening an input -------------------------------------------------------------

bool BinaryFile::startOpening(const std::string& fileName) {
    name = fileName;
    output = false;
    offset = 0;
    writing = false;
    error = fileName.empty() ? ENOENT : 0;
    notRegular = false;
    openedLength = 0;
    openedTime = 0;
    device = 0;
    inode = 0;
    shortRead = false;
    return !fileName.empty();
}

// Whether the status is that of a file that can be read by position; if
// not, marks why: a folder with its own error, a pipe, FIFO, device or
// socket as no regular file (with error ESPIPE: no reading by position).
static bool isReadableByPosition(BinaryFile& file, const struct stat& info) {
    if (S_ISDIR(info.st_mode)) {
        file.error = EISDIR;
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        file.error = ESPIPE;
        file.notRegular = true;
        return false;
    }
    return true;
}

bool BinaryFile::openForReading(const std::string& fileName) {
    if (!startOpening(fileName)) return false;
    // Judged before opening, since opening a FIFO waits for a writer; and
    // again once open, since the name may lead to another file by then.
    struct stat info;
    if (stat(fileName.c_str(), &info) == 0 && !isReadableByPosition(*this, info)) return false;
    handle = std::fopen(fileName.c_str(), "rb");
    if (handle == nullptr) {
        error = errno;
        return false;
    }
    if (fstat(fileno(handle), &info) != 0 || !isReadableByPosition(*this, info)) {
        if (error == 0) error = errno;
        close();
        return false;
    }
    openedLength = std::int64_t(info.st_size);
    openedTime = modificationTime(info);
    device = std::uint64_t(info.st_dev);
    inode = std::uint64_t(info.st_ino);
    return true;
}

// ---- the unnamed temporary file --------------------------------------------------

#ifdef _WIN32
// tmpfile() would make its file in the root folder of the drive, which a
// user may not write; this one lies in the user's temporary folder and is
// deleted by the system when its last handle closes.
static std::FILE* unnamedTemporaryFile() {
    char folder[MAX_PATH + 1];
    char name[MAX_PATH + 1];
    const DWORD length = GetTempPathA(sizeof folder, folder);
    if (length == 0 || length > sizeof folder || GetTempFileNameA(folder, "pic", 0, name) == 0) {
        errno = EACCES;
        return nullptr;
    }
    // GetTempFileName made the file, so its name is this program's own.
    HANDLE handle = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                                FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        DeleteFileA(name);
        errno = EACCES;
        return nullptr;
    }
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDWR | _O_BINARY);
    if (descriptor < 0) {
        CloseHandle(handle);
        return nullptr;
    }
    std::FILE* file = _fdopen(descriptor, "w+b");
    if (file == nullptr) _close(descriptor);
    return file;
}
#else
// A mkstemp file whose name is removed at once: it lives on, unnamed, until
// it is closed.
static std::FILE* unnamedTemporaryFile() {
    const char* folder = std::getenv("TMPDIR");
    std::string pattern = std::string(folder != nullptr && folder[0] != '\0' ? folder : "/tmp") +
                          "/picture-XXXXXX";
    const int descriptor = mkstemp(&pattern[0]);
    if (descriptor < 0) return nullptr;
#ifndef __EMSCRIPTEN__
    // Emscripten's fstat looks the file up by its name, so there the name
    // stays until the instance, and its in-memory file system, is gone.
    unlink(pattern.c_str());
#endif
    std::FILE* file = fdopen(descriptor, "w+b");
    if (file == nullptr) ::close(descriptor);
    return file;
}
#endif

bool openUnnamedTemporary(BinaryFile& file) {
    file.close();
    file.name.clear();
    file.output = true; // written and read in place: nothing to replace or commit
    file.offset = 0;
    file.writing = true; // the first put needs no seek
    file.error = 0;
    file.handle = unnamedTemporaryFile();
    if (file.handle == nullptr) file.error = errno != 0 ? errno : EACCES;
    return file.handle != nullptr;
}

void readWrittenInstead(BinaryFile& input, BinaryFile& written) {
    input.close();
    input.handle = written.handle;
    written.handle = nullptr;
    input.output = false;
    input.offset = written.offset;
    input.writing = true; // the next get seeks: the stream must change direction
    input.error = 0;
    input.shortRead = false;
    struct stat info;
    if (fstat(fileno(input.handle), &info) == 0) {
        input.openedLength = std::int64_t(info.st_size);
        input.openedTime = modificationTime(info);
    }
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

// ---- closing and comparing ----------------------------------------------------------

bool BinaryFile::close() {
    if (handle != nullptr && std::fclose(handle) != 0 && error == 0) error = errno;
    handle = nullptr;
    return error == 0;
}

bool BinaryFile::changedSinceOpening() const {
    if (shortRead) return true;
    struct stat info;
    return handle != nullptr && fstat(fileno(handle), &info) == 0 &&
           (std::int64_t(info.st_size) != openedLength || modificationTime(info) != openedTime);
}

bool BinaryFile::isSameFileAs(const BinaryFile& other) const {
    struct stat info;
    return other.handle != nullptr && fstat(fileno(other.handle), &info) == 0 &&
           isFile(*this, info);
}

bool BinaryFile::isReachedBy(const std::string& fileName) const {
    struct stat info;
    return stat(fileName.c_str(), &info) == 0 && isFile(*this, info);
}

std::string BinaryFile::errorText() const {
    return error == 0 ? std::string("no error") : std::string(std::strerror(error));
}
