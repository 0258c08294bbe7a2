// The resizer run as a user runs it: the real program with its words and
// piped answers, its console bytes, its exit status and the files it leaves.
#include <gtest/gtest.h>

#include <algorithm>

#include "test_support.h"

namespace {

const Program& pravun = programs()[1];
const std::string& banner = pravun.before;
const std::string usage = crlfLines({
    "usage:",
    "PRAVUN INPUT.BMP /h320 /v240 OUTPUT.BMP",
    "        (if only h or v is specified the other will be",
    "          calculated according to the aspect ratio)",
    "PRAVUN INPUT.BMP /m320x240 OUTPUT.BMP",
    "        (hold h dimensions to max. h=320 and v=240",
    "          but maintain original aspect ratio)",
    "PRAVUN INPUT.BMP /m320x240 /t OUTPUT.BMP",
    "        (cut edges of image to match aspect ratio)",
    "PRAVUN INPUT.BMP /m640x240 /a50 OUTPUT.BMP",
    "        (target image will have non-square pixels",
    "          a<100 is skinny pixels, a>100 is wide pixels)",
    "or answer the prompts:",
});

std::string sizeMenu(int width, int height) {
    return crlfLines({"height: " + std::to_string(height) + " width: " + std::to_string(width),
                      "1. resize to height", "2. resize to width",
                      "3. resize to height and width"});
}

// The "infile" line and the question for the output name, for input in.bmp.
const std::string outfileQuestion = "infile in.bmp\r\noutfile ";

std::uint32_t field32(const Bytes& file, std::size_t offset) {
    return std::uint32_t(file.at(offset)) | std::uint32_t(file.at(offset + 1)) << 8 |
           std::uint32_t(file.at(offset + 2)) << 16 | std::uint32_t(file.at(offset + 3)) << 24;
}

// Every run starts with a 20 x 10 in.bmp.
class PravunRun : public ProgramRun {
  protected:
    void SetUp() override { writeFile(path("in.bmp"), bmpFile(asymmetricPicture(20, 10))); }
};

// ---- the dialogue ----------------------------------------------------------------

TEST_F(PravunRun, NoWordsShowUsageThenAskNamesAndTheSizeMenu) {
    RunResult result = run(pravun, {}, "in.bmp\nout.bmp\n2\n8\n");
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.console, banner + usage + "infile outfile " + sizeMenu(20, 10) + "new width ");
    Bytes file = readFile(path("out.bmp"));
    EXPECT_EQ(field32(file, 18), 8u);
    EXPECT_EQ(field32(file, 22), 4u);
}

TEST_F(PravunRun, HelpAndVersionAnswerAndEndWithStatusZero) {
    RunResult help = run(pravun, {"--help"});
    EXPECT_EQ(help.exitStatus, 0);
    EXPECT_EQ(help.console.rfind("pravun: ", 0), 0u); // no banner before it
    EXPECT_NE(help.console.find("pravun photo.bmp /m256x212 /t screen.bmp\r\n"), std::string::npos);
    RunResult version = run(pravun, {"--version"});
    EXPECT_EQ(version.exitStatus, 0);
    EXPECT_EQ(version.console.rfind("pravun ", 0), 0u);
    EXPECT_EQ(version.console.find("\r\n"), version.console.size() - 2);
    // --help tells the banner's version from the release --version prints.
    const std::string release = version.console.substr(7, version.console.size() - 9);
    EXPECT_NE(help.console.find("\"V2.32\" in the banner"), std::string::npos);
    EXPECT_NE(help.console.find("--version prints, is " + release + ".\r\n"), std::string::npos);
    EXPECT_EQ(folderEntries(folder).size(), 1u); // only in.bmp
}

TEST_F(PravunRun, SecondWordIsNotTheOutputName) {
    RunResult result = run(pravun, {"in.bmp", "out.bmp"}, "asked.bmp\n2\n8\n");
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.console, banner + outfileQuestion + sizeMenu(20, 10) + "new width ");
    EXPECT_TRUE(fileExists(path("asked.bmp")));
    EXPECT_FALSE(fileExists(path("out.bmp")));
}

