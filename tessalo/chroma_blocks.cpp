#include "chroma_blocks.h"

#include <algorithm>

// Cell (sx, sy) averages the block x = (sx << hShift) + i, y = (sy << vShift)
// + j. Positions past the right or bottom edge take the nearest sample inside
// the picture (x clamped to width - 1, y to height - 1), so every cell, the
// spare ones beyond the picture included, is the mean of exactly hFactor x
// vFactor stored bytes: sum >> (hShift + vShift), rounded down. The largest
// sum, 16 x 255 = 4080, fits easily.
void averageBlockRow(const ConverterSettings& settings, std::int32_t height, SampleRows& rows,
                     std::int32_t sy, BlockRows& blocks) {
    const int shift = settings.hShift + settings.vShift;
    const std::int32_t lastX = rows.width - 1;
    const std::uint8_t* rowsA[4];
    const std::uint8_t* rowsB[4];
    for (int j = 0; j < settings.vFactor; ++j) {
        const std::int32_t y = std::min((sy << settings.vShift) + j, height - 1);
        rowsA[j] = rows.chromaARow(y);
        rowsB[j] = rows.chromaBRow(y);
    }
    std::uint8_t* cellsA = blocks.rowA(sy);
    std::uint8_t* cellsB = blocks.rowB(sy);
    for (std::int32_t sx = 0; sx < blocks.subWidth; ++sx) {
        unsigned sumA = 0, sumB = 0;
        for (int j = 0; j < settings.vFactor; ++j) {
            for (int i = 0; i < settings.hFactor; ++i) {
                const std::int32_t x = std::min((sx << settings.hShift) + i, lastX);
                sumA += rowsA[j][x];
                sumB += rowsB[j][x];
            }
        }
        cellsA[sx] = std::uint8_t(sumA >> shift);
        cellsB[sx] = std::uint8_t(sumB >> shift);
    }
}
