#include "pass.h"

#include <cstddef>

#include "colour.h"
#include "memory_limit.h"
#include "preview_writer.h"

// Per pixel of width the pass holds 3 bytes of the row, 2 x vFactor of luma,
// and per block column 2 block rows of 2 chroma bytes and 2 sums of 2 bytes:
// 3 + 2 x vFactor + 8 / hFactor bytes, 13 to 19 at hFactor 1, 7 to 13 at 4.
std::string sizePass(const BmpHeader& header, const PassSettings& settings,
                     const PictureGeometry& geometry, PassBuffers& buffers, PreviewOutput& output) {
    const std::size_t width = std::size_t(geometry.width);
    const std::int32_t lumaRows = 2 * settings.grid.vFactor;
    const std::size_t columns = std::size_t(blockColumns(settings.grid, geometry.width));
    const std::uint64_t bytesHeld =
        std::uint64_t(geometry.rowStride) + std::uint64_t(width) * std::uint64_t(lumaRows) +
        std::uint64_t(columns) * 2 * 2 + std::uint64_t(columns) * 2 * sizeof(std::uint16_t);
    const std::string problem = compressedMemoryProblem(header, bytesHeld);
    if (!problem.empty()) return problem;
    output.row.assign(geometry.rowStride, 0);
    buffers.luma.width = width;
    buffers.luma.rowCount = lumaRows;
    buffers.luma.luma.assign(width * std::size_t(lumaRows), 0);
    buffers.blocks.columns = columns;
    buffers.blocks.chromaA.assign(2 * columns, 0);
    buffers.blocks.chromaB.assign(2 * columns, 0);
    buffers.sums.a.assign(columns, 0);
    buffers.sums.b.assign(columns, 0);
    return "";
}

// ---- loading ------------------------------------------------------------------------

static void storeSamples(Samples samples, std::uint8_t* pixel, std::uint8_t& luma) {
    pixel[0] = std::uint8_t(samples.y);
    pixel[1] = std::uint8_t(samples.a);
    pixel[2] = std::uint8_t(samples.b);
    luma = pixel[0];
}

// Reads plane row y (picture row height - 1 - y counted from the bottom) into
// `row` as blue, green, red, and turns each pixel into its samples in the
// same 3 bytes: luma, first chroma, second chroma. The luma goes into the
// ring, the chroma into the sums of the row's block row.
static std::string loadRow(PictureRows& input, const PassSettings& settings,
                           const PictureGeometry& geometry, std::int32_t y, std::uint8_t* row,
                           PassBuffers& buffers) {
    const std::string problem = readPictureRow(input, geometry.height - 1 - y, row);
    if (!problem.empty()) return problem;
    const std::size_t width = std::size_t(geometry.width);
    std::uint8_t* luma = buffers.luma.row(y);
    // One loop for each transform, so that the choice is not made per pixel.
    if (settings.useYuv) {
        for (std::size_t x = 0; x < width; ++x) {
            std::uint8_t* pixel = &row[3 * x];
            storeSamples(yuvFromRgb(pixel[2], pixel[1], pixel[0]), pixel, luma[x]);
        }
    } else {
        for (std::size_t x = 0; x < width; ++x) {
            std::uint8_t* pixel = &row[3 * x];
            storeSamples(yjkFromRgb(pixel[2], pixel[1], pixel[0]), pixel, luma[x]);
        }
    }
    addRowToBlockSums(settings.grid, y, geometry.height, row, geometry.width, buffers.sums);
    return "";
}

// ---- the pass -----------------------------------------------------------------------

// The pass visits rows from y = height - 1, the bottom row and the first one
// stored, up to y = 0, and so block rows from the largest sy up to 0. Error
// goes into the row above, y - 1, which it visits next, and into the block
// row above, sy - 1, only. Every cell must hold its loaded or averaged value
// before the first share of error is added to it, because shares are clamped
// at 255: the order changes bytes. So where a block row starts, every row of
// the block row above is loaded and that block row averaged first; row y - 1
// is then loaded too, since y - 1 >= (sy - 1) x vFactor.
struct PassState {
    std::int32_t loadedFrom; // the smallest y loaded so far
    std::string problem;     // why a row could not be read
};

