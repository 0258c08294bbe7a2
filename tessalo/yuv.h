// The YUV transform in both directions. The arithmetic runs in the x87
// extended format: a 64-bit significand, each product and sum rounded to
// nearest even at that precision, and every result rounded to the nearest
// integer with halves going to the even one. Plain double arithmetic gives
// other pictures: the pixel R 0, G 0, B 250 has luma 29 in extended precision
// and 28 in double.
#pragma once

#include <cstdint>
#include <limits>

#include "quantising.h"

static_assert(std::numeric_limits<long double>::digits == 64,
              "the YUV transform needs long double with a 64-bit significand (x87 extended)");

// The doubles nearest 0.299, 0.587, 0.114, 0.493 and 0.877, widened exactly:
// the literals are doubles on purpose, not long double literals.
constexpr long double lumaWeightRed = 0.299;
constexpr long double lumaWeightGreen = 0.587;
constexpr long double lumaWeightBlue = 0.114;
constexpr long double uScale = 0.493;
constexpr long double vScale = 0.877;

// Nearest integer, halves to the even neighbour.
int roundHalfEven(long double value);

// Stored samples of one pixel: Y, U + 128 (full scale), (V >> 1) + 128.
void yuvSamples(int red, int green, int blue, std::uint8_t* luma, std::uint8_t* chromaA,
                std::uint8_t* chromaB);

struct Rgb {
    int red;
    int green;
    int blue;
};

// R, G, B from masked samples, not yet clamped.
Rgb rgbFromYuv(const MaskedSamples& masked);
