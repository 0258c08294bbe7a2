#include "pass.h"

#include "loading.h"
#include "chroma_blocks.h"

void allocatePassBuffers(const ConverterSettings& settings, const PictureGeometry& geometry,
                         PassBuffers& buffers) {
    const std::size_t width = std::size_t(geometry.width);
    buffers.pixels.assign(width * 3, 0);
    buffers.rows.width = geometry.width;
    buffers.rows.rowCount = 2 * settings.vFactor;
    const std::size_t samples = width * std::size_t(buffers.rows.rowCount);
    buffers.rows.luma.assign(samples, 0);
    buffers.rows.chromaA.assign(samples, 0);
    buffers.rows.chromaB.assign(samples, 0);
    buffers.blocks.subWidth = geometry.subWidth;
    buffers.blocks.chromaA.assign(2 * std::size_t(geometry.subWidth), 0);
    buffers.blocks.chromaB.assign(2 * std::size_t(geometry.subWidth), 0);
    buffers.maskedLuma.assign(width, 0);
    const std::size_t blocksUsed = std::size_t((geometry.width - 1) >> settings.hShift) + 1;
    buffers.maskedA.assign(blocksUsed, 0);
    buffers.maskedB.assign(blocksUsed, 0);
}

// The pass visits rows from y = height - 1 (the first stored) down to 0, and
// so block rows from the largest sy down. Every cell must hold its loaded or
// averaged value before the first share of error is added to it, because
// shares are clamped at 255: the order changes bytes. Error goes into the
// row y - 1 and the block row sy - 1 only, so before block row sy is
// converted, every row of block row sy - 1 is loaded and that block row
// averaged. Row y - 1 is then loaded too, since y - 1 >= (sy - 1) x vFactor.
struct PassState {
    std::int32_t loadedDown; // the lowest row loaded so far
    std::string problem;     // why a row could not be read
};

static void loadDownTo(PictureRows& input, const ConverterSettings& settings,
                       const PictureGeometry& geometry, PassBuffers& buffers, PassState& state,
                       std::int32_t lowest) {
    while (state.loadedDown > lowest && state.problem.empty()) {
        --state.loadedDown;
        state.problem = loadRow(input, settings, geometry, state.loadedDown, buffers.pixels.data(),
                                buffers.rows);
    }
}

// Loads the rows of block row sy (those inside the picture) and averages it.
static void prepareBlockRow(PictureRows& input, const ConverterSettings& settings,
                            const PictureGeometry& geometry, PassBuffers& buffers, PassState& state,
                            std::int32_t sy) {
    loadDownTo(input, settings, geometry, buffers, state, sy << settings.vShift);
    averageBlockRow(settings, geometry.height, buffers.rows, sy, buffers.blocks);
}

static PassRow passRow(const ConverterSettings& settings, const PictureGeometry& geometry,
                       PassBuffers& buffers, std::int32_t y) {
    PassRow row = passRowAt(settings, y, geometry.width, geometry.subWidth);
    row.luma = buffers.rows.lumaRow(y);
    row.chromaA = buffers.blocks.rowA(row.sy);
    row.chromaB = buffers.blocks.rowB(row.sy);
    if (y >= 1) row.lumaNext = buffers.rows.lumaRow(y - 1);
    if (row.sy >= 1) {
        row.chromaANext = buffers.blocks.rowA(row.sy - 1);
        row.chromaBNext = buffers.blocks.rowB(row.sy - 1);
    }
    return row;
}

std::string convertPicture(PictureRows& input, const ConverterSettings& settings,
                           const PictureGeometry& geometry, PassBuffers& buffers,
                           PreviewOutput& output) {
    PassState state{geometry.height, ""};
    const std::int32_t topBlockRow = (geometry.height - 1) >> settings.vShift;
    prepareBlockRow(input, settings, geometry, buffers, state, topBlockRow);
    for (std::int32_t y = geometry.height - 1;
         y >= 0 && output.file.error == 0 && state.problem.empty(); --y) {
        const std::int32_t sy = y >> settings.vShift;
        const bool firstOfBlockRow = y == geometry.height - 1 || ((y + 1) >> settings.vShift) != sy;
        if (firstOfBlockRow && sy >= 1)
            prepareBlockRow(input, settings, geometry, buffers, state, sy - 1);
        const PassRow row = passRow(settings, geometry, buffers, y);
        std::uint8_t* luma = buffers.maskedLuma.data();
        quantiseLumaRow(settings, row, luma);
        const std::int32_t blocksUsed = std::int32_t(buffers.maskedA.size());
        quantiseChromaRow(settings, row, blocksUsed, buffers.maskedA.data(),
                          buffers.maskedB.data());
        writePreviewRow(settings, y, luma, buffers.maskedA.data(), buffers.maskedB.data(),
                        geometry.width, output);
    }
    return state.problem;
}
