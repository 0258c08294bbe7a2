// Chroma subsampling: every hFactor x vFactor block of the two chroma planes
// replaced by its mean, rounded down. The pass adds each row's chroma into the
// sums of its block row as it loads the row, and takes the means once the
// block row's last row is in, so no full-resolution chroma row is kept.
#pragma once

#include <cstdint>
#include <vector>

// The block grid of the chroma planes.
struct ChromaGrid {
    std::uint8_t hFactor = 1; // block width in pixels: 1, 2 or 4
    std::uint8_t vFactor = 1; // block height in rows: 1, 2 or 4
    std::uint8_t hShift = 0;  // log2 of hFactor
    std::uint8_t vShift = 0;  // log2 of vFactor
};

// The block columns of a picture width (at least 1) pixels wide.
std::int32_t blockColumns(const ChromaGrid& grid, std::int32_t width);

// The sums of the block row being loaded, one a block column and plane.
struct BlockSums {
    std::vector<std::uint16_t> a; // first chroma: J or U
    std::vector<std::uint16_t> b; // second chroma: K or V
};

// Adds the chroma of plane row y of a width x height picture into the sums of
// its block row. `samples` is the row as the pass loads it, 3 bytes a pixel:
// luma, first chroma, second chroma.
void addRowToBlockSums(const ChromaGrid& grid, std::int32_t y, std::int32_t height,
                       const std::uint8_t* samples, std::int32_t width, BlockSums& sums);

// Writes the block row's means into cellsA and cellsB, one a block column,
// and clears the sums for the next block row.
void takeBlockMeans(const ChromaGrid& grid, BlockSums& sums, std::uint8_t* cellsA,
                    std::uint8_t* cellsB);
