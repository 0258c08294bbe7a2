#include "quantising.h"

// Checkerboard dithering: on the odd squares a sample whose bits under the
// step are set goes up by the step (capped at 255) before masking. With the
// step half the masked-off range, remainders of at least half a level round
// up there and down on the even squares.
static int checkerboardStep(int sample, std::uint8_t step) {
    if ((sample & step) == 0) return sample;
    int raised = sample + step;
    return raised > 255 ? 255 : raised;
}

void addShare(std::uint8_t& cell, int error, int weight) {
    // The error is never negative (masking only clears bits), so the shift is
    // a division by 16 rounded down and the cell can only rise.
    int share = (error * weight) >> 4;
    int value = cell + share;
    cell = std::uint8_t(value > 255 ? 255 : value);
}

// Error diffusion with the Floyd-Steinberg weights 7, 1, 3, 5 /16, laid out in
// the direction of the pass: the pass goes on to the right within the row, and
// the row it visits next is y - 1 (`next`, null after the last row). Shares
// that would leave the plane are dropped, not passed on.
static void spreadError(std::uint8_t* row, std::uint8_t* next, std::int32_t x, std::int32_t lastX,
                        int error) {
    if (x < lastX) addShare(row[x + 1], error, 7);
    if (next != nullptr) {
        if (x < lastX) addShare(next[x + 1], error, 1);
        if (x >= 1) addShare(next[x - 1], error, 3);
        addShare(next[x], error, 5);
    }
}

MaskedSamples quantisePixel(const ConverterSettings& settings, const PassRow& row, std::int32_t x) {
    const std::int32_t sx = x >> settings.hShift;
    int sampleY = row.luma[x];
    int sampleA = row.chromaA[sx];
    int sampleB = row.chromaB[sx];

    if (settings.lumaDither == 1 && ((x + row.y) & 1) != 0)
        sampleY = checkerboardStep(sampleY, settings.bitmask2Y);
    // The chroma checkerboard lies on the block grid.
    if (settings.chromaDither == 1 && ((sx + row.sy) & 1) != 0) {
        sampleA = checkerboardStep(sampleA, settings.bitmask2A);
        sampleB = checkerboardStep(sampleB, settings.bitmask2B);
    }

    MaskedSamples masked{sampleY & settings.bitmask1Y, sampleA & settings.bitmask1A,
                         sampleB & settings.bitmask1B};

    if (settings.lumaDither == 2)
        spreadError(row.luma, row.lumaNext, x, row.lastX, sampleY - masked.y);
    // A block spreads its error once, at the first of its pixels that the pass
    // meets: its leftmost column on its row with the largest y. A block whose
    // largest row lies below the picture (height not a multiple of vFactor)
    // never spreads.
    if (settings.chromaDither == 2 && row.blockRowStarts && x == (sx << settings.hShift)) {
        spreadError(row.chromaA, row.chromaANext, sx, row.lastSx, sampleA - masked.a);
        spreadError(row.chromaB, row.chromaBNext, sx, row.lastSx, sampleB - masked.b);
    }
    return masked;
}