// The largest row of its block row: where a whole block row starts.
static bool lastRowOfItsBlock(const ChromaGrid& grid, std::int32_t y) {
    return (y & (grid.vFactor - 1)) == grid.vFactor - 1;
}

// A block row starts at the first of its rows that the pass visits: its
// largest, or the picture's bottom row for the block row that reaches below
// the picture (height not a multiple of vFactor).
static bool startsBlockRow(const ChromaGrid& grid, std::int32_t height, std::int32_t y) {
    return y == height - 1 || lastRowOfItsBlock(grid, y);
}

// Loads the rows of block row sy that lie inside the picture and takes its
// means into its slot.
static void prepareBlockRow(PictureRows& input, const PassSettings& settings,
                            const PictureGeometry& geometry, PassBuffers& buffers,
                            std::uint8_t* row, PassState& state, std::int32_t sy) {
    const std::int32_t top = sy << settings.grid.vShift;
    while (state.loadedFrom > top && state.problem.empty()) {
        --state.loadedFrom;
        state.problem = loadRow(input, settings, geometry, state.loadedFrom, row, buffers);
    }
    takeBlockMeans(settings.grid, buffers.sums, buffers.blocks.rowA(sy), buffers.blocks.rowB(sy));
}

static PlaneQuantising withoutSpreading(PlaneQuantising plane) {
    if (plane.level == 2) plane.level = 0;
    return plane;
}

// Quantises block row sy in place where it starts; its later rows read the
// same masked cells, since nothing changes them in between. Each block thus
// spreads its chroma error once, at the first of its pixels that the pass
// meets, into the block row above. A block row that reaches below the
// picture is masked only: its blocks never spread.
static void quantiseBlockRow(const PassSettings& settings, BlockRows& blocks, std::int32_t sy,
                             bool whole) {
    const PlaneQuantising planeA = whole ? settings.chromaA : withoutSpreading(settings.chromaA);
    const PlaneQuantising planeB = whole ? settings.chromaB : withoutSpreading(settings.chromaB);
    const std::int32_t count = std::int32_t(blocks.columns);
    std::uint8_t* cellsA = blocks.rowA(sy);
    std::uint8_t* cellsB = blocks.rowB(sy);
    // The chroma checkerboard lies on the block grid: its parity is sy.
    quantiseRow(planeA, cellsA, sy >= 1 ? blocks.rowA(sy - 1) : nullptr, count, sy, cellsA);
    quantiseRow(planeB, cellsB, sy >= 1 ? blocks.rowB(sy - 1) : nullptr, count, sy, cellsB);
}

std::string convertPicture(PictureRows& input, const PassSettings& settings,
                           const PictureGeometry& geometry, PassBuffers& buffers,
                           PreviewOutput& output) {
    const ChromaGrid& grid = settings.grid;
    const std::int32_t height = geometry.height;
    // The file's rows are read into the preview row between two preview
    // rows; a read fills width x 3 bytes and leaves the padding.
    std::uint8_t* row = output.row.data();
    PassState state{height, ""};
    prepareBlockRow(input, settings, geometry, buffers, row, state, (height - 1) >> grid.vShift);
    for (std::int32_t y = height - 1; y >= 0 && output.file.error == 0 &&
                            output.staging.error == 0 && state.problem.empty();
         --y) {
        const std::int32_t sy = y >> grid.vShift;
        if (startsBlockRow(grid, height, y)) {
            if (sy >= 1) prepareBlockRow(input, settings, geometry, buffers, row, state, sy - 1);
            if (!state.problem.empty()) break;
            quantiseBlockRow(settings, buffers.blocks, sy, lastRowOfItsBlock(grid, y));
        }
        // The luma checkerboard's parity is the row's.
        std::uint8_t* luma = buffers.luma.row(y);
        quantiseRow(settings.luma, luma, y >= 1 ? buffers.luma.row(y - 1) : nullptr, geometry.width,
                    y, luma);
        writePreviewRow(output, y, luma, buffers.blocks.rowA(sy), buffers.blocks.rowB(sy),
                        geometry.width);
    }
    return state.problem;
}
