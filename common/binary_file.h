// Positioned binary file access with 1-based byte positions: position p is
// the byte at offset p - 1, and position 0 means the current position (where
// the previous get or put ended; the start of the file just after opening).
//
// An input is opened for reading only, and only when it is a regular file:
// the pictures are read by position, which a pipe, a FIFO, a device or a
// socket cannot give. Its length, modification time and identity (device
// and inode) are recorded when it is opened: a read that ends before that
// length, or a size or modification time that differs after the reads,
// shows that the file changed while it was being read.
//
// An output is opened and committed by output_replacement.h; the lines the
// programs print about their files are made in file_messages.h.
//
// The first error of any operation is kept in `error` (an errno value), so
// that the program can report it; later operations do not overwrite it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

struct BinaryFile {
    BinaryFile() = default;
    BinaryFile(const BinaryFile&) = delete;
    BinaryFile& operator=(const BinaryFile&) = delete;
    // Closes the file; an output that was never committed is removed.
    ~BinaryFile();

    std::FILE* handle = nullptr;
    std::string name;              // the file's name; for an output reached through
                                   // a symbolic link, the file the link leads to
    std::string temporaryName;     // the file actually written, for an output
    bool output = false;           // opened for writing
    std::int64_t offset = 0;       // current position as a 0-based offset
    bool writing = false;          // the last operation was a put
    int error = 0;                 // first errno seen, 0 while all went well
    bool notRegular = false;       // an input refused as a pipe, FIFO, device or socket
    std::int64_t openedLength = 0; // an input's length when it was opened
    std::int64_t openedTime = 0;   // an input's modification time then, in ns
    std::uint64_t device = 0;      // an input's device and inode: the file itself,
    std::uint64_t inode = 0;       // whatever name reaches it (Windows gives no inode)
    bool shortRead = false;        // a get ended before openedLength

    // Forgets what the record knew of an earlier file and takes the new
    // name, the start of every opening. False for an empty name, which names
    // no file (error ENOENT).
    bool startOpening(const std::string& fileName);
    // Opens a regular file for reading. False with `error` set when it
    // cannot be opened, or with `notRegular` set when it is no regular file.
    bool openForReading(const std::string& fileName);
    // Reads count bytes; bytes beyond the end of the file read as 0.
    void get(std::int64_t position, std::uint8_t* buffer, std::size_t count);
    void put(std::int64_t position, const std::uint8_t* bytes, std::size_t count);
    std::int64_t length();
    // Closes an input. Returns false when an error was seen.
    bool close();
    // Whether an input differs from the file that was opened: a read ended
    // before its length then, or its size or modification time differs now.
    bool changedSinceOpening() const;
    // Whether `other` has this very input open: the same device and inode.
    // Always false on Windows, which gives no inodes.
    bool isSameFileAs(const BinaryFile& other) const;
    // Whether the name reaches this input, through any link, hard link or
    // descriptor name (/dev/fd/N). Always false on Windows.
    bool isReachedBy(const std::string& fileName) const;
    // The first error as text ("No space left on device").
    std::string errorText() const;
};

// Opens an unnamed temporary file for writing and reading, in the user's
// temporary folder ($TMPDIR, else /tmp; on Windows the folder GetTempPath
// names). It has no name there: on POSIX the name is removed as soon as the
// file is made, and on Windows the file is deleted when it is closed, so
// nothing stays behind however the program ends. Returns false with the
// error kept when it cannot be made.
bool openUnnamedTemporary(BinaryFile& file);

// Makes `input` read what `written` holds from here on (a picture decoded
// into a temporary file): the handle moves over, and the length and the
// modification time it has now become those later reads are checked
// against. The input's name and identity stay those of the file opened.
void readWrittenInstead(BinaryFile& input, BinaryFile& written);
