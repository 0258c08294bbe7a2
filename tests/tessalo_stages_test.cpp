// The converter's stages one by one: chroma blocks, dithering and the pass's
// sizing, against values worked out by hand.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "chroma_blocks.h"
#include "dithering.h"
#include "pass.h"
#include "preview_writer.h"

namespace {

using Cells = std::vector<std::uint8_t>;

// ---- chroma blocks --------------------------------------------------------------

ChromaGrid grid(int h, int v) {
    return {std::uint8_t(h), std::uint8_t(v), std::uint8_t(h >> 1), std::uint8_t(v >> 1)};
}

TEST(ChromaBlocks, ColumnsCoverEveryPixel) {
    const struct {
        int hFactor, width, columns;
    } table[] = {
        {1, 5, 5}, {2, 5, 3}, {4, 5, 2}, {4, 8, 2}, {4, 1, 1}, {2, 2147483647, 1073741824},
    };
    for (const auto& row : table)
        EXPECT_EQ(blockColumns(grid(row.hFactor, 1), row.width), row.columns)
            << row.hFactor << " " << row.width;
}

// The block means of a width x height first chroma plane (the second holds
// 255 - the first), each row added as the pass loads it, row sy = 0 first.
struct Means {
    int columns = 0;
    Cells a, b;
    int atA(int sx, int sy) const { return a[std::size_t(sy * columns + sx)]; }
    int atB(int sx, int sy) const { return b[std::size_t(sy * columns + sx)]; }
};

Means blockMeans(int width, int height, const Cells& chroma, const ChromaGrid& g) {
    Means means;
    means.columns = blockColumns(g, width);
    BlockSums sums{std::vector<std::uint16_t>(std::size_t(means.columns)),
                   std::vector<std::uint16_t>(std::size_t(means.columns))};
    Cells cellsA(std::size_t(means.columns)), cellsB(std::size_t(means.columns));
    for (int sy = 0; sy <= (height - 1) / g.vFactor; ++sy) {
        for (int y = sy * g.vFactor; y < (sy + 1) * g.vFactor && y < height; ++y) {
            Cells samples(3 * std::size_t(width)); // luma, first chroma, second chroma
            for (int x = 0; x < width; ++x) {
                const std::uint8_t a = chroma[std::size_t(y * width + x)];
                samples[3 * std::size_t(x) + 1] = a;
                samples[3 * std::size_t(x) + 2] = std::uint8_t(255 - a);
            }
            addRowToBlockSums(g, y, height, samples.data(), width, sums);
        }
        takeBlockMeans(g, sums, cellsA.data(), cellsB.data());
        means.a.insert(means.a.end(), cellsA.begin(), cellsA.end());
        means.b.insert(means.b.end(), cellsB.begin(), cellsB.end());
    }
    return means;
}

TEST(ChromaBlocks, FactorsOneCopyTheSamples) {
    Means m = blockMeans(3, 2, {1, 2, 3, 4, 5, 6}, grid(1, 1));
    EXPECT_EQ(m.a, (Cells{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(m.atB(1, 1), 250);
}

TEST(ChromaBlocks, MeanIsRoundedDown) {
    Means m = blockMeans(4, 2, {128, 129, 10, 20, 129, 129, 30, 41}, grid(2, 2));
    EXPECT_EQ(m.atA(0, 0), 128); // 515 / 4 = 128.75
    EXPECT_EQ(m.atA(1, 0), 25);  // 101 / 4 = 25.25
    EXPECT_EQ(m.atB(0, 0), 126); // (127 + 126 * 3) / 4 = 126.25
}

TEST(ChromaBlocks, FourByOneAveragesOneRow) {
    Means m = blockMeans(4, 2, {0, 1, 2, 3, 100, 100, 100, 103}, grid(4, 1));
    EXPECT_EQ(m.atA(0, 0), 1);   // 6 / 4
    EXPECT_EQ(m.atA(0, 1), 100); // 403 / 4
}

TEST(ChromaBlocks, BlocksPastTheEdgeRepeatTheLastColumnAndRow) {
    // 3 x 3 with 2 x 2 blocks: the right column and the bottom row are
    // repeated to fill the edge blocks.
    Means m = blockMeans(3, 3, {10, 20, 30, 40, 50, 60, 70, 80, 90}, grid(2, 2));
    EXPECT_EQ(m.a, (Cells{30, 45, 75, 90})); // (10 + 20 + 40 + 50) / 4, (30 + 30 + 60 + 60) / 4,
                                             // (70 + 80 + 70 + 80) / 4, 90 four times
    // 5 x 3 with 4 x 4 blocks: column 4 stands for 4 to 7, row 2 for rows 2 and 3.
    Means wide = blockMeans(5, 3, {0, 0, 0, 0, 16, 0, 0, 0, 0, 16, 0, 0, 0, 0, 100}, grid(4, 4));
    EXPECT_EQ(wide.a, (Cells{0, 58})); // (4 x 16 + 4 x 16 + 8 x 100) / 16 = 58
}

// ---- dithering ------------------------------------------------------------------------

PlaneQuantising plane(int keptBits, int ditherStep, int level) {
    return {std::uint8_t(keptBits), std::uint8_t(ditherStep), std::uint8_t(level)};
}

// The masked row of `cells` after quantising it with `next` as the row below.
Cells quantised(const PlaneQuantising& p, Cells& cells, Cells* next, int parity) {
    Cells masked(cells.size());
    quantiseRow(p, cells.data(), next != nullptr ? next->data() : nullptr,
                std::int32_t(cells.size()), parity, masked.data());
    return masked;
}

TEST(Dithering, CheckerboardRoundsUpOnOddSquares) {
    const PlaneQuantising p = plane(0xF8, 4, 1);
    Cells cells{12, 12, 12, 12};
    EXPECT_EQ(quantised(p, cells, nullptr, 0), (Cells{8, 16, 8, 16}));
    EXPECT_EQ(quantised(p, cells, nullptr, 3), (Cells{16, 8, 16, 8}));
    EXPECT_EQ(cells, (Cells{12, 12, 12, 12})); // the cells keep their values
}

TEST(Dithering, CheckerboardLeavesSmallRemaindersDown) {
    Cells cells{11, 11};
    EXPECT_EQ(quantised(plane(0xF8, 4, 1), cells, nullptr, 0), (Cells{8, 8}));
}

TEST(Dithering, CheckerboardStepIsCappedAt255) {
    Cells cells{254, 254};
    EXPECT_EQ(quantised(plane(0xF8, 4, 1), cells, nullptr, 0)[1], 248); // 258 -> 255 -> 248
}

TEST(Dithering, LevelsWithoutMaskedBitsChangeNothing) {
    for (int level = 0; level <= 2; ++level) {
        Cells cells{77, 99, 77}, next{77, 77, 77};
        EXPECT_EQ(quantised(plane(0xFF, 0, level), cells, &next, 1), (Cells{77, 99, 77}));
        EXPECT_EQ(next, (Cells{77, 77, 77})) << level;
    }
}

// Spreads one error of 7 (cell 15 under mask 0xF8) from cell x of a row of
// three zeros, with a row of zeros below, and gives both rows afterwards, the
// cell itself set back to 0. The shares of 7 are 3, 0, 1 and 2 (7/16, 1/16,
// 3/16, 5/16 rounded down); the cells after it on the row pass on what they
// received.
std::vector<Cells> afterSpreading(int x, bool withNext) {
    Cells cells(3, 0), next(3, 0);
    cells[std::size_t(x)] = 15;
    quantised(plane(0xF8, 0, 2), cells, withNext ? &next : nullptr, 0);
    cells[std::size_t(x)] = 0;
    return {cells, next};
}

TEST(Dithering, ErrorDiffusionCellsAndEdges) {
    const struct {
        int x;
        bool withNext;
        Cells cells, next;
    } table[] = {
        // Middle: 3 to the right, 0 below right, 2 below, 1 below left.
        {1, true, {0, 0, 3}, {1, 2, 0}},
        // Last cell: the two shares to the right are dropped.
        {2, true, {0, 0, 0}, {0, 1, 2}},
        // First cell: the share below left is dropped; the 3 on the right
        // passes on 1 in turn.
        {0, true, {0, 3, 1}, {2, 0, 0}},
        // No row below: only the share to the right is passed on.
        {1, false, {0, 0, 3}, {0, 0, 0}},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(::testing::Message() << row.x << " " << row.withNext);
        EXPECT_EQ(afterSpreading(row.x, row.withNext), (std::vector<Cells>{row.cells, row.next}));
    }
}

TEST(Dithering, SharesDoNotWrapPast255) {
    Cells cells{255}, next{250};
    quantised(plane(0, 0, 2), cells, &next, 0); // all error: 5/16 of 255 is 79
    EXPECT_EQ(next, (Cells{255}));
}

// The pass quantises its rows in place: the masked values and the shares
// spread are the same as into a row of their own.
TEST(Dithering, MaskedMayBeTheCellsThemselves) {
    const Cells start{13, 200, 77, 255, 6};
    for (int level = 0; level <= 2; ++level) {
        SCOPED_TRACE(level);
        const PlaneQuantising p = plane(0xE0, 16, level);
        Cells apart = start, apartNext = start, inPlace = start, inPlaceNext = start;
        const Cells masked = quantised(p, apart, &apartNext, 1);
        quantiseRow(p, inPlace.data(), inPlaceNext.data(), 5, 1, inPlace.data());
        EXPECT_EQ(inPlace, masked);
        EXPECT_EQ(inPlaceNext, apartNext);
    }
}

// ---- the pass's buffers ------------------------------------------------------------------

// A run-length picture is refused when the pass would hold more than 256 MiB
// for its width: 3 + 2 x vFactor + 8 / hFactor bytes a pixel of width.
TEST(Pass, WideRunLengthPicturesAreRefusedBeforeAllocating) {
    const std::string more = " MiB, more than the 256 MiB allowed for compressed pictures";
    // clang-format off
    const struct { std::uint32_t compression; std::int32_t width; int h, v; std::string refusal; } table[] = {
        {bmpRle8, 16777215, 1, 4, "infile is run-length coded and 16777215 pixels wide: working on it would take 304" + more},
        {bmpRle4, 25000000, 2, 2, "infile is run-length coded and 25000000 pixels wide: working on it would take 263" + more},
        {bmpRle8, 1000, 1, 1, ""},
        {bmpUncompressed, 1000, 4, 4, ""},
    };
    // clang-format on
    for (const auto& row : table) {
        SCOPED_TRACE(row.width);
        BmpHeader header;
        header.width = row.width;
        header.height = 1;
        header.bitsPerPixel = row.compression == bmpRle4 ? 4 : row.compression == bmpRle8 ? 8 : 24;
        header.compression = row.compression;
        PassSettings settings;
        settings.grid = grid(row.h, row.v);
        PictureGeometry geometry{row.width, 1,
                                 std::uint32_t(storedRowLength(std::uint64_t(row.width), 24))};
        PassBuffers buffers;
        PreviewOutput output;
        EXPECT_EQ(sizePass(header, settings, geometry, buffers, output), row.refusal);
        EXPECT_EQ(output.row.size(), row.refusal.empty() ? geometry.rowStride : 0u);
    }
}

} // namespace
