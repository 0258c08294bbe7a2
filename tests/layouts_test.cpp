// Every BMP layout both programs read: each small picture, written here in
// that layout, must give the same output as its 24-bit twin. And the inputs
// they refuse, each with its lines, status 1 and no output.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

using Grid = std::vector<std::vector<std::uint32_t>>; // rows from the bottom

struct Layout {
    std::uint32_t infoSize; // 12: OS/2 1.x, 64: OS/2 2.x, 108/124: V4/V5
    int bits;
    std::uint32_t compression;
    bool topDown;
    std::array<std::uint32_t, 3> masks; // red, green, blue; written for compression 3
};

Layout layout(std::uint32_t infoSize, int bits, std::uint32_t compression = 0, bool topDown = false,
              std::array<std::uint32_t, 3> masks = {}) {
    return {infoSize, bits, compression, topDown, masks};
}

// A BMP file with the colour table and the pixel data (stored rows or codes).
Bytes bmpOf(int width, int height, const Layout& layout, const std::vector<Bgr>& colours,
            const Bytes& pixelData) {
    const bool core = layout.infoSize == 12;
    const std::size_t tableAt =
        14 + layout.infoSize + (layout.compression == 3 && layout.infoSize == 40 ? 12 : 0);
    const std::size_t entry = core ? 3 : 4, dataAt = tableAt + entry * colours.size();
    Bytes bytes(dataAt, 0);
    bytes[0] = 'B', bytes[1] = 'M';
    putLe(bytes, 10, std::uint32_t(dataAt), 4);
    putLe(bytes, 14, layout.infoSize, 4);
    const std::uint32_t storedHeight = std::uint32_t(layout.topDown ? -height : height);
    if (core) {
        putLe(bytes, 18, std::uint32_t(width), 2);
        putLe(bytes, 20, storedHeight, 2);
        putLe(bytes, 22, 1, 2);
        putLe(bytes, 24, std::uint32_t(layout.bits), 2);
    } else {
        putLe(bytes, 18, std::uint32_t(width), 4);
        putLe(bytes, 22, storedHeight, 4);
        putLe(bytes, 26, 1, 2);
        putLe(bytes, 28, std::uint32_t(layout.bits), 2);
        putLe(bytes, 30, layout.compression, 4);
        putLe(bytes, 46, std::uint32_t(colours.size()), 4);
    }
    if (layout.compression == 3)
        for (int c = 0; c < 3; ++c) putLe(bytes, 54 + 4 * c, layout.masks[c], 4);
    for (std::size_t i = 0; i < colours.size(); ++i) {
        const std::size_t at = tableAt + entry * i;
        bytes[at] = colours[i].blue, bytes[at + 1] = colours[i].green,
        bytes[at + 2] = colours[i].red;
        if (!core) bytes[at + 3] = 0xEE; // unused
    }
    bytes.insert(bytes.end(), pixelData.begin(), pixelData.end());
    putLe(bytes, 2, std::uint32_t(bytes.size()), 4);
    return bytes;
}

// Stored rows in the layout's order: values of 8 bits and more little-endian,
// narrower ones from the high bits of each byte; rows padded with 0xA5.
Bytes storedRows(Grid grid, const Layout& layout) {
    if (layout.topDown) grid = Grid(grid.rbegin(), grid.rend());
    Bytes data;
    for (const std::vector<std::uint32_t>& row : grid) {
        const std::size_t start = data.size();
        std::uint32_t pending = 0;
        int held = 0;
        for (std::uint32_t value : row) {
            for (int b = 0; layout.bits >= 8 && b < layout.bits; b += 8)
                data.push_back(std::uint8_t(value >> b));
            if (layout.bits >= 8) continue;
            pending = pending << layout.bits | value;
            held += layout.bits;
            if (held == 8) data.push_back(std::uint8_t(pending)), pending = 0, held = 0;
        }
        if (held > 0) data.push_back(std::uint8_t(pending << (8 - held)));
        while ((data.size() - start) % 4 != 0) data.push_back(0xA5);
    }
    return data;
}

