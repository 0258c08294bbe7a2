// Quantisation of one row of a plane's cells (pixels of luma, block columns
// of chroma) to the bits the plane keeps, after checkerboard dithering
// (level 1) or with error diffusion (level 2), or by masking alone.
#pragma once

#include <cstdint>

// How one plane is quantised.
struct PlaneQuantising {
    std::uint8_t keptBits = 0xFF; // AND mask of the bits kept: 0xF8 keeps 5
    std::uint8_t ditherStep = 0;  // level 1: added on the odd squares before masking
    std::uint8_t level = 0;       // 0 masking only, 1 checkerboard, 2 error diffusion
};

// Quantises cells[0] to cells[count - 1] into masked, which may be cells
// itself (the cells are then left masked).
//
// Level 1: cell x lies on an odd square of the checkerboard when x + parity
// is odd. Level 2: each cell's error is spread with the Floyd-Steinberg
// weights laid out in the direction of the pass: 7/16 into the next cell of
// this row, and into `next`, the row the pass visits next (in the picture the
// row above, as the pass runs up from the bottom row), 1/16 into the cell
// after x, 5/16 into cell x and 3/16 into the cell before x. next is null
// when there is none: then only the share along the row is passed on. Shares
// that would pass the first or the last cell are dropped.
//
// Every share is error x weight / 16, rounded down: the error is never
// negative (masking only clears bits), so the shift by 4 is a plain
// division, and a cell can only rise, up to 255.
void quantiseRow(const PlaneQuantising& plane, std::uint8_t* cells, std::uint8_t* next,
                 std::int32_t count, std::int32_t parity, std::uint8_t* masked);
