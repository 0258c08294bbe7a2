// The preview: the masked samples of each pass row turned back into R, G, B,
// clamped, optionally cut to the V9958 DAC's 5 bits, and written as a BMP
// row; or, for an output named as a screen file, packed into the screen's
// VRAM bytes and written as a BSAVE file when the pass is done.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "binary_file.h"
#include "pass.h"
#include "picture_rows.h"
#include "screen_file.h"

// How masked samples become the preview's pixels.
struct PreviewColours {
    bool useYuv = false;     // the YUV inverse; false: YJK
    bool dacFilter = false;  // R, G, B cut to the DAC's 5 bits each
    std::uint8_t hShift = 0; // pixel x takes the chroma of block column x >> hShift
};

// The preview being written: a temporary file until it is complete.
struct PreviewOutput {
    BinaryFile file;
    BinaryFile staging; // for a .png name: the BMP, encoded into file at the end
    PreviewColours colours;
    ScreenImage screen;            // the screen file's VRAM, when one is written
    std::vector<std::uint8_t> row; // one padded row: pixels, then the padding every row
                                   // carries; sized by sizePass
    std::int64_t position = 0;     // 1-based position of the next row
};

// Creates the temporary output and, for a BMP, writes the header. Every BMP
// row carries the padding bytes of the last stored row of a plain input, as
// the input holds them (zero where the file ends first), put into output.row
// here; rows converted from other layouts have none, so their padding is
// zero. A screen file is written whole when it is finished. inputFile is the
// file input reads, which the output must not be. Returns "" or the refusal.
[[nodiscard]] std::string openPreview(PreviewOutput& output, const std::string& outFile,
                                      const PreviewColours& colours, ScreenKind screenKind,
                                      const PictureGeometry& geometry, PictureRows& input,
                                      const BinaryFile& inputFile);

// Plane row y of the pass: reconstructs the row into the row buffer and
// writes it, or puts its pixels into the screen. Pixel x has the masked luma
// luma[x] and the masked chroma of its block, chromaA[x >> hShift] and
// chromaB[x >> hShift].
void writePreviewRow(PreviewOutput& output, std::int32_t y, const std::uint8_t* luma,
                     const std::uint8_t* chromaA, const std::uint8_t* chromaB, std::int32_t width);

// Writes a screen file's bytes, then renames the finished output into place.
// Returns "" or the refusal.
[[nodiscard]] std::string finishPreview(PreviewOutput& output, const std::string& outFile);
