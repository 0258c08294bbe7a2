#include "chroma_blocks.h"

#include <cstddef>

// Rounded up, ceil(width / hFactor): the last block column may be partly
// covered, and every pixel x has its block x >> hShift. There are no spare
// cells past it, since nothing would read them: the pass quantises these
// columns only, error diffusion drops the shares that would pass the last
// one, and each pixel reads its own block. Written as (width - 1) >> hShift
// plus 1, so that no width overflows.
std::int32_t blockColumns(const ChromaGrid& grid, std::int32_t width) {
    return ((width - 1) >> grid.hShift) + 1;
}

// Block (sx, sy) averages the samples x = (sx << hShift) + i, y = (sy <<
// vShift) + j. Positions past the right or bottom edge take the nearest
// sample inside the picture (x clamped to width - 1, y to height - 1), so
// every cell is the mean of exactly hFactor x vFactor samples. Each row comes
// by once, so a sample is added once for every position it stands for: the
// last pixel of a row also for the positions of its block right of the
// picture, and the bottom row (height - 1) also for the rows of its block
// row below the picture. The largest sum, 16 x 255 = 4080, fits 16 bits.
void addRowToBlockSums(const ChromaGrid& grid, std::int32_t y, std::int32_t height,
                       const std::uint8_t* samples, std::int32_t width, BlockSums& sums) {
    // The rows of y's block row below y: those below the picture when y is
    // its bottom row.
    const unsigned below = grid.vFactor - 1 - (y & (grid.vFactor - 1));
    const unsigned rowWeight = y == height - 1 ? 1 + below : 1;
    const std::size_t last = std::size_t(width) - 1;
    for (std::size_t x = 0; x <= last; ++x) {
        const std::size_t sx = x >> grid.hShift;
        sums.a[sx] = std::uint16_t(sums.a[sx] + rowWeight * samples[3 * x + 1]);
        sums.b[sx] = std::uint16_t(sums.b[sx] + rowWeight * samples[3 * x + 2]);
    }
    // The positions of the last block right of the picture: 0 to hFactor - 1.
    const std::size_t lastColumn = last >> grid.hShift;
    const unsigned right = unsigned(((lastColumn + 1) << grid.hShift) - 1 - last);
    sums.a[lastColumn] =
        std::uint16_t(sums.a[lastColumn] + right * rowWeight * samples[3 * last + 1]);
    sums.b[lastColumn] =
        std::uint16_t(sums.b[lastColumn] + right * rowWeight * samples[3 * last + 2]);
}

void takeBlockMeans(const ChromaGrid& grid, BlockSums& sums, std::uint8_t* cellsA,
                    std::uint8_t* cellsB) {
    const int shift = grid.hShift + grid.vShift; // divides by hFactor x vFactor, rounding down
    for (std::size_t sx = 0; sx < sums.a.size(); ++sx) {
        cellsA[sx] = std::uint8_t(sums.a[sx] >> shift);
        cellsB[sx] = std::uint8_t(sums.b[sx] >> shift);
        sums.a[sx] = 0;
        sums.b[sx] = 0;
    }
}
