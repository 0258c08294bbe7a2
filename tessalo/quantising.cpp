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
// the row it visits next is y - 1. Shares that would leave the plane are
// dropped, not passed on.
static void spreadError(Plane& plane, std::int32_t x, std::int32_t y, std::int32_t lastX,
                        int error) {
    std::uint8_t* row = plane.row(y);
    if (x < lastX) addShare(row[x + 1], error, 7);
    if (y >= 1) {
        std::uint8_t* nextRow = plane.row(y - 1);
        if (x < lastX) addShare(nextRow[x + 1], error, 1);
        if (x >= 1) addShare(nextRow[x - 1], error, 3);
        addShare(nextRow[x], error, 5);
    }
}

Samples quantisePixel(const ConverterSettings& settings, ConverterPlanes& planes, std::int32_t x,
                      std::int32_t y, std::int32_t sy) {
    const std::int32_t sx = x >> settings.hShift;
    int sampleY = planes.luma.at(x, y);
    int sampleA = planes.subChromaA.at(sx, sy);
    int sampleB = planes.subChromaB.at(sx, sy);

    if (settings.lumaDither == 1 && ((x + y) & 1) != 0)
        sampleY = checkerboardStep(sampleY, settings.bitmask2Y);
    // The chroma checkerboard lies on the block grid.
    if (settings.chromaDither == 1 && ((sx + sy) & 1) != 0) {
        sampleA = checkerboardStep(sampleA, settings.bitmask2A);
        sampleB = checkerboardStep(sampleB, settings.bitmask2B);
    }

    Samples masked{sampleY & settings.bitmask1Y, sampleA & settings.bitmask1A,
                   sampleB & settings.bitmask1B};

    if (settings.lumaDither == 2)
        spreadError(planes.luma, x, y, planes.luma.width - 1, sampleY - masked.y);
    // A block spreads its error once, at the first of its pixels that the pass
    // meets: its leftmost column on its row with the largest y. A block whose
    // largest row lies below the picture (height not a multiple of vFactor)
    // never spreads.
    if (settings.chromaDither == 2 && x == (sx << settings.hShift) &&
        y == (sy << settings.vShift) + settings.vFactor - 1) {
        const std::int32_t lastSx = planes.subChromaA.width - 1;
        spreadError(planes.subChromaA, sx, sy, lastSx, sampleA - masked.a);
        spreadError(planes.subChromaB, sx, sy, lastSx, sampleB - masked.b);
    }
    return masked;
}