TestPicture pictureOf(const Grid& grid, const std::vector<Bgr>& colours) {
    TestPicture picture{int(grid[0].size()), int(grid.size()), {}};
    for (const std::vector<std::uint32_t>& row : grid)
        for (std::uint32_t index : row) picture.pixels.push_back(colours[index]);
    return picture;
}

struct LayoutRow {
    std::string name;
    Bytes file;
    TestPicture twin; // the same pixels, rows from the bottom
};

const std::vector<Bgr> fifteenColours = asymmetricPicture(5, 3).pixels;
const std::vector<Bgr> fourColours = {{1, 2, 3}, {200, 10, 20}, {30, 220, 40}, {50, 60, 240}};
const Grid fifteenIndices = {{0, 7, 14, 6, 13}, {5, 12, 4, 11, 3}, {10, 2, 9, 1, 8}};
const Grid twoIndices = {{1, 1, 0, 1, 0, 0, 1, 0, 0, 1, 1},
                         {0, 0, 1, 1, 0, 1, 1, 0, 1, 0, 0},
                         {1, 0, 1, 0, 0, 1, 0, 0, 1, 1, 0}}; // 11 wide: past a byte

LayoutRow paletteRow(const std::string& name, const Grid& grid, const std::vector<Bgr>& colours,
                     const Layout& l) {
    const int width = int(grid[0].size()), height = int(grid.size());
    return {name, bmpOf(width, height, l, colours, storedRows(grid, l)), pictureOf(grid, colours)};
}

// A 2 x 2 picture of raw pixel values and the colours they stand for.
LayoutRow bitFieldRow(const std::string& name, const Layout& l, const Grid& values,
                      const std::vector<Bgr>& colours) {
    return {name, bmpOf(2, 2, l, {}, storedRows(values, l)), pictureOf({{0, 1}, {2, 3}}, colours)};
}

// Run-length codes using every escape: a run, a literal whose last pixel lies
// in the padding a writer may code for odd widths, row ends, a move that
// skips a row and starts the next at column 2, a run over the padding, the
// end of the picture. Pixels no code reaches take colour 0.
const Bytes rle8Codes = {3, 1, 0, 3, 2, 3, 1, 0, 0, 0, 0, 2, 2, 1, 2, 3, 0, 0, 8, 2, 0, 1};
const Grid rle8Indices = {{1, 1, 1, 2, 3}, {0, 0, 0, 0, 0}, {0, 0, 3, 3, 0}, {2, 2, 2, 2, 2}};
const Bytes rle4Codes = {5, 0x12, 0, 0, 0, 3, 0x21, 0x20, 2, 0x33, 0, 0, 0, 1};
const Grid rle4Indices = {{1, 2, 1, 2, 1}, {2, 1, 2, 3, 3}, {0, 0, 0, 0, 0}};

