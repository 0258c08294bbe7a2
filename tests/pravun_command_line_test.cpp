// The resizer's command line: how the words are classified and how option
// digits are read. The size menu is tested through the real program.
#include <gtest/gtest.h>

#include "command_line.h"

namespace {

Dialogue wordsDialogue(const std::vector<std::string>& words) {
    Dialogue dialogue;
    dialogue.words.push_back("pravun");
    dialogue.words.insert(dialogue.words.end(), words.begin(), words.end());
    return dialogue;
}

struct WordsRow {
    std::vector<std::string> words;
    bool showUsage, askOutputPath;
    std::string inputPath, outputPath;
    bool exactMean = false;
};

const WordsRow wordsTable[] = {
    {{}, true, false, "", ""},
    {{"/h320"}, true, false, "", ""}, // an option before the input name
    {{"/h320", "in.bmp", "out.bmp"}, true, false, "", ""},
    {{"in.bmp", "out.bmp"}, false, true, "in.bmp", ""}, // word 2 is never the output
    {{"in.bmp", "/h320", "out.bmp"}, false, false, "in.bmp", "out.bmp"},
    {{"in.bmp", "/h320", "/v240", "out.bmp"}, false, false, "in.bmp", "out.bmp"},
    {{"in.bmp", "/m640x240", "/a50", "/t", "out.bmp"}, false, true, "in.bmp", ""},
    {{"in.bmp", "/h320"}, false, true, "in.bmp", ""},
    {{"in.bmp", "/h320", ""}, false, true, "in.bmp", ""},
    {{"in.bmp", "-h320", "out.bmp"}, false, true, "in.bmp", ""}, // "-" stops the scan
    {{"/home/u/in.bmp", "/h320", "/tmp/out.bmp"}, false, false, "/home/u/in.bmp", "/tmp/out.bmp"},
    {{"/home/u/in.bmp", "/tmp/out.bmp"}, false, true, "/home/u/in.bmp", ""},
    {{"in.bmp", "/x5", "/", "out.bmp"}, false, false, "in.bmp", "out.bmp"},
    // "/e" is taken out first, wherever it stands after the input name.
    {{"in.bmp", "/m256x212", "/t", "/e", "out.bmp"}, false, false, "in.bmp", "out.bmp", true},
    {{"in.bmp", "/E", "/h8", "/v2", "/a50", "out.bmp"}, false, true, "in.bmp", "", true},
    {{"in.bmp", "/h8", "out.bmp", "/e"}, false, false, "in.bmp", "out.bmp", true},
    {{"/e", "in.bmp", "out.bmp"}, true, false, "", ""},
};

TEST(PravunWords, ClassificationTable) {
    for (const WordsRow& row : wordsTable) {
        std::string joined;
        for (const std::string& word : row.words) joined += "[" + word + "]";
        SCOPED_TRACE(joined);
        WordReading reading = readCommandWords(wordsDialogue(row.words));
        EXPECT_EQ(reading.showUsage, row.showUsage);
        EXPECT_EQ(reading.askOutputPath, row.askOutputPath);
        EXPECT_EQ(reading.settings.inputPath, row.inputPath);
        EXPECT_EQ(reading.settings.outputPath, row.outputPath);
        EXPECT_EQ(reading.settings.exactMean, row.exactMean);
    }
}

struct OptionRow {
    std::vector<std::string> options; // between "in.bmp" and "out.bmp"
    std::uint32_t width, height, aspect;
    bool fit, crop;
};

const OptionRow optionTable[] = {
    {{"/h320"}, 320, 0, 0, false, false},
    {{"/H320"}, 320, 0, 0, false, false},
    {{"/v240"}, 0, 240, 0, false, false},
    {{"/V240"}, 0, 240, 0, false, false},
    {{"/h32x"}, 32, 0, 0, false, false},
    {{"/h1234567"}, 12345, 0, 0, false, false},
    {{"/h32", "/h0"}, 320, 0, 0, false, false},                // digits of a repeated option append
    {{"/h99999", "/h99999"}, 1410065407u, 0, 0, false, false}, // 9999999999 mod 2^32
    {{"/m320x240"}, 320, 240, 0, true, false},
    {{"/M320x240"}, 320, 240, 0, true, false},
    {{"/m320,240"}, 320, 240, 0, true, false},
    {{"/m320"}, 320, 0, 0, true, false},
    {{"/mx240"}, 0, 240, 0, true, false},
    {{"/m123456x240"}, 12345, 0, 0, true, false}, // the 6 is skipped, the x ends it
    {{"/m640x240", "/a50", "/t"}, 640, 240, 50, true, true},
    {{"/A50", "/T"}, 0, 0, 50, false, true},
    {{"/a0"}, 0, 0, 0, false, false},
    {{"/x5", "/"}, 0, 0, 0, false, false},
};

TEST(PravunWords, OptionDigitsTable) {
    for (const OptionRow& row : optionTable) {
        std::string joined;
        for (const std::string& word : row.options) joined += word + " ";
        SCOPED_TRACE(joined);
        std::vector<std::string> words = {"in.bmp"};
        words.insert(words.end(), row.options.begin(), row.options.end());
        words.push_back("out.bmp");
        const ResizeSettings settings = readCommandWords(wordsDialogue(words)).settings;
        EXPECT_EQ(settings.requestedWidth, row.width);
        EXPECT_EQ(settings.requestedHeight, row.height);
        EXPECT_EQ(settings.pixelAspect, row.aspect);
        EXPECT_EQ(settings.fitToBox, row.fit);
        EXPECT_EQ(settings.cropToBox, row.crop);
    }
}

TEST(PravunWords, WordsAfterTheThirdOptionAreNeverRead) {
    WordReading reading =
        readCommandWords(wordsDialogue({"in.bmp", "/h1", "/v2", "/a3", "/h4", "out.bmp"}));
    EXPECT_EQ(reading.settings.requestedWidth, 1u);
    EXPECT_TRUE(reading.askOutputPath);
}

TEST(PravunWords, AbsolutePathIsNotAnOptionWord) {
    EXPECT_TRUE(isOptionWord("/t"));
    EXPECT_TRUE(isOptionWord("/"));
    EXPECT_FALSE(isOptionWord("/tmp/out.bmp"));
    EXPECT_FALSE(isOptionWord("//"));
    EXPECT_FALSE(isOptionWord(""));
    EXPECT_FALSE(isOptionWord("-h320"));
}

TEST(PravunWords, DigitsEndWhereTheNumberEnds) {
    std::uint32_t field = 0;
    EXPECT_EQ(appendDigits("/m320x240", 3, field), 6u); // stops at the x
    EXPECT_EQ(field, 320u);
    field = 0;
    EXPECT_EQ(appendDigits("/m1234567", 3, field), 8u); // five digits at most
    EXPECT_EQ(field, 12345u);
    field = 7;
    EXPECT_EQ(appendDigits("/h", 3, field), 3u); // past the end reads as code 0
    EXPECT_EQ(field, 7u);
}

} // namespace
