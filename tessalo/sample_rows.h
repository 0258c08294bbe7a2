// What the streaming pass holds of the picture: a few rows of samples, never
// the whole picture, so that memory grows with the width only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The picture's size and where its rows lie. Plane coordinates: x from the
// left edge, y from the top edge; the first row of a bottom-up file is row
// height - 1.
struct PictureGeometry {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint32_t rowStride = 0; // width x 3 padded to a multiple of 4
    std::int32_t subWidth = 0;   // (width + 3) >> hShift
};

// Full-resolution samples of the rows in flight, in a ring: row y lives in
// slot y mod rowCount. The pass needs the row it converts and, ahead of it,
// every row of the next block row (whose chroma is averaged before error is
// spread into it): 2 x vFactor rows in all.
struct SampleRows {
    std::int32_t width = 0;
    std::int32_t rowCount = 0;
    std::vector<std::uint8_t> luma;    // Y; error diffusion adds into it
    std::vector<std::uint8_t> chromaA; // J or U, biased by 128, as loaded
    std::vector<std::uint8_t> chromaB; // K or V, biased by 128, as loaded

    std::size_t slot(std::int32_t y) const {
        return std::size_t(y % rowCount) * std::size_t(width);
    }
    std::uint8_t* lumaRow(std::int32_t y) { return &luma[slot(y)]; }
    std::uint8_t* chromaARow(std::int32_t y) { return &chromaA[slot(y)]; }
    std::uint8_t* chromaBRow(std::int32_t y) { return &chromaB[slot(y)]; }
};

// Two block rows of averaged chroma: the one the pass converts and the next,
// into which error diffusion spreads. Block row sy lives in slot sy & 1.
struct BlockRows {
    std::int32_t subWidth = 0;
    std::vector<std::uint8_t> chromaA; // 2 x subWidth cells
    std::vector<std::uint8_t> chromaB;

    std::uint8_t* rowA(std::int32_t sy) {
        return &chromaA[std::size_t(sy & 1) * std::size_t(subWidth)];
    }
    std::uint8_t* rowB(std::int32_t sy) {
        return &chromaB[std::size_t(sy & 1) * std::size_t(subWidth)];
    }
};