std::vector<LayoutRow> layoutRows() {
    const TestPicture picture = asymmetricPicture(5, 3);
    Grid truecolour;
    for (int r = 0; r < 3; ++r) {
        truecolour.emplace_back();
        for (int x = 0; x < 5; ++x) {
            const Bgr& p = picture.pixels[std::size_t(5 * r + x)];
            truecolour.back().push_back(std::uint32_t(p.blue | p.green << 8 | p.red << 16));
        }
    }
    auto twentyFour = [&](const std::string& name, const Layout& l) {
        return LayoutRow{name, bmpOf(5, 3, l, {}, storedRows(truecolour, l)), picture};
    };
    const Bgr white{255, 255, 255}, black{0, 0, 0};
    return {
        paletteRow("8-bit palette", fifteenIndices, fifteenColours, layout(40, 8)),
        paletteRow("4-bit palette", fifteenIndices, fifteenColours, layout(40, 4)),
        paletteRow("1-bit palette", twoIndices, fourColours, layout(40, 1)),
        paletteRow("OS/2 1.x 8-bit palette", fifteenIndices, fifteenColours, layout(12, 8)),
        paletteRow("OS/2 1.x 1-bit palette", twoIndices, fourColours, layout(12, 1)),
        paletteRow("OS/2 2.x 4-bit palette", fifteenIndices, fifteenColours, layout(64, 4)),
        paletteRow("top-down 8-bit palette", fifteenIndices, fifteenColours,
                   layout(40, 8, 0, true)),
        twentyFour("top-down 24-bit", layout(40, 24, 0, true)),
        twentyFour("OS/2 1.x 24-bit", layout(12, 24)),
        // 5-bit v widens to (v << 3) | (v >> 2), 6-bit v to (v << 2) | (v >> 4),
        // 4-bit v to (v << 4) | v; the top bit of 5-5-5 is unused.
        bitFieldRow("16-bit 5-5-5", layout(40, 16), {{0x7FFF, 0x0000}, {0x4210, 0x9234}},
                    {white, black, {132, 132, 132}, {165, 140, 33}}),
        bitFieldRow("16-bit 5-6-5 masks after the header",
                    layout(40, 16, 3, false, {0xF800, 0x07E0, 0x001F}),
                    {{0xF800, 0x07E0}, {0x001F, 0x8410}},
                    {{0, 0, 255}, {0, 255, 0}, {255, 0, 0}, {132, 130, 132}}),
        bitFieldRow("16-bit 4-4-4 masks in a V5 header",
                    layout(124, 16, 3, false, {0x0F00, 0x00F0, 0x000F}),
                    {{0xF123, 0x0F0F}, {0x0A50, 0x0000}},
                    {{51, 34, 17}, {255, 0, 255}, {0, 85, 170}, black}),
        bitFieldRow("32-bit, fourth byte ignored", layout(40, 32),
                    {{0x7F112233, 0xFFFFFFFF}, {0x00000000, 0x80A0B0C0}},
                    {{0x33, 0x22, 0x11}, white, black, {0xC0, 0xB0, 0xA0}}),
        bitFieldRow("32-bit red-first masks in a V4 header",
                    layout(108, 32, 3, false, {0x000000FF, 0x0000FF00, 0x00FF0000}),
                    {{0xEE112233, 0x00FF0000}, {0x000000FF, 0x12345678}},
                    {{0x11, 0x22, 0x33}, {255, 0, 0}, {0, 0, 255}, {0x34, 0x56, 0x78}}),
        {"RLE8 with every escape", bmpOf(5, 4, layout(40, 8, 1), fourColours, rle8Codes),
         pictureOf(rle8Indices, fourColours)},
        {"RLE4 with every escape", bmpOf(5, 3, layout(40, 4, 2), fourColours, rle4Codes),
         pictureOf(rle4Indices, fourColours)},
    };
}

struct Program {
    const char* name;
    std::string executable;
    std::vector<std::string> words;
};

const Program programs[] = {
    {"tessalo", TESSALO_EXECUTABLE, {"batch", "2", "2", "2", "2", "1", "y", "in.bmp", "out.bmp"}},
    {"pravun", PRAVUN_EXECUTABLE, {"in.bmp", "/m8x6", "out.bmp"}},
};

Bytes outputFor(const Program& program, const Scratch& scratch, const Bytes& file) {
    writeFile(scratch.path("in.bmp"), file);
    RunResult result = runProgram(program.executable, program.words, "", scratch.folder);
    EXPECT_EQ(result.exitStatus, 0) << result.console;
    return readFile(scratch.path("out.bmp"));
}

TEST(Layouts, EveryLayoutGivesTheOutputOfItsTwentyFourBitTwin) {
    Scratch scratch;
    for (const LayoutRow& row : layoutRows())
        for (const Program& program : programs) {
            SCOPED_TRACE(row.name + ", " + program.name);
            const Bytes expected = outputFor(program, scratch, bmpFile(row.twin));
            const Bytes output = outputFor(program, scratch, row.file);
            ASSERT_EQ(output.size(), expected.size());
            // pravun writes a fresh header for other layouts: the sizes and
            // pixel rows must agree.
            const std::size_t from = program.name == std::string("pravun") ? 54 : 0;
            EXPECT_TRUE(std::equal(output.begin() + 18, output.begin() + 26, &expected[18]));
            EXPECT_TRUE(std::equal(output.begin() + from, output.end(), expected.begin() + from));
        }
}

