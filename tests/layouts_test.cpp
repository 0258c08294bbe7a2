// Both programs read other BMP layouts through the row reader: a run-length
// file gives the output of its 24-bit twin, and a damaged file or one of
// another format is refused with its lines, status 1 and no output. The
// layouts themselves are the rows of picture_rows_test.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.h"

namespace {

const std::vector<Bgr> fourColours = {{1, 2, 3}, {200, 10, 20}, {30, 220, 40}, {50, 60, 240}};

// A 5 x 4 picture in run-length codes using every escape, and its 24-bit
// twin, rows from the bottom; pixels no code reaches take colour 0.
Bytes runLengthFile() {
    const Bytes codes = {3, 1, 0, 3, 2, 3, 1, 0, 0, 0, 0, 2, 2, 1, 2, 3, 0, 0, 8, 2, 0, 1};
    Bytes file = bmpOf(5, 4, layout(40, 8, 1), fourColours, codes);
    putLe(file, 38, 2835, 4); // the twin's resolution, which pravun keeps
    putLe(file, 42, 2835, 4);
    return file;
}

TestPicture runLengthTwin() {
    const int indices[4][5] = {{1, 1, 1, 2, 3}, {0, 0, 0, 0, 0}, {0, 0, 3, 3, 0}, {2, 2, 2, 2, 2}};
    TestPicture twin{5, 4, {}};
    for (const auto& row : indices)
        for (int index : row) twin.pixels.push_back(fourColours[std::size_t(index)]);
    return twin;
}

struct Program {
    const char* name;
    std::string executable;
    std::vector<std::string> words;
};

const Program programs[] = {
    {"tessalo", TESSALO_EXECUTABLE, {"batch", "2", "2", "2", "2", "1", "y", "in.bmp", "out.bmp"}},
    {"pravun", PRAVUN_EXECUTABLE, {"in.bmp", "/m8x6", "out.bmp"}},
};

Bytes outputFor(const Program& program, const Scratch& scratch, const Bytes& file) {
    writeFile(scratch.path("in.bmp"), file);
    RunResult result = runProgram(program.executable, program.words, "", scratch.folder);
    EXPECT_EQ(result.exitStatus, 0) << result.console;
    return readFile(scratch.path("out.bmp"));
}

// pravun writes a fresh header for another layout, with the input's
// reserved words and resolution: here those of the twin.
TEST(Layouts, ARunLengthFileGivesTheOutputOfItsTwentyFourBitTwin) {
    Scratch scratch;
    for (const Program& program : programs) {
        SCOPED_TRACE(program.name);
        const Bytes expected = outputFor(program, scratch, bmpFile(runLengthTwin()));
        EXPECT_EQ(outputFor(program, scratch, runLengthFile()), expected);
    }
}

struct RefusalRow {
    std::string name;
    Bytes file;
    std::string message; // every line, CR LF ended
};

TEST(Layouts, RefusalsPrintTheirLinesAndWriteNothing) {
    Bytes screen = {0xFE, 0, 0, 0xFF, 0xD3, 0, 0};
    screen.resize(60, 0);
    const RefusalRow rows[] = {
        {"colour index beyond the table",
         bmpOf(5, 1, layout(40, 8), fourColours, {0, 1, 7, 3, 0, 0, 0, 0}),
         "infile uses colour index 7, beyond its colour table of 4 colours\r\n"},
        {"MSX BSAVE file", screen,
         "infile is not a 'BM'\r\ninfile is an MSX BSAVE screen file; to see it, copy it to a "
         "name ending in .SCC (screen 12) or .SCA/.SCB (screens 10/11) and run tessalo --decode "
         "on that\r\n"},
    };
    Scratch scratch;
    for (const RefusalRow& row : rows)
        for (const Program& program : programs) {
            SCOPED_TRACE(row.name + ", " + program.name);
            writeFile(scratch.path("in.bmp"), row.file);
            RunResult result = runProgram(program.executable, program.words, "", scratch.folder);
            EXPECT_EQ(result.exitStatus, 1);
            EXPECT_PRED2(endsWith, result.console, row.message);
            EXPECT_EQ(folderEntries(scratch.folder), std::vector<std::string>{"in.bmp"});
        }
}

} // namespace
