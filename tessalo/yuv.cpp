#include "yuv.h"

#include <cmath>

int roundHalfEven(long double value) {
    // The default rounding mode sends halves to the even neighbour. Built with
    // -fno-math-errno, llrint is a single fistp instruction.
    return int(std::llrint(value));
}

// Every product of an integer of up to 10 bits and one of the constants is
// exact in the 64-bit significand, and every sample that reaches the inverse
// transform is one of 256 values. So the products and the one-parameter
// roundings are tabled once; what is left per pixel are the sums, the one
// division for green and their roundings, in the same order as written out.
static constexpr int lowestPrimary = -512; // rounded, unclamped R and B lie in -292..545
static constexpr int primaryCount = 1280;

struct YuvTables {
    long double redProduct[primaryCount];  // R x 0.299, index R - lowestPrimary
    long double greenProduct[256];         // G x 0.587
    long double blueProduct[primaryCount]; // B x 0.114, index B - lowestPrimary
    std::int16_t uFromDifference[511];     // round((B - Y) x 0.493), index B - Y + 255
    std::int16_t vFromDifference[511];     // round((R - Y) x 0.877), index R - Y + 255
    std::int16_t redFrom[256][256];        // round(v / 0.877 + Y), by stored V and Y
    std::int16_t blueFrom[256][256];       // round(u / 0.493 + Y), by stored U and Y
};

static YuvTables buildYuvTables() {
    YuvTables t;
    for (int i = 0; i < primaryCount; ++i) {
        t.redProduct[i] = (i + lowestPrimary) * lumaWeightRed;
        t.blueProduct[i] = (i + lowestPrimary) * lumaWeightBlue;
    }
    for (int i = 0; i < 256; ++i) t.greenProduct[i] = i * lumaWeightGreen;
    for (int d = -255; d <= 255; ++d) {
        t.uFromDifference[d + 255] = std::int16_t(roundHalfEven(d * uScale));
        t.vFromDifference[d + 255] = std::int16_t(roundHalfEven(d * vScale));
    }
    for (int stored = 0; stored < 256; ++stored)
        for (int luma = 0; luma < 256; ++luma) {
            int u = stored - 128;       // U is stored at full scale
            int v = 2 * (stored - 128); // V is stored halved
            t.redFrom[stored][luma] = std::int16_t(roundHalfEven(v / vScale + luma));
            t.blueFrom[stored][luma] = std::int16_t(roundHalfEven(u / uScale + luma));
        }
    return t;
}

static const YuvTables& yuvTables() {
    static const YuvTables tables = buildYuvTables();
    return tables;
}

// Y = (R x 0.299 + G x 0.587) + B x 0.114, U = (B - Y) x 0.493 and
// V = (R - Y) x 0.877, each rounded; V is stored halved by an arithmetic
// shift, which floors (-1 becomes -1).
void yuvSamples(int red, int green, int blue, std::uint8_t* luma, std::uint8_t* chromaA,
                std::uint8_t* chromaB) {
    const YuvTables& t = yuvTables();
    int y = roundHalfEven((t.redProduct[red - lowestPrimary] + t.greenProduct[green]) +
                          t.blueProduct[blue - lowestPrimary]);
    *luma = std::uint8_t(y);
    *chromaA = std::uint8_t(t.uFromDifference[blue - y + 255] + 128);
    *chromaB = std::uint8_t((t.vFromDifference[red - y + 255] >> 1) + 128);
}

// R = round(v / 0.877 + Y) and B = round(u / 0.493 + Y) by true divisions;
// G = round(((Y - B x 0.114) - R x 0.299) / 0.587) from the rounded, not yet
// clamped R and B.
Rgb rgbFromYuv(const MaskedSamples& masked) {
    const YuvTables& t = yuvTables();
    int red = t.redFrom[masked.b][masked.y];
    int blue = t.blueFrom[masked.a][masked.y];
    long double difference =
        (masked.y - t.blueProduct[blue - lowestPrimary]) - t.redProduct[red - lowestPrimary];
    return {red, roundHalfEven(difference / lumaWeightGreen), blue};
}
