// The 54-byte header of an uncompressed 24-bit BMP file: a 14-byte file
// header and a 40-byte information header, every field little-endian.
//
//  offset size field                    read              converter writes  resizer writes
//   0     2   signature "BM"            checked (0x4D42)  "BM"              copied
//   2     4   file size in bytes        -                 stride*h + 54     out bytes + 54
//   6     4   two reserved words        -                 0                 copied
//  10     4   offset of the pixel data  rows start here   54                54
//  14     4   information header size   at least 40       40                40
//  18     4   width in pixels           yes, >= 1         input width       output width
//  22     4   height in pixels          yes, >= 1         input height      output height
//  26     2   colour planes             -                 1                 copied
//  28     2   bits per pixel            must be 24        24                copied
//  30     4   compression               must be 0         0                 copied
//  34     4   size of the pixel data    -                 stride * h        out w * h * 3
//  38     4   horizontal pixels/metre   -                 3780              copied
//  42     4   vertical pixels/metre     -                 3780              copied
//  46     4   colours used              -                 0                 copied
//  50     4   important colours         -                 0                 copied
//
// Rows are stored bottom-up, each width x 3 bytes (blue, green, red) padded
// to a multiple of 4 bytes: the row stride.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "binary_file.h"
#include "dialogue.h"

constexpr std::size_t bmpHeaderSize = 54;
constexpr std::uint16_t bmpSignature = 0x4D42; // the bytes "B", "M"

using HeaderBytes = std::array<std::uint8_t, bmpHeaderSize>;

struct BmpHeader {
    HeaderBytes bytes{}; // the first 54 bytes as read
    std::uint32_t pixelDataOffset = 0;
    std::uint32_t infoHeaderSize = 0;
    std::int32_t width = 0; // signed: a negative height means top-down
    std::int32_t height = 0;
    std::uint16_t bitsPerPixel = 0;
    std::uint32_t compression = 0;
};

std::uint16_t readU16le(const std::uint8_t* bytes);
std::uint32_t readU32le(const std::uint8_t* bytes);
void putU16le(std::uint8_t* bytes, std::uint16_t value);
void putU32le(std::uint8_t* bytes, std::uint32_t value);

BmpHeader parseBmpHeader(const HeaderBytes& bytes);

// width x 3 rounded up to a multiple of 4, without overflow for any width.
std::uint64_t paddedRowLength(std::uint64_t width);

// Empty when the header describes a picture the programs can read from a file
// of fileLength bytes, else the one-line reason it is refused. The last row
// may lack its padding bytes, which then read as 0.
std::string headerProblem(const BmpHeader& header, std::int64_t fileLength);

// Opens the input for reading, reads and checks its header. Any problem ends
// the program with one line and status 1.
BmpHeader openInputPicture(Dialogue& dialogue, BinaryFile& file, const std::string& fileName);

// The converter's header: every field written fresh.
HeaderBytes converterHeader(std::int32_t width, std::int32_t height, std::uint32_t rowStride);

// The resizer's header: the input's bytes with the sizes patched and the
// pixel data placed directly after a 40-byte information header.
HeaderBytes resizedHeader(const HeaderBytes& input, std::uint32_t width, std::uint32_t height);
