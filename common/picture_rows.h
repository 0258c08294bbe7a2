// Picture rows of any common BMP layout, read as 24-bit rows: width x 3 bytes
// of blue, green and red. Palette indices are looked up in the colour table,
// run-length codes are decoded as they are read, bit-field levels are widened
// to 8 bits, and rows stored top-down are found where they lie.
//
// Rows are counted from the bottom of the picture: row 0 is the bottom row,
// the first stored in a bottom-up file. Reading rows in increasing order is
// cheap in every layout (run-length codes are decoded on the way, in constant
// memory); going back restarts the decoding from the first code.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "bmp_header.h"

// Where the rows are read from, a plain record of a function and its
// context in the manner of stb_image's io callbacks: get fills buffer with
// count bytes from 1-based position (1 or more) of the source, bytes past its
// end reading as 0. The programs read an opened file through it.
struct ByteSource {
    void (*get)(void* context, std::int64_t position, std::uint8_t* buffer,
                std::size_t count) = nullptr;
    void* context = nullptr; // handed to get: what the bytes come from
    std::int64_t length = 0; // bytes in the source
};

// Where the run-length decoder stands in the coded data.
struct RunLengthState {
    std::int64_t nextOffset = 0;     // source offset of the first byte not yet in `chunk`
    std::vector<std::uint8_t> chunk; // coded bytes read ahead
    std::size_t chunkAt = 0;         // next unused byte of `chunk`
    std::size_t chunkLength = 0;     // bytes of `chunk` that hold data
    std::int64_t row = 0;            // the row the next code writes to
    std::int64_t column = 0;         // the column the next code writes to
    bool ended = false;              // end of picture: every later pixel is colour 0
    std::int32_t nextRowToRead = 0;  // rows below were handed out already
};

struct PictureRows {
    ByteSource source;
    BmpHeader header;
    std::uint64_t stride = 0; // bytes per stored row, uncompressed layouts
    // Colour table entries as blue, green, red, 3 bytes each.
    std::vector<std::uint8_t> colours;
    std::uint32_t colourCount = 0;
    // Bit-field layouts: for blue, green and red, the mask, its shift, and
    // every level it can hold widened to 8 bits.
    std::array<std::uint32_t, 3> masks{};
    std::array<int, 3> shifts{};
    std::array<std::array<std::uint8_t, 256>, 3> levels{};
    std::vector<std::uint8_t> stored; // one stored row, uncompressed non-plain layouts
    RunLengthState runs;
};

// Prepares reading the rows of a file whose header passed headerProblem for
// the source's length: reads its colour table or masks and checks them, and
// checks every colour index and run-length code once, without keeping the
// pixels. Returns the one-line refusal, or "" when every row can be read.
std::string setUpPictureRows(PictureRows& rows, const ByteSource& source, const BmpHeader& header);

// Fills bgr with width x 3 bytes of picture row r (0 = bottom row). Returns
// "" or the one-line refusal (a colour index beyond the table, run-length
// codes that run past the picture or end before its last pixel).
std::string readPictureRow(PictureRows& rows, std::int32_t r, std::uint8_t* bgr);

// A plain file: its rows are read as stored, and the padding bytes of each
// stored row are the file's own; other layouts give rows with zero padding.
bool isPlainPicture(const PictureRows& rows);

// 1-based source position of the first stored row (the bottom row of a
// plain file).
std::int64_t firstRowPosition(const PictureRows& rows);

// A level of n bits (1 to 8) widened to 8 by repeating its high bits: the
// 5-bit level v gives (v << 3) | (v >> 2).
std::uint8_t widenLevel(std::uint32_t level, int bits);
