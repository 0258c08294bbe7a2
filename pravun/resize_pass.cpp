#include "resize_pass.h"

#include <cstdint>
#include <vector>

#include "box_filter.h"
#include "memory_limit.h"

// Only what the target rows still need is held in memory: one input row in
// 24 bits, its horizontal pass, the pixel sums of one target row and that
// row's bytes. Each target row needs a run of consecutive source rows, and
// the next target row starts in or after the last of them. So the source is
// read once, in file order; rows no written target row needs are skipped,
// and the last normalised row is kept, since the next target row may start
// in it.
struct SourceRows {
    PictureRows* input = nullptr;         // reads picture row r, r = 0 the bottom one
    bool exactMean = false;               // sums are kept unnormalised
    std::vector<std::uint8_t> stored;     // one input row, 3 bytes per pixel
    std::vector<std::uint8_t> normalised; // its horizontal pass, 3 bytes per written column
    std::vector<std::uint32_t> sums;      // or, for the exact mean, its unnormalised sums
    std::int64_t current = -1;            // the source row held in `normalised` or `sums`
    std::string problem;                  // why a row could not be read, once one could not
};

// The horizontal pass of source row r, computed when r is first needed.
static void passRow(SourceRows& rows, std::uint32_t r, const std::vector<Footprint>& columns,
                    std::uint32_t gainX) {
    if (rows.current == std::int64_t(r)) return;
    std::string problem = readPictureRow(*rows.input, std::int32_t(r), rows.stored.data());
    if (rows.problem.empty()) rows.problem = problem;
    if (rows.exactMean)
        sumRow(rows.stored.data(), columns, rows.sums.data());
    else
        normaliseRow(rows.stored.data(), columns, gainX, rows.normalised.data());
    rows.current = r;
}

// The weight of source row r within a target row's footprint.
static std::uint32_t rowWeight(const Footprint& span, std::uint32_t r) {
    if (r == span.first) return span.firstWeight;
    return r == span.last ? span.lastWeight : 256;
}

struct Buffers {
    std::vector<Footprint> columns;
    std::vector<std::uint32_t> pixelSums;      // one target row's sums, normalised rows
    std::vector<std::uint64_t> exactPixelSums; // or those of the exact mean
    std::vector<std::uint8_t> targetRow;
};

// One written target row: the source rows under its footprint, each after
// its horizontal pass, weighted, summed and normalised.
static void resampleRow(SourceRows& rows, const Footprint& span, const ResizeSteps& steps,
                        Buffers& buffers) {
    for (std::uint32_t r = span.first; r <= span.last; ++r) {
        passRow(rows, r, buffers.columns, steps.gainX);
        if (rows.exactMean)
            addWeightedSums(rows.sums.data(), rowWeight(span, r), r == span.first,
                            buffers.exactPixelSums);
        else
            addWeightedRow(rows.normalised.data(), rowWeight(span, r), r == span.first,
                           buffers.pixelSums);
    }
    if (rows.exactMean)
        finishExactRow(buffers.exactPixelSums, std::uint64_t(steps.stepX) * steps.stepY,
                       buffers.targetRow.data());
    else
        finishRow(buffers.pixelSums, steps.gainY, buffers.targetRow.data());
}

// Sizes the buffers, or returns the refusal of an input too wide to hold.
// Only the stored input row grows with the input's width, 3 bytes a pixel;
// everything else is sized by the written part, which the user asked for. A
// run-length file of a few bytes can claim a width its data does not back,
// so that row is checked before anything is allocated. (The geometry keeps
// the width below 2^24, a row below 48 MiB, so today the check only guards
// against that limit growing.)
[[nodiscard]] static std::string allocateBuffers(const ResizeSteps& steps,
                                                 const ResizeGeometry& geometry,
                                                 const BmpHeader& header, SourceRows& rows,
                                                 Buffers& buffers) {
    const std::uint64_t inputRowBytes = std::uint64_t(std::uint32_t(header.width)) * 3;
    std::string problem = compressedMemoryProblem(header, inputRowBytes);
    if (!problem.empty()) return problem;
    const std::size_t rowBytes = std::size_t(geometry.cropWidth) * 3;
    rows.stored.assign(std::size_t(inputRowBytes), 0);
    buffers.columns = columnFootprints(steps, geometry);
    if (rows.exactMean) {
        rows.sums.assign(rowBytes, 0);
        buffers.exactPixelSums.assign(rowBytes, 0);
    } else {
        rows.normalised.assign(rowBytes, 0);
        buffers.pixelSums.assign(rowBytes, 0);
    }
    buffers.targetRow.assign(rowBytes, 0);
    return "";
}

std::string writeResizedPicture(PictureRows& input, const ResizeGeometry& geometry,
                                bool exactMean, BinaryFile& output) {
    const BmpHeader& header = input.header;
    const std::uint32_t inputWidth = std::uint32_t(header.width);
    const std::uint32_t inputHeight = std::uint32_t(header.height);
    const ResizeSteps steps = resizeSteps(inputWidth, inputHeight, geometry);
    SourceRows rows;
    rows.input = &input;
    rows.exactMean = exactMean;
    Buffers buffers;
    const std::string problem = allocateBuffers(steps, geometry, header, rows, buffers);
    if (!problem.empty()) return problem;

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
            resampleRow(rows, span, steps, buffers);
        previous = span;
        output.put(position, buffers.targetRow.data(), rowBytes);
        position += std::int64_t(rowBytes);
    }
    return rows.problem;
}
