// Every BMP layout both programs read: each small picture, written here in
// that layout, must give the same output as its 24-bit twin. And the inputs
// they refuse, each with its one line, status 1 and no output.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

const std::string tessalo = TESSALO_EXECUTABLE;
const std::string pravun = PRAVUN_EXECUTABLE;

void putLe(Bytes& bytes, std::size_t at, std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i) bytes[at + i] = std::uint8_t(value >> (8 * i));
}

// How the test writes a picture.
struct Layout {
    std::uint32_t infoSize = 40; // 12: OS/2 1.x, 64: OS/2 2.x, 108/124: V4/V5
    int bits = 24;
    std::uint32_t compression = 0;
    bool topDown = false;
    std::array<std::uint32_t, 3> masks{}; // red, green, blue; written for compression 3
    std::vector<Bgr> colours;             // the colour table
};

Layout layoutOf(std::uint32_t infoSize, int bits, std::uint32_t compression = 0,
                bool topDown = false, std::array<std::uint32_t, 3> masks = {},
                std::vector<Bgr> colours = {}) {
    return {infoSize, bits, compression, topDown, masks, colours};
}

// A BMP file of the picture's size in the layout, with the given stored
// rows (or run-length codes).
Bytes layoutFile(const TestPicture& picture, const Layout& layout, const Bytes& pixelData) {
    const bool core = layout.infoSize == 12;
    const bool masksAfter = layout.compression == 3 && layout.infoSize == 40;
    const std::size_t tableAt = 14 + layout.infoSize + (masksAfter ? 12 : 0);
    const std::size_t entry = core ? 3 : 4;
    const std::size_t dataAt = tableAt + entry * layout.colours.size();
    Bytes bytes(dataAt, 0);
    bytes[0] = 'B';
    bytes[1] = 'M';
    putLe(bytes, 10, std::uint32_t(dataAt), 4);
    putLe(bytes, 14, layout.infoSize, 4);
    const std::uint32_t height = std::uint32_t(layout.topDown ? -picture.height : picture.height);
    if (core) {
        putLe(bytes, 18, std::uint32_t(picture.width), 2);
        putLe(bytes, 20, height, 2);
        putLe(bytes, 22, 1, 2);
        putLe(bytes, 24, std::uint32_t(layout.bits), 2);
    } else {
        putLe(bytes, 18, std::uint32_t(picture.width), 4);
        putLe(bytes, 22, height, 4);
        putLe(bytes, 26, 1, 2);
        putLe(bytes, 28, std::uint32_t(layout.bits), 2);
        putLe(bytes, 30, layout.compression, 4);
        putLe(bytes, 34, std::uint32_t(pixelData.size()), 4);
        putLe(bytes, 38, 2835, 4);
        putLe(bytes, 42, 2835, 4);
        putLe(bytes, 46, std::uint32_t(layout.colours.size()), 4);
    }
    if (layout.compression == 3)
        for (int c = 0; c < 3; ++c) putLe(bytes, 54 + 4 * c, layout.masks[c], 4);
    for (std::size_t i = 0; i < layout.colours.size(); ++i) {
        bytes[tableAt + entry * i] = layout.colours[i].blue;
        bytes[tableAt + entry * i + 1] = layout.colours[i].green;
        bytes[tableAt + entry * i + 2] = layout.colours[i].red;
        if (!core) bytes[tableAt + entry * i + 3] = 0xEE; // unused, must not matter
    }
    bytes.insert(bytes.end(), pixelData.begin(), pixelData.end());
    putLe(bytes, 2, std::uint32_t(bytes.size()), 4);
    return bytes;
}

