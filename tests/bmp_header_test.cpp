// The BMP header: row lengths, little-endian fields, the three ways an output
// header is made, which inputs are refused with which line, and the advice
// for files of other formats.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "binary_file.h"
#include "bmp_header.h"
#include "byte_order.h"
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
    unsigned bits;
    std::uint64_t expected;
};

TEST(BmpHeader, StoredRowLengthRoundsUpToWholeFourByteWords) {
    const std::vector<RowLengthRow> rows = {
        {1, 24, 4},
        {2, 24, 8},
        {3, 24, 12},
        {4, 24, 12},
        {5, 24, 16},
        {10921, 24, 32764},
        {10922, 24, 32768}, // a 15-bit mask would give 0 here
        {87380, 24, 262140},
        {87381, 24, 262144},           // an 18-bit mask would give 0 here
        {1431655765, 24, 4294967296u}, // width x 3 = 4294967295: no 32-bit wrap
        {11, 1, 4},
        {33, 1, 8},
        {9, 4, 8},
        {5, 8, 8},
        {5, 16, 12},
        {3, 32, 12},
        {2147483647, 32, 8589934588u},
    };
    for (const RowLengthRow& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.width << " x " << row.bits << " bits");
        EXPECT_EQ(storedRowLength(row.width, row.bits), row.expected);
    }
}

// ---- byte order ------------------------------------------------------------------------

struct U16Row {
    std::uint8_t bytes[2];
    std::uint16_t value;
};

