// tessalo --decode refusing what it must not write or read: an output named
// as a screen file, the screen file itself under another name (the names
// that reach a file are a table of the file tests), and a screen file that
// is no regular file. Each refusal is one line and status 1, with every
// file left as it was.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "test_support.h"

namespace {

struct DecodeRefusal {
    const char* name;
    std::vector<std::string> words;
    std::string line;
};

TEST(Decode, RefusalsLeaveEveryFileAsItWas) {
    Scratch scratch;
    Bytes screen = {0xFE, 0, 0, 0xFF, 1, 0, 0}; // two lines of screen 12
    screen.resize(7 + 512, 0x10);
    writeFile(scratch.path("in.SCC"), screen);
    ASSERT_EQ(symlink("in.SCC", scratch.path("link.bmp").c_str()), 0);
    ASSERT_EQ(mkfifo(scratch.path("pipe.SCC").c_str(), 0600), 0);
    const std::vector<std::string> entries = folderEntries(scratch.folder);
    const std::string bmpName = ": a decoded picture is a BMP, not a screen file; name it .bmp";
    const std::string itself = ": that is the screen file itself, which the BMP would replace";
    // clang-format off
    const DecodeRefusal rows[] = {
        {"into itself", {"--decode", "in.SCC", "in.SCC"}, "cannot decode in.SCC into in.SCC" + bmpName},
        {"into another screen file's name", {"--decode", "in.SCC", "out.sca"}, "cannot decode in.SCC into out.sca" + bmpName},
        {"into a link to itself", {"--decode", "in.SCC", "link.bmp"}, "cannot decode in.SCC into link.bmp" + itself},
        {"from a named pipe", {"--decode", "pipe.SCC", "out.bmp"}, "cannot read infile pipe.SCC: it is not a regular file (pictures are read by position; save it to a file first)"},
    };
    // clang-format on
    for (const DecodeRefusal& row : rows) {
        SCOPED_TRACE(row.name);
        RunResult run = runProgram(TESSALO_EXECUTABLE, row.words, "", scratch.folder);
        EXPECT_EQ(run.exitStatus, 1);
        EXPECT_EQ(run.console, row.line + "\r\n");
        EXPECT_EQ(readFile(scratch.path("in.SCC")), screen);
        EXPECT_EQ(folderEntries(scratch.folder), entries);
    }
}

} // namespace
