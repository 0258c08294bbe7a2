#include "picture_rows.h"

#include <algorithm>
#include <new>

constexpr std::size_t codeChunkSize = 4096; // run-length codes read ahead at a time

// Reads through the rows' byte source.
static void getBytes(const PictureRows& rows, std::int64_t position, std::uint8_t* buffer,
                     std::size_t count) {
    rows.source.get(rows.source.context, position, buffer, count);
}

bool isPlainPicture(const PictureRows& rows) { return isPlainBmp(rows.header); }

std::int64_t firstRowPosition(const PictureRows& rows) {
    return std::int64_t(rows.header.pixelDataOffset) + 1;
}

std::uint8_t widenLevel(std::uint32_t level, int bits) {
    std::uint32_t wide = 0;
    for (int shift = 8 - bits; shift > -bits; shift -= bits)
        wide |= shift >= 0 ? level << shift : level >> -shift;
    return std::uint8_t(wide);
}

static std::string colourIndexProblem(std::uint32_t index, std::uint32_t colourCount) {
    return "infile uses colour index " + std::to_string(index) + ", beyond its colour table of " +
           std::to_string(colourCount) + " colours";
}

static void putColour(const PictureRows& rows, std::uint32_t index, std::uint8_t* pixel) {
    const std::uint8_t* colour = &rows.colours[3 * std::size_t(index)];
    pixel[0] = colour[0];
    pixel[1] = colour[1];
    pixel[2] = colour[2];
}

// ---- colour table and masks ----------------------------------------------------------

// The table holds the header's count of colours (0: 2 ^ bits), at most 2 ^
// bits, and only the entries that lie before the pixel data.
static std::string readColourTable(PictureRows& rows) {
    const BmpHeader& header = rows.header;
    const bool core = header.infoHeaderSize == os2CoreHeaderSize;
    const std::uint32_t entrySize = core ? 3 : 4; // blue, green, red (, unused)
    const std::uint32_t full = 1u << header.bitsPerPixel;
    std::uint32_t count = header.coloursUsed == 0 ? full : std::min(header.coloursUsed, full);
    // headerProblem made sure the pixel data starts after the table's start.
    const std::uint64_t start = colourTableOffset(header);
    count =
        std::uint32_t(std::min<std::uint64_t>(count, (header.pixelDataOffset - start) / entrySize));
    if (count == 0)
        return "infile has no colour table before its pixel data at offset " +
               std::to_string(header.pixelDataOffset);
    std::vector<std::uint8_t> table(std::size_t(count) * entrySize);
    getBytes(rows, std::int64_t(start) + 1, table.data(), table.size());
    rows.colours.resize(std::size_t(count) * 3);
    for (std::size_t i = 0; i < count; ++i)
        std::copy_n(&table[i * entrySize], 3, &rows.colours[3 * i]);
    rows.colourCount = count;
    return "";
}

static std::string hexMask(std::uint32_t mask) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text = "0x";
    for (int shift = 28; shift >= 0; shift -= 4) text += digits[(mask >> shift) & 15];
    return text;
}

// The position of the lowest set bit of a mask that is not 0.
static int lowestBit(std::uint32_t mask) {
    int shift = 0;
    while (((mask >> shift) & 1) == 0) ++shift;
    return shift;
}

static int bitCount(std::uint32_t mask) {
    int count = 0;
    for (; mask != 0; mask &= mask - 1) ++count;
    return count;
}

// Masks of 16-bit pixels hold at most 8 bits, within the 16; those of 32-bit
// pixels exactly 8. Every mask is one run of adjacent bits.
static std::string maskProblem(std::uint32_t mask, const char* name, unsigned bitsPerPixel) {
    const std::string prefix = std::string("infile's ") + name + " mask " + hexMask(mask);
    const std::uint32_t run = mask == 0 ? 0 : mask >> lowestBit(mask);
    if (run == 0 || (run & (run + 1)) != 0) return prefix + " is not one run of adjacent bits";
    const int width = bitCount(mask);
    if (bitsPerPixel == 16 && mask > 0xFFFF) return prefix + " lies outside its 16-bit pixels";
    if (bitsPerPixel == 16 && width > 8)
        return prefix + " is " + std::to_string(width) +
               " bits wide; 16-bit pixels allow at most 8";
    if (bitsPerPixel == 32 && width != 8)
        return prefix + " is " + std::to_string(width) + " bits wide; 32-bit pixels need 8";
    return "";
}

