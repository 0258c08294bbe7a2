// The converter's stages one by one: subsampling, dithering and
// reconstruction, against values worked out by hand.
#include <gtest/gtest.h>

#include <algorithm>

#include "loading.h"
#include "output.h"
#include "quantising.h"
#include "subsampling.h"

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

Plane plane(int width, int height, const std::vector<std::uint8_t>& samples) {
    Plane p;
    allocatePlane(p, width, height);
    std::copy(samples.begin(), samples.end(), p.samples.get());
    return p;
}

std::vector<std::uint8_t> samplesOf(const Plane& p) {
    return std::vector<std::uint8_t>(p.samples.get(), p.samples.get() + p.size());
}

void setSamples(Plane& p, const std::vector<std::uint8_t>& samples) {
    std::copy(samples.begin(), samples.end(), p.samples.get());
}

ConverterPlanes chromaPlanes(int width, int height, const std::vector<std::uint8_t>& a,
                             const ConverterSettings& s) {
    ConverterPlanes planes;
    planes.chromaA = plane(width, height, a);
    std::vector<std::uint8_t> b(a.size());
    for (std::size_t i = 0; i < a.size(); ++i) b[i] = std::uint8_t(255 - a[i]);
    planes.chromaB = plane(width, height, b);
    int subWidth = (width + 3) >> s.hShift, subHeight = (height + 3) >> s.vShift;
    planes.subChromaA = plane(subWidth, subHeight, std::vector<std::uint8_t>(subWidth * subHeight));
    planes.subChromaB = plane(subWidth, subHeight, std::vector<std::uint8_t>(subWidth * subHeight));
    return planes;
}

TEST(Subsampling, FactorsOneCopyTheSamples) {
    ConverterSettings s = factors(1, 1);
    ConverterPlanes p = chromaPlanes(3, 2, {1, 2, 3, 4, 5, 6}, s);
    subsampleChroma(s, p);
    EXPECT_EQ(p.subChromaA.width, 6);
    EXPECT_EQ(p.subChromaA.at(0, 0), 1);
    EXPECT_EQ(p.subChromaA.at(2, 0), 3);
    EXPECT_EQ(p.subChromaA.at(1, 1), 5);
    EXPECT_EQ(p.subChromaB.at(1, 1), 250);
}

TEST(Subsampling, MeanIsRoundedDown) {
    ConverterSettings s = factors(2, 2);
    ConverterPlanes p = chromaPlanes(4, 2, {128, 129, 10, 20, 129, 129, 30, 41}, s);
    subsampleChroma(s, p);
    EXPECT_EQ(p.subChromaA.at(0, 0), 128); // 515 / 4 = 128.75
    EXPECT_EQ(p.subChromaA.at(1, 0), 25);  // 101 / 4 = 25.25
    EXPECT_EQ(p.subChromaB.at(0, 0), 126); // (127 + 126 * 3) / 4 = 126.25
}

TEST(Subsampling, FourByOneAveragesOneRow) {
    ConverterSettings s = factors(4, 1);
    ConverterPlanes p = chromaPlanes(4, 2, {0, 1, 2, 3, 100, 100, 100, 103}, s);
    subsampleChroma(s, p);
    EXPECT_EQ(p.subChromaA.at(0, 0), 1);   // 6 / 4
    EXPECT_EQ(p.subChromaA.at(0, 1), 100); // 403 / 4
}