// The picture's rows in file order, each pixel given by pixelBytes(x, row)
// in `bits` bits, each row padded to a multiple of 4 bytes with 0xA5.
template <typename PixelValue>
Bytes storedRows(const TestPicture& picture, const Layout& layout, PixelValue pixelValue) {
    Bytes data;
    for (int i = 0; i < picture.height; ++i) {
        const int r = layout.topDown ? picture.height - 1 - i : i; // picture row, 0 at the bottom
        std::vector<bool> bits;
        for (int x = 0; x < picture.width; ++x) {
            const std::uint32_t value = pixelValue(picture.pixels[r * picture.width + x]);
            // Bytes of 8 bits and wider pixels are little-endian; narrower
            // pixels fill a byte from its high bit.
            for (int b = 0; b < layout.bits; ++b) {
                const int bit = layout.bits >= 8 ? 8 * (b / 8) + 7 - b % 8 : layout.bits - 1 - b;
                bits.push_back((value >> bit) & 1);
            }
        }
        while (bits.size() % 32 != 0) bits.push_back((0xA5 >> (7 - bits.size() % 8)) & 1);
        for (std::size_t b = 0; b < bits.size(); b += 8) {
            std::uint8_t byte = 0;
            for (int k = 0; k < 8; ++k) byte = std::uint8_t(byte << 1 | bits[b + k]);
            data.push_back(byte);
        }
    }
    return data;
}

std::uint32_t indexOf(const std::vector<Bgr>& colours, const Bgr& pixel) {
    for (std::uint32_t i = 0; i < colours.size(); ++i)
        if (colours[i].blue == pixel.blue && colours[i].green == pixel.green &&
            colours[i].red == pixel.red)
            return i;
    ADD_FAILURE() << "colour not in the table";
    return 0;
}

// The picture stored with a colour table of its own colours, in order.
Bytes paletteFile(const TestPicture& picture, Layout layout) {
    layout.colours.clear();
    for (const Bgr& pixel : picture.pixels) {
        bool known = false;
        for (const Bgr& colour : layout.colours)
            known = known || (colour.blue == pixel.blue && colour.green == pixel.green &&
                              colour.red == pixel.red);
        if (!known) layout.colours.push_back(pixel);
    }
    return layoutFile(picture, layout, storedRows(picture, layout, [&](const Bgr& pixel) {
                          return indexOf(layout.colours, pixel);
                      }));
}

// The level of a channel that a mask of n bits holds, and that level widened
// back to 8 bits by repeating its high bits.
int maskWidth(std::uint32_t mask) {
    int n = 0;
    for (; mask != 0; mask >>= 1) n += int(mask & 1);
    return n;
}
int maskShift(std::uint32_t mask) {
    int s = 0;
    while (((mask >> s) & 1) == 0) ++s;
    return s;
}
std::uint8_t widened(std::uint8_t value, int n) {
    const int level = value >> (8 - n);
    switch (n) {
    case 4: return std::uint8_t(level << 4 | level);
    case 5: return std::uint8_t(level << 3 | level >> 2);
    case 6: return std::uint8_t(level << 2 | level >> 4);
    default: return value; // 8
    }
}

// The picture with bit-field pixels (the masks of 16-bit 5-5-5 or 32-bit
// files when the layout has none); its twin gets the levels widened.
Bytes bitFieldFile(TestPicture& picture, Layout layout, std::uint32_t alpha) {
    std::array<std::uint32_t, 3> masks = layout.masks;
    if (layout.compression == 0)
        masks = layout.bits == 16 ? std::array<std::uint32_t, 3>{0x7C00, 0x03E0, 0x001F}
                                  : std::array<std::uint32_t, 3>{0xFF0000, 0xFF00, 0xFF};
    Bytes file =
        layoutFile(picture, layout, storedRows(picture, layout, [&](const Bgr& pixel) {
                       const std::uint8_t channels[3] = {pixel.red, pixel.green, pixel.blue};
                       std::uint32_t value = alpha;
                       for (int c = 0; c < 3; ++c)
                           value |= std::uint32_t(channels[c] >> (8 - maskWidth(masks[c])))
                                    << maskShift(masks[c]);
                       return value;
                   }));
    for (Bgr& pixel : picture.pixels) {
        pixel.red = widened(pixel.red, maskWidth(masks[0]));
        pixel.green = widened(pixel.green, maskWidth(masks[1]));
        pixel.blue = widened(pixel.blue, maskWidth(masks[2]));
    }
    return file;
}

// A picture of two colours, 11 pixels wide so that its 1-bit rows pass a
// byte boundary.
TestPicture twoColourPicture() {
    TestPicture picture;
    picture.width = 11;
    picture.height = 3;
    for (int r = 0; r < 3; ++r)
        for (int x = 0; x < 11; ++x)
            picture.pixels.push_back((x * x + r) % 3 == 0 ? Bgr{10, 200, 30} : Bgr{250, 5, 90});
    return picture;
}

