#include "colour.h"

#include <cstdint>

// ---- YJK ----------------------------------------------------------------------

// Y = (B >> 1) + (R >> 2) + (G >> 3), each term floored on its own, J = R - Y,
// K = G - Y. Both chroma values are stored halved (arithmetic shift, which
// floors: -63 becomes -32) and biased by 128. White gives Y = 127 + 63 + 31 = 221.
Samples yjkFromRgb(int red, int green, int blue) {
    int luma = (blue >> 1) + (red >> 2) + (green >> 3);
    int j = red - luma;
    int k = green - luma;
    return {luma, (j >> 1) + 128, (k >> 1) + 128};
}

// R = Y + J, G = Y + K, B = 5Y/4 - J/2 - K/4, with J and K doubled back from
// their stored halves and every quotient taken by an arithmetic shift, which
// rounds toward minus infinity.
Rgb rgbFromYjk(const Samples& masked) {
    int j = 2 * (masked.a - 128);
    int k = 2 * (masked.b - 128);
    return {masked.y + j, masked.y + k, ((5 * masked.y) >> 2) - (j >> 1) - (k >> 2)};
}

// ---- YUV ----------------------------------------------------------------------

// The luma weights are the doubles nearest 0.299, 0.587 and 0.114. Each has 53
// significant bits and is below 1, so times 2^56 it is an exact integer:
// luma x 2^56 = R x weightRed + G x weightGreen + B x weightBlue, exactly.
// The three add up to 2^56 - 3, so the sum for 8-bit R, G, B stays below
// 255 x 2^56 < 2^64.
constexpr int lumaShift = 56;
constexpr std::uint64_t weightRed = 0x4c8b4395810624;   // 0.299 x 2^56
constexpr std::uint64_t weightGreen = 0x9645a1cac08310; // 0.587 x 2^56
constexpr std::uint64_t weightBlue = 0x1d2f1a9fbe76c9;  // 0.114 x 2^56

// The nearest integer to numerator / denominator (denominator > 0): the floor
// of (2 numerator + denominator) / (2 denominator). No ratio taken here is ever
// a half: over the odd divisors 877, 493 and 587 that needs an even number to
// equal an odd one, and over 1000 it needs 493 d or 877 d to be an odd multiple
// of 500, so |d| at least 500. Which way halves would go does not matter.
static int nearestQuotient(int numerator, int denominator) {
    int twice = 2 * numerator + denominator;
    int step = 2 * denominator;
    int quotient = twice / step;      // truncates toward zero...
    if (twice % step < 0) --quotient; // ...so negative ones step down: floor
    return quotient;
}

// U, V and the whole inverse come from the decimal fractions 0.493, 0.877,
// 0.299, 0.587 and 0.114. The doubles nearest them differ from them by less
// than 2^-53 of their size, and no result comes closer than 1/1754 to a half,
// so the decimal and the double arithmetic round alike. Each result depends
// on at most two stored bytes and is tabled once.
struct YuvTables {
    std::uint8_t storedU[511];    // U + 128 = round(0.493 (B - Y)) + 128, index B - Y + 255
    std::uint8_t storedV[511];    // (V >> 1) + 128, V = round(0.877 (R - Y)), index R - Y + 255
    std::int16_t redOffset[256];  // R - Y = round(v / 0.877) by stored V byte, v = 2 (byte - 128)
    std::int16_t blueOffset[256]; // B - Y = round(u / 0.493) by stored U byte, u = byte - 128
    std::int16_t greenOffset[256][256]; // G - Y by stored U byte, then stored V byte
};

static YuvTables buildYuvTables() {
    YuvTables t;
    for (int difference = -255; difference <= 255; ++difference) {
        int u = nearestQuotient(493 * difference, 1000);
        int v = nearestQuotient(877 * difference, 1000);
        t.storedU[difference + 255] = std::uint8_t(u + 128);
        // V is stored halved by an arithmetic shift, which floors: -1 becomes -1.
        t.storedV[difference + 255] = std::uint8_t((v >> 1) + 128);
    }
    for (int stored = 0; stored < 256; ++stored) {
        t.redOffset[stored] = std::int16_t(nearestQuotient(2000 * (stored - 128), 877));
        t.blueOffset[stored] = std::int16_t(nearestQuotient(1000 * (stored - 128), 493));
    }
    // Y = 0.299 R + 0.587 G + 0.114 B, so G - Y = -(0.114 (B - Y) + 0.299 (R - Y)) / 0.587,
    // from R - Y and B - Y as rounded above, before any clamping.
    for (int storedU = 0; storedU < 256; ++storedU)
        for (int storedV = 0; storedV < 256; ++storedV) {
            int weighted = 114 * t.blueOffset[storedU] + 299 * t.redOffset[storedV];
            t.greenOffset[storedU][storedV] = std::int16_t(nearestQuotient(-weighted, 587));
        }
    return t;
}

static const YuvTables& yuvTables() {
    static const YuvTables tables = buildYuvTables();
    return tables;
}

// Y is the exact weighted sum divided by 2^56, rounded to the nearest integer
// with halves to the even one: (2, 10, 88) lies exactly at 16.5 and gives 16.
// Adding just under a half, plus one when the truncated quotient is odd,
// carries into the quotient exactly when the fraction is above a half, or is
// a half over an odd quotient; no branch. The sum stays below 255.5 x 2^56.
Samples yuvFromRgb(int red, int green, int blue) {
    const YuvTables& t = yuvTables();
    std::uint64_t sum = std::uint64_t(red) * weightRed + std::uint64_t(green) * weightGreen +
                        std::uint64_t(blue) * weightBlue;
    const std::uint64_t justUnderHalf = (std::uint64_t(1) << (lumaShift - 1)) - 1;
    const std::uint64_t odd = (sum >> lumaShift) & 1;
    int luma = int((sum + justUnderHalf + odd) >> lumaShift); // truncates the rounded sum
    return {luma, t.storedU[blue - luma + 255], t.storedV[red - luma + 255]};
}

Rgb rgbFromYuv(const Samples& masked) {
    const YuvTables& t = yuvTables();
    return {masked.y + t.redOffset[masked.b], masked.y + t.greenOffset[masked.a][masked.b],
            masked.y + t.blueOffset[masked.a]};
}

// ---- clamping -----------------------------------------------------------------

static int clampByte(int value) { return value < 0 ? 0 : value > 255 ? 255 : value; }

Rgb clampAndFilter(Rgb colour, bool dacFilter) {
    colour.red = clampByte(colour.red);
    colour.green = clampByte(colour.green);
    colour.blue = clampByte(colour.blue);
    if (dacFilter) {
        colour.red &= 0xF8; // 11111000: keeps 5 bits
        colour.green &= 0xF8;
        colour.blue &= 0xF8;
    }
    return colour;
}
