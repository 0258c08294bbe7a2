// Positioned binary files: 1-based gets and puts, position 0 continuing where
// the last one ended, zeros past the end, and inputs opened for reading only,
// when they are regular files, and known by their identity and the length
// and time they had when they were opened.
#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include "binary_file.h"
#include "output_replacement.h"
#include "test_support.h"

namespace {

const Bytes tenLetters = bytesOf("abcdefghij");

// ---- reading ---------------------------------------------------------------------

struct GetRow {
    const char* name;
    std::int64_t position;
    Bytes expected; // as many bytes as are asked for
};

TEST(BinaryFile, GetReadsAtOneBasedPositions) {
    Scratch scratch;
    writeFile(scratch.path("in.bmp"), tenLetters);
    // clang-format off
    const std::vector<GetRow> rows = {
        {"first byte", 1, bytesOf("a")},
        {"two bytes at 3", 3, bytesOf("cd")},
        {"last byte", 10, bytesOf("j")},
        {"back to the start", 1, bytesOf("abc")},
        {"the whole file", 1, tenLetters},
    };
    // clang-format on
    BinaryFile file;
    ASSERT_TRUE(file.openForReading(scratch.path("in.bmp")));
    for (const GetRow& row : rows) {
        SCOPED_TRACE(row.name);
        Bytes buffer(row.expected.size(), 0xEE);
        file.get(row.position, buffer.data(), buffer.size());
        EXPECT_EQ(buffer, row.expected);
    }
    EXPECT_TRUE(file.close());
}

TEST(BinaryFile, GetAtPositionZeroContinuesWhereTheLastGetEnded) {
    Scratch scratch;
    writeFile(scratch.path("in.bmp"), tenLetters);
    const std::vector<GetRow> rows = {
        {"just after opening: the start", 0, bytesOf("ab")},
        {"explicit position", 6, bytesOf("fg")},
        {"continues after it", 0, bytesOf("hi")},
        {"and again", 0, bytesOf("j")},
    };
    BinaryFile file;
    ASSERT_TRUE(file.openForReading(scratch.path("in.bmp")));
    for (const GetRow& row : rows) {
        SCOPED_TRACE(row.name);
        Bytes buffer(row.expected.size(), 0xEE);
        file.get(row.position, buffer.data(), buffer.size());
        EXPECT_EQ(buffer, row.expected);
    }
    file.close();
}

TEST(BinaryFile, GetPastTheEndFillsZeros) {
    Scratch scratch;
    writeFile(scratch.path("in.bmp"), tenLetters);
    BinaryFile file;
    ASSERT_TRUE(file.openForReading(scratch.path("in.bmp")));
    Bytes buffer(4, 0xEE);
    file.get(9, buffer.data(), buffer.size());
    EXPECT_EQ(buffer, (Bytes{'i', 'j', 0, 0}));
    file.close();
}

TEST(BinaryFile, GetStartingBeyondTheEndGivesAllZeros) {
    Scratch scratch;
    writeFile(scratch.path("in.bmp"), tenLetters);
    const std::vector<std::int64_t> positions = {11, 12, 1000, 1 << 30};
    BinaryFile file;
    ASSERT_TRUE(file.openForReading(scratch.path("in.bmp")));
    for (std::int64_t position : positions) {
        SCOPED_TRACE(position);
        Bytes buffer(5, 0xEE);
        file.get(position, buffer.data(), buffer.size());
        EXPECT_EQ(buffer, Bytes(5, 0));
    }
    EXPECT_TRUE(file.close()); // reading past the end is no error
}

struct UntouchedGetRow {
    const char* name;
    std::function<void(BinaryFile&, const std::string&)> prepare;
    std::int64_t position;
};

TEST(BinaryFile, GetWithoutAnOpenFileOrAtANegativePositionKeepsTheBuffer) {
    Scratch scratch;
    writeFile(scratch.path("in.bmp"), tenLetters);
    const std::vector<UntouchedGetRow> rows = {
        {"never opened", [](BinaryFile&, const std::string&) {}, 1},
        {"closed",
         [](BinaryFile& f, const std::string& name) {
             f.openForReading(name);
             f.close();
         },
         1},
        {"open, negative position",
         [](BinaryFile& f, const std::string& name) { f.openForReading(name); }, -1},
        {"failed to open",
         [](BinaryFile& f, const std::string& name) { f.openForReading(name + ".missing"); }, 1},
    };
    for (const UntouchedGetRow& row : rows) {
        SCOPED_TRACE(row.name);
        BinaryFile file;
        row.prepare(file, scratch.path("in.bmp"));
        Bytes buffer(3, 0xEE);
        file.get(row.position, buffer.data(), buffer.size());
        EXPECT_EQ(buffer, Bytes(3, 0xEE));
        file.close();
    }
}

TEST(BinaryFile, LengthIsTheFileSizeAndLeavesThePositionAlone) {
    Scratch scratch;
    writeFile(scratch.path("in.bmp"), tenLetters);
    BinaryFile file;
    ASSERT_TRUE(file.openForReading(scratch.path("in.bmp")));
    Bytes buffer(2);
    file.get(3, buffer.data(), buffer.size());
    EXPECT_EQ(file.length(), 10);
    file.get(0, buffer.data(), buffer.size());
    EXPECT_EQ(buffer, bytesOf("ef"));
    file.close();
}

TEST(BinaryFile, LengthCountsBytesNotYetWrittenOut) {
    Scratch scratch;
    BinaryFile file;
    ASSERT_TRUE(openReplacement(file, scratch.path("out.bmp")));
    const Bytes five = bytesOf("12345");
    file.put(1, five.data(), five.size());
    EXPECT_EQ(file.length(), 5);
    discardReplacement(file);
}

// ---- opening an input ------------------------------------------------------------------

struct OpeningRow {
    const char* name;
    std::string fileName;
    bool opened;
    int error;       // the error kept, 0 after an opening that worked
    bool notRegular; // refused as no regular file
};

// Only a regular file opens as an input, since pictures are read by
// position. A name is judged by the file it reaches, a descriptor name too,
// and a named pipe is refused without waiting for a writer. A refusal
// creates nothing.
TEST(BinaryFile, OnlyARegularFileOpensAsAnInput) {
    Scratch scratch;
    writeFile(scratch.path("in.bmp"), tenLetters);
    ASSERT_EQ(mkfifo(scratch.path("fifo").c_str(), 0600), 0);
    const int onFile = open(scratch.path("in.bmp").c_str(), O_RDONLY);
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    // clang-format off
    const OpeningRow rows[] = {
        {"regular file", scratch.path("in.bmp"), true, 0, false},
        {"descriptor name of a regular file", "/dev/fd/" + std::to_string(onFile), true, 0, false},
        {"missing file", scratch.path("missing.bmp"), false, ENOENT, false},
        {"no name", "", false, ENOENT, false},
        {"folder", scratch.folder, false, EISDIR, false},
        {"named pipe without a writer", scratch.path("fifo"), false, ESPIPE, true},
        {"descriptor name of a pipe", "/dev/fd/" + std::to_string(pipeEnds[0]), false, ESPIPE, true},
        {"character device", "/dev/null", false, ESPIPE, true},
    };
    // clang-format on
    for (const OpeningRow& row : rows) {
        SCOPED_TRACE(row.name);
        BinaryFile file;
        EXPECT_EQ(file.openForReading(row.fileName), row.opened);
        EXPECT_EQ(file.error, row.error);
        EXPECT_EQ(file.notRegular, row.notRegular);
        EXPECT_EQ(file.handle != nullptr, row.opened);
    }
    close(onFile);
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    EXPECT_EQ(folderEntries(scratch.folder), (std::vector<std::string>{"fifo", "in.bmp"}));
}

TEST(BinaryFile, AnInputTakesNoWrites) {
    Scratch scratch;
    writeFile(scratch.path("in.bmp"), tenLetters);
    BinaryFile file;
    ASSERT_TRUE(file.openForReading(scratch.path("in.bmp")));
    const Bytes xy = bytesOf("XY");
    file.put(1, xy.data(), xy.size());
    file.put(20, xy.data(), xy.size());
    file.close();
    EXPECT_EQ(readFile(scratch.path("in.bmp")), tenLetters);
}

struct NameRow {
    const char* name;
    std::string fileName;
    bool reaches;
};

// The input is known by its device and inode, whatever name reaches it.
TEST(BinaryFile, AnInputIsKnownByEveryNameThatReachesIt) {
    Scratch scratch;
    writeFile(scratch.path("in.bmp"), tenLetters);
    writeFile(scratch.path("copy.bmp"), tenLetters);
    ASSERT_EQ(link(scratch.path("in.bmp").c_str(), scratch.path("hard.bmp").c_str()), 0);
    ASSERT_EQ(symlink("in.bmp", scratch.path("soft.bmp").c_str()), 0);
    const int descriptor = open(scratch.path("in.bmp").c_str(), O_RDONLY);
    const std::string number = std::to_string(descriptor);
    // clang-format off
    const NameRow rows[] = {
        {"its own name", scratch.path("in.bmp"), true},
        {"a hard link", scratch.path("hard.bmp"), true},
        {"a symbolic link", scratch.path("soft.bmp"), true},
        {"/dev/fd/N", "/dev/fd/" + number, true},
        {"/proc/self/fd/N", "/proc/self/fd/" + number, true},
        {"a copy", scratch.path("copy.bmp"), false},
        {"a missing file", scratch.path("missing.bmp"), false},
    };
    // clang-format on
    BinaryFile input;
    ASSERT_TRUE(input.openForReading(scratch.path("in.bmp")));
    BinaryFile neverOpened;
    for (const NameRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(input.isReachedBy(row.fileName), row.reaches);
        EXPECT_FALSE(neverOpened.isReachedBy(row.fileName));
    }
    close(descriptor);
}

// ---- the input changing under the reader ---------------------------------------------------

struct ChangeRow {
    const char* name;
    std::function<void(const std::string& path)> change; // between opening and reading
    std::int64_t readFrom;                               // 1-based position of a 4-byte get
    bool changed;
};

TEST(BinaryFile, AnInputThatChangesAfterOpeningIsNoticed) {
    const ChangeRow rows[] = {
        {"unchanged, read to the end", [](const std::string&) {}, 7, false},
        {"unchanged, read past the end", [](const std::string&) {}, 9, false},
        {"cut before the bytes read",
         [](const std::string& path) { ASSERT_EQ(truncate(path.c_str(), 4), 0); }, 7, true},
        {"cut after the bytes read",
         [](const std::string& path) { ASSERT_EQ(truncate(path.c_str(), 8), 0); }, 1, true},
        {"grown", [](const std::string& path) { writeFile(path, bytesOf("abcdefghijkl")); }, 1,
         true},
        {"written again, same size",
         [](const std::string& path) {
             writeFile(path, bytesOf("ABCDEFGHIJ"));
             const timeval later[2] = {{2000000000, 0}, {2000000000, 0}};
             utimes(path.c_str(), later);
         },
         1, true},
    };
    for (const ChangeRow& row : rows) {
        SCOPED_TRACE(row.name);
        Scratch scratch;
        const std::string path = scratch.path("in.bmp");
        writeFile(path, tenLetters);
        const timeval old[2] = {{1000000000, 0}, {1000000000, 0}};
        utimes(path.c_str(), old);
        BinaryFile file;
        ASSERT_TRUE(file.openForReading(path));
        row.change(path);
        std::uint8_t buffer[4];
        file.get(row.readFrom, buffer, sizeof buffer);
        EXPECT_EQ(file.changedSinceOpening(), row.changed);
    }
}

// ---- writing an output --------------------------------------------------------------------

TEST(BinaryFile, PutWritesAtOneBasedPositions) {
    Scratch scratch;
    BinaryFile file;
    ASSERT_TRUE(openReplacement(file, scratch.path("out.bmp")));
    const Bytes abcd = bytesOf("abcd"), xy = bytesOf("XY"), z = bytesOf("Z");
    file.put(1, abcd.data(), abcd.size());
    file.put(3, xy.data(), xy.size());
    file.put(7, z.data(), z.size()); // two bytes past the end: a gap of zeros
    ASSERT_TRUE(commitReplacement(file));
    EXPECT_EQ(readFile(scratch.path("out.bmp")), (Bytes{'a', 'b', 'X', 'Y', 0, 0, 'Z'}));
}

TEST(BinaryFile, PutAtPositionZeroContinuesWhereTheLastPutEnded) {
    Scratch scratch;
    BinaryFile file;
    ASSERT_TRUE(openReplacement(file, scratch.path("out.bmp")));
    const Bytes ab = bytesOf("ab"), cd = bytesOf("cd"), e = bytesOf("e");
    file.put(0, ab.data(), ab.size()); // the start, just after opening
    file.put(0, cd.data(), cd.size());
    file.put(0, e.data(), e.size());
    ASSERT_TRUE(commitReplacement(file));
    EXPECT_EQ(readFile(scratch.path("out.bmp")), bytesOf("abcde"));
}

TEST(BinaryFile, GetAtPositionZeroContinuesWhereTheLastPutEnded) {
    Scratch scratch;
    BinaryFile file;
    ASSERT_TRUE(openReplacement(file, scratch.path("out.bmp")));
    const Bytes eight = bytesOf("abcdefgh"), xy = bytesOf("XY");
    file.put(1, eight.data(), eight.size());
    file.put(1, xy.data(), xy.size());
    Bytes buffer(2, 0xEE);
    file.get(0, buffer.data(), buffer.size());
    EXPECT_EQ(buffer, bytesOf("cd"));
    discardReplacement(file);
}

TEST(BinaryFile, PutAtPositionZeroContinuesWhereTheLastGetEnded) {
    Scratch scratch;
    BinaryFile file;
    ASSERT_TRUE(openReplacement(file, scratch.path("out.bmp")));
    const Bytes eight = bytesOf("abcdefgh"), xy = bytesOf("XY");
    file.put(1, eight.data(), eight.size());
    Bytes buffer(2, 0xEE);
    file.get(1, buffer.data(), buffer.size());
    file.put(0, xy.data(), xy.size());
    ASSERT_TRUE(commitReplacement(file));
    EXPECT_EQ(readFile(scratch.path("out.bmp")), bytesOf("abXYefgh"));
}

TEST(BinaryFile, PutOfOneZeroByteWritesOneZeroByte) {
    Scratch scratch;
    BinaryFile file;
    ASSERT_TRUE(openReplacement(file, scratch.path("out.bmp")));
    const std::uint8_t zero = 0;
    file.put(1, &zero, 1);
    ASSERT_TRUE(commitReplacement(file));
    EXPECT_EQ(readFile(scratch.path("out.bmp")), Bytes{0});
}

TEST(BinaryFile, PutAtANegativePositionWritesNothing) {
    Scratch scratch;
    BinaryFile file;
    ASSERT_TRUE(openReplacement(file, scratch.path("out.bmp")));
    const Bytes ab = bytesOf("ab"), cd = bytesOf("cd");
    file.put(1, ab.data(), ab.size());
    file.put(-1, cd.data(), cd.size());
    ASSERT_TRUE(commitReplacement(file));
    EXPECT_EQ(readFile(scratch.path("out.bmp")), bytesOf("ab"));
}

} // namespace
