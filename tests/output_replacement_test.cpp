// The safe replacement of an output: the bytes go to a temporary file in the
// output's folder, which replaces the output name only when every byte has
// gone out; a failure, an interruption or the end of the program leaves the
// old file as it was and no temporary file behind.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "output_replacement.h"
#include "test_support.h"

namespace {

const Bytes tenLetters = bytesOf("abcdefghij");

// ---- replacing an output -----------------------------------------------------------------

TEST(OutputReplacement, CommitReplacesALongerFileWhole) {
    Scratch scratch;
    writeFile(scratch.path("out.bmp"), Bytes(100, 0x77));
    BinaryFile file;
    ASSERT_TRUE(openReplacement(file, scratch.path("out.bmp")));
    const Bytes abc = bytesOf("abc");
    file.put(1, abc.data(), abc.size());
    EXPECT_TRUE(commitReplacement(file));
    EXPECT_EQ(file.error, 0);
    EXPECT_EQ(readFile(scratch.path("out.bmp")), abc);
    EXPECT_EQ(folderEntries(scratch.folder), std::vector<std::string>{"out.bmp"});
}

TEST(OutputReplacement, ExistingOutputStaysUntilTheCommit) {
    Scratch scratch;
    writeFile(scratch.path("out.bmp"), tenLetters);
    BinaryFile file;
    ASSERT_TRUE(openReplacement(file, scratch.path("out.bmp")));
    const Bytes big(70000, 0x11); // more than any stream buffer: reaches the disk
    file.put(1, big.data(), big.size());
    EXPECT_EQ(readFile(scratch.path("out.bmp")), tenLetters);
    // The bytes go to a second file in the output's own folder.
    EXPECT_EQ(folderEntries(scratch.folder).size(), 2u);
    ASSERT_TRUE(commitReplacement(file));
    EXPECT_EQ(readFile(scratch.path("out.bmp")), big);
}

// Discarded, the output leaves the folder as it was: an existing file
// unchanged, or no file at all.
TEST(OutputReplacement, DiscardLeavesTheFolderAsItWas) {
    for (bool existing : {true, false}) {
        Scratch scratch;
        if (existing) writeFile(scratch.path("out.bmp"), tenLetters);
        BinaryFile file;
        ASSERT_TRUE(openReplacement(file, scratch.path("out.bmp")));
        const Bytes big(70000, 0x11); // more than any stream buffer: reaches the disk
        file.put(1, big.data(), big.size());
        discardReplacement(file);
        EXPECT_EQ(folderEntries(scratch.folder),
                  existing ? std::vector<std::string>{"out.bmp"} : std::vector<std::string>{});
        if (existing) {
            EXPECT_EQ(readFile(scratch.path("out.bmp")), tenLetters);
        }
    }
}

TEST(OutputReplacement, CommittedFileGetsTheUsualPermissionsOfANewFile) {
    Scratch scratch;
    mode_t previous = umask(022);
    BinaryFile file;
    bool opened = openReplacement(file, scratch.path("out.bmp"));
    umask(previous);
    ASSERT_TRUE(opened);
    ASSERT_TRUE(commitReplacement(file));
    struct stat info;
    ASSERT_EQ(stat(scratch.path("out.bmp").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
}

TEST(OutputReplacement, CommittedFileKeepsThePermissionsOfTheFileItReplaces) {
    Scratch scratch;
    writeFile(scratch.path("out.bmp"), tenLetters);
    ASSERT_EQ(chmod(scratch.path("out.bmp").c_str(), 0640), 0);
    BinaryFile file;
    ASSERT_TRUE(openReplacement(file, scratch.path("out.bmp")));
    const Bytes abc = bytesOf("abc");
    file.put(1, abc.data(), abc.size());
    ASSERT_TRUE(commitReplacement(file));
    struct stat info;
    ASSERT_EQ(stat(scratch.path("out.bmp").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
}

TEST(OutputReplacement, ReplacingAReadOnlyFileIsRefused) {
    Scratch scratch;
    writeFile(scratch.path("out.bmp"), tenLetters);
    ASSERT_EQ(chmod(scratch.path("out.bmp").c_str(), 0444), 0);
    if (access(scratch.path("out.bmp").c_str(), W_OK) == 0)
        GTEST_SKIP() << "runs as root, who may write any file, so a read-only file is no "
                        "refusal here";
    BinaryFile file;
    EXPECT_FALSE(openReplacement(file, scratch.path("out.bmp")));
    EXPECT_EQ(file.error, EACCES);
    EXPECT_FALSE(commitReplacement(file));
    EXPECT_EQ(readFile(scratch.path("out.bmp")), tenLetters);
    EXPECT_EQ(folderEntries(scratch.folder), std::vector<std::string>{"out.bmp"});
}

TEST(OutputReplacement, ReplacingInAMissingFolderFails) {
    Scratch scratch;
    BinaryFile file;
    EXPECT_FALSE(openReplacement(file, scratch.path("no such folder/out.bmp")));
    EXPECT_EQ(file.error, ENOENT);
    const Bytes abc = bytesOf("abc");
    file.put(1, abc.data(), abc.size());
    EXPECT_FALSE(commitReplacement(file));
    EXPECT_TRUE(folderEntries(scratch.folder).empty());
}

TEST(OutputReplacement, ReplacingAFolderFails) {
    Scratch scratch;
    ASSERT_EQ(mkdir(scratch.path("out.bmp").c_str(), 0755), 0);
    BinaryFile file;
    EXPECT_FALSE(openReplacement(file, scratch.path("out.bmp")));
    EXPECT_EQ(file.error, EISDIR);
    EXPECT_FALSE(commitReplacement(file));
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
        if (openReplacement(file, outputName)) {
            writes(file);
            outcome.committed = commitReplacement(file);
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

TEST(OutputReplacement, WriteFailureIsNeverCommitted) {
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

TEST(OutputReplacement, WriteFailureMetWhileAskingTheLengthIsRemembered) {
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

TEST(OutputReplacementDeathTest, UnfinishedOutputIsRemovedWhenTheProgramEnds) {
    Scratch scratch;
    writeFile(scratch.path("out.bmp"), tenLetters);
    const std::string outputName = scratch.path("out.bmp");
    EXPECT_EXIT(
        {
            BinaryFile file;
            if (!openReplacement(file, outputName)) std::_Exit(3);
            const Bytes big(70000, 0x11);
            file.put(1, big.data(), big.size());
            std::exit(1);
        },
        ::testing::ExitedWithCode(1), "");
    EXPECT_EQ(readFile(outputName), tenLetters);
    EXPECT_EQ(folderEntries(scratch.folder), std::vector<std::string>{"out.bmp"});
}

TEST(OutputReplacementDeathTest, UnfinishedOutputIsRemovedWhenTheProgramIsInterrupted) {
    Scratch scratch;
    const std::string outputName = scratch.path("out.bmp");
    EXPECT_EXIT(
        {
            BinaryFile file;
            if (!openReplacement(file, outputName)) std::_Exit(3);
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
TEST(OutputReplacementDeathTest, AnIgnoredHangUpStaysIgnoredWhileWriting) {
    GTEST_FLAG_SET(death_test_style, runningUnderEmulator() ? "fast" : "threadsafe");
    const char* const variable = "OUTPUT_REPLACEMENT_TEST_HANGUP_FOLDER";
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
            if (!openReplacement(file, folder + "/out.bmp")) std::_Exit(3);
            const Bytes abc = bytesOf("abc");
            file.put(1, abc.data(), abc.size());
            std::raise(SIGHUP);
            std::_Exit(commitReplacement(file) ? 0 : 4);
        },
        ::testing::ExitedWithCode(0), "");
    unsetenv(variable);
    EXPECT_EQ(folderEntries(folder), std::vector<std::string>{"out.bmp"});
}

} // namespace