TEST_F(PravunRun, MenuChoiceFourIsAskedAgainWithoutTheMenu) {
    RunResult result = run(pravun, {"in.bmp", "/t"}, "out.bmp\n4\n2\n8\n");
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.console, banner + outfileQuestion + sizeMenu(20, 10) + "new width ");
    EXPECT_EQ(field32(readFile(path("out.bmp")), 18), 8u);
}

TEST_F(PravunRun, MenuAnswer257ReadsAsOneAndAsksTheHeight) {
    RunResult result = run(pravun, {"in.bmp", "/a100"}, "out.bmp\n257\n5\n");
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.console, banner + outfileQuestion + sizeMenu(20, 10) + "new height ");
    Bytes file = readFile(path("out.bmp"));
    EXPECT_EQ(field32(file, 18), 8u); // 10 derived from height 5, rounded to 8
    EXPECT_EQ(field32(file, 22), 5u);
}

TEST_F(PravunRun, MenuChoiceThreeAsksHeightThenWidth) {
    RunResult result = run(pravun, {"in.bmp", "/t", "out.bmp"}, "3\n5\n12\n");
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.console, banner + sizeMenu(20, 10) + "new height new width ");
    Bytes file = readFile(path("out.bmp"));
    EXPECT_EQ(field32(file, 18), 12u);
    EXPECT_EQ(field32(file, 22), 5u);
}

TEST_F(PravunRun, FullCommandLinePrintsOnlyTheBanner) {
    RunResult result = run(pravun, {"in.bmp", "/h8", "out.bmp"});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.console, banner);
    EXPECT_EQ(readFile(path("out.bmp")).size(), 54u + 8u * 4u * 3u);
}

// ---- the box filled ------------------------------------------------------------------

TEST_F(PravunRun, BoxFillWritesTheMiddleOfTheScaledPicture) {
    writeFile(path("wide.bmp"), bmpFile(asymmetricPicture(1000, 500)));
    ASSERT_EQ(run(pravun, {"wide.bmp", "/h480", "scaled.bmp"}).exitStatus, 0);
    ASSERT_EQ(run(pravun, {"wide.bmp", "/m320x240", "/t", "filled.bmp"}).exitStatus, 0);
    Bytes scaled = readFile(path("scaled.bmp")), filled = readFile(path("filled.bmp"));
    ASSERT_EQ(field32(scaled, 18), 480u);
    ASSERT_EQ(field32(scaled, 22), 240u);
    ASSERT_EQ(filled.size(), 54u + 320u * 240u * 3u);
    for (std::size_t row = 0; row < 240; ++row) {
        auto scaledRow = scaled.begin() + std::ptrdiff_t(54 + row * 480 * 3 + 80 * 3);
        auto filledRow = filled.begin() + std::ptrdiff_t(54 + row * 320 * 3);
        ASSERT_TRUE(std::equal(filledRow, filledRow + 320 * 3, scaledRow)) << "row " << row;
    }
}

// ---- refusals ----------------------------------------------------------------------

// A refusal of the input, met before the output is started, and one of the
// size, met after it; every text of both is a row of the unit tables.
struct RefusalRow {
    std::vector<std::string> words;
    std::string console; // after the banner
};

TEST_F(PravunRun, RefusalsPrintOneLineAndWriteNothing) {
    writeFile(path("text.bmp"), Bytes{'h', 'e', 'l', 'l', 'o'});
    const RefusalRow rows[] = {
        {{"text.bmp", "/h8", "out.bmp"}, "infile is not a 'BM'\r\n"},
        {{"in.bmp", "/h2", "out.bmp"},
         "the new width 2 rounds down to 0 (widths are multiples of 4)\r\n"},
    };
    for (const RefusalRow& row : rows) {
        SCOPED_TRACE(row.console);
        RunResult result = run(pravun, row.words);
        EXPECT_EQ(result.exitStatus, 1);
        EXPECT_EQ(result.console, banner + row.console);
        EXPECT_EQ(folderEntries(folder), (std::vector<std::string>{"in.bmp", "text.bmp"}));
    }
}

TEST_F(PravunRun, RefusalLeavesAnExistingOutputUnchanged) {
    const Bytes old(300, 0x42);
    writeFile(path("out.bmp"), old);
    RunResult result = run(pravun, {"in.bmp", "/h1", "out.bmp"});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(readFile(path("out.bmp")), old);
}

} // namespace
