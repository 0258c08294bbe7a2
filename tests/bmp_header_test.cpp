// The BMP header: row lengths, little-endian fields, the two ways an output
// header is made, and which inputs are refused with which line.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "binary_file.h"
#include "bmp_header.h"
#include "dialogue.h"
#include "input_picture.h"
#include "test_support.h"

namespace {

// Test-side little-endian field access, independent of the code under test.
void setField(HeaderBytes& bytes, std::size_t offset, std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i) bytes[offset + i] = std::uint8_t(value >> (8 * i));
}

std::uint32_t field32(const HeaderBytes& bytes, std::size_t offset) {
    return std::uint32_t(bytes[offset]) | std::uint32_t(bytes[offset + 1]) << 8 |
           std::uint32_t(bytes[offset + 2]) << 16 | std::uint32_t(bytes[offset + 3]) << 24;
}

// The header of a plain 5 x 3 picture: rows of 16 bytes, a 102-byte file.
HeaderBytes fiveByThreeHeader() {
    Bytes file = bmpFile(asymmetricPicture(5, 3));
    HeaderBytes bytes;
    std::copy(file.begin(), file.begin() + 54, bytes.begin());
    return bytes;
}

// ---- row length --------------------------------------------------------------------

struct RowLengthRow {
    std::uint64_t width;
    std::uint64_t expected;
};

TEST(BmpHeader, PaddedRowLengthRoundsThreeBytesPerPixelUpToFour) {
    const std::vector<RowLengthRow> rows = {
        {1, 4},
        {2, 8},
        {3, 12},
        {4, 12},
        {5, 16},
        {10921, 32764},
        {10922, 32768}, // a 15-bit mask would give 0 here
        {87380, 262140},
        {87381, 262144},           // an 18-bit mask would give 0 here
        {1431655765, 4294967296u}, // width x 3 = 4294967295: no 32-bit wrap
    };
    for (const RowLengthRow& row : rows) {
        SCOPED_TRACE(row.width);
        EXPECT_EQ(paddedRowLength(row.width), row.expected);
    }
}

// ---- byte order ------------------------------------------------------------------------

struct U16Row {
    std::uint8_t bytes[2];
    std::uint16_t value;
};

TEST(BmpHeader, U16FieldsAreLittleEndian) {
    // clang-format off
    const std::vector<U16Row> rows = {
        {{0x42, 0x4D}, 19778}, // "BM"
        {{0x18, 0x00}, 24},
        {{0xFF, 0x01}, 511},
        {{0x00, 0x80}, 32768},
        {{0xFF, 0xFF}, 65535},
    };
    // clang-format on
    for (const U16Row& row : rows) {
        SCOPED_TRACE(row.value);
        EXPECT_EQ(readU16le(row.bytes), row.value);
        std::uint8_t written[4] = {0xEE, 0xEE, 0xEE, 0xEE};
        putU16le(written + 1, row.value);
        EXPECT_EQ(written[0], 0xEE);
        EXPECT_EQ(written[1], row.bytes[0]);
        EXPECT_EQ(written[2], row.bytes[1]);
        EXPECT_EQ(written[3], 0xEE);
    }
}

struct U32Row {
    std::uint8_t bytes[4];
    std::uint32_t value;
};

TEST(BmpHeader, U32FieldsAreLittleEndian) {
    // clang-format off
    const std::vector<U32Row> rows = {
        {{0x36, 0x00, 0x00, 0x00}, 54},
        {{0xC4, 0x0E, 0x00, 0x00}, 3780},
        {{0x78, 0x56, 0x34, 0x12}, 0x12345678u},
        {{0x00, 0x00, 0x00, 0x80}, 2147483648u},
        {{0xFF, 0xFF, 0xFF, 0xFF}, 4294967295u},
    };
    // clang-format on
    for (const U32Row& row : rows) {
        SCOPED_TRACE(row.value);
        EXPECT_EQ(readU32le(row.bytes), row.value);
        std::uint8_t written[6] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
        putU32le(written + 1, row.value);
        EXPECT_EQ(written[0], 0xEE);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(written[1 + i], row.bytes[i]) << "byte " << i;
        EXPECT_EQ(written[5], 0xEE);
    }
}

