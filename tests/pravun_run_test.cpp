// The resizer run as a user runs it: the real program with its words and
// piped answers, its console bytes, its exit status and the files it leaves.
#include <gtest/gtest.h>

#include <cstdio>

#include "test_support.h"

namespace {

const std::string pravun = PRAVUN_EXECUTABLE;

const std::string banner = crlfLines({"Brovent quick 24-bit BMP resizer V2.32", ""});
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

class PravunRun : public ::testing::Test {
  protected:
    Scratch scratch;
    const std::string folder = scratch.folder;
    void SetUp() override { writeFile(path("in.bmp"), bmpFile(asymmetricPicture(20, 10))); }
    std::string path(const std::string& name) const { return scratch.path(name); }
    RunResult run(const std::vector<std::string>& words, const std::string& answers = "") {
        return runProgram(pravun, words, answers, folder);
    }
};

// ---- the dialogue ----------------------------------------------------------------

TEST_F(PravunRun, NoWordsShowUsageThenAskNamesAndTheSizeMenu) {
    RunResult result = run({}, "in.bmp\nout.bmp\n2\n8\n");
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.console, banner + usage + "infile outfile " + sizeMenu(20, 10) + "new width ");
    Bytes file = readFile(path("out.bmp"));
    EXPECT_EQ(field32(file, 18), 8u);
    EXPECT_EQ(field32(file, 22), 4u);
}

TEST_F(PravunRun, HelpAndVersionAnswerAndEndWithStatusZero) {
    RunResult help = run({"--help"});
    EXPECT_EQ(help.exitStatus, 0);
    EXPECT_EQ(help.console.rfind("pravun: ", 0), 0u); // no banner before it
    EXPECT_NE(help.console.find("pravun photo.bmp /m256x212 /t screen.bmp\r\n"), std::string::npos);
    RunResult version = run({"--version"});
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
    RunResult result = run({"in.bmp", "out.bmp"}, "asked.bmp\n2\n8\n");
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.console, banner + outfileQuestion + sizeMenu(20, 10) + "new width ");
    EXPECT_TRUE(fileExists(path("asked.bmp")));
    EXPECT_FALSE(fileExists(path("out.bmp")));
}

TEST_F(PravunRun, MenuChoiceFourIsAskedAgainWithoutTheMenu) {
    RunResult result = run({"in.bmp", "/t"}, "out.bmp\n4\n2\n8\n");
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.console, banner + outfileQuestion + sizeMenu(20, 10) + "new width ");
    EXPECT_EQ(field32(readFile(path("out.bmp")), 18), 8u);
}

TEST_F(PravunRun, MenuAnswer257ReadsAsOneAndAsksTheHeight) {
    RunResult result = run({"in.bmp", "/a100"}, "out.bmp\n257\n5\n");
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.console, banner + outfileQuestion + sizeMenu(20, 10) + "new height ");
    Bytes file = readFile(path("out.bmp"));
    EXPECT_EQ(field32(file, 18), 8u); // 10 derived from height 5, rounded to 8
    EXPECT_EQ(field32(file, 22), 5u);
}

TEST_F(PravunRun, MenuChoiceThreeAsksHeightThenWidth) {
    RunResult result = run({"in.bmp", "/t", "out.bmp"}, "3\n5\n12\n");
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.console, banner + sizeMenu(20, 10) + "new height new width ");
    Bytes file = readFile(path("out.bmp"));
    EXPECT_EQ(field32(file, 18), 12u);
    EXPECT_EQ(field32(file, 22), 5u);
}

TEST_F(PravunRun, FullCommandLinePrintsOnlyTheBanner) {
    RunResult result = run({"in.bmp", "/h8", "out.bmp"});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.console, banner);
    EXPECT_EQ(readFile(path("out.bmp")).size(), 54u + 8u * 4u * 3u);
}

// ---- files ---------------------------------------------------------------------------

TEST_F(PravunRun, AbsolutePathsAreFileNamesNotOptions) {
    ASSERT_EQ(run({"in.bmp", "/h8", "relative.bmp"}).exitStatus, 0);
    RunResult result = run({path("in.bmp"), "/h8", path("absolute.bmp")});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.console, banner);
    EXPECT_EQ(readFile(path("absolute.bmp")), readFile(path("relative.bmp")));
}