TEST(Layouts, PravunWritesAPlainHeaderForOtherLayouts) {
    Scratch scratch;
    Bytes file = layoutRows()[3].file; // OS/2 1.x: no resolution fields
    putLe(file, 6, 0x12345678, 4);     // reserved words, copied
    const Bytes output = outputFor(programs[1], scratch, file);
    // clang-format off
    const Bytes expected = {
        'B', 'M', 0x96, 0, 0, 0,      // 8 x 4 x 3 + 54 bytes (5 x 3 scaled to width 8)
        0x78, 0x56, 0x34, 0x12,       // reserved
        54, 0, 0, 0,   40, 0, 0, 0,   // pixel data offset, information header size
        8, 0, 0, 0,    4, 0, 0, 0,    // width, height
        1, 0,   24, 0,   0, 0, 0, 0,  // planes, bits, compression
        0x60, 0, 0, 0,                // pixel data size
        0, 0, 0, 0,    0, 0, 0, 0,    // resolution: none in the input
        0, 0, 0, 0,    0, 0, 0, 0,    // colours used, important colours
    };
    // clang-format on
    ASSERT_GE(output.size(), 54u);
    EXPECT_EQ(Bytes(output.begin(), output.begin() + 54), expected);
}

// ---- refusals ------------------------------------------------------------------------------

struct RefusalRow {
    std::string name;
    Bytes file;
    std::string message; // every line, CR LF ended
};

Bytes startingWith(const std::string& start) {
    Bytes bytes(start.begin(), start.end());
    bytes.resize(60, 0);
    return bytes;
}

