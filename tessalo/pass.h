// The conversion pass: each file row read and turned into samples, the chroma
// averaged into blocks, every plane quantised and the preview written, row by
// row in the order the rows lie in the file, holding a few rows rather than
// the picture.
#pragma once

#include <cstdint>
#include <string>

#include "bmp_header.h"
#include "chroma_blocks.h"
#include "dithering.h"
#include "picture_rows.h"
#include "sample_rows.h"

struct PreviewOutput;

// The picture's size and where its rows lie. Plane coordinates: x from the
// left edge, y from the top edge; the first row of a bottom-up file is row
// height - 1.
struct PictureGeometry {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint32_t rowStride = 0; // width x 3 padded to a multiple of 4
};

// What the pass does to the samples.
struct PassSettings {
    bool useYuv = false;     // the YUV transform; false: YJK
    ChromaGrid grid;         // the chroma blocks
    PlaneQuantising luma;    // Y
    PlaneQuantising chromaA; // J or U
    PlaneQuantising chromaB; // K or V
};

// Every buffer of the pass but the preview row; their sizes depend on the
// width only.
struct PassBuffers {
    LumaRows luma;    // 2 x vFactor rows of luma
    BlockRows blocks; // 2 block rows of averaged chroma
    BlockSums sums;   // the chroma sums of the block row being loaded
};

// Sizes the pass's buffers and the preview row, output.row, into which the
// pass also reads the file's rows. A run-length picture whose width would
// make them larger than a compressed picture may is refused first, with
// nothing allocated. Returns "" or the refusal; a failed allocation throws
// std::bad_alloc.
[[nodiscard]] std::string sizePass(const BmpHeader& header, const PassSettings& settings,
                                   const PictureGeometry& geometry, PassBuffers& buffers,
                                   PreviewOutput& output);

// Converts the whole picture and writes every preview row. Returns "" or the
// one-line refusal of a row that cannot be read.
[[nodiscard]] std::string convertPicture(PictureRows& input, const PassSettings& settings,
                                         const PictureGeometry& geometry, PassBuffers& buffers,
                                         PreviewOutput& output);
