// What the pass holds of the picture: a few rows of samples, never the whole
// picture, so that memory grows with the width only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Luma of the rows in flight, in a ring: row y lives in slot y mod rowCount.
// The pass needs the row it converts and, ahead of it, every row of the block
// row above (whose chroma is averaged before error is spread into it):
// 2 x vFactor rows in all. Error diffusion adds into the rows ahead, and a
// row is left masked in place once it is quantised.
struct LumaRows {
    std::size_t width = 0;
    std::int32_t rowCount = 0;
    std::vector<std::uint8_t> luma; // rowCount x width samples

    std::uint8_t* row(std::int32_t y) { return &luma[std::size_t(y % rowCount) * width]; }
};

// Two block rows of averaged chroma: the one the pass converts and the one
// above, into which error diffusion spreads. Block row sy lives in slot
// sy & 1. A block row is left masked in place once it is quantised, and
// every pixel row of it reads those cells.
struct BlockRows {
    std::size_t columns = 0;
    std::vector<std::uint8_t> chromaA; // 2 x columns cells: J or U
    std::vector<std::uint8_t> chromaB; // K or V

    std::uint8_t* rowA(std::int32_t sy) { return &chromaA[std::size_t(sy & 1) * columns]; }
    std::uint8_t* rowB(std::int32_t sy) { return &chromaB[std::size_t(sy & 1) * columns]; }
};
