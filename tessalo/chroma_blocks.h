// Chroma subsampling: every hFactor x vFactor block of the two chroma
// planes replaced by its mean, rounded down.
#pragma once

#include <cstdint>

#include "sample_rows.h"
#include "settings.h"

// Averages block row sy of both chroma planes into its slot of `blocks`.
// Every row of the block row that lies inside the picture must be loaded.
void averageBlockRow(const ConverterSettings& settings, std::int32_t height, SampleRows& rows,
                     std::int32_t sy, BlockRows& blocks);