std::vector<RefusalRow> refusalRows() {
    const Bytes plain = bmpFile(asymmetricPicture(5, 3));
    Bytes huffman = bmpOf(5, 3, layout(64, 1), {}, Bytes(12, 0));
    const Layout rle8 = layout(40, 8, 1);
    auto codes = [&](int height, const Bytes& data) {
        return bmpOf(5, height, rle8, fourColours, data);
    };
    auto masks = [&](int bits, std::array<std::uint32_t, 3> m) {
        return bmpOf(5, 1, layout(40, bits, 3, false, m), {}, Bytes(std::size_t(bits) * 2, 0));
    };
    const std::string notBm = "infile is not a 'BM'\r\n";
    const std::string convert =
        " picture; convert it with: convert in.bmp -type truecolor BMP3:in.bmp\r\n";
    return {
        {"PNG inside, 0 bits per pixel", withField(plain, 28, 5 << 16), // bits 0, compression 5
         "infile holds a PNG picture inside the BMP (method 5), which is not supported\r\n"},
        {"OS/2 2.x Huffman coding", withField(huffman, 30, 3),
         "infile is compressed with OS/2 Huffman coding (method 3), which is not supported\r\n"},
        {"colour index beyond the table",
         bmpOf(5, 1, layout(40, 8), fourColours, {0, 1, 7, 3, 0, 0, 0, 0}),
         "infile uses colour index 7, beyond its colour table of 4 colours\r\n"},
        {"no colour table", bmpOf(5, 1, layout(40, 8), {}, Bytes(8, 0)),
         "infile has no colour table before its pixel data at offset 54\r\n"},
        {"run-length index beyond the table", codes(1, {5, 4, 0, 1}),
         "infile uses colour index 4, beyond its colour table of 4 colours\r\n"},
        {"run past the padded row", codes(1, {9, 1, 0, 1}),
         "infile's run-length data runs past the picture\r\n"},
        {"move past the top", codes(1, {0, 2, 0, 2}),
         "infile's run-length data runs past the picture\r\n"},
        {"run above the top row", codes(1, {0, 0, 1, 1}),
         "infile's run-length data runs past the picture\r\n"},
        {"codes end in the first of three rows", codes(3, {5, 1, 0, 0}),
         "infile's run-length data ends before the end of the picture\r\n"},
        {"literal cut short", codes(1, {0, 5, 1, 1}),
         "infile's run-length data ends before the end of the picture\r\n"},
        {"many pixels from few codes", withField(withField(codes(1, {0, 1}), 18, 4096), 22, 3),
         "infile's 4096 x 3 pixels are too many for its 2 bytes of run-length data\r\n"},
        {"mask not contiguous", masks(16, {0x7C00, 0x05E0, 0x001F}),
         "infile's green mask 0x000005E0 is not one run of adjacent bits\r\n"},
        {"empty mask", masks(16, {0x7C00, 0x03E0, 0}),
         "infile's blue mask 0x00000000 is not one run of adjacent bits\r\n"},
        {"16-bit mask 9 bits wide", masks(16, {0xFF80, 0x0070, 0x000F}),
         "infile's red mask 0x0000FF80 is 9 bits wide; 16-bit pixels allow at most 8\r\n"},
        {"16-bit mask outside the pixel", masks(16, {0xFF0000, 0x03E0, 0x001F}),
         "infile's red mask 0x00FF0000 lies outside its 16-bit pixels\r\n"},
        {"32-bit mask 10 bits wide", masks(32, {0x3FF00000, 0x000FFC00, 0x000003FF}),
         "infile's red mask 0x3FF00000 is 10 bits wide; 32-bit pixels need 8\r\n"},
        {"PNG file", startingWith("\x89PNG\r\n\x1a\n"),
         "infile is a PNG picture that cannot be decoded: invalid IHDR chunk size\r\n"},
        {"JPEG file", startingWith("\xFF\xD8\xFF\xE0"),
         "infile is a JPEG picture that cannot be decoded: Premature end of JPEG file\r\n"},
        {"GIF file", startingWith("GIF89a"), notBm + "infile is a GIF" + convert},
        {"TIFF file", startingWith(std::string("II*\0", 4)), notBm + "infile is a TIFF" + convert},
        {"PPM file", startingWith("P6\n5 3\n255\n"), notBm + "infile is a PPM" + convert},
        {"MSX BSAVE file", startingWith("\xFE"),
         notBm + "infile is an MSX BSAVE screen file; turn it into a BMP with: tessalo --decode "
                 "in.bmp in.bmp.bmp\r\n"},
        {"text", startingWith("hello"), notBm},
    };
}

TEST(Layouts, RefusalsPrintTheirLinesAndWriteNothing) {
    Scratch scratch;
    for (const RefusalRow& row : refusalRows())
        for (const Program& program : programs) {
            SCOPED_TRACE(row.name + ", " + program.name);
            writeFile(scratch.path("in.bmp"), row.file);
            RunResult result = runProgram(program.executable, program.words, "", scratch.folder);
            EXPECT_EQ(result.exitStatus, 1);
            EXPECT_PRED2(endsWith, result.console, row.message);
            EXPECT_EQ(folderEntries(scratch.folder), std::vector<std::string>{"in.bmp"});
        }
}

TEST(Layouts, ConversionAdviceQuotesNamesForTheShell) {
    Scratch scratch;
    const std::pair<std::string, std::string> rows[] = {
        {"it's a photo.gif", "'it'\\''s a photo.gif' -type truecolor BMP3:'it'\\''s a photo.bmp'"},
        {"line\nend.gif", "$'line\\x0Aend.gif' -type truecolor BMP3:$'line\\x0Aend.bmp'"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.first);
        writeFile(scratch.path(row.first), startingWith("GIF89a"));
        RunResult result =
            runProgram(PRAVUN_EXECUTABLE, {row.first, "/h8", "out.bmp"}, "", scratch.folder);
        EXPECT_PRED2(endsWith, result.console, "convert " + row.second + "\r\n");
    }
}

} // namespace
