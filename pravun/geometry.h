// Target geometry: how large the resampled picture is, which part of it is
// written, and where that part starts. Pure integer arithmetic.
#pragma once

#include <cstdint>
#include <string>

#include "command_line.h"

struct ResizeGeometry {
    std::uint32_t scaledWidth = 0; // the whole resampled picture; a multiple of 4
    std::uint32_t scaledHeight = 0;
    std::uint32_t cropWidth = 0; // the part written to the file; a multiple of 4
    std::uint32_t cropHeight = 0;
    std::uint32_t skipColumns = 0; // resampled columns left out at the left
    std::uint32_t skipRows = 0;    // resampled rows left out before the first written
};

// Sides of at most 2^24 - 1 pixels keep every fixed-point source position
// (side x 256) within 32 bits.
constexpr std::uint32_t maxSide = 0xFFFFFF;
// Resampling works in steps of 1/256 pixel: a side may grow or shrink by at
// most 256 times, or the fixed-point step or gain would be 0.
constexpr std::uint32_t maxScaleFactor = 256;

// Works out the geometry for an input of inputWidth x inputHeight pixels into
// `geometry`. Returns "" or, when the request gives no usable picture, the
// one line that says why; geometry is then left as it was.
[[nodiscard]] std::string targetGeometry(std::uint32_t inputWidth, std::uint32_t inputHeight,
                                         const ResizeSettings& settings, ResizeGeometry& geometry);