// Without masks in the file, 16-bit pixels are 5-5-5 and 32-bit ones are
// blue, green, red and an unused byte.
static std::string readMasks(PictureRows& rows) {
    const BmpHeader& header = rows.header;
    std::uint32_t red = 0x7C00, green = 0x03E0, blue = 0x001F;
    if (header.bitsPerPixel == 32) red = 0xFF0000, green = 0x00FF00, blue = 0x0000FF;
    if (hasBitMasks(header)) {
        std::uint8_t bytes[12] = {};
        getBytes(rows, maskOffset + 1, bytes, sizeof bytes);
        red = readU32le(&bytes[0]);
        green = readU32le(&bytes[4]);
        blue = readU32le(&bytes[8]);
    }
    const std::uint32_t masks[3] = {blue, green, red};
    const char* const names[3] = {"blue", "green", "red"};
    for (int c = 2; c >= 0; --c) {
        std::string problem = maskProblem(masks[c], names[c], header.bitsPerPixel);
        if (!problem.empty()) return problem;
    }
    for (int c = 0; c < 3; ++c) {
        const int width = bitCount(masks[c]);
        rows.masks[c] = masks[c];
        rows.shifts[c] = lowestBit(masks[c]);
        for (std::uint32_t level = 0; level < (1u << width); ++level)
            rows.levels[c][level] = widenLevel(level, width);
    }
    return "";
}

// ---- uncompressed rows ------------------------------------------------------------------

