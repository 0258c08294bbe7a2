// The colour encodings: pixels worked out by hand, and every input of the
// YUV arithmetic in each direction against the same formulas evaluated in
// long double, rounding each step in a significand of at least 64 bits; and
// the clamping of reconstructed colours.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "colour.h"

namespace {

struct TransformRow {
    int red, green, blue;
    int yjkY, yjkA, yjkB;
    int yuvY, yuvA, yuvB;
};

// clang-format off
const TransformRow transformTable[] = {
    {0, 0, 0, 0, 128, 128, 0, 128, 128},
    {255, 255, 255, 221, 145, 145, 255, 128, 128},
    {255, 0, 0, 63, 224, 96, 76, 91, 206},
    {0, 255, 0, 31, 112, 240, 150, 54, 62},
    {0, 0, 255, 127, 64, 64, 29, 239, 115},
    {128, 128, 128, 112, 136, 136, 128, 128, 128},
    {1, 2, 3, 1, 128, 128, 2, 128, 127},     // V = -1 halves to -1, not 0
    {0, 0, 250, 125, 65, 65, 29, 237, 115},  // luma 28.5000...02: just above the half
    {2, 10, 88, 45, 106, 110, 16, 163, 122}, // luma exactly 16.5: the even 16
};
// clang-format on

std::vector<int> triple(const Samples& s) { return {s.y, s.a, s.b}; }

TEST(ColourTransform, BothEncodingsOfTheTable) {
    for (const TransformRow& row : transformTable) {
        SCOPED_TRACE(::testing::Message() << row.red << "," << row.green << "," << row.blue);
        EXPECT_EQ(triple(yjkFromRgb(row.red, row.green, row.blue)),
                  (std::vector<int>{row.yjkY, row.yjkA, row.yjkB}));
        EXPECT_EQ(triple(yuvFromRgb(row.red, row.green, row.blue)),
                  (std::vector<int>{row.yuvY, row.yuvA, row.yuvB}));
    }
}

TEST(ColourTransform, StoredValuesStayInsideTheirRanges) {
    int minA = 255, maxA = 0, minB = 255, maxB = 0, maxY = 0;
    for (int r = 0; r < 256; r += 5)
        for (int g = 0; g < 256; g += 5)
            for (int b = 0; b < 256; b += 5) {
                Samples s = yjkFromRgb(r, g, b);
                minA = std::min(minA, s.a), maxA = std::max(maxA, s.a);
                minB = std::min(minB, s.b), maxB = std::max(maxB, s.b);
                maxY = std::max(maxY, s.y);
            }
    // The corners of the colour cube reach the extremes.
    EXPECT_EQ(maxY, 221);
    EXPECT_EQ(minA, 49);
    EXPECT_EQ(maxA, 224);
    EXPECT_EQ(minB, 33);
    EXPECT_EQ(maxB, 240);
}

// Straight from the formulas in long double, rounded to nearest even by the C
// library. The weights are double literals on purpose: the doubles nearest
// the decimals, widened exactly.
const long double wR = 0.299, wG = 0.587, wB = 0.114, sU = 0.493, sV = 0.877;
int nearestEven(long double value) { return int(std::llrint(value)); }
bool longDoubleTooNarrow() { return std::numeric_limits<long double>::digits < 64; }

// Steps that depend on one value only are evaluated once per value, outside
// the inner loop; they give the same numbers each time.
TEST(ColourTransform, YuvForwardMatchesLongDoubleForEveryColour) {
    if (longDoubleTooNarrow()) GTEST_SKIP() << "long double has under 64 significant bits";
    long double blueProduct[256];
    int uFromDifference[511], vFromDifference[511]; // index B - Y or R - Y, plus 255
    for (int b = 0; b < 256; ++b) blueProduct[b] = b * wB;
    for (int d = -255; d <= 255; ++d) {
        uFromDifference[d + 255] = nearestEven(d * sU);
        vFromDifference[d + 255] = nearestEven(d * sV);
    }
    int mismatches = 0;
    for (int r = 0; r < 256; ++r)
        for (int g = 0; g < 256; ++g) {
            const long double redAndGreen = r * wR + g * wG;
            for (int b = 0; b < 256; ++b) {
                int y = nearestEven(redAndGreen + blueProduct[b]);
                int a = uFromDifference[b - y + 255] + 128;
                int v = vFromDifference[r - y + 255];
                int stored = int(std::floor(v / 2.0)) + 128; // halved, floored
                Samples s = yuvFromRgb(r, g, b);
                if (s.y != y || s.a != a || s.b != stored) ++mismatches;
            }
        }
    EXPECT_EQ(mismatches, 0);
}

TEST(ColourTransform, YuvInverseMatchesLongDoubleForEverySample) {
    if (longDoubleTooNarrow()) GTEST_SKIP() << "long double has under 64 significant bits";
    int mismatches = 0;
    for (int y = 0; y < 256; ++y) {
        int red[256];                // by stored V byte
        long double redProduct[256]; // R x 0.299
        for (int b = 0; b < 256; ++b) {
            red[b] = nearestEven(2 * (b - 128) / sV + y);
            redProduct[b] = red[b] * wR;
        }
        for (int a = 0; a < 256; ++a) {
            const int blue = nearestEven((a - 128) / sU + y);
            const long double lumaLessBlue = y - blue * wB;
            for (int b = 0; b < 256; ++b) {
                int green = nearestEven((lumaLessBlue - redProduct[b]) / wG);
                Rgb c = rgbFromYuv({y, a, b});
                if (c.red != red[b] || c.green != green || c.blue != blue) ++mismatches;
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
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