TEST_F(PravunRun, CropWithoutBoxWritesTheWholeScaledPicture) {
    ASSERT_EQ(run({"in.bmp", "/h8", "plain.bmp"}).exitStatus, 0);
    ASSERT_EQ(run({"in.bmp", "/h8", "/t", "cropped.bmp"}).exitStatus, 0);
    EXPECT_EQ(readFile(path("cropped.bmp")), readFile(path("plain.bmp")));
}

TEST_F(PravunRun, BoxFillWritesTheMiddleOfTheScaledPicture) {
    writeFile(path("wide.bmp"), bmpFile(asymmetricPicture(1000, 500)));
    ASSERT_EQ(run({"wide.bmp", "/h480", "scaled.bmp"}).exitStatus, 0);
    ASSERT_EQ(run({"wide.bmp", "/m320x240", "/t", "filled.bmp"}).exitStatus, 0);
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

TEST_F(PravunRun, OutputNameEqualToInputNameReplacesTheInput) {
    ASSERT_EQ(run({"in.bmp", "/h8", "expected.bmp"}).exitStatus, 0);
    RunResult result = run({"in.bmp", "/h8", "in.bmp"});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(readFile(path("in.bmp")), readFile(path("expected.bmp")));
}

TEST_F(PravunRun, ExistingLongerOutputIsReplacedWhole) {
    writeFile(path("out.bmp"), Bytes(100000, 0x77));
    ASSERT_EQ(run({"in.bmp", "/h8", "out.bmp"}).exitStatus, 0);
    EXPECT_EQ(readFile(path("out.bmp")).size(), 54u + 8u * 4u * 3u);
}

// ---- refusals ----------------------------------------------------------------------

struct RefusalRow {
    std::vector<std::string> words;
    std::string answers;
    std::string console; // after the banner
};

const RefusalRow refusalTable[] = {
    {{"text.bmp", "/h8", "out.bmp"}, "", "infile is not a 'BM'\r\n"},
    {{"missing.bmp", "/h8", "out.bmp"},
     "",
     "cannot open infile missing.bmp: No such file or directory\r\n"},
    {{"in.bmp", "/h2", "out.bmp"},
     "",
     "the new width 2 rounds down to 0 (widths are multiples of 4)\r\n"},
    {{"in.bmp", "/h6000", "out.bmp"},
     "",
     "the new width 6000 is more than 256 times the input width 20\r\n"},
    {{"in.bmp", "/h99999", "/h99999", "out.bmp"},
     "",
     "new width 1410065407 is too large (at most 16777215)\r\n"},
    {{"in.bmp", "/h8", "/v3000", "out.bmp"},
     "",
     "the new height 3000 is more than 256 times the input height 10\r\n"},
    {{"in.bmp", "/t", "out.bmp"},
     "1\n0\n",
     sizeMenu(20, 10) + "new height \r\nno new width or height given\r\n"},
};

TEST_F(PravunRun, RefusalsPrintOneLineAndWriteNothing) {
    writeFile(path("text.bmp"), Bytes{'h', 'e', 'l', 'l', 'o'});
    for (const RefusalRow& row : refusalTable) {
        SCOPED_TRACE(row.console);
        RunResult result = run(row.words, row.answers);
        EXPECT_EQ(result.exitStatus, 1);
        EXPECT_EQ(result.console, banner + row.console);
        EXPECT_FALSE(fileExists(path("out.bmp")));
        EXPECT_FALSE(fileExists(path("missing.bmp")));
        EXPECT_EQ(folderEntries(folder).size(), 2u); // in.bmp and text.bmp
    }
}

TEST_F(PravunRun, RefusalLeavesAnExistingOutputUnchanged) {
    const Bytes old(300, 0x42);
    writeFile(path("out.bmp"), old);
    RunResult result = run({"in.bmp", "/h1", "out.bmp"});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(readFile(path("out.bmp")), old);
}

} // namespace
