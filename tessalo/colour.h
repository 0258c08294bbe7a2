// The two colour encodings, YJK and YUV, in both directions, in integer
// arithmetic only, and the clamping of reconstructed colours to bytes.
//
// YJK: Y = B/2 + R/4 + G/8, J = R - Y, K = G - Y, each term floored.
// YUV: Y = 0.299 R + 0.587 G + 0.114 B, U = 0.493 (B - Y), V = 0.877 (R - Y),
// each rounded to the nearest integer. The weights are the double values
// nearest those decimals, and the results are those of an evaluation in a
// 64-bit significand with halves rounded to even: the pixel R 0, G 0, B 250
// has luma 29 (28.5 plus a little), where plain double arithmetic gives 28.
#pragma once

// One pixel's samples: luma, then first chroma (J or U) and second chroma (K or V), as the planes
// store them (chroma biased by 128; halved where the encoding halves).
struct Samples {
    int y;
    int a;
    int b;
};

struct Rgb {
    int red;
    int green;
    int blue;
};

// Stored samples Y, (J >> 1) + 128, (K >> 1) + 128 of an 8-bit R, G, B.
Samples yjkFromRgb(int red, int green, int blue);
// Stored samples Y, U + 128 (full scale), (V >> 1) + 128 of an 8-bit R, G, B.
Samples yuvFromRgb(int red, int green, int blue);

// R, G, B from stored samples (each 0..255) after masking, not yet clamped.
Rgb rgbFromYjk(const Samples& masked);
Rgb rgbFromYuv(const Samples& masked);

// Clamps R, G and B to 0..255 (red, then green, then blue) and, with the DAC
// filter, keeps the 5 high bits of each, as the V9958's DAC shows them.
Rgb clampAndFilter(Rgb colour, bool dacFilter);
