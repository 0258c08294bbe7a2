// Pictures written as PNG files. An output name ending in .png (any case)
// gets a PNG instead of a BMP: the program writes its plain 24-bit BMP into
// an unnamed temporary file as it always does, then its rows, top row first,
// become an 8-bit RGB PNG encoded by libspng into the output. Memory grows
// with the width only.
#pragma once

#include <string>

#include "binary_file.h"

// Whether a name asks for a PNG: it ends in .png, in any case.
bool isPngName(const std::string& fileName);

// For an output whose name asks for a PNG, opens `staging`, the unnamed
// temporary file that takes the BMP meanwhile. Gives "" or the refusal.
[[nodiscard]] std::string openPngStaging(const std::string& fileName, BinaryFile& staging);

// Where the BMP of an output goes: its staging file when one is open, else
// the output itself.
BinaryFile& bmpTarget(BinaryFile& output, BinaryFile& staging);

// Finishes an output: a staged BMP is encoded as a PNG into it first; then it
// is committed (commitOutputProblem). Gives "" when the file is in place, or
// the refusal, with the output discarded.
[[nodiscard]] std::string commitPicture(BinaryFile& output, BinaryFile& staging,
                                        const std::string& fileName);

// Encodes the plain bottom-up 24-bit BMP that `bmp` holds (header and rows
// as the programs write them) as a PNG into `output`. Gives "" or the
// one-line refusal; write errors are kept in the output's record, as for
// every put.
[[nodiscard]] std::string copyBmpAsPng(BinaryFile& bmp, BinaryFile& output);
