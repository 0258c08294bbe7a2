// The row reader over every BMP layout, on files in memory: each small
// picture, written here in a layout, must give its pixels as 24-bit rows,
// and each damaged one its refusal line.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bmp_header.h"
#include "picture_rows.h"
#include "test_support.h"

namespace {

using Grid = std::vector<std::vector<std::uint32_t>>; // rows from the bottom

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
    TestPicture expected; // the pixels, rows from the bottom; none when refused
    std::string refusal;  // empty: the rows are read
};

LayoutRow refused(const std::string& name, const Bytes& file, const std::string& refusal) {
    return {name, file, {}, refusal};
}

const std::vector<Bgr> fifteenColours = asymmetricPicture(5, 3).pixels;
const std::vector<Bgr> fourColours = {{1, 2, 3}, {200, 10, 20}, {30, 220, 40}, {50, 60, 240}};
const Grid fifteenIndices = {{0, 7, 14, 6, 13}, {5, 12, 4, 11, 3}, {10, 2, 9, 1, 8}};
const Grid twoIndices = {{1, 1, 0, 1, 0, 0, 1, 0, 0, 1, 1},
                         {0, 0, 1, 1, 0, 1, 1, 0, 1, 0, 0},
                         {1, 0, 1, 0, 0, 1, 0, 0, 1, 1, 0}}; // 11 wide: past a byte

LayoutRow paletteRow(const std::string& name, const Grid& grid, const std::vector<Bgr>& colours,
                     const Layout& l) {
    const int width = int(grid[0].size()), height = int(grid.size());
    return {name, bmpOf(width, height, l, colours, storedRows(grid, l)), pictureOf(grid, colours),
            ""};
}

// A 2 x 2 picture of raw pixel values and the colours they stand for.
LayoutRow bitFieldRow(const std::string& name, const Layout& l, const Grid& values,
                      const std::vector<Bgr>& colours) {
    return {name, bmpOf(2, 2, l, {}, storedRows(values, l)), pictureOf({{0, 1}, {2, 3}}, colours),
            ""};
}

// A run-length file of width 5 and the given height over the four colours.
Bytes rle8(int height, const Bytes& codes) {
    return bmpOf(5, height, layout(40, 8, 1), fourColours, codes);
}
Bytes rle4(int height, const Bytes& codes) {
    return bmpOf(5, height, layout(40, 4, 2), fourColours, codes);
}
LayoutRow runLengthRow(const std::string& name, const Bytes& file, const Grid& indices) {
    return {name, file, pictureOf(indices, fourColours), ""};
}

// Run-length codes using every escape: a run, a literal whose last pixel lies
// in the padding a writer may code for odd widths, row ends, a move that
// skips a row and starts the next at column 2, a run over the padding, the
// end of the picture. Pixels no code reaches take colour 0.
const Bytes rle8Codes = {3, 1, 0, 3, 2, 3, 1, 0, 0, 0, 0, 2, 2, 1, 2, 3, 0, 0, 8, 2, 0, 1};
const Grid rle8Indices = {{1, 1, 1, 2, 3}, {0, 0, 0, 0, 0}, {0, 0, 3, 3, 0}, {2, 2, 2, 2, 2}};
const Bytes rle4Codes = {5, 0x12, 0, 0, 0, 3, 0x21, 0x20, 2, 0x33, 0, 0, 0, 1};
const Grid rle4Indices = {{1, 2, 1, 2, 1}, {2, 1, 2, 3, 3}, {0, 0, 0, 0, 0}};