TEST(ByteOrder, U16FieldsAreLittleEndian) {
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

TEST(ByteOrder, U32FieldsAreLittleEndian) {
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

TEST(BmpHeader, FreshPlainHeaderOfOnePixel) {
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
    EXPECT_EQ(plainHeader(1, 1, nullptr), expected);
}

struct FreshSizeRow {
    std::uint32_t width, height;
    std::uint32_t fileSize, dataSize;
};

TEST(BmpHeader, FreshPlainHeaderSizesFollowTheRowStride) {
    const std::vector<FreshSizeRow> rows = {
        {5, 3, 102, 48},
        {4, 2, 78, 24},
        {10921, 2, 65582, 65528},
        {256, 212, 162870, 162816},
    };
    for (const FreshSizeRow& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.width << " x " << row.height);
        HeaderBytes bytes = plainHeader(row.width, row.height, nullptr);
        EXPECT_EQ(field32(bytes, 2), row.fileSize);
        EXPECT_EQ(field32(bytes, 18), row.width);
        EXPECT_EQ(field32(bytes, 22), row.height);
        EXPECT_EQ(field32(bytes, 34), row.dataSize);
    }
}

// A 1000 x 500 input behind a V5 header, every field distinct.
// clang-format off
const HeaderBytes versionFiveInput = {
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
// clang-format on

TEST(BmpHeader, PlainInputHeaderKeepsAllButTheSizes) {
    // clang-format off
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
    const BmpHeader input = parseBmpHeader(versionFiveInput);
    EXPECT_EQ(plainHeader(320, 240, &input), expected);
}

// An RLE8 input: fresh fields but for the reserved words and the resolution;
// an OS/2 1.x input has no resolution, which is then 0.
TEST(BmpHeader, OtherLayoutHeaderKeepsTheReservedWordsAndResolution) {
    HeaderBytes runLength = versionFiveInput;
    setField(runLength, 26, 3, 2); // planes
    setField(runLength, 28, 8, 2); // bits per pixel
    setField(runLength, 30, 1, 4); // RLE8
    HeaderBytes core = runLength;
    setField(core, 14, 12, 4); // OS/2 1.x: 16-bit sizes at 18 and 20
    // clang-format off
    const HeaderBytes expected = {
        'B',  'M',  0x96, 0x00, 0x00, 0x00, // 8 x 4 x 3 + 54 bytes
        0x11, 0x22, 0x33, 0x44,             // reserved, copied
        0x36, 0x00, 0x00, 0x00,             // pixel data offset 54
        0x28, 0x00, 0x00, 0x00,             // information header 40
        0x08, 0x00, 0x00, 0x00,             // width 8
        0x04, 0x00, 0x00, 0x00,             // height 4
        0x01, 0x00,                         // one plane
        0x18, 0x00,                         // 24 bits per pixel
        0x00, 0x00, 0x00, 0x00,             // no compression
        0x60, 0x00, 0x00, 0x00,             // pixel data size 96
        0x13, 0x0B, 0x00, 0x00,             // 2835, copied
        0x12, 0x0B, 0x00, 0x00,             // 2834, copied
        0x00, 0x00, 0x00, 0x00,             // colours used
        0x00, 0x00, 0x00, 0x00,             // important colours
    };
    // clang-format on
    const BmpHeader input = parseBmpHeader(runLength);
    EXPECT_EQ(plainHeader(8, 4, &input), expected);
    HeaderBytes withoutResolution = expected;
    std::fill(withoutResolution.begin() + 38, withoutResolution.begin() + 46, 0);
    const BmpHeader coreInput = parseBmpHeader(core);
    EXPECT_EQ(plainHeader(8, 4, &coreInput), withoutResolution);
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
    auto os2Huffman = [](HeaderBytes& bytes) {
        setField(bytes, 14, 64, 4);
        setField(bytes, 30, 3, 4);
    };
    auto rle8TopDown = [](HeaderBytes& bytes) {
        setField(bytes, 22, 0xFFFFFFFDu, 4); // -3
        setField(bytes, 28, 8, 2);
        setField(bytes, 30, 1, 4);
    };
    auto rle8Of4096By3 = [](HeaderBytes& bytes) {
        setField(bytes, 18, 4096, 4);
        setField(bytes, 28, 8, 2);
        setField(bytes, 30, 1, 4);
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
        {"PNG inside, 0 bits per pixel", set(28, 5 << 16, 4), 102,
         "infile holds a PNG picture inside the BMP (method 5), which is not supported"},
        {"run-length coded top-down", rle8TopDown, 102,
         "infile is run-length coded and stored top-down (height -3), which BMP files cannot be"},
        {"OS/2 2.x Huffman coding", os2Huffman, 102,
         "infile is compressed with OS/2 Huffman coding (method 3), which is not supported"},
        {"many run-length pixels from few codes", rle8Of4096By3, 56,
         "infile's 4096 x 3 pixels are too many for its 2 bytes of run-length data"},
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

// ---- files of other formats ---------------------------------------------------------------

struct AdviceRow {
    const char* name;
    std::string start; // the file's first bytes; the rest of the header is 0
    std::string fileName;
    std::string advice; // empty: no other format, only "infile is not a 'BM'"
};

TEST(BmpHeader, OtherFormatsGetAdviceThatWorks) {
    const std::string convert = " picture; convert it with: convert ";
    const std::string decode = "infile is an MSX BSAVE screen file; turn it into a BMP with: "
                               "tessalo --decode ";
    const std::string copy = "infile is an MSX BSAVE screen file; to see it, copy it to a name "
                             "ending in .SCC (screen 12) or .SCA/.SCB (screens 10/11) and run "
                             "tessalo --decode on that";
    const std::string screen("\xFE\0\0\xFF\xD3", 5); // VRAM 0x0000-0xD3FF
    const std::vector<AdviceRow> rows = {
        {"PNG", "\x89PNG\r\n\x1a\n", "photo.png",
         "infile is a PNG" + convert + "photo.png -type truecolor BMP3:photo.bmp"},
        {"JPEG", "\xFF\xD8\xFF\xE0", "a.jpg",
         "infile is a JPEG" + convert + "a.jpg -type truecolor BMP3:a.bmp"},
        {"GIF", "GIF87a", "a.gif",
         "infile is a GIF" + convert + "a.gif -type truecolor BMP3:a.bmp"},
        {"TIFF", std::string("MM\0*", 4), "scan",
         "infile is a TIFF" + convert + "scan -type truecolor BMP3:scan.bmp"},
        {"PPM", "P6\n5 3\n255\n", "a.ppm",
         "infile is a PPM" + convert + "a.ppm -type truecolor BMP3:a.bmp"},
        {"PBM", "P1\t", "a.pbm", "infile is a PBM" + convert + "a.pbm -type truecolor BMP3:a.bmp"},
        {"name for the shell", "\x89PNG\r\n\x1a\n", "it's a photo.png",
         "infile is a PNG" + convert +
             "'it'\\''s a photo.png' -type truecolor BMP3:'it'\\''s a photo.bmp'"},
        {"name with a line end", "\x89PNG\r\n\x1a\n", "line\nend.png",
         "infile is a PNG" + convert +
             "$'line\\x0Aend.png' -type truecolor BMP3:$'line\\x0Aend.bmp'"},
        {"text", "hello", "a.bmp", ""},
        {"P7", "P7 ", "a.pam", ""},
        {"screen 12 file", screen, "PIC.SCC", decode + "PIC.SCC PIC.SCC.bmp"},
        {"screen 10 file, lower case", screen, "pic.sca", decode + "pic.sca pic.sca.bmp"},
        {"screen 11 file, mixed case", screen, "my pic.sCb",
         decode + "'my pic.sCb' 'my pic.sCb.bmp'"},
        {"one screen line under another name", std::string("\xFE\0\0\xFF\0", 5), "pic.bmp", copy},
        {"screen file behind its extension", screen, "pic.scc.bak", copy},
        {"FE alone", "\xFE", "PIC.SCC", ""},
        {"saved from 0x4000", std::string("\xFE\0\x40\xFF\xD3", 5), "PIC.SCC", ""},
        {"less than a screen line", std::string("\xFE\0\0\xFE\0", 5), "PIC.SCC", ""},
    };
    for (const AdviceRow& row : rows) {
        SCOPED_TRACE(row.name);
        HeaderBytes bytes{};
        std::copy(row.start.begin(), row.start.end(), bytes.begin());
        const std::string format = otherPictureFormat(bytes);
        EXPECT_EQ(format.empty() ? "" : conversionAdvice(format, row.fileName), row.advice);
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
