// The converter's stages one by one: subsampling, dithering and
// reconstruction, against values worked out by hand.
#include <gtest/gtest.h>

#include <algorithm>

#include "colour.h"
#include "preview_writer.h"
#include "dithering.h"
#include "sample_rows.h"
#include "chroma_blocks.h"

namespace {

// ---- subsampling ----------------------------------------------------------------

ConverterSettings factors(int h, int v) {
    ConverterSettings s;
    s.hFactor = std::uint8_t(h);
    s.vFactor = std::uint8_t(v);
    s.hShift = std::uint8_t(h >> 1);
    s.vShift = std::uint8_t(v >> 1);
    return s;
}

// The chroma planes of a width x height picture, every row loaded at once
// (a ring as tall as the picture), averaged block row by block row. Plane B
// holds 255 - A.
struct Averaged {
    int subWidth = 0;
    std::vector<std::uint8_t> a, b; // subWidth x subHeight cells, row sy = 0 first
    int atA(int sx, int sy) const { return a[std::size_t(sy * subWidth + sx)]; }
    int atB(int sx, int sy) const { return b[std::size_t(sy * subWidth + sx)]; }
};

Averaged average(int width, int height, const std::vector<std::uint8_t>& a,
                 const ConverterSettings& s) {
    SampleRows rows;
    rows.width = width;
    rows.rowCount = height;
    rows.chromaA = a;
    for (std::uint8_t sample : a) rows.chromaB.push_back(std::uint8_t(255 - sample));
    Averaged result;
    result.subWidth = (width + 3) >> s.hShift;
    const int subHeight = (height + 3) >> s.vShift;
    BlockRows blocks;
    blocks.subWidth = result.subWidth;
    blocks.chromaA.resize(2 * std::size_t(result.subWidth));
    blocks.chromaB.resize(2 * std::size_t(result.subWidth));
    for (int sy = 0; sy < subHeight; ++sy) {
        averageBlockRow(s, height, rows, sy, blocks);
        result.a.insert(result.a.end(), blocks.rowA(sy), blocks.rowA(sy) + result.subWidth);
        result.b.insert(result.b.end(), blocks.rowB(sy), blocks.rowB(sy) + result.subWidth);
    }
    return result;
}

TEST(Subsampling, FactorsOneCopyTheSamples) {
    ConverterSettings s = factors(1, 1);
    Averaged p = average(3, 2, {1, 2, 3, 4, 5, 6}, s);
    EXPECT_EQ(p.subWidth, 6);
    EXPECT_EQ(p.atA(0, 0), 1);
    EXPECT_EQ(p.atA(2, 0), 3);
    EXPECT_EQ(p.atA(1, 1), 5);
    EXPECT_EQ(p.atB(1, 1), 250);
}

TEST(Subsampling, MeanIsRoundedDown) {
    ConverterSettings s = factors(2, 2);
    Averaged p = average(4, 2, {128, 129, 10, 20, 129, 129, 30, 41}, s);
    EXPECT_EQ(p.atA(0, 0), 128); // 515 / 4 = 128.75
    EXPECT_EQ(p.atA(1, 0), 25);  // 101 / 4 = 25.25
    EXPECT_EQ(p.atB(0, 0), 126); // (127 + 126 * 3) / 4 = 126.25
}

TEST(Subsampling, FourByOneAveragesOneRow) {
    ConverterSettings s = factors(4, 1);
    Averaged p = average(4, 2, {0, 1, 2, 3, 100, 100, 100, 103}, s);
    EXPECT_EQ(p.atA(0, 0), 1);   // 6 / 4
    EXPECT_EQ(p.atA(0, 1), 100); // 403 / 4
}

TEST(Subsampling, BlocksPastTheEdgeRepeatTheLastColumnAndRow) {
    // 3 x 3 with 2 x 2 blocks: the right column and the bottom row are
    // repeated to fill the edge blocks.
    ConverterSettings s = factors(2, 2);
    Averaged p = average(3, 3, {10, 20, 30, 40, 50, 60, 70, 80, 90}, s);
    EXPECT_EQ(p.atA(0, 0), 30); // (10 + 20 + 40 + 50) / 4
    EXPECT_EQ(p.atA(1, 0), 45); // (30 + 30 + 60 + 60) / 4
    EXPECT_EQ(p.atA(0, 1), 75); // (70 + 80 + 70 + 80) / 4
    EXPECT_EQ(p.atA(1, 1), 90); // 90 four times
    EXPECT_EQ(p.atA(2, 2), 90); // a spare cell wholly outside
}

// ---- quantisation and dithering ----------------------------------------------------

ConverterSettings preset2(int lumaDither, int chromaDither, int h = 1, int v = 1) {
    ConverterSettings s = factors(h, v);
    s.bitmask1Y = 0xF8, s.bitmask1A = 0xFC, s.bitmask1B = 0xFC;
    s.bitmask2Y = 4, s.bitmask2A = 2, s.bitmask2B = 2;
    s.lumaDither = std::uint8_t(lumaDither);
    s.chromaDither = std::uint8_t(chromaDither);
    return s;
}

// Whole planes for the dithering tests: every row of luma and of the averaged
// chroma held at once, so that the spreading into any cell shows.
struct TestPlanes {
    int width = 0, height = 0, subWidth = 0;
    std::vector<std::uint8_t> luma, chromaA, chromaB; // row y = 0 first
    std::uint8_t& lumaAt(int x, int y) { return luma[std::size_t(y * width + x)]; }
};

TestPlanes flatPlanes(int width, int height, std::uint8_t luma, std::uint8_t chroma,
                      const ConverterSettings& s) {
    TestPlanes p;
    p.width = width, p.height = height;
    p.subWidth = (width + 3) >> s.hShift;
    const int subHeight = (height + 3) >> s.vShift;
    p.luma.assign(std::size_t(width * height), luma);
    p.chromaA.assign(std::size_t(p.subWidth * subHeight), chroma);
    p.chromaB = p.chromaA;
    return p;
}

// The masked samples of pass row y over the whole planes: luma by pixel,
// chroma by block column.
struct MaskedRow {
    std::vector<std::uint8_t> y, a, b;
};

MaskedRow quantiseRow(const ConverterSettings& s, TestPlanes& p, int y) {
    PassRow row = passRowAt(s, y, p.width, p.subWidth);
    row.luma = &p.luma[std::size_t(y * p.width)];
    row.chromaA = &p.chromaA[std::size_t(row.sy * p.subWidth)];
    row.chromaB = &p.chromaB[std::size_t(row.sy * p.subWidth)];
    if (y >= 1) row.lumaNext = row.luma - p.width;
    if (row.sy >= 1) {
        row.chromaANext = row.chromaA - p.subWidth;
        row.chromaBNext = row.chromaB - p.subWidth;
    }
    const int blocks = ((p.width - 1) >> s.hShift) + 1;
    MaskedRow masked{std::vector<std::uint8_t>(std::size_t(p.width)),
                     std::vector<std::uint8_t>(std::size_t(blocks)),
                     std::vector<std::uint8_t>(std::size_t(blocks))};
    quantiseLumaRow(s, row, masked.y.data());
    quantiseChromaRow(s, row, blocks, masked.a.data(), masked.b.data());
    return masked;
}

TEST(Dithering, CheckerboardRoundsUpOnOddSquares) {
    ConverterSettings s = preset2(1, 0);
    TestPlanes p = flatPlanes(4, 4, 12, 128, s);
    for (int y = 3; y >= 0; --y) {
        MaskedRow m = quantiseRow(s, p, y);
        for (int x = 0; x < 4; ++x) EXPECT_EQ(m.y[x], (x + y) % 2 ? 16 : 8) << x << "," << y;
    }
}

TEST(Dithering, CheckerboardLeavesSmallRemaindersDown) {
    ConverterSettings s = preset2(1, 0);
    TestPlanes p = flatPlanes(2, 2, 11, 128, s);
    EXPECT_EQ(quantiseRow(s, p, 1).y, (std::vector<std::uint8_t>{8, 8}));
}

TEST(Dithering, CheckerboardStepIsCappedAt255) {
    ConverterSettings s = preset2(1, 0);
    TestPlanes p = flatPlanes(2, 1, 254, 128, s);
    EXPECT_EQ(quantiseRow(s, p, 0).y[1], 248); // 258 -> 255 -> 248
}

TEST(Dithering, ChromaCheckerboardFollowsTheBlockGrid) {
    ConverterSettings s = preset2(0, 1, 2, 2);
    TestPlanes p = flatPlanes(4, 4, 0, 130, s); // 130 & 2 set: rises to 132 on odd blocks
    for (int y = 3; y >= 0; --y) {
        MaskedRow m = quantiseRow(s, p, y);
        for (int sx = 0; sx < 2; ++sx) {
            int expected = (sx + (y >> 1)) % 2 ? 132 : 128;
            EXPECT_EQ(m.a[sx], expected) << sx << "," << y;
            EXPECT_EQ(m.b[sx], expected) << sx << "," << y;
        }
    }
}

TEST(Dithering, PresetsWithoutMaskedBitsChangeNothing) {
    ConverterSettings s = factors(1, 1);
    s.bitmask1Y = s.bitmask1A = s.bitmask1B = 0xFF;
    for (int level = 0; level <= 2; ++level) {
        s.lumaDither = s.chromaDither = std::uint8_t(level);
        TestPlanes p = flatPlanes(3, 2, 77, 201, s);
        p.lumaAt(1, 1) = 99;
        for (int y = 1; y >= 0; --y) {
            MaskedRow m = quantiseRow(s, p, y);
            for (int x = 0; x < 3; ++x) {
                EXPECT_EQ(m.y[x], x == 1 && y == 1 ? 99 : 77);
                EXPECT_EQ(m.a[x], 201);
                EXPECT_EQ(m.b[x], 201);
            }
        }
    }
}

// Spreads one luma error of 7 (sample 15 under mask 0xF8) from (x, y) on a
// 3 x 3 plane of zeros by quantising row y, and returns the plane afterwards
// with the sample itself set back to 0. The shares of 7 are 3, 0, 1 and 2
// (7/16, 1/16, 3/16, 5/16 rounded down); the pixels after it on the row pass
// on what they received.
std::vector<std::uint8_t> lumaAfterSpreading(int x, int y) {
    ConverterSettings s = preset2(2, 0);
    TestPlanes p = flatPlanes(3, 3, 0, 128, s);
    p.lumaAt(x, y) = 15;
    quantiseRow(s, p, y);
    p.lumaAt(x, y) = 0;
    return p.luma;
}

TEST(Dithering, LumaErrorDiffusionCellsAndEdges) {
    struct Row {
        int x, y;
        std::vector<std::uint8_t> plane; // row y = 0 first
    };
    const Row rows[] = {
        // Middle: 3 to the right, 0 below right, 1 below left, 2 below (row y - 1).
        {1, 1, {1, 2, 0, 0, 0, 3, 0, 0, 0}},
        // Right edge: the two shares to the right are dropped.
        {2, 1, {0, 1, 2, 0, 0, 0, 0, 0, 0}},
        // Left edge: the share below left is dropped; the 3 on the right
        // passes on 1 in turn.
        {0, 1, {2, 0, 0, 0, 3, 1, 0, 0, 0}},
        // Last row of the pass: only the share to the right is passed on.
        {1, 0, {0, 0, 3, 0, 0, 0, 0, 0, 0}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.x << "," << row.y);
        EXPECT_EQ(lumaAfterSpreading(row.x, row.y), row.plane);
    }
}

TEST(Dithering, SharesDoNotWrapPast255) {
    ConverterSettings s = preset2(2, 0);
    s.bitmask1Y = 0; // the whole sample is error: 255 below is 5/16 of it, 79
    TestPlanes p = flatPlanes(1, 2, 250, 128, s);
    p.lumaAt(0, 1) = 255;
    quantiseRow(s, p, 1);
    EXPECT_EQ(p.lumaAt(0, 0), 255);
}

// Chroma error diffusion with 2 x 2 blocks, mask 0xC0 and every cell at 48:
// each spread passes on a visible share of the error 48.
ConverterSettings coarseChroma() {
    ConverterSettings s = preset2(0, 2, 2, 2);
    s.bitmask1A = s.bitmask1B = 0xC0;
    return s;
}

// Runs the pass and lists the rows on which the blocks spread their error;
// the planes are restored after each row so that every spread shows alike.
std::vector<int> chromaSpreadingRows(int width, int height) {
    ConverterSettings s = coarseChroma();
    TestPlanes p = flatPlanes(width, height, 0, 48, s);
    std::vector<int> spreadingRows;
    for (int y = height - 1; y >= 0; --y) {
        std::vector<std::uint8_t> before = p.chromaA;
        quantiseRow(s, p, y);
        if (p.chromaA != before) spreadingRows.push_back(y);
        p.chromaA = before;
        p.chromaB = before;
    }
    return spreadingRows;
}

TEST(Dithering, ChromaSpreadsOnTheFirstRowOfEachBlockRow) {
    using Rows = std::vector<int>;
    EXPECT_EQ(chromaSpreadingRows(4, 4), (Rows{3, 1}));
    // Height 5: the block row holding row 4 reaches past the picture and never spreads.
    EXPECT_EQ(chromaSpreadingRows(4, 5), (Rows{3, 1}));
    EXPECT_EQ(chromaSpreadingRows(5, 2), (Rows{1}));
}

TEST(Dithering, PartlyCoveredBlockColumnStillSpreads) {
    // Width 5 with 2 x 2 blocks: block column 2 covers x = 4 only. Its 5/16
    // of 48 reaches the cell below it; block column 1 alone gives 1/16.
    ConverterSettings s = coarseChroma();
    TestPlanes p = flatPlanes(5, 4, 0, 48, s);
    quantiseRow(s, p, 3);
    EXPECT_GE(p.chromaA[std::size_t(0 * p.subWidth + 2)], 48 + 15);
}

// ---- reconstruction ------------------------------------------------------------------

struct ReconstructionRow {
    bool yuv;
    int y, a, b;
    int red, green, blue; // before clamping
};

TEST(Reconstruction, WorkedExamples) {
    // clang-format off
    const ReconstructionRow rows[] = {
        {false, 0, 128, 128, 0, 0, 0},
        {false, 255, 128, 128, 255, 255, 318},
        {false, 100, 128, 125, 100, 94, 127}, // K / 4 floors: -6 >> 2 = -2
        {false, 200, 100, 150, 144, 244, 267},
        {true, 100, 128, 128, 100, 100, 100},
        {true, 100, 150, 140, 127, 78, 145},  // green 77.51 before rounding
    };
    // clang-format on
    for (const ReconstructionRow& row : rows) {
        SCOPED_TRACE(::testing::Message()
                     << row.yuv << " " << row.y << "/" << row.a << "/" << row.b);
        Samples m{row.y, row.a, row.b};
        Rgb c = row.yuv ? rgbFromYuv(m) : rgbFromYjk(m);
        EXPECT_EQ(c.red, row.red);
        EXPECT_EQ(c.green, row.green);
        EXPECT_EQ(c.blue, row.blue);
    }
}

TEST(Reconstruction, ClampsEachPrimary) {
    Rgb c = clampAndFilter({-3, 300, 255}, false);
    EXPECT_EQ(c.red, 0);
    EXPECT_EQ(c.green, 255);
    EXPECT_EQ(c.blue, 255);
}

TEST(Reconstruction, DacFilterKeepsFiveBits) {
    Rgb c = clampAndFilter({255, 7, 200}, true);
    EXPECT_EQ(c.red, 248);
    EXPECT_EQ(c.green, 0);
    EXPECT_EQ(c.blue, 200);
    Rgb clamped = clampAndFilter({318, -20, 263}, true);
    EXPECT_EQ(clamped.red, 248);
    EXPECT_EQ(clamped.green, 0);
    EXPECT_EQ(clamped.blue, 248);
}

} // namespace