TEST(BmpHeader, ParseReadsTheFieldsTheProgramsUse) {
    HeaderBytes bytes{};
    bytes[0] = 'B';
    bytes[1] = 'M';
    setField(bytes, 10, 138, 4);
    setField(bytes, 14, 124, 4);
    setField(bytes, 18, 1000, 4);
    setField(bytes, 22, 0xFFFFFE0Cu, 4); // -500: stored top-down
    setField(bytes, 28, 24, 2);
    setField(bytes, 30, 3, 4);
    BmpHeader header = parseBmpHeader(bytes);
    EXPECT_EQ(header.pixelDataOffset, 138u);
    EXPECT_EQ(header.infoHeaderSize, 124u);
    EXPECT_EQ(header.width, 1000);
    EXPECT_EQ(header.height, 500);
    EXPECT_EQ(header.storedHeight, -500);
    EXPECT_TRUE(header.topDown);
    EXPECT_EQ(header.bitsPerPixel, 24);
    EXPECT_EQ(header.compression, 3u);
    EXPECT_EQ(header.bytes, bytes);
}

// ---- output headers ------------------------------------------------------------------------

TEST(BmpHeader, ConverterHeaderOfOnePixel) {
    // clang-format off
    const HeaderBytes expected = {
        'B',  'M',              // signature
        0x3A, 0x00, 0x00, 0x00, // file size 58
        0x00, 0x00, 0x00, 0x00, // reserved
        0x36, 0x00, 0x00, 0x00, // pixel data at 54
        0x28, 0x00, 0x00, 0x00, // information header 40
        0x01, 0x00, 0x00, 0x00, // width 1
        0x01, 0x00, 0x00, 0x00, // height 1
        0x01, 0x00,             // one plane
        0x18, 0x00,             // 24 bits per pixel
        0x00, 0x00, 0x00, 0x00, // no compression
        0x04, 0x00, 0x00, 0x00, // pixel data size 4
        0xC4, 0x0E, 0x00, 0x00, // 3780 pixels per metre
        0xC4, 0x0E, 0x00, 0x00, // 3780 pixels per metre
        0x00, 0x00, 0x00, 0x00, // colours used
        0x00, 0x00, 0x00, 0x00, // important colours
    };
    // clang-format on
    EXPECT_EQ(converterHeader(1, 1, 4), expected);
}

struct ConverterSizeRow {
    std::int32_t width, height;
    std::uint32_t rowStride;
    std::uint32_t fileSize, dataSize;
};

TEST(BmpHeader, ConverterHeaderSizesFollowTheRowStride) {
    const std::vector<ConverterSizeRow> rows = {
        {5, 3, 16, 102, 48},
        {4, 2, 12, 78, 24},
        {10921, 2, 32764, 65582, 65528},
    };
    for (const ConverterSizeRow& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.width << " x " << row.height);
        HeaderBytes bytes = converterHeader(row.width, row.height, row.rowStride);
        EXPECT_EQ(field32(bytes, 2), row.fileSize);
        EXPECT_EQ(field32(bytes, 18), std::uint32_t(row.width));
        EXPECT_EQ(field32(bytes, 22), std::uint32_t(row.height));
        EXPECT_EQ(field32(bytes, 34), row.dataSize);
    }
}

TEST(BmpHeader, ResizedHeaderPatchesSizesAndCopiesTheRest) {
    // clang-format off
    const HeaderBytes input = {
        'B',  'M',  0x3F, 0x42, 0x0F, 0x00, // file size 999999
        0x11, 0x22, 0x33, 0x44,             // reserved
        0x8A, 0x00, 0x00, 0x00,             // pixel data at 138
        0x7C, 0x00, 0x00, 0x00,             // information header 124 (version 5)
        0xE8, 0x03, 0x00, 0x00,             // width 1000
        0xF4, 0x01, 0x00, 0x00,             // height 500
        0x01, 0x00, 0x18, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x39, 0x30, 0x00, 0x00, // pixel data size 12345
        0x13, 0x0B, 0x00, 0x00,             // 2835
        0x12, 0x0B, 0x00, 0x00,             // 2834
        0x07, 0x00, 0x00, 0x00,             // colours used 7
        0x09, 0x00, 0x00, 0x00,             // important colours 9
    };
    const HeaderBytes expected = {
        'B',  'M',              // signature, copied
        0x36, 0x84, 0x03, 0x00, // file size 230454
        0x11, 0x22, 0x33, 0x44, // reserved, copied
        0x36, 0x00, 0x00, 0x00, // pixel data right after the header: 54
        0x28, 0x00, 0x00, 0x00, // information header 40
        0x40, 0x01, 0x00, 0x00, // width 320
        0xF0, 0x00, 0x00, 0x00, // height 240
        0x01, 0x00,             // planes, copied
        0x18, 0x00,             // bits per pixel, copied
        0x00, 0x00, 0x00, 0x00, // compression, copied
        0x00, 0x84, 0x03, 0x00, // pixel data size 230400
        0x13, 0x0B, 0x00, 0x00, // 2835, copied
        0x12, 0x0B, 0x00, 0x00, // 2834, copied
        0x07, 0x00, 0x00, 0x00, // colours used 7, copied
        0x09, 0x00, 0x00, 0x00, // important colours 9, copied
    };
    // clang-format on
    EXPECT_EQ(resizedHeader(input, 320, 240), expected);
}