std::vector<LayoutRow> readRows() {
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
        return LayoutRow{name, bmpOf(5, 3, l, {}, storedRows(truecolour, l)), picture, ""};
    };
    const Bgr white{255, 255, 255}, black{0, 0, 0};
    const Grid zeros = {{0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}};
    const Grid fourInRows = {{0, 1, 2, 3, 0}, {3, 2, 1, 0, 3}};
    Bytes tableOfZeroCount =
        bmpOf(5, 2, layout(40, 8), fourColours, storedRows(fourInRows, layout(40, 8)));
    tableOfZeroCount[46] = 0; // colours used 0: 2 ^ 8, cut where the pixel data starts
    return {
        paletteRow("8-bit palette", fifteenIndices, fifteenColours, layout(40, 8)),
        paletteRow("4-bit palette", fifteenIndices, fifteenColours, layout(40, 4)),
        paletteRow("1-bit palette", twoIndices, fourColours, layout(40, 1)),
        {"8-bit, colours used 0", tableOfZeroCount, pictureOf(fourInRows, fourColours), ""},
        paletteRow("OS/2 1.x 8-bit palette", fifteenIndices, fifteenColours, layout(12, 8)),
        paletteRow("OS/2 1.x 1-bit palette", twoIndices, fourColours, layout(12, 1)),
        paletteRow("OS/2 2.x 4-bit palette", fifteenIndices, fifteenColours, layout(64, 4)),
        paletteRow("top-down 8-bit palette", fifteenIndices, fifteenColours,
                   layout(40, 8, 0, true)),
        twentyFour("top-down 24-bit", layout(40, 24, 0, true)),
        twentyFour("OS/2 1.x 24-bit", layout(12, 24)),
        twentyFour("V5 24-bit", layout(124, 24)),
        // 5-bit v widens to (v << 3) | (v >> 2), 6-bit v to (v << 2) | (v >> 4),
        // 4-bit v to (v << 4) | v; the top bit of 5-5-5 is unused.
        bitFieldRow("16-bit 5-5-5", layout(40, 16), {{0x7FFF, 0x0000}, {0x4210, 0x9234}},
                    {white, black, {132, 132, 132}, {165, 140, 33}}),
        bitFieldRow("top-down 16-bit 5-5-5", layout(40, 16, 0, true),
                    {{0x7FFF, 0x0000}, {0x4210, 0x9234}},
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
        bitFieldRow("32-bit masks and alpha after the header",
                    layout(40, 32, 6, false, {0x0000FF00, 0x00FF0000, 0xFF000000}),
                    {{0x112233EE, 0xFF000000}, {0x0000FF00, 0x12345678}},
                    {{0x11, 0x22, 0x33}, {255, 0, 0}, {0, 0, 255}, {0x12, 0x34, 0x56}}),
        runLengthRow("RLE8 with every escape", rle8(4, rle8Codes), rle8Indices),
        runLengthRow("RLE4 with every escape", rle4(3, rle4Codes), rle4Indices),
        runLengthRow("RLE4 literal of odd bytes, padded",
                     rle4(1, {0, 5, 0x12, 0x30, 0x10, 0, 0, 1}), {{1, 2, 3, 0, 1}}),
        // Data may stop without an end code once every pixel is given.
        runLengthRow("RLE8 ending after the last pixel", rle8(2, {5, 1, 0, 0, 5, 2}),
                     {{1, 1, 1, 1, 1}, {2, 2, 2, 2, 2}}),
        runLengthRow("RLE8 ending after a run into the padding", rle8(1, {7, 3}),
                     {{3, 3, 3, 3, 3}}),
        runLengthRow("RLE8 ending after a move past the top row's end", rle8(2, {0, 2, 5, 1}),
                     zeros),
        runLengthRow("RLE8 ending after the top row's end", rle8(2, {5, 1, 0, 0, 5, 2, 0, 0}),
                     {{1, 1, 1, 1, 1}, {2, 2, 2, 2, 2}}),
        runLengthRow("RLE4 ending after the last pixel", rle4(1, {5, 0x12}), {{1, 2, 1, 2, 1}}),
    };
}

