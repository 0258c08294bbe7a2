#include "dithering.h"

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

// Error diffusion along one row of cells. Shares are never negative, so
// clamping each addition at 255 gives the same as clamping the sum once:
// next[x] collects its shares and is written once, when cell x + 1 of this
// row is quantised, or after the row for the last cell; the share along the
// row is carried to the next cell, which keeps the value read from it. The
// last cell's shares for the cell after it lie past the row and are never
// added.
static void diffuseRow(std::uint8_t* cells, std::uint8_t* next, std::int32_t count,
                       std::uint8_t keptBits, std::uint8_t* masked) {
    int carried = 0;  // 7/16 of the error of cell x - 1
    int owedLeft = 0; // still owed to next[x - 1]: 5/16 of x - 1 and 1/16 of x - 2
    int owedHere = 0; // still owed to next[x]: 1/16 of x - 1
    for (std::int32_t x = 0; x < count; ++x) {
        const int sample = capAt255(cells[x] + carried);
        const int kept = sample & keptBits;
        const int error = sample - kept;
        cells[x] = std::uint8_t(sample);
        masked[x] = std::uint8_t(kept); // after cells[x]: masked may be cells
        carried = (error * 7) >> 4;
        if (next == nullptr) continue;
        if (x >= 1)
            next[x - 1] = std::uint8_t(capAt255(next[x - 1] + owedLeft + ((error * 3) >> 4)));
        owedLeft = owedHere + ((error * 5) >> 4);
        owedHere = (error * 1) >> 4;
    }
    if (next != nullptr) next[count - 1] = std::uint8_t(capAt255(next[count - 1] + owedLeft));
}

static void checkerboardRow(const std::uint8_t* cells, std::int32_t count, std::int32_t parity,
                            std::uint8_t step, std::uint8_t keptBits, std::uint8_t* masked) {
    for (std::int32_t x = 0; x < count; ++x) {
        int sample = cells[x];
        if (((x + parity) & 1) != 0) sample = checkerboardStep(sample, step);
        masked[x] = std::uint8_t(sample & keptBits);
    }
}

static void maskRow(const std::uint8_t* cells, std::int32_t count, std::uint8_t keptBits,
                    std::uint8_t* masked) {
    for (std::int32_t x = 0; x < count; ++x) masked[x] = std::uint8_t(cells[x] & keptBits);
}

void quantiseRow(const PlaneQuantising& plane, std::uint8_t* cells, std::uint8_t* next,
                 std::int32_t count, std::int32_t parity, std::uint8_t* masked) {
    if (plane.level == 2)
        diffuseRow(cells, next, count, plane.keptBits, masked);
    else if (plane.level == 1)
        checkerboardRow(cells, count, parity, plane.ditherStep, plane.keptBits, masked);
    else
        maskRow(cells, count, plane.keptBits, masked);
}
