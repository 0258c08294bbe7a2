// Positioned binary files: 1-based gets and puts, position 0 continuing where
// the last one ended, zeros past the end, inputs opened for reading only, and
// outputs written to a temporary file that replaces the output name only when
// every byte has gone out.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include "binary_file.h"
#include "test_support.h"

namespace {

Bytes bytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

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
    ASSERT_TRUE(file.openReplacement(scratch.path("out.bmp")));
    const Bytes five = bytesOf("12345");
    file.put(1, five.data(), five.size());
    EXPECT_EQ(file.length(), 5);
    file.discardReplacement();
}

// ---- opening an input ------------------------------------------------------------------

TEST(BinaryFile, OpeningAMissingInputCreatesNothing) {
    Scratch scratch;
    BinaryFile file;
    EXPECT_FALSE(file.openForReading(scratch.path("missing.bmp")));
    EXPECT_EQ(file.error, ENOENT);
    EXPECT_TRUE(folderEntries(scratch.folder).empty());
}

TEST(BinaryFile, OpeningAFolderAsInputFails) {
    Scratch scratch;
    BinaryFile file;
    EXPECT_FALSE(file.openForReading(scratch.folder));
    EXPECT_EQ(file.error, EISDIR);
}

TEST(BinaryFile, OpeningAnEmptyInputNameFails) {
    BinaryFile file;
    EXPECT_FALSE(file.openForReading(""));
    EXPECT_EQ(file.error, ENOENT);
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

// ---- the input changing under the reader ---------------------------------------------------

struct ChangeRow {
    const char* name;
    std::function<void(const std::string& path)> change; // between opening and reading
    std::int64_t readFrom;                               // 1-based position of a 4-byte get
    std::string problem;
};

TEST(BinaryFile, AnInputThatChangesAfterOpeningIsNoticed) {
    const std::string changed = "infile changed while it was being read";
    const ChangeRow rows[] = {
        {"unchanged, read to the end", [](const std::string&) {}, 7, ""},
        {"unchanged, read past the end", [](const std::string&) {}, 9, ""},
        {"cut before the bytes read",
         [](const std::string& path) { ASSERT_EQ(truncate(path.c_str(), 4), 0); }, 7, changed},
        {"cut after the bytes read",
         [](const std::string& path) { ASSERT_EQ(truncate(path.c_str(), 8), 0); }, 1, changed},
        {"grown", [](const std::string& path) { writeFile(path, bytesOf("abcdefghijkl")); }, 1,
         changed},
        {"written again, same size",
         [](const std::string& path) {
             writeFile(path, bytesOf("ABCDEFGHIJ"));
             const timeval later[2] = {{2000000000, 0}, {2000000000, 0}};
             utimes(path.c_str(), later);
         },
         1, changed},
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
        EXPECT_EQ(inputReadProblem(file, "in.bmp"), row.problem);
    }
}

TEST(BinaryFile, ProblemLinesNameTheFileWithControlCharactersEscaped) {
    const std::pair<std::string, std::string> names[] = {
        {"plain.bmp", "plain.bmp"},
        {"a\nb", "a\\nb"},
        {"a\r\tb", "a\\r\\tb"},
        {std::string("\x1b[2J\x7f\x01", 6), "\\x1B[2J\\x7F\\x01"},
        {"caf\xc3\xa9 \\.bmp", "caf\xc3\xa9 \\.bmp"}, // UTF-8 and backslashes stay
    };
    for (const auto& name : names) {
        SCOPED_TRACE(name.second);
        EXPECT_EQ(printableName(name.first), name.second);
        BinaryFile output;
        EXPECT_EQ(openOutputProblem(output, "/nonexistent folder/" + name.first),
                  "cannot write outfile /nonexistent folder/" + name.second +
                      ": No such file or directory");
    }
    BinaryFile output;
    EXPECT_EQ(openOutputProblem(output, ""), "no outfile name given");
}

// ---- writing an output --------------------------------------------------------------------

TEST(BinaryFile, PutWritesAtOneBasedPositions) {
    Scratch scratch;
    BinaryFile file;
    ASSERT_TRUE(file.openReplacement(scratch.path("out.bmp")));
    const Bytes abcd = bytesOf("abcd"), xy = bytesOf("XY"), z = bytesOf("Z");
    file.put(1, abcd.data(), abcd.size());
    file.put(3, xy.data(), xy.size());
    file.put(7, z.data(), z.size()); // two bytes past the end: a gap of zeros
    ASSERT_TRUE(file.commitReplacement());
    EXPECT_EQ(readFile(scratch.path("out.bmp")), (Bytes{'a', 'b', 'X', 'Y', 0, 0, 'Z'}));
}

TEST(BinaryFile, PutAtPositionZeroContinuesWhereTheLastPutEnded) {
    Scratch scratch;
    BinaryFile file;
    ASSERT_TRUE(file.openReplacement(scratch.path("out.bmp")));
    const Bytes ab = bytesOf("ab"), cd = bytesOf("cd"), e = bytesOf("e");
    file.put(0, ab.data(), ab.size()); // the start, just after opening
    file.put(0, cd.data(), cd.size());
    file.put(0, e.data(), e.size());
    ASSERT_TRUE(file.commitReplacement());
    EXPECT_EQ(readFile(scratch.path("out.bmp")), bytesOf("abcde"));
}

TEST(BinaryFile, GetAtPositionZeroContinuesWhereTheLastPutEnded) {
    Scratch scratch;
    BinaryFile file;
    ASSERT_TRUE(file.openReplacement(scratch.path("out.bmp")));
    const Bytes eight = bytesOf("abcdefgh"), xy = bytesOf("XY");
    file.put(1, eight.data(), eight.size());
    file.put(1, xy.data(), xy.size());
    Bytes buffer(2, 0xEE);
    file.get(0, buffer.data(), buffer.size());
    EXPECT_EQ(buffer, bytesOf("cd"));
    file.discardReplacement();
}

TEST(BinaryFile, PutAtPositionZeroContinuesWhereTheLastGetEnded) {
    Scratch scratch;
    BinaryFile file;
    ASSERT_TRUE(file.openReplacement(scratch.path("out.bmp")));
    const Bytes eight = bytesOf("abcdefgh"), xy = bytesOf("XY");
    file.put(1, eight.data(), eight.size());
    Bytes buffer(2, 0xEE);
    file.get(1, buffer.data(), buffer.size());
    file.put(0, xy.data(), xy.size());
    ASSERT_TRUE(file.commitReplacement());
    EXPECT_EQ(readFile(scratch.path("out.bmp")), bytesOf("abXYefgh"));
}

TEST(BinaryFile, PutOfOneZeroByteWritesOneZeroByte) {
    Scratch scratch;
    BinaryFile file;
    ASSERT_TRUE(file.openReplacement(scratch.path("out.bmp")));
    const std::uint8_t zero = 0;
    file.put(1, &zero, 1);
    ASSERT_TRUE(file.commitReplacement());
    EXPECT_EQ(readFile(scratch.path("out.bmp")), Bytes{0});
}

TEST(BinaryFile, PutAtANegativePositionWritesNothing) {
    Scratch scratch;
    BinaryFile file;
    ASSERT_TRUE(file.openReplacement(scratch.path("out.bmp")));
    const Bytes ab = bytesOf("ab"), cd = bytesOf("cd");
    file.put(1, ab.data(), ab.size());
    file.put(-1, cd.data(), cd.size());
    ASSERT_TRUE(file.commitReplacement());
    EXPECT_EQ(readFile(scratch.path("out.bmp")), bytesOf("ab"));
}

// ---- replacing an output -----------------------------------------------------------------

TEST(BinaryFile, CommitReplacesALongerFileWhole) {
    Scratch scratch;
    writeFile(scratch.path("out.bmp"), Bytes(100, 0x77));
    BinaryFile file;
    ASSERT_TRUE(file.openReplacement(scratch.path("out.bmp")));
    const Bytes abc = bytesOf("abc");
    file.put(1, abc.data(), abc.size());
    EXPECT_TRUE(file.commitReplacement());
    EXPECT_EQ(file.error, 0);
    EXPECT_EQ(readFile(scratch.path("out.bmp")), abc);
    EXPECT_EQ(folderEntries(scratch.folder), std::vector<std::string>{"out.bmp"});
}

TEST(BinaryFile, CommitCreatesANewFile) {
    Scratch scratch;
    BinaryFile file;
    ASSERT_TRUE(file.openReplacement(scratch.path("out.bmp")));
    const Bytes abc = bytesOf("abc");
    file.put(1, abc.data(), abc.size());
    EXPECT_TRUE(file.commitReplacement());
    EXPECT_EQ(readFile(scratch.path("out.bmp")), abc);
    EXPECT_EQ(folderEntries(scratch.folder), std::vector<std::string>{"out.bmp"});
}

TEST(BinaryFile, ExistingOutputStaysUntilTheCommit) {
    Scratch scratch;
    writeFile(scratch.path("out.bmp"), tenLetters);
    BinaryFile file;
    ASSERT_TRUE(file.openReplacement(scratch.path("out.bmp")));
    const Bytes big(70000, 0x11); // more than any stream buffer: reaches the disk
    file.put(1, big.data(), big.size());
    EXPECT_EQ(readFile(scratch.path("out.bmp")), tenLetters);
    // The bytes go to a second file in the output's own folder.
    EXPECT_EQ(folderEntries(scratch.folder).size(), 2u);
    ASSERT_TRUE(file.commitReplacement());
    EXPECT_EQ(readFile(scratch.path("out.bmp")), big);
}

TEST(BinaryFile, DiscardLeavesAnExistingFileUnchanged) {
    Scratch scratch;
    writeFile(scratch.path("out.bmp"), tenLetters);
    BinaryFile file;
    ASSERT_TRUE(file.openReplacement(scratch.path("out.bmp")));
    const Bytes big(70000, 0x11);
    file.put(1, big.data(), big.size());
    file.discardReplacement();
    EXPECT_EQ(readFile(scratch.path("out.bmp")), tenLetters);
    EXPECT_EQ(folderEntries(scratch.folder), std::vector<std::string>{"out.bmp"});
}

TEST(BinaryFile, DiscardWithoutAnExistingFileLeavesNothing) {
    Scratch scratch;
    BinaryFile file;
    ASSERT_TRUE(file.openReplacement(scratch.path("out.bmp")));
    const Bytes abc = bytesOf("abc");
    file.put(1, abc.data(), abc.size());
    file.discardReplacement();
    EXPECT_TRUE(folderEntries(scratch.folder).empty());
}

TEST(BinaryFile, CommittedFileGetsTheUsualPermissionsOfANewFile) {
    Scratch scratch;
    mode_t previous = umask(022);
    BinaryFile file;
    bool opened = file.openReplacement(scratch.path("out.bmp"));
    umask(previous);
    ASSERT_TRUE(opened);
    ASSERT_TRUE(file.commitReplacement());
    struct stat info;
    ASSERT_EQ(stat(scratch.path("out.bmp").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
}

TEST(BinaryFile, CommittedFileKeepsThePermissionsOfTheFileItReplaces) {
    Scratch scratch;
    writeFile(scratch.path("out.bmp"), tenLetters);
    ASSERT_EQ(chmod(scratch.path("out.bmp").c_str(), 0640), 0);
    BinaryFile file;
    ASSERT_TRUE(file.openReplacement(scratch.path("out.bmp")));
    const Bytes abc = bytesOf("abc");
    file.put(1, abc.data(), abc.size());
    ASSERT_TRUE(file.commitReplacement());
    struct stat info;
    ASSERT_EQ(stat(scratch.path("out.bmp").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
}

TEST(BinaryFile, ReplacingAReadOnlyFileIsRefused) {
    Scratch scratch;
    writeFile(scratch.path("out.bmp"), tenLetters);
    ASSERT_EQ(chmod(scratch.path("out.bmp").c_str(), 0444), 0);
    if (access(scratch.path("out.bmp").c_str(), W_OK) == 0)
        GTEST_SKIP() << "running with privileges that may write any file (root): a read-only "
                        "file cannot be told apart here";
    BinaryFile file;
    EXPECT_FALSE(file.openReplacement(scratch.path("out.bmp")));
    EXPECT_EQ(file.error, EACCES);
    EXPECT_FALSE(file.commitReplacement());
    EXPECT_EQ(readFile(scratch.path("out.bmp")), tenLetters);
    EXPECT_EQ(folderEntries(scratch.folder), std::vector<std::string>{"out.bmp"});
}

TEST(BinaryFile, ReplacingInAMissingFolderFails) {
    Scratch scratch;
    BinaryFile file;
    EXPECT_FALSE(file.openReplacement(scratch.path("no such folder/out.bmp")));
    EXPECT_EQ(file.error, ENOENT);
    const Bytes abc = bytesOf("abc");
    file.put(1, abc.data(), abc.size());
    EXPECT_FALSE(file.commitReplacement());
    EXPECT_TRUE(folderEntries(scratch.folder).empty());
}

TEST(BinaryFile, ReplacingAFolderFails) {
    Scratch scratch;
    ASSERT_EQ(mkdir(scratch.path("out.bmp").c_str(), 0755), 0);
    BinaryFile file;
    EXPECT_FALSE(file.openReplacement(scratch.path("out.bmp")));
    EXPECT_EQ(file.error, EISDIR);
    EXPECT_FALSE(file.commitReplacement());
    EXPECT_EQ(folderEntries(scratch.folder), std::vector<std::string>{"out.bmp"});
}

// ---- write failures -------------------------------------------------------------------------
//
// A real failure: the writes run in a child process whose file size limit is
// small, with SIGXFSZ ignored so that a write past the limit fails with EFBIG
// instead of killing the process. The child reports what commitReplacement
// said and the error it kept.

struct CommitOutcome {
    bool committed = true;
    int error = 0;
};

CommitOutcome commitUnderFileSizeLimit(rlim_t limit, const std::function<void(BinaryFile&)>& writes,
                                       const std::string& outputName) {
    int channel[2];
    if (pipe(channel) != 0) std::abort();
    pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit small{limit, limit};
        setrlimit(RLIMIT_FSIZE, &small);
        CommitOutcome outcome;
        BinaryFile file;
        if (file.openReplacement(outputName)) {
            writes(file);
            outcome.committed = file.commitReplacement();
            outcome.error = file.error;
        } else {
            outcome.committed = false;
            outcome.error = -1; // could not even open
        }
        ssize_t sent = write(channel[1], &outcome, sizeof outcome);
        _exit(sent == ssize_t(sizeof outcome) ? 0 : 1);
    }
    close(channel[1]);
    CommitOutcome outcome;
    outcome.error = -2; // nothing heard from the child
    ssize_t received = read(channel[0], &outcome, sizeof outcome);
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (received != ssize_t(sizeof outcome)) outcome.error = -2;
    return outcome;
}

struct WriteFailureRow {
    const char* name;
    rlim_t limit;
    std::function<void(BinaryFile&)> writes;
};

TEST(BinaryFile, WriteFailureIsNeverCommitted) {
    const Bytes big(70000, 0x22), small(100, 0x33), ten(10, 0x44);
    const std::vector<WriteFailureRow> rows = {
        {"a put too big for the stream buffer fails at once, later puts succeed", 1000,
         [&](BinaryFile& f) {
             f.put(1, big.data(), big.size());
             f.put(1, ten.data(), ten.size());
         }},
        {"buffered puts fail when the commit flushes them", 10,
         [&](BinaryFile& f) { f.put(1, small.data(), small.size()); }},
        {"buffered puts fail when a later get flushes them", 10,
         [&](BinaryFile& f) {
             f.put(1, small.data(), small.size());
             Bytes buffer(4);
             f.get(1, buffer.data(), buffer.size());
         }},
        {"buffered puts fail when a put elsewhere flushes them", 10,
         [&](BinaryFile& f) {
             f.put(1, small.data(), small.size());
             f.put(5, ten.data(), ten.size());
         }},
    };
    for (const WriteFailureRow& row : rows) {
        SCOPED_TRACE(row.name);
        Scratch scratch;
        writeFile(scratch.path("out.bmp"), tenLetters);
        CommitOutcome outcome =
            commitUnderFileSizeLimit(row.limit, row.writes, scratch.path("out.bmp"));
        EXPECT_FALSE(outcome.committed);
        EXPECT_EQ(outcome.error, EFBIG);
        EXPECT_EQ(readFile(scratch.path("out.bmp")), tenLetters);
        EXPECT_EQ(folderEntries(scratch.folder), std::vector<std::string>{"out.bmp"});
    }
}

TEST(BinaryFile, WriteFailureMetWhileAskingTheLengthIsRemembered) {
    Scratch scratch;
    writeFile(scratch.path("out.bmp"), tenLetters);
    const Bytes small(100, 0x33);
    CommitOutcome outcome = commitUnderFileSizeLimit(
        10,
        [&](BinaryFile& f) {
            f.put(1, small.data(), small.size());
            f.length(); // writes out the buffered bytes, which fails
        },
        scratch.path("out.bmp"));
    EXPECT_FALSE(outcome.committed);
    EXPECT_EQ(outcome.error, EFBIG);
    EXPECT_EQ(readFile(scratch.path("out.bmp")), tenLetters);
    EXPECT_EQ(folderEntries(scratch.folder), std::vector<std::string>{"out.bmp"});
}

// ---- an output left unfinished ------------------------------------------------------------

TEST(BinaryFileDeathTest, UnfinishedOutputIsRemovedWhenTheProgramEnds) {
    Scratch scratch;
    writeFile(scratch.path("out.bmp"), tenLetters);
    const std::string outputName = scratch.path("out.bmp");
    EXPECT_EXIT(
        {
            BinaryFile file;
            if (!file.openReplacement(outputName)) std::_Exit(3);
            const Bytes big(70000, 0x11);
            file.put(1, big.data(), big.size());
            std::exit(1);
        },
        ::testing::ExitedWithCode(1), "");
    EXPECT_EQ(readFile(outputName), tenLetters);
    EXPECT_EQ(folderEntries(scratch.folder), std::vector<std::string>{"out.bmp"});
}

TEST(BinaryFileDeathTest, UnfinishedOutputIsRemovedWhenTheProgramIsInterrupted) {
    Scratch scratch;
    const std::string outputName = scratch.path("out.bmp");
    EXPECT_EXIT(
        {
            BinaryFile file;
            if (!file.openReplacement(outputName)) std::_Exit(3);
            const Bytes big(70000, 0x11);
            file.put(1, big.data(), big.size());
            std::raise(SIGTERM);
            std::_Exit(4);
        },
        ::testing::KilledBySignal(SIGTERM), "");
    EXPECT_TRUE(folderEntries(scratch.folder).empty());
}

// A run started with hang-ups ignored (nohup) must survive a hang-up while it
// writes its output. The child is a fresh process, so that no handler set up
// by an earlier test is inherited; it writes into the parent's scratch folder,
// whose name it finds in its environment. Under an emulator the test program
// cannot start itself afresh; there a forked child serves, since CTest runs
// every test in a process of its own.
TEST(BinaryFileDeathTest, AnIgnoredHangUpStaysIgnoredWhileWriting) {
    GTEST_FLAG_SET(death_test_style, runningUnderEmulator() ? "fast" : "threadsafe");
    const char* const variable = "BINARY_FILE_TEST_HANGUP_FOLDER";
    std::unique_ptr<Scratch> scratch;
    std::string folder;
    if (const char* given = std::getenv(variable)) {
        folder = given; // the child
    } else {
        scratch = std::make_unique<Scratch>();
        folder = scratch->folder;
        setenv(variable, folder.c_str(), 1);
    }
    EXPECT_EXIT(
        {
            std::signal(SIGHUP, SIG_IGN);
            BinaryFile file;
            if (!file.openReplacement(folder + "/out.bmp")) std::_Exit(3);
            const Bytes abc = bytesOf("abc");
            file.put(1, abc.data(), abc.size());
            std::raise(SIGHUP);
            std::_Exit(file.commitReplacement() ? 0 : 4);
        },
        ::testing::ExitedWithCode(0), "");
    unsetenv(variable);
    EXPECT_EQ(folderEntries(folder), std::vector<std::string>{"out.bmp"});
}

} // namespace
