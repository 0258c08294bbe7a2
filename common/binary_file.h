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
// the file it leads to is the one replaced. An existing output that is no
// regular file (a device such as /dev/null, a named pipe) cannot be replaced
// and is written directly.
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
    std::string name;          // the file's name; for an output reached through
                               // a symbolic link, the file the link leads to
    std::string temporaryName; // the file actually written, for an output
    bool output = false;       // opened for writing
    std::int64_t offset = 0;   // current position as a 0-based offset
    bool writing = false;      // the last operation was a put
    int error = 0;             // first errno seen, 0 while all went well

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
