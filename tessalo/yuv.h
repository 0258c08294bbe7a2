// The YUV constants and rounding shared by the forward and the inverse
// transform. The arithmetic runs in the x87 extended format: a 64-bit
// significand, each product and sum rounded to nearest even at that precision.
// Plain double arithmetic gives other pictures (the pixel R 0, G 0, B 250
// has luma 29 in extended precision and 28 in double).
#pragma once

#include <cmath>
#include <limits>

static_assert(std::numeric_limits<long double>::digits == 64,
              "the YUV transform needs long double with a 64-bit significand (x87 extended)");

// The doubles nearest 0.299, 0.587, 0.114, 0.493, 0.877, widened exactly: the
// literals are doubles on purpose, not long double literals.
constexpr long double lumaWeightRed = 0.299;
constexpr long double lumaWeightGreen = 0.587;
constexpr long double lumaWeightBlue = 0.114;
constexpr long double uScale = 0.493;
constexpr long double vScale = 0.877;

// Nearest integer, halves to the even neighbour (the default rounding mode).
inline int roundHalfEven(long double value) { return int(std::lrint(value)); }