TEST(Subsampling, BlocksPastTheEdgeRepeatTheLastColumnAndRow) {
    // 3 x 3 with 2 x 2 blocks: the right column and the bottom row are
    // repeated to fill the edge blocks.
    ConverterSettings s = factors(2, 2);
    ConverterPlanes p = chromaPlanes(3, 3, {10, 20, 30, 40, 50, 60, 70, 80, 90}, s);
    subsampleChroma(s, p);
    EXPECT_EQ(p.subChromaA.at(0, 0), 30); // (10 + 20 + 40 + 50) / 4
    EXPECT_EQ(p.subChromaA.at(1, 0), 45); // (30 + 30 + 60 + 60) / 4
    EXPECT_EQ(p.subChromaA.at(0, 1), 75); // (70 + 80 + 70 + 80) / 4
    EXPECT_EQ(p.subChromaA.at(1, 1), 90); // 90 four times
    EXPECT_EQ(p.subChromaA.at(2, 2), 90); // a spare cell wholly outside
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

ConverterPlanes flatPlanes(int width, int height, std::uint8_t luma, std::uint8_t chroma,
                           const ConverterSettings& s) {
    ConverterPlanes planes;
    planes.luma = plane(width, height, std::vector<std::uint8_t>(width * height, luma));
    int subWidth = (width + 3) >> s.hShift, subHeight = (height + 3) >> s.vShift;
    std::vector<std::uint8_t> flat(std::size_t(subWidth * subHeight), chroma);
    planes.subChromaA = plane(subWidth, subHeight, flat);
    planes.subChromaB = plane(subWidth, subHeight, flat);
    return planes;
}

TEST(Dithering, CheckerboardRoundsUpOnOddSquares) {
    ConverterSettings s = preset2(1, 0);
    ConverterPlanes p = flatPlanes(4, 4, 12, 128, s);
    for (int y = 3; y >= 0; --y)
        for (int x = 0; x < 4; ++x) {
            SCOPED_TRACE(::testing::Message() << x << "," << y);
            EXPECT_EQ(quantisePixel(s, p, x, y, y).y, (x + y) % 2 ? 16 : 8);
        }
}

TEST(Dithering, CheckerboardLeavesSmallRemaindersDown) {
    ConverterSettings s = preset2(1, 0);
    ConverterPlanes p = flatPlanes(2, 2, 11, 128, s);
    EXPECT_EQ(quantisePixel(s, p, 0, 1, 1).y, 8);
    EXPECT_EQ(quantisePixel(s, p, 1, 1, 1).y, 8);
}

TEST(Dithering, CheckerboardStepIsCappedAt255) {
    ConverterSettings s = preset2(1, 0);
    ConverterPlanes p = flatPlanes(2, 1, 254, 128, s);
    EXPECT_EQ(quantisePixel(s, p, 1, 0, 0).y, 248); // 258 -> 255 -> 248
}

TEST(Dithering, ChromaCheckerboardFollowsTheBlockGrid) {
    ConverterSettings s = preset2(0, 1, 2, 2);
    ConverterPlanes p = flatPlanes(4, 4, 0, 130, s); // 130 & 2 set: rises to 132 on odd blocks
    for (int y = 3; y >= 0; --y)
        for (int x = 0; x < 4; ++x) {
            SCOPED_TRACE(::testing::Message() << x << "," << y);
            int expected = ((x >> 1) + (y >> 1)) % 2 ? 132 : 128;
            Samples m = quantisePixel(s, p, x, y, y >> 1);
            EXPECT_EQ(m.a, expected);
            EXPECT_EQ(m.b, expected);
        }
}

TEST(Dithering, PresetsWithoutMaskedBitsChangeNothing) {
    ConverterSettings s = factors(1, 1);
    s.bitmask1Y = s.bitmask1A = s.bitmask1B = 0xFF;
    for (int level = 0; level <= 2; ++level) {
        s.lumaDither = s.chromaDither = std::uint8_t(level);
        ConverterPlanes p = flatPlanes(3, 2, 77, 201, s);
        p.luma.at(1, 1) = 99;
        for (int y = 1; y >= 0; --y)
            for (int x = 0; x < 3; ++x) {
                Samples m = quantisePixel(s, p, x, y, y);
                EXPECT_EQ(m.y, x == 1 && y == 1 ? 99 : 77);
                EXPECT_EQ(m.a, 201);
                EXPECT_EQ(m.b, 201);
            }
    }
}

TEST(Dithering, ErrorOfSevenSpreadsThreeZeroOneTwo) {
    std::uint8_t cells[4] = {100, 100, 100, 100};
    const int weights[4] = {7, 1, 3, 5};
    const int expected[4] = {103, 100, 101, 102};
    for (int i = 0; i < 4; ++i) {
        addShare(cells[i], 7, weights[i]);
        EXPECT_EQ(cells[i], expected[i]);
    }
}

TEST(Dithering, ShareDoesNotWrapPast255) {
    std::uint8_t cell = 250;
    addShare(cell, 255, 7);
    EXPECT_EQ(cell, 255);
}

// Spreads one luma error of 7 (sample 15 under mask 0xF8) from (x, y) on a
// 3 x 3 plane of zeros and returns the plane afterwards.
std::vector<std::uint8_t> lumaAfterSpreading(int x, int y) {
    ConverterSettings s = preset2(2, 0);
    ConverterPlanes p = flatPlanes(3, 3, 0, 128, s);
    p.luma.at(x, y) = 15;
    quantisePixel(s, p, x, y, y);
    p.luma.at(x, y) = 0;
    return samplesOf(p.luma);
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
        // Left edge: the share below left is dropped.
        {0, 1, {2, 0, 0, 0, 3, 0, 0, 0, 0}},
        // Last row of the pass: only the share to the right is passed on.
        {1, 0, {0, 0, 3, 0, 0, 0, 0, 0, 0}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.x << "," << row.y);
        EXPECT_EQ(lumaAfterSpreading(row.x, row.y), row.plane);
    }
}

// Chroma error diffusion with 2 x 2 blocks, mask 0xC0 and every cell at 48:
// each spread passes on a visible share of the error 48.
ConverterSettings coarseChroma() {
    ConverterSettings s = preset2(0, 2, 2, 2);
    s.bitmask1A = s.bitmask1B = 0xC0;
    return s;
}

// Runs the pass and lists the pixels at which some block spread its error;
// the planes are restored after each pixel so that every spread shows alike.
std::vector<std::pair<int, int>> chromaSpreadingPixels(int width, int height) {
    ConverterSettings s = coarseChroma();
    ConverterPlanes p = flatPlanes(width, height, 0, 48, s);
    std::vector<std::pair<int, int>> pixels;
    for (int y = height - 1; y >= 0; --y)
        for (int x = 0; x < width; ++x) {
            std::vector<std::uint8_t> before = samplesOf(p.subChromaA);
            quantisePixel(s, p, x, y, y >> 1);
            if (samplesOf(p.subChromaA) != before) pixels.push_back({x, y});
            setSamples(p.subChromaA, before);
            setSamples(p.subChromaB, before);
        }
    return pixels;
}

TEST(Dithering, ChromaSpreadsAtTheFirstPixelOfEachBlock) {
    using Pixels = std::vector<std::pair<int, int>>;
    EXPECT_EQ(chromaSpreadingPixels(4, 4), (Pixels{{0, 3}, {2, 3}, {0, 1}, {2, 1}}));
    // Height 5: the block row holding row 4 reaches past the picture and never spreads.
    EXPECT_EQ(chromaSpreadingPixels(4, 5), (Pixels{{0, 3}, {2, 3}, {0, 1}, {2, 1}}));
    // Width 5: the partly covered block column at the right still spreads.
    EXPECT_EQ(chromaSpreadingPixels(5, 2), (Pixels{{0, 1}, {2, 1}, {4, 1}}));
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
