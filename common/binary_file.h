// Positioned binary file access with 1-based byte positions: position p is
// the byte at offset p - 1, and position 0 means the current position (where
// the previous get or put ended; the start of the file just after opening).
//
// An input is opened for reading only. An output is never written in place:
// openReplacement() creates a temporary file in the output's folder, and
// commitReplacement() renames it over the output name only once every byte
// has been written, flushed and closed. Until then an existing file of that
// name stays as it was; an unfinished temporary file is removed when the
// program ends or is interrupted. A symbolic link keeps pointing where it did:
// the file it leads to is the one replaced, created when it does not exist
// yet. An existing output that is no regular file (a device such as
// /dev/null, a named pipe) cannot be replaced and is written directly, and a
// name of an open descriptor (/dev/stdout, /dev/stderr, /dev/fd/N,
// /proc/self/fd/N) is written through that descriptor with its own flags, so
// that "> file" truncates and ">> file" appends. The replacement is flushed
// to the disk before it is renamed into place, and its folder after, so that
// a power loss leaves either the old file or the new one. It takes over the
// replaced file's permission bits, and its owner and group where permitted;
// it is a new file, so hard links to the old one keep the old content.
//
// An input's length is measured when it is opened: a read that ends before
// that length, or a size or modification time that differs after the reads,
// shows that the file changed while it was being read.
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
    std::int64_t openedLength = 0; // an input's length when it was opened
    std::int64_t openedTime = 0;   // an input's modification time then, in ns
    bool shortRead = false;        // a get ended before openedLength

    bool openForReading(const std::string& fileName);
    bool openReplacement(const std::string& fileName);
    // Reads count bytes; bytes beyond the end of the file read as 0.
    void get(std::int64_t position, std::uint8_t* buffer, std::size_t count);
    void put(std::int64_t position, const std::uint8_t* bytes, std::size_t count);
    std::int64_t length();
    // Closes an input. Returns false when an error was seen.
    bool close();
    // Flushes and closes an output, then renames it into place. Returns false,
    // with the temporary file removed, when anything failed on the way.
    bool commitReplacement();
    // Abandons an output: closes and removes the temporary file.
    void discardReplacement();
    // The first error as text ("No space left on device").
    std::string errorText() const;
};

// A file name as shown in a message line: bytes below 0x20 and 0x7F are
// escaped (\n, \r, \t, \xHH), so that a name can neither break the line nor
// move the cursor.
std::string printableName(const std::string& fileName);

// A file name as one shell word, for a command shown in a message: as it is
// when it holds only letters, digits and . _ - / + , : = @ %; in single
// quotes otherwise; in the $'...' form when it holds control characters.
std::string shellWord(const std::string& fileName);

// Opens the output for replacement. Gives "" when that worked, else the line
// that says why not: "no outfile name given" or "cannot write outfile NAME:
// reason". This is the one place that checks for a missing output name.
std::string openOutputProblem(BinaryFile& output, const std::string& fileName);

// Commits the output. Gives "" when the new file is in place, else "cannot
// write outfile NAME: reason" (the temporary file is then removed).
std::string commitOutputProblem(BinaryFile& output, const std::string& fileName);

// Called after the input has been read: "" when every read worked on the
// file as it was opened, else "cannot read infile NAME: reason" or "infile
// changed while it was being read".
std::string inputReadProblem(const BinaryFile& input, const std::string& fileName);
