// The 54-byte header of an uncompressed 24-bit BMP file: a 14-byte file
// header and a 40-byte information header, every field little-endian. The
// last three columns are what plainHeader writes: a fresh header (the
// converter's, --decode's), and the resizer's for a plain input and for an
// input of another layout; "copied" takes the input's bytes, S is the size
// of the pixel data.
//
//  offset size field                    read              fresh   plain in  other in
//   0     2   signature "BM"            checked (0x4D42)  "BM"    "BM"      "BM"
//   2     4   file size in bytes        -                 S + 54  S + 54    S + 54
//   6     4   two reserved words        -                 0       copied    copied
//  10     4   offset of the pixel data  rows start here   54      54        54
//  14     4   information header size   12, or >= 40      40      40        40
//  18     4   width in pixels           yes, >= 1         width   width     width
//  22     4   height in pixels          yes, not 0        height  height    height
//  26     2   colour planes             -                 1       copied    1
//  28     2   bits per pixel            1 4 8 16 24 32    24      24        24
//  30     4   compression               0 1 2 3 6         0       0         0
//  34     4   size of the pixel data S  -                 stride x height, all three
//  38     4   horizontal pixels/metre   -                 3780    copied    copied; 0 if none
//  42     4   vertical pixels/metre     -                 3780    copied    copied; 0 if none
//  46     4   colours used              table entries     0       copied    0
//  50     4   important colours         -                 0       copied    0
//
// Rows are stored bottom-up, each width x 3 bytes (blue, green, red) padded
// to a multiple of 4 bytes: the row stride.
//
// That plain file is what both programs write. As input they also take the
// other common layouts, whose fields share these offsets: 1, 4 and 8 bits a
// pixel with a colour table, run-length coding (RLE8, RLE4), 16 and 32 bits
// with bit masks, rows stored top-down (negative height), the OS/2 2.x
// 64-byte information header, and the OS/2 1.x 12-byte one, which differs:
//
//  offset size field (12-byte header only)
//  14     4   information header size, 12
//  18     2   width in pixels
//  20     2   height in pixels
//  22     2   colour planes
//  24     2   bits per pixel; no compression, a colour table of 3-byte entries
//
// Bit masks follow a 40-byte information header (compression 3) or lie
// inside a larger one, at offset 54 either way: red, green, blue. The colour
// table comes after the information header and any masks that follow it.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "byte_order.h"

constexpr std::size_t bmpFileHeaderSize = 14;
constexpr std::size_t bmpInfoHeaderSize = 40; // the smallest Windows information header
constexpr std::size_t bmpHeaderSize = bmpFileHeaderSize + bmpInfoHeaderSize; // 54
constexpr std::uint16_t bmpSignature = 0x4D42;                               // the bytes "B", "M"

using HeaderBytes = std::array<std::uint8_t, bmpHeaderSize>;

// Values of the compression field.
constexpr std::uint32_t bmpUncompressed = 0;
constexpr std::uint32_t bmpRle8 = 1;
constexpr std::uint32_t bmpRle4 = 2;
constexpr std::uint32_t bmpBitFields = 3; // under OS/2 2.x: Huffman coding
constexpr std::uint32_t bmpJpeg = 4;      // under OS/2 2.x: 24-bit run lengths
constexpr std::uint32_t bmpPng = 5;
constexpr std::uint32_t bmpAlphaBitFields = 6; // four masks after a 40-byte header

constexpr std::uint32_t os2CoreHeaderSize = 12;
constexpr std::uint32_t os2HeaderSize = 64;
constexpr std::uint32_t maskOffset = 54; // red, green and blue masks, 4 bytes each

struct BmpHeader {
    HeaderBytes bytes{}; // the first 54 bytes as read
    std::uint32_t pixelDataOffset = 0;
    std::uint32_t infoHeaderSize = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;       // picture rows, whichever way they are stored
    std::int32_t storedHeight = 0; // the field itself: negative when stored top-down
    bool topDown = false;          // the first stored row is the top one
    std::uint16_t bitsPerPixel = 0;
    std::uint32_t compression = 0;
    std::uint32_t coloursUsed = 0; // entries in the colour table; 0 means 2 ^ bits
};

BmpHeader parseBmpHeader(const HeaderBytes& bytes);

// The bytes of a stored row of width pixels of the given bits (1 to 32),
// padded to a multiple of 4: the row stride. No overflow for any 32-bit width.
std::uint64_t storedRowLength(std::uint64_t width, unsigned bitsPerPixel);

// A 24-bit, uncompressed, bottom-up file with an information header of 40
// bytes or more: its rows are read as they are stored, padding included.
bool isPlainBmp(const BmpHeader& header);
bool isRunLengthCoded(const BmpHeader& header);
bool hasBitMasks(const BmpHeader& header);
// Where the colour table starts: after the information header and the masks
// that follow a 40-byte one.
std::uint64_t colourTableOffset(const BmpHeader& header);

// Empty when the header describes a picture the programs can read from a file
// of fileLength bytes, else the one-line reason it is refused. The last row
// may lack its padding bytes, which then read as 0.
std::string headerProblem(const BmpHeader& header, std::int64_t fileLength);

// When the first bytes of a file that is no BMP show another picture format,
// its name ("PNG", "MSX BSAVE": a screen saved from VRAM address 0); else
// empty.
std::string otherPictureFormat(const HeaderBytes& bytes);

// The header of a plain 24-bit bottom-up file of width x height pixels, rows
// padded to a multiple of 4, pixel data right after the 54 bytes. keepFrom,
// the header of the input it was made from, is null for a fresh header (the
// converter's, --decode's); a plain input's header keeps every field but the
// sizes; one of another layout gives its reserved words and, when it has
// them, its resolution. The sizes are 32-bit fields: callers refuse pictures
// whose file would not fit.
HeaderBytes plainHeader(std::uint32_t width, std::uint32_t height, const BmpHeader* keepFrom);
