// A PNG or JPEG picture as its decoder writes it: a plain 24-bit BMP (the
// 54-byte header, rows bottom-up, each padded to a multiple of 4 bytes) in a
// temporary file, which the programs then read like any other BMP input.
//
// The decoders hand over rows top-down, as they decode them. Each row goes to
// its computed place in the file, so memory grows with the width only. A
// JPEG's EXIF orientation is applied on the way: the rows are gathered in a
// band of a few rows, and a band of an orientation that turns the picture by
// a quarter is written column by column, each column of the band being one
// run of bytes of a row of the file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "binary_file.h"

// What a decoder or either program may hold for each pixel of a row's
// width, at most, with room to spare: the PNG decoder about 38 bytes
// (libspng's two scan lines and its row of up to 8 bytes a pixel, the 16-bit
// RGBA row, the written row), the programs up to 37 (tessalo's rows of 4 x 4
// blocks, pravun's rows when it keeps the width). The decoder's memory is
// given back before a program sizes its rows. 256 MiB / 64 bytes allows
// pictures of up to 4,194,304 pixels across.
constexpr std::uint64_t heldBytesPerColumn = 64;

// A quarter turn gathers decoded rows in a band of about this many bytes,
// at least 16 rows, before it writes them: each column of the band becomes
// one run of a row of the file, so the band's height sets how many writes
// the turn takes, width x height / rows. (On a 6000 x 4000 picture, runs of
// 32 pixels, 750,000 writes, made the turn cost 6 s; 8 MiB, runs of 466
// pixels, costs 0.8 s, and peak memory stays under 12 MB.) Other
// orientations write each row as it comes.
constexpr std::size_t turnBandBytes = std::size_t(8) << 20;
constexpr std::int32_t minimumTurnBandRows = 16;

struct DecodedPicture {
    BinaryFile* file = nullptr;   // the temporary file, open for writing
    std::int32_t sourceWidth = 0; // the picture as decoded, before its orientation
    std::int32_t sourceHeight = 0;
    int orientation = 1;    // EXIF orientation, 1 (as stored) to 8
    std::int32_t width = 0; // the picture as written: turned by a quarter for 5 to 8
    std::int32_t height = 0;
    std::uint64_t stride = 0;       // bytes of a written row, padding included
    std::vector<std::uint8_t> band; // decoded rows of 3 bytes a pixel: blue, green, red
    std::int32_t bandSize = 1;   // rows the band holds: 1 unless the picture is turned by a quarter
    std::int32_t bandStart = 0;  // the source row of the band's first row
    std::int32_t bandFilled = 0; // rows of the band decoded so far
    std::vector<std::uint8_t> run; // one row of the file, or one column of a band
};

// Empty when a picture this wide in this format ("PNG", "JPEG") may be
// decoded, else the one-line refusal: a width that would make the decoders
// or a program hold more than the memory allowed for compressed pictures.
// (A JPEG's sides are at most 65535 pixels, so its quarter turns, which
// make the height the width, stay far within the limit.)
[[nodiscard]] std::string decodedWidthProblem(const std::string& format, std::uint64_t width);

// Sets up the picture for a source of the given size (which passed
// decodedSizeProblem) and orientation, and writes the BMP header.
void startDecodedPicture(DecodedPicture& picture, BinaryFile& file, std::int32_t width,
                         std::int32_t height, int orientation);

// Where the decoder puts the next source row: width x 3 bytes of blue, green
// and red. The row is kept once nextRowDone is called.
std::uint8_t* nextRow(DecodedPicture& picture);
void nextRowDone(DecodedPicture& picture);

// Writes what the band still holds and the last row's padding.
void finishDecodedPicture(DecodedPicture& picture);

// 1-based position in the file of row y (0 = top) of the written picture:
// the rows are stored bottom-up after the 54-byte header.
std::int64_t writtenRowPosition(const DecodedPicture& picture, std::int32_t y);
