// The conversion pass: loading, chroma subsampling, quantisation and
// reconstruction run together, row by row, in the order the rows lie in the
// file, holding a few rows rather than the picture.
#pragma once

#include <cstdint>
#include <vector>

#include "preview_writer.h"
#include "picture_rows.h"
#include "dithering.h"
#include "sample_rows.h"
#include "settings.h"

// Every buffer the pass uses; their size depends on the width only.
struct PassBuffers {
    std::vector<std::uint8_t> pixels;     // one picture row as read: blue, green, red
    SampleRows rows;                      // 2 x vFactor rows of samples
    BlockRows blocks;                     // 2 block rows of averaged chroma
    std::vector<std::uint8_t> maskedLuma; // one row of masked luma
    std::vector<std::uint8_t> maskedA;    // the row's masked first chroma, one a block
    std::vector<std::uint8_t> maskedB;    // the row's masked second chroma, one a block
};

// Sizes every buffer; throws std::bad_alloc when the memory is not there.
void allocatePassBuffers(const ConverterSettings& settings, const PictureGeometry& geometry,
                         PassBuffers& buffers);

// Converts the whole picture and writes every preview row. Returns "" or the
// one-line refusal of a row that cannot be read.
std::string convertPicture(PictureRows& input, const ConverterSettings& settings,
                           const PictureGeometry& geometry, PassBuffers& buffers,
                           PreviewOutput& output);
