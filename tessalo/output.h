// Reconstruction and output: the masked samples turned back into R, G, B,
// clamped, optionally cut to the V9958 DAC's 5 bits, and written as a BMP;
// or, for an output named as a screen file, packed into the screen's VRAM
// bytes and written as a BSAVE file.
#pragma once

#include <cstdint>
#include <vector>

#include "binary_file.h"
#include "colour.h"
#include "dialogue.h"
#include "picture_rows.h"
#include "quantising.h"
#include "sample_rows.h"
#include "screen_file.h"
#include "settings.h"

// Clamps to 0..255 (red, then green, then blue) and, with the DAC filter,
// keeps the 5 high bits of each.
Rgb clampAndFilter(Rgb colour, bool dacFilter);

// The preview being written: a temporary file until it is complete.
struct PreviewOutput {
    BinaryFile file;
    ScreenImage screen;            // the screen file's VRAM, when one is written
    std::vector<std::uint8_t> row; // one padded row: pixels, then the padding every row carries
    std::int64_t position = 0;     // 1-based position of the next row
};

// Creates the temporary output and, for a BMP, writes the header. Every BMP
// row carries the padding bytes of the last stored row of a plain input, as
// the input holds them (zero where the file ends first); rows converted from
// other layouts have none, so their padding is zero. A screen file is written
// whole when it is finished. Refusals end the program.
void openPreview(Dialogue& dialogue, const ConverterSettings& settings,
                 const PictureGeometry& geometry, ScreenKind screenKind, PictureRows& input,
                 const BinaryFile& inputFile, PreviewOutput& output);

// Plane row y of the pass: reconstructs the row into the row buffer and
// writes it, or puts its pixels into the screen. Pixel x has the
// masked luma luma[x] and the masked chroma of its block, chromaA[x >> hShift]
// and chromaB[x >> hShift].
void writePreviewRow(const ConverterSettings& settings, std::int32_t y, const std::uint8_t* luma,
                     const std::uint8_t* chromaA, const std::uint8_t* chromaB, std::int32_t width,
                     PreviewOutput& output);

// Writes a screen file's bytes, then renames the finished output into place;
// a failure ends the program.
void finishPreview(Dialogue& dialogue, const ConverterSettings& settings, PreviewOutput& output);