std::vector<LayoutRow> refusedRows() {
    auto masks = [&](int bits, std::array<std::uint32_t, 3> m) {
        return bmpOf(5, 1, layout(40, bits, 3, false, m), {}, Bytes(std::size_t(bits) * 2, 0));
    };
    const Bytes indexSeven = {0, 1, 7, 3, 0, 0, 0, 0};
    const std::string pastPicture = "infile's run-length data runs past the picture";
    const std::string endsEarly = "infile's run-length data ends before the end of the picture";
    return {
        refused("8-bit index beyond the table", bmpOf(5, 1, layout(40, 8), fourColours, indexSeven),
                "infile uses colour index 7, beyond its colour table of 4 colours"),
        refused("4-bit index beyond the table",
                bmpOf(5, 1, layout(40, 4), fourColours, {0x01, 0x29, 0x30, 0}),
                "infile uses colour index 9, beyond its colour table of 4 colours"),
        refused("1-bit index beyond the table",
                bmpOf(5, 1, layout(40, 1), {{1, 2, 3}}, {0x08, 0, 0, 0}),
                "infile uses colour index 1, beyond its colour table of 1 colours"),
        refused("colour count beyond the pixel data",
                withField(bmpOf(5, 1, layout(40, 8), fourColours, indexSeven), 46, 200),
                "infile uses colour index 7, beyond its colour table of 4 colours"),
        refused("no colour table", bmpOf(5, 1, layout(40, 8), {}, Bytes(8, 0)),
                "infile has no colour table before its pixel data at offset 54"),
        refused("RLE8 index beyond the table", rle8(1, {5, 4, 0, 1}),
                "infile uses colour index 4, beyond its colour table of 4 colours"),
        refused("RLE4 index beyond the table", rle4(1, {2, 0x45, 0, 1}),
                "infile uses colour index 4, beyond its colour table of 4 colours"),
        refused("RLE8 run past the padded row", rle8(1, {9, 1, 0, 1}), pastPicture),
        refused("RLE4 run past the padded row", rle4(1, {9, 0x11, 0, 1}), pastPicture),
        refused("RLE8 move past the top", rle8(1, {0, 2, 0, 2}), pastPicture),
        refused("RLE8 run above the top row", rle8(1, {0, 0, 1, 1}), pastPicture),
        refused("RLE8 ending in the first of three rows", rle8(3, {5, 1, 0, 0}), endsEarly),
        refused("RLE8 ending a row below the top", rle8(3, {5, 1, 0, 0, 5, 2}), endsEarly),
        refused("RLE8 ending with the top row short", rle8(2, {5, 1, 0, 0, 4, 2}), endsEarly),
        refused("RLE8 ending inside a code", rle8(1, {5, 1, 0}), endsEarly),
        refused("RLE8 literal cut short", rle8(1, {0, 5, 1, 1}), endsEarly),
        refused("RLE8 move cut short", rle8(1, {0, 2, 1}), endsEarly),
        refused("mask not contiguous", masks(16, {0x7C00, 0x05E0, 0x001F}),
                "infile's green mask 0x000005E0 is not one run of adjacent bits"),
        refused("empty mask", masks(16, {0x7C00, 0x03E0, 0}),
                "infile's blue mask 0x00000000 is not one run of adjacent bits"),
        refused("16-bit mask 9 bits wide", masks(16, {0xFF80, 0x0070, 0x000F}),
                "infile's red mask 0x0000FF80 is 9 bits wide; 16-bit pixels allow at most 8"),
        refused("16-bit mask outside the pixel", masks(16, {0xFF0000, 0x03E0, 0x001F}),
                "infile's red mask 0x00FF0000 lies outside its 16-bit pixels"),
        refused("32-bit mask 10 bits wide", masks(32, {0x3FF00000, 0x000FFC00, 0x000003FF}),
                "infile's red mask 0x3FF00000 is 10 bits wide; 32-bit pixels need 8"),
    };
}

// The source over bytes in memory: 1-based positions, bytes past the end 0.
void getFromMemory(void* context, std::int64_t position, std::uint8_t* buffer, std::size_t count) {
    const Bytes& bytes = *static_cast<const Bytes*>(context);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint64_t at = std::uint64_t(position - 1) + i;
        buffer[i] = at < bytes.size() ? bytes[at] : 0;
    }
}

// Picture row r (0 the bottom) as 24-bit pixels.
Bytes expectedRow(const TestPicture& picture, int r) {
    Bytes row;
    for (int x = 0; x < picture.width; ++x) {
        const Bgr& p = picture.pixels[std::size_t(r) * std::size_t(picture.width) + std::size_t(x)];
        row.insert(row.end(), {p.blue, p.green, p.red});
    }
    return row;
}

// Every row is read upwards, as the programs read them, and then downwards,
// which makes a run-length file start its codes over for each row.
TEST(PictureRows, EveryLayoutGivesItsPixelsOrItsRefusal) {
    std::vector<LayoutRow> rows = readRows();
    for (LayoutRow& row : refusedRows()) rows.push_back(row);
    for (LayoutRow& row : rows) {
        SCOPED_TRACE(row.name);
        HeaderBytes bytes{};
        std::copy_n(row.file.begin(), std::min(row.file.size(), bytes.size()), bytes.begin());
        const BmpHeader header = parseBmpHeader(bytes);
        const ByteSource source{getFromMemory, &row.file, std::int64_t(row.file.size())};
        std::string problem = headerProblem(header, source.length);
        PictureRows pictureRows;
        if (problem.empty()) problem = setUpPictureRows(pictureRows, source, header);
        EXPECT_EQ(problem, row.refusal);
        if (!problem.empty() || !row.refusal.empty()) continue;
        const int height = row.expected.height;
        ASSERT_EQ(header.width, row.expected.width);
        ASSERT_EQ(header.height, height);
        for (int i = 0; i < 2 * height; ++i) {
            const int r = i < height ? i : 2 * height - 1 - i;
            Bytes bgr(std::size_t(header.width) * 3, 0xCD);
            EXPECT_EQ(readPictureRow(pictureRows, r, bgr.data()), "");
            EXPECT_EQ(bgr, expectedRow(row.expected, r)) << "row " << r;
        }
    }
}

} // namespace