static std::uint32_t paletteIndex(const std::uint8_t* stored, std::size_t x, unsigned bits) {
    if (bits == 8) return stored[x];
    if (bits == 4) return (stored[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F; // high nibble first
    return (stored[x >> 3] >> (7 - (x & 7))) & 1;                       // high bit first
}

static std::string paletteRow(const PictureRows& rows, std::uint8_t* bgr) {
    const unsigned bits = rows.header.bitsPerPixel;
    const std::size_t width = std::size_t(rows.header.width);
    for (std::size_t x = 0; x < width; ++x) {
        const std::uint32_t index = paletteIndex(rows.stored.data(), x, bits);
        if (index >= rows.colourCount) return colourIndexProblem(index, rows.colourCount);
        if (bgr != nullptr) putColour(rows, index, &bgr[3 * x]);
    }
    return "";
}

static void bitFieldRow(const PictureRows& rows, std::uint8_t* bgr) {
    const bool wide = rows.header.bitsPerPixel == 32;
    const std::uint8_t* stored = rows.stored.data();
    const std::size_t width = std::size_t(rows.header.width);
    for (std::size_t x = 0; x < width; ++x) {
        const std::uint32_t pixel = wide ? readU32le(&stored[4 * x]) : readU16le(&stored[2 * x]);
        for (int c = 0; c < 3; ++c)
            bgr[3 * x + c] = rows.levels[c][(pixel & rows.masks[c]) >> rows.shifts[c]];
    }
}

static std::int64_t storedRowPosition(const PictureRows& rows, std::int32_t r) {
    const std::int32_t storedRow = rows.header.topDown ? rows.header.height - 1 - r : r;
    return firstRowPosition(rows) + std::int64_t(storedRow) * std::int64_t(rows.stride);
}

static std::string uncompressedRow(PictureRows& rows, std::int32_t r, std::uint8_t* bgr) {
    if (rows.header.bitsPerPixel == 24) { // as stored, without the padding
        getBytes(rows, storedRowPosition(rows, r), bgr, 3 * std::size_t(rows.header.width));
        return "";
    }
    getBytes(rows, storedRowPosition(rows, r), rows.stored.data(), rows.stored.size());
    if (rows.header.bitsPerPixel <= 8) return paletteRow(rows, bgr);
    bitFieldRow(rows, bgr);
    return "";
}

// ---- run-length coded rows ----------------------------------------------------------------
//
// Codes come in byte pairs. A count above 0 repeats the next byte's pixels
// (one index for RLE8, two alternating 4-bit ones for RLE4) count times. A
// count of 0 is an escape: 0 ends the row, 1 ends the picture, 2 moves right
// and up by the next two bytes, and 3 or more gives that many pixels
// literally, their bytes padded to an even number. Pixels that no code
// reaches (skipped by an early row end, a move or the end of the picture)
// take colour 0. Rows may carry pixels beyond the width up to the padded
// stored row length, as writers do that code the padding bytes of odd
// widths: those pixels are dropped. Once every pixel is given (the top row
// reached at or past the width), the data may end without the row end or
// picture end code, as other readers take it.

static const char* const runsPastPicture = "infile's run-length data runs past the picture";
static const char* const runsEndEarly =
    "infile's run-length data ends before the end of the picture";

static void restartRunLength(PictureRows& rows) {
    RunLengthState& runs = rows.runs;
    runs.nextOffset = rows.header.pixelDataOffset;
    runs.chunkAt = runs.chunkLength = 0;
    runs.row = runs.column = 0;
    runs.ended = false;
    runs.nextRowToRead = 0;
}

// The next coded byte, or -1 at the end of the source.
static int nextCode(PictureRows& rows) {
    RunLengthState& runs = rows.runs;
    if (runs.chunkAt == runs.chunkLength) {
        const std::int64_t left = rows.source.length - runs.nextOffset;
        if (left <= 0) return -1;
        runs.chunkLength = std::size_t(std::min<std::int64_t>(left, std::int64_t(codeChunkSize)));
        getBytes(rows, runs.nextOffset + 1, runs.chunk.data(), runs.chunkLength);
        runs.nextOffset += std::int64_t(runs.chunkLength);
        runs.chunkAt = 0;
    }
    return runs.chunk[runs.chunkAt++];
}

static bool codesLeft(const PictureRows& rows) {
    return rows.runs.chunkAt < rows.runs.chunkLength || rows.runs.nextOffset < rows.source.length;
}

// Places count pixels (at most 255) with the given indices at the decoder's
// column of the current row. Pixels past the width are dropped.
static std::string placePixels(PictureRows& rows, int count, const std::uint8_t* indices,
                               std::uint8_t* bgr) {
    RunLengthState& runs = rows.runs;
    const std::int64_t rowPixels =
        std::int64_t(rows.stride * 8 / rows.header.bitsPerPixel); // the padded row, in pixels
    if (runs.row >= rows.header.height || runs.column + count > rowPixels) return runsPastPicture;
    const std::int64_t kept = std::min<std::int64_t>(count, rows.header.width - runs.column);
    for (std::int64_t i = 0; i < kept; ++i) {
        if (indices[i] >= rows.colourCount) return colourIndexProblem(indices[i], rows.colourCount);
        if (bgr != nullptr) putColour(rows, indices[i], &bgr[3 * std::size_t(runs.column + i)]);
    }
    runs.column += count;
    return "";
}

// One code: a run, or an escape with what follows it.
static std::string decodeCode(PictureRows& rows, std::uint8_t* bgr) {
    RunLengthState& runs = rows.runs;
    const bool rle4 = rows.header.compression == bmpRle4;
    const int count = nextCode(rows);
    const bool everyPixelGiven =
        runs.row == rows.header.height - 1 && runs.column >= rows.header.width;
    if (count < 0 && everyPixelGiven) { // the end of the picture without its code
        runs.ended = true;
        return "";
    }
    const int value = nextCode(rows);
    if (value < 0) return runsEndEarly;
    std::uint8_t indices[255];
    if (count > 0) { // a run: RLE4 alternates the high and the low nibble
        for (int i = 0; i < count; ++i)
            indices[i] = std::uint8_t(!rle4 ? value : (i & 1) ? value & 0x0F : value >> 4);
        return placePixels(rows, count, indices, bgr);
    }
    if (value == 0) { // end of row
        ++runs.row;
        runs.column = 0;
        return "";
    }
    if (value == 1) { // end of picture
        runs.ended = true;
        return "";
    }
    if (value == 2) { // move right and up
        const int right = nextCode(rows);
        const int up = nextCode(rows);
        if (up < 0) return runsEndEarly;
        runs.column += right;
        runs.row += up;
        return runs.row > rows.header.height ? runsPastPicture : "";
    }
    // Literal pixels, their bytes padded to an even number.
    const int byteCount = rle4 ? (value + 1) / 2 : value;
    for (int i = 0; i < byteCount; ++i) {
        const int code = nextCode(rows);
        if (code < 0) return runsEndEarly;
        if (!rle4) {
            indices[i] = std::uint8_t(code);
            continue;
        }
        indices[2 * i] = std::uint8_t(code >> 4);
        if (2 * i + 1 < value) indices[2 * i + 1] = std::uint8_t(code & 0x0F);
    }
    if ((byteCount & 1) != 0 && nextCode(rows) < 0) return runsEndEarly;
    return placePixels(rows, value, indices, bgr);
}

// Decodes row r, which no code before the decoder's place has ended.
// bgr may be null: then the codes are only checked.
static std::string decodeRunLengthRow(PictureRows& rows, std::int32_t r, std::uint8_t* bgr) {
    RunLengthState& runs = rows.runs;
    if (bgr != nullptr)
        for (std::size_t x = 0; x < std::size_t(rows.header.width); ++x)
            putColour(rows, 0, &bgr[3 * x]);
    while (!runs.ended && runs.row == r) {
        std::string problem = decodeCode(rows, bgr);
        if (!problem.empty()) return problem;
    }
    return "";
}

static std::string runLengthRow(PictureRows& rows, std::int32_t r, std::uint8_t* bgr) {
    RunLengthState& runs = rows.runs;
    if (r < runs.nextRowToRead) restartRunLength(rows);
    while (!runs.ended && runs.row < r) {
        std::string problem = decodeRunLengthRow(rows, std::int32_t(runs.row), nullptr);
        if (!problem.empty()) return problem;
    }
    runs.nextRowToRead = r + 1;
    return decodeRunLengthRow(rows, r, bgr);
}

// Every code decoded once without keeping pixels; rows that a move or the
// end of the picture skips are passed over at once.
static std::string checkRunLengthCodes(PictureRows& rows) {
    restartRunLength(rows);
    for (std::int32_t r = 0; r < rows.header.height && !rows.runs.ended;
         r = std::int32_t(std::max<std::int64_t>(r + 1, rows.runs.row))) {
        std::string problem = decodeRunLengthRow(rows, r, nullptr);
        if (!problem.empty()) return problem;
    }
    // Codes after the top row may only end rows or the picture.
    while (!rows.runs.ended && codesLeft(rows)) {
        std::string problem = decodeCode(rows, nullptr);
        if (!problem.empty()) return problem;
    }
    restartRunLength(rows);
    return "";
}

// ---- the interface ------------------------------------------------------------------------------

std::string setUpPictureRows(PictureRows& rows, const ByteSource& source, const BmpHeader& header) {
    rows.source = source;
    rows.header = header;
    rows.stride = storedRowLength(std::uint64_t(header.width), header.bitsPerPixel);
    if (header.bitsPerPixel == 24) return "";
    std::string problem = header.bitsPerPixel <= 8 ? readColourTable(rows) : readMasks(rows);
    if (!problem.empty()) return problem;
    try {
        if (isRunLengthCoded(header)) {
            rows.runs.chunk.assign(codeChunkSize, 0);
            return checkRunLengthCodes(rows);
        }
        // The stored row fits in the source, which headerProblem made sure of.
        rows.stored.assign(rows.stride, 0);
    } catch (const std::bad_alloc&) {
        return "not enough memory for this picture";
    }
    // A short colour table: every index is checked before any row is used.
    if (header.bitsPerPixel <= 8 && rows.colourCount < (1u << header.bitsPerPixel))
        for (std::int32_t r = 0; r < header.height; ++r) {
            getBytes(rows, storedRowPosition(rows, r), rows.stored.data(), rows.stored.size());
            problem = paletteRow(rows, nullptr);
            if (!problem.empty()) return problem;
        }
    return "";
}

std::string readPictureRow(PictureRows& rows, std::int32_t r, std::uint8_t* bgr) {
    if (isRunLengthCoded(rows.header)) return runLengthRow(rows, r, bgr);
    return uncompressedRow(rows, r, bgr);
}
