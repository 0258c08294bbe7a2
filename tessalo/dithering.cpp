#include "dithering.h"

PassRow passRowAt(const ConverterSettings& settings, std::int32_t y, std::int32_t width,
                  std::int32_t subWidth) {
    PassRow row;
    row.y = y;
    row.sy = y >> settings.vShift;
    row.blockRowStarts = y == (row.sy << settings.vShift) + settings.vFactor - 1;
    row.lastX = width - 1;
    row.lastSx = subWidth - 1;
    return row;
}

// Checkerboard dithering: on the odd squares a sample whose bits under the
// step are set goes up by the step (capped at 255) before masking. With the
// step half the masked-off range, remainders of at least half a level round
// up there and down on the even squares.
static int checkerboardStep(int sample, std::uint8_t step) {
    if ((sample & step) == 0) return sample;
    int raised = sample + step;
    return raised > 255 ? 255 : raised;
}

static int capAt255(int value) { return value > 255 ? 255 : value; }

// Error diffusion along one row of cells, with the Floyd-Steinberg weights
// laid out in the direction of the pass: 7/16 to the right on this row, and
// 1/16, 5/16 and 3/16 below right, below and below left on the row the pass
// visits next (`next`, null after the last row). Shares that would pass the
// edge `last` are dropped, not passed on; count cells are quantised.
//
// Shares are never negative, so clamping each addition at 255 gives the same
// as clamping the sum once: a cell of the next row collects its shares and
// is written once, after the cell above right of it; the share to the right
// is carried to the next cell, which keeps the value read from it.
static void diffuseRow(std::uint8_t* cells, std::uint8_t* next, std::int32_t count,
                       std::int32_t last, std::uint8_t mask, std::uint8_t* masked) {
    int carried = 0;  // 7/16 of the error of cell x - 1
    int owedLeft = 0; // still owed to next[x - 1]: 5/16 of x - 1 and 1/16 of x - 2
    int owedHere = 0; // still owed to next[x]: 1/16 of x - 1
    for (std::int32_t x = 0; x < count; ++x) {
        const int sample = capAt255(cells[x] + carried);
        const int kept = sample & mask;
        const int error = sample - kept;
        cells[x] = std::uint8_t(sample);
        masked[x] = std::uint8_t(kept);
        carried = x < last ? (error * 7) >> 4 : 0;
        if (next == nullptr) continue;
        if (x >= 1)
            next[x - 1] = std::uint8_t(capAt255(next[x - 1] + owedLeft + ((error * 3) >> 4)));
        owedLeft = owedHere + ((error * 5) >> 4);
        owedHere = x < last ? (error * 1) >> 4 : 0;
    }
    // What is owed past the last cell quantised lies outside the picture.
    if (next != nullptr) next[count - 1] = std::uint8_t(capAt255(next[count - 1] + owedLeft));
}

// Level 1: on the odd squares of the checkerboard the step goes up first.
static void checkerboardRow(const std::uint8_t* cells, std::int32_t count, std::int32_t parity,
                            std::uint8_t step, std::uint8_t mask, std::uint8_t* masked) {
    for (std::int32_t x = 0; x < count; ++x) {
        int sample = cells[x];
        if (((x + parity) & 1) != 0) sample = checkerboardStep(sample, step);
        masked[x] = std::uint8_t(sample & mask);
    }
}

static void maskRow(const std::uint8_t* cells, std::int32_t count, std::uint8_t mask,
                    std::uint8_t* masked) {
    for (std::int32_t x = 0; x < count; ++x) masked[x] = std::uint8_t(cells[x] & mask);
}

void quantiseLumaRow(const ConverterSettings& settings, const PassRow& row, std::uint8_t* masked) {
    const std::int32_t count = row.lastX + 1;
    if (settings.lumaDither == 2)
        diffuseRow(row.luma, row.lumaNext, count, row.lastX, settings.bitmask1Y, masked);
    else if (settings.lumaDither == 1)
        checkerboardRow(row.luma, count, row.y, settings.bitmask2Y, settings.bitmask1Y, masked);
    else
        maskRow(row.luma, count, settings.bitmask1Y, masked);
}

// The chroma checkerboard lies on the block grid. A block spreads its error
// at the first of its pixels that the pass meets: its leftmost column on its
// row with the largest y. A block whose largest row lies below the picture
// (height not a multiple of vFactor) never spreads.
void quantiseChromaRow(const ConverterSettings& settings, const PassRow& row,
                       std::int32_t blockCount, std::uint8_t* maskedA, std::uint8_t* maskedB) {
    if (settings.chromaDither == 2 && row.blockRowStarts) {
        diffuseRow(row.chromaA, row.chromaANext, blockCount, row.lastSx, settings.bitmask1A,
                   maskedA);
        diffuseRow(row.chromaB, row.chromaBNext, blockCount, row.lastSx, settings.bitmask1B,
                   maskedB);
    } else if (settings.chromaDither == 1) {
        checkerboardRow(row.chromaA, blockCount, row.sy, settings.bitmask2A, settings.bitmask1A,
                        maskedA);
        checkerboardRow(row.chromaB, blockCount, row.sy, settings.bitmask2B, settings.bitmask1B,
                        maskedB);
    } else {
        maskRow(row.chromaA, blockCount, settings.bitmask1A, maskedA);
        maskRow(row.chromaB, blockCount, settings.bitmask1B, maskedB);
    }
}