// ---- refused inputs --------------------------------------------------------------------------

struct ProblemRow {
    const char* name;
    std::function<void(HeaderBytes&)> change; // applied to the 5 x 3 header
    std::int64_t fileLength;
    std::string expected; // empty: accepted
};

TEST(BmpHeader, HeaderProblemNamesWhatIsWrong) {
    auto unchanged = [](HeaderBytes&) {};
    auto set = [](std::size_t offset, std::uint32_t value, int size) {
        return [=](HeaderBytes& bytes) { setField(bytes, offset, value, size); };
    };
    auto size = [](std::uint32_t width, std::uint32_t height) {
        return [=](HeaderBytes& bytes) {
            setField(bytes, 18, width, 4);
            setField(bytes, 22, height, 4);
        };
    };
    auto version5 = [](HeaderBytes& bytes) {
        setField(bytes, 10, 138, 4);
        setField(bytes, 14, 124, 4);
    };
    const std::vector<ProblemRow> rows = {
        {"plain picture", unchanged, 102, ""},
        {"longer file", unchanged, 5000, ""},
        {"empty file", unchanged, 0, "infile is too short for a BMP header (0 bytes)"},
        {"too short for a header", unchanged, 53,
         "infile is too short for a BMP header (53 bytes)"},
        {"information header 20", set(14, 20, 4), 102,
         "infile has a 20-byte information header, which no BMP layout has"},
        {"negative height: stored top-down", set(22, 0xFFFFFFFDu, 4), 102, ""},
        {"most negative height", set(22, 0x80000000u, 4), 102,
         "infile has no pixels (width 5, height -2147483648)"},
        {"width 0", set(18, 0, 4), 102, "infile has no pixels (width 0, height 3)"},
        {"height 0", set(22, 0, 4), 102, "infile has no pixels (width 5, height 0)"},
        {"negative width", set(18, 0xFFFFFFFBu, 4), 102,
         "infile has no pixels (width -5, height 3)"},
        {"8 bits", set(28, 8, 2), 102, ""},
        {"2 bits", set(28, 2, 2), 102,
         "infile has 2 bits per pixel; BMPs of 1, 4, 8, 16, 24 or 32 bits are supported"},
        {"64 bits", set(28, 64, 2), 102,
         "infile has 64 bits per pixel; BMPs of 1, 4, 8, 16, 24 or 32 bits are supported"},
        {"24 bits with RLE8", set(30, 1, 4), 102,
         "infile has 24 bits per pixel with compression (method 1), which do not go together"},
        {"24 bits with bit fields", set(30, 3, 4), 102,
         "infile has 24 bits per pixel with compression (method 3), which do not go together"},
        {"JPEG inside", set(30, 4, 4), 102,
         "infile holds a JPEG picture inside the BMP (method 4), which is not supported"},
        {"PNG inside", set(30, 5, 4), 102,
         "infile holds a PNG picture inside the BMP (method 5), which is not supported"},
        {"offset 20", set(10, 20, 4), 102,
         "infile has its pixel data at offset 20, inside the 54-byte header"},
        {"offset 53", set(10, 53, 4), 102,
         "infile has its pixel data at offset 53, inside the 54-byte header"},
        {"file shorter than its rows", unchanged, 100,
         "infile is too short: its pixel rows need 101 bytes, the file has 100"},
        {"only the last row's padding missing", unchanged, 101, ""},
        {"60000 x 60000 on a small file", size(60000, 60000), 1000,
         "infile is too short: its pixel rows need 10800000054 bytes, the file has 1000"},
        {"largest signed sizes on a small file", size(2147483647, 2147483647), 1000,
         "infile is too short: its pixel rows need 13835058048839712819 bytes, the file has 1000"},
        {"version 5 header, pixel data at 138", version5, 186, ""},
        {"version 5 header without the last padding byte", version5, 185, ""},
        {"version 5 header, rows cut short", version5, 184,
         "infile is too short: its pixel rows need 185 bytes, the file has 184"},
    };
    for (const ProblemRow& row : rows) {
        SCOPED_TRACE(row.name);
        HeaderBytes bytes = fiveByThreeHeader();
        row.change(bytes);
        EXPECT_EQ(headerProblem(parseBmpHeader(bytes), row.fileLength), row.expected);
    }
}

