#include "output.h"

#include <cstdint>
#include <vector>

#include "resampling.h"

// Only what the target rows still need is held in memory: one input row in
// 24 bits, its horizontal pass, the pixel sums of one target row and that
// row's bytes. Each target row needs a run of consecutive source rows, and
// the next target row starts in or after the last of them. So the source is
// read once, in file order; rows no written target row needs are skipped,
// and the last normalised row is kept, since the next target row may start
// in it.
struct SourceRows {
    PictureRows* input = nullptr;         // reads picture row r, r = 0 the bottom one
    std::vector<std::uint8_t> stored;     // one input row, 3 bytes per pixel
    std::vector<std::uint8_t> normalised; // its horizontal pass, 3 bytes per written column
    std::int64_t current = -1;            // the source row held in `normalised`
    std::string problem;                  // why a row could not be read, once one could not
};

// The horizontal pass of source row r, computed when r is first needed.
static const std::uint8_t* normalisedRow(SourceRows& rows, std::uint32_t r,
                                         const std::vector<Footprint>& columns,
                                         std::uint32_t gainX) {
    if (rows.current != std::int64_t(r)) {
        std::string problem = readPictureRow(*rows.input, std::int32_t(r), rows.stored.data());
        if (rows.problem.empty()) rows.problem = problem;
        normaliseRow(rows.stored.data(), columns, gainX, rows.normalised.data());
        rows.current = r;
    }
    return rows.normalised.data();
}

// The weight of source row r within a target row's footprint.
static std::uint32_t rowWeight(const Footprint& span, std::uint32_t r) {
    if (r == span.first) return span.firstWeight;
    return r == span.last ? span.lastWeight : 256;
}

// One written target row: the normalised rows under its footprint, weighted,
// summed and normalised by gainY.
static void resampleRow(SourceRows& rows, const Footprint& span,
                        const std::vector<Footprint>& columns, const ResizeSteps& steps,
                        std::vector<std::uint32_t>& pixelSums, std::uint8_t* targetRow) {
    for (std::uint32_t r = span.first; r <= span.last; ++r) {
        const std::uint8_t* normalised = normalisedRow(rows, r, columns, steps.gainX);
        addWeightedRow(normalised, rowWeight(span, r), r == span.first, pixelSums);
    }
    finishRow(pixelSums, steps.gainY, targetRow);
}

struct Buffers {
    std::vector<Footprint> columns;
    std::vector<std::uint32_t> pixelSums;
    std::vector<std::uint8_t> targetRow;
};

static void allocateBuffers(const ResizeSteps& steps, const ResizeGeometry& geometry,
                            std::uint32_t inputWidth, SourceRows& rows, Buffers& buffers) {
    const std::size_t rowBytes = std::size_t(geometry.cropWidth) * 3;
    rows.stored.assign(std::size_t(inputWidth) * 3, 0);
    rows.normalised.assign(rowBytes, 0);
    buffers.columns = columnFootprints(steps, geometry);
    buffers.pixelSums.assign(rowBytes, 0);
    buffers.targetRow.assign(rowBytes, 0);
}

std::string writeResizedPicture(PictureRows& input, const ResizeGeometry& geometry,
                                BinaryFile& output) {
    const BmpHeader& header = input.header;
    const std::uint32_t inputWidth = std::uint32_t(header.width);
    const std::uint32_t inputHeight = std::uint32_t(header.height);
    const ResizeSteps steps = resizeSteps(inputWidth, inputHeight, geometry);
    SourceRows rows;
    rows.input = &input;
    Buffers buffers;
    allocateBuffers(steps, geometry, inputWidth, rows, buffers);

    // A plain input's header is kept; any other layout gives a plain one.
    HeaderBytes outputHeader = plainHeader(geometry.cropWidth, geometry.cropHeight, &header);
    output.put(1, outputHeader.data(), outputHeader.size());

    // Only the written target rows are computed, in file order. Consecutive
    // rows with the same footprint (enlarging) are the same bytes.
    const std::size_t rowBytes = buffers.targetRow.size();
    std::int64_t position = bmpHeaderSize + 1;
    Footprint previous;
    // A read error shows after the pass, where runResizer checks the input.
    for (std::uint32_t i = 0; i < geometry.cropHeight && output.error == 0 && rows.problem.empty();
         ++i) {
        const Footprint span = footprint(steps.stepY, geometry.skipRows + i);
        if (i == 0 || !(span == previous))
            resampleRow(rows, span, buffers.columns, steps, buffers.pixelSums,
                        buffers.targetRow.data());
        previous = span;
        output.put(position, buffers.targetRow.data(), rowBytes);
        position += std::int64_t(rowBytes);
    }
    return rows.problem;
}
