// The settings of one converter run, taken from the batch words or asked on
// the console, each answer checked and asked again until it is valid.
#pragma once

#include <cstdint>
#include <string>

#include "dialogue.h"

struct ConverterSettings {
    std::int32_t option = 0;       // colour-depth choice, 1 to 6
    std::uint8_t bitmask1Y = 0;    // AND mask for luma
    std::uint8_t bitmask1A = 0;    // AND mask for J (YJK) or U (YUV)
    std::uint8_t bitmask1B = 0;    // AND mask for K (YJK) or V (YUV)
    std::uint8_t bitmask2Y = 0;    // checkerboard dither step for luma
    std::uint8_t bitmask2A = 0;    // checkerboard dither step for J or U
    std::uint8_t bitmask2B = 0;    // checkerboard dither step for K or V
    bool useYuv = false;           // false: YJK (options 1, 2, 3, 5); true: YUV (4, 6)
    std::uint8_t hFactor = 0;      // horizontal chroma block size: 1, 2 or 4
    std::uint8_t vFactor = 0;      // vertical chroma block size: 1, 2 or 4
    std::uint8_t hShift = 0;       // log2 of hFactor: 0, 1 or 2
    std::uint8_t vShift = 0;       // log2 of vFactor: 0, 1 or 2
    std::uint8_t lumaDither = 0;   // 0 none, 1 checkerboard, 2 error diffusion
    std::uint8_t chromaDither = 0; // the same for both chroma planes
    bool dacFilter = false;        // cut R, G, B to 5 bits each for the V9958 DAC
    std::string inFile;            // input BMP path
    std::string outFile;           // output BMP path
};

// Prints the greeting and, outside batch mode, the menu; then gathers every
// setting, asking again on the console until each answer is valid.
ConverterSettings gatherSettings(Dialogue& dialogue);