TestPicture pictureOfIndices(int width, const std::vector<std::vector<int>>& rows,
                             const std::vector<Bgr>& colours) {
    TestPicture picture;
    picture.width = width;
    picture.height = int(rows.size());
    for (const std::vector<int>& row : rows)
        for (int index : row) picture.pixels.push_back(colours[std::size_t(index)]);
    return picture;
}

const std::vector<Bgr> fourColours = {{1, 2, 3}, {200, 10, 20}, {30, 220, 40}, {50, 60, 240}};

// Run-length codes using every escape. Row 0 has a run and a literal whose
// last pixel lies beyond the width, in the padding a writer may code; row 1
// is skipped by a move; row 2 starts after it at column 2; row 3 has a run
// that covers the padding; pixels no code reaches take colour 0.
struct CodedPicture {
    Bytes codes;
    TestPicture twin;
};

CodedPicture rle8Picture() {
    const Bytes codes = {3, 1, 0, 3, 2, 3, 1, 0, // run, literal + pad byte
                         0, 0,                   // end of row 0
                         0, 2, 2, 1,             // move right 2, up 1
                         2, 3, 0, 0,             // run in row 2, end of row
                         8, 2, 0, 1};            // run over the padding, end
    return {codes, pictureOfIndices(
                       5, {{1, 1, 1, 2, 3}, {0, 0, 0, 0, 0}, {0, 0, 3, 3, 0}, {2, 2, 2, 2, 2}},
                       fourColours)};
}

CodedPicture rle4Picture() {
    const Bytes codes = {5, 0x12, 0,    0,                   // alternating run, end of row
                         0, 3,    0x21, 0x20, 2, 0x33, 0, 0, // literal of 3, run, end of row
                         0, 1};                              // end of picture: row 2 is colour 0
    return {codes,
            pictureOfIndices(5, {{1, 2, 1, 2, 1}, {2, 1, 2, 3, 3}, {0, 0, 0, 0, 0}}, fourColours)};
}

struct LayoutRow {
    std::string name;
    Bytes file;
    TestPicture twin; // the same pixels, rows from the bottom
};

std::vector<LayoutRow> layoutRows() {
    const TestPicture picture = asymmetricPicture(5, 3); // 15 colours
    std::vector<LayoutRow> rows;
    auto palette = [&](const std::string& name, const TestPicture& p, Layout layout) {
        rows.push_back({name, paletteFile(p, layout), p});
    };
    palette("8-bit palette", picture, layoutOf(40, 8));
    palette("4-bit palette", picture, layoutOf(40, 4));
    palette("1-bit palette", twoColourPicture(), layoutOf(40, 1));
    palette("OS/2 1.x 8-bit palette, 3-byte entries", picture, layoutOf(12, 8));
    palette("OS/2 1.x 1-bit palette", twoColourPicture(), layoutOf(12, 1));
    palette("OS/2 2.x 4-bit palette", picture, layoutOf(64, 4));
    palette("top-down 8-bit palette", picture, layoutOf(40, 8, 0, true));

    Layout topDown = layoutOf(40, 24, 0, true);
    rows.push_back({"top-down 24-bit",
                    layoutFile(picture, topDown,
                               storedRows(picture, topDown,
                                          [](const Bgr& p) {
                                              return std::uint32_t(p.blue | p.green << 8 |
                                                                   p.red << 16);
                                          })),
                    picture});
    Layout core = layoutOf(12, 24);
    rows.push_back({"OS/2 1.x 24-bit",
                    layoutFile(picture, core,
                               storedRows(picture, core,
                                          [](const Bgr& p) {
                                              return std::uint32_t(p.blue | p.green << 8 |
                                                                   p.red << 16);
                                          })),
                    picture});

    auto bitFields = [&](const std::string& name, Layout layout, std::uint32_t alpha) {
        TestPicture twin = picture;
        Bytes file = bitFieldFile(twin, layout, alpha);
        rows.push_back({name, file, twin});
    };
    bitFields("16-bit 5-5-5", layoutOf(40, 16), 0x8000);
    bitFields("16-bit 5-6-5 masks after the header",
              layoutOf(40, 16, 3, false, {0xF800, 0x07E0, 0x001F}), 0);
    bitFields("16-bit 4-4-4 masks in a V5 header",
              layoutOf(124, 16, 3, false, {0x0F00, 0x00F0, 0x000F}), 0xF000);
    bitFields("32-bit, fourth byte ignored", layoutOf(40, 32), 0x7F000000);
    bitFields("32-bit red-first masks in a V4 header",
              layoutOf(108, 32, 3, false, {0x000000FF, 0x0000FF00, 0x00FF0000}), 0xFF000000);

    CodedPicture rle8 = rle8Picture(), rle4 = rle4Picture();
    rows.push_back({"RLE8 with every escape",
                    layoutFile(rle8.twin, layoutOf(40, 8, 1, false, {}, fourColours), rle8.codes),
                    rle8.twin});
    rows.push_back({"RLE4 with every escape",
                    layoutFile(rle4.twin, layoutOf(40, 4, 2, false, {}, fourColours), rle4.codes),
                    rle4.twin});
    return rows;
}