// ---- opening an input picture --------------------------------------------------------------

TEST(BmpHeader, OpenInputPictureReadsTheHeaderAndKeepsTheFileOpen) {
    Scratch scratch;
    TestPicture picture = asymmetricPicture(5, 3);
    writeFile(scratch.path("in.bmp"), bmpFile(picture));
    Dialogue dialogue;
    BinaryFile file;
    PictureRows rows;
    BmpHeader header = openInputPicture(dialogue, file, scratch.path("in.bmp"), rows);
    EXPECT_EQ(header.width, 5);
    EXPECT_EQ(header.height, 3);
    EXPECT_EQ(header.pixelDataOffset, 54u);
    std::uint8_t firstPixel[3] = {0, 0, 0};
    file.get(55, firstPixel, 3);
    EXPECT_EQ(firstPixel[0], 5);   // blue of pixel 0, file row 0
    EXPECT_EQ(firstPixel[1], 250); // green
    EXPECT_EQ(firstPixel[2], 60);  // red
    file.close();
}

struct RefusedInputRow {
    const char* name;
    Bytes content; // written to in.bmp unless empty
    std::string fileName;
    std::string message;
};

// Each refusal prints one line on a fresh line and ends with status 1; a
// missing input is not created.
TEST(BmpHeaderDeathTest, OpenInputPictureRefusesWithOneLine) {
    Scratch scratch;
    Bytes plain = bmpFile(asymmetricPicture(5, 3));
    Bytes twoBits = plain;
    twoBits[28] = 2;
    Bytes cutShort(plain.begin(), plain.end() - 2);
    const std::vector<RefusedInputRow> rows = {
        {"no name", {}, "", "no infile name given"},
        {"missing file",
         {},
         scratch.path("missing.bmp"),
         "cannot open infile " + scratch.path("missing.bmp") + ": No such file or directory"},
        {"a folder",
         {},
         scratch.folder,
         "cannot open infile " + scratch.folder + ": Is a directory"},
        {"not BM", Bytes{'B', 'A', '\n', '1', ' ', '1'}, scratch.path("in.bmp"),
         "infile is not a 'BM'"},
        {"header cut short", Bytes{'B', 'M', 0, 0, 0, 0, 0, 0}, scratch.path("in.bmp"),
         "infile is too short for a BMP header (8 bytes)"},
        {"2 bits per pixel", twoBits, scratch.path("in.bmp"),
         "infile has 2 bits per pixel; BMPs of 1, 4, 8, 16, 24 or 32 bits are supported"},
        {"rows cut short", cutShort, scratch.path("in.bmp"),
         "infile is too short: its pixel rows need 101 bytes, the file has 100"},
    };
    for (const RefusedInputRow& row : rows) {
        SCOPED_TRACE(row.name);
        if (!row.content.empty()) writeFile(scratch.path("in.bmp"), row.content);
        EXPECT_EXIT(
            {
                Dialogue dialogue;
                dialogue.output = stderr;
                dialogue.printText("input file name ", false);
                BinaryFile file;
                PictureRows rows;
                openInputPicture(dialogue, file, row.fileName, rows);
                std::_Exit(5); // accepted: not what this row expects
            },
            ::testing::ExitedWithCode(1),
            ::testing::Eq("input file name \r\n" + row.message + "\r\n"));
        EXPECT_FALSE(fileExists(scratch.path("missing.bmp")));
    }
}

} // namespace