struct Program {
    const char* name;
    std::string executable;
    std::vector<std::string> words;
};

const Program programs[] = {
    {"tessalo", tessalo, {"batch", "2", "2", "2", "2", "1", "y", "in.bmp", "out.bmp"}},
    {"pravun", pravun, {"in.bmp", "/m8x6", "out.bmp"}},
};

// The output for a file, or a failure when the program does not end well.
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
            // pravun gives every non-plain input a fresh header; the sizes
            // and the pixel rows must agree.
            const std::size_t from = program.executable == pravun ? 54 : 0;
            EXPECT_TRUE(
                std::equal(output.begin() + 18, output.begin() + 26, expected.begin() + 18));
            EXPECT_TRUE(std::equal(output.begin() + from, output.end(), expected.begin() + from));
        }
}

TEST(Layouts, PravunWritesAPlainHeaderForOtherLayouts) {
    Scratch scratch;
    const LayoutRow row = layoutRows()[3]; // OS/2 1.x: no resolution fields
    Bytes file = row.file;
    putLe(file, 6, 0x12345678, 4); // reserved words, copied
    const Bytes output = outputFor(programs[1], scratch, file);
    // clang-format off
    const Bytes expected = {
        'B', 'M', 0x96, 0, 0, 0,      // 8 x 4 x 3 + 54 bytes
        0x78, 0x56, 0x34, 0x12,       // reserved, copied
        54, 0, 0, 0,   40, 0, 0, 0,   // pixel data offset, information header size
        8, 0, 0, 0,    4, 0, 0, 0,    // width, height (5 x 3 scaled)
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

Bytes withSize(Bytes file, std::uint32_t width, std::uint32_t height) {
    putLe(file, 18, width, 4);
    putLe(file, 22, height, 4);
    return file;
}

std::vector<RefusalRow> refusalRows() {
    const TestPicture picture = asymmetricPicture(5, 3);
    const Bytes plain = bmpFile(picture);
    Bytes jpeg = plain, png = plain;
    putLe(jpeg, 30, 4, 4);
    putLe(png, 30, 5, 4);
    Bytes huffman = layoutFile(picture, layoutOf(64, 24), Bytes(48, 0));
    putLe(huffman, 28, 1, 2);
    putLe(huffman, 30, 3, 4);
    const TestPicture indices = pictureOfIndices(5, {{0, 1, 2, 3, 0}}, fourColours);
    Layout eightBits = layoutOf(40, 8, 0, false, {}, fourColours);
    Bytes beyondTable = layoutFile(indices, eightBits, {0, 1, 7, 3, 0, 0, 0, 0});
    Bytes noTable = layoutFile(indices, layoutOf(40, 8), {0, 1, 2, 3, 0, 0, 0, 0});
    Layout rle8 = layoutOf(40, 8, 1, false, {}, fourColours);
    auto masks = [&](int bits, std::array<std::uint32_t, 3> m) {
        return layoutFile(indices, layoutOf(40, bits, 3, false, m),
                          Bytes(std::size_t(bits) * 2, 0));
    };
    auto notBm = [](const std::string& start) {
        Bytes bytes(start.begin(), start.end());
        bytes.resize(60, 0);
        return bytes;
    };
    const std::string notBmLine = "infile is not a 'BM'\r\n";
    const std::string convertLine = " picture; convert it with: convert in.bmp -type truecolor "
                                    "BMP3:in.bmp\r\n";
    return {
        {"JPEG inside", jpeg,
         "infile holds a JPEG picture inside the BMP (method 4), which is not supported\r\n"},
        {"PNG inside", png,
         "infile holds a PNG picture inside the BMP (method 5), which is not supported\r\n"},
        {"OS/2 2.x Huffman coding", huffman,
         "infile is compressed with OS/2 Huffman coding (method 3), which is not supported\r\n"},
        {"colour index beyond the table", beyondTable,
         "infile uses colour index 7, beyond its colour table of 4 colours\r\n"},
        {"no colour table", noTable,
         "infile has no colour table before its pixel data at offset 54\r\n"},
        {"run-length index beyond the table", layoutFile(indices, rle8, {5, 4, 0, 1}),
         "infile uses colour index 4, beyond its colour table of 4 colours\r\n"},
        {"run past the padded row", layoutFile(indices, rle8, {9, 1, 0, 1}),
         "infile's run-length data runs past the picture\r\n"},
        {"move past the top", layoutFile(indices, rle8, {0, 2, 0, 2}),
         "infile's run-length data runs past the picture\r\n"},
        {"run in a second row of a one-row picture", layoutFile(indices, rle8, {0, 0, 1, 1}),
         "infile's run-length data runs past the picture\r\n"},
        {"codes end before the picture does", layoutFile(picture, rle8, {5, 1, 0, 0}),
         "infile's run-length data ends before the end of the picture\r\n"},
        {"literal cut short", layoutFile(indices, rle8, {0, 5, 1, 1}),
         "infile's run-length data ends before the end of the picture\r\n"},
        {"many pixels from few codes", withSize(layoutFile(picture, rle8, {0, 1}), 4096, 3),
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
        {"PNG file", notBm("\x89PNG\r\n\x1a\n"), notBmLine + "infile is a PNG" + convertLine},
        {"JPEG file", notBm("\xFF\xD8\xFF\xE0"), notBmLine + "infile is a JPEG" + convertLine},
        {"GIF file", notBm("GIF89a"), notBmLine + "infile is a GIF" + convertLine},
        {"TIFF file", notBm(std::string("II*\0", 4)), notBmLine + "infile is a TIFF" + convertLine},
        {"PPM file", notBm("P6\n5 3\n255\n"), notBmLine + "infile is a PPM" + convertLine},
        {"PGM file", notBm("P2 5 3 255 "), notBmLine + "infile is a PGM" + convertLine},
        {"MSX BSAVE file", notBm("\xFE\x00\x00\xFF\xD3"),
         notBmLine + "infile is an MSX BSAVE screen file; turn it into a BMP with: tessalo "
                     "--decode in.bmp in.bmp.bmp\r\n"},
        {"text", notBm("hello"), notBmLine},
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
            ASSERT_GE(result.console.size(), row.message.size());
            EXPECT_EQ(result.console.substr(result.console.size() - row.message.size()),
                      row.message);
            EXPECT_EQ(folderEntries(scratch.folder), std::vector<std::string>{"in.bmp"});
        }
}

TEST(Layouts, ConversionAdviceQuotesNamesForTheShell) {
    Scratch scratch;
    const std::string name = "it's a photo.png";
    writeFile(scratch.path(name), Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'});
    RunResult result = runProgram(pravun, {name, "/m8x6", "out.bmp"}, "", scratch.folder);
    EXPECT_EQ(result.exitStatus, 1);
    const std::string advice = "convert 'it'\\''s a photo.png' -type truecolor "
                               "BMP3:'it'\\''s a photo.bmp'\r\n";
    ASSERT_GE(result.console.size(), advice.size());
    EXPECT_EQ(result.console.substr(result.console.size() - advice.size()), advice);
}

} // namespace
