#include "preview_writer.h"

#include <cstddef>

#include "bmp_header.h"
#include "colour.h"
#include "file_messages.h"
#include "png_output.h"

std::string openPreview(PreviewOutput& output, const std::string& outFile,
                        const PreviewColours& colours, ScreenKind screenKind,
                        const PictureGeometry& geometry, PictureRows& input,
                        const BinaryFile& inputFile) {
    std::string problem = openOutputProblem(output.file, outFile, &inputFile);
    if (problem.empty() && screenKind == ScreenKind::none)
        problem = openPngStaging(outFile, output.staging);
    if (!problem.empty()) return problem;
    output.colours = colours;
    if (screenKind != ScreenKind::none) {
        output.screen = blankScreen(screenKind);
        return "";
    }
    // The last stored row is read last, but its padding goes into every row.
    const std::size_t pixelBytes = std::size_t(geometry.width) * 3;
    const std::int64_t lastRow = std::int64_t(geometry.height - 1) * geometry.rowStride;
    if (isPlainPicture(input))
        input.source.get(input.source.context,
                         firstRowPosition(input) + lastRow + std::int64_t(pixelBytes),
                         output.row.data() + pixelBytes, geometry.rowStride - pixelBytes);

    HeaderBytes header = plainHeader(geometry.width, geometry.height, nullptr);
    bmpTarget(output.file, output.staging).put(1, header.data(), header.size());
    output.position = bmpHeaderSize + 1;
    return "";
}

static void storePixel(std::uint8_t* pixel, Rgb colour, bool dacFilter) {
    colour = clampAndFilter(colour, dacFilter);
    pixel[0] = std::uint8_t(colour.blue);
    pixel[1] = std::uint8_t(colour.green);
    pixel[2] = std::uint8_t(colour.red);
}

// The screen keeps the masked samples themselves; the chip decodes them.
static void putScreenRow(const PreviewColours& colours, std::int32_t y, const std::uint8_t* luma,
                         const std::uint8_t* chromaA, const std::uint8_t* chromaB,
                         std::int32_t width, ScreenImage& screen) {
    for (std::int32_t x = 0; x < width; ++x) {
        const std::int32_t sx = x >> colours.hShift;
        putScreenPixel(screen, x, y, luma[x], chromaA[sx], chromaB[sx]);
    }
}

void writePreviewRow(PreviewOutput& output, std::int32_t y, const std::uint8_t* luma,
                     const std::uint8_t* chromaA, const std::uint8_t* chromaB, std::int32_t width) {
    const PreviewColours& colours = output.colours;
    if (output.screen.kind != ScreenKind::none) {
        putScreenRow(colours, y, luma, chromaA, chromaB, width, output.screen);
        return;
    }
    std::uint8_t* row = output.row.data();
    const std::size_t pixels = std::size_t(width);
    const int shift = colours.hShift;
    // One loop for each transform, so that the choice is not made per pixel.
    if (colours.useYuv) {
        for (std::size_t x = 0; x < pixels; ++x) {
            const Samples masked{luma[x], chromaA[x >> shift], chromaB[x >> shift]};
            storePixel(&row[3 * x], rgbFromYuv(masked), colours.dacFilter);
        }
    } else {
        for (std::size_t x = 0; x < pixels; ++x) {
            const Samples masked{luma[x], chromaA[x >> shift], chromaB[x >> shift]};
            storePixel(&row[3 * x], rgbFromYjk(masked), colours.dacFilter);
        }
    }
    bmpTarget(output.file, output.staging).put(output.position, row, output.row.size());
    output.position += std::int64_t(output.row.size());
}

std::string finishPreview(PreviewOutput& output, const std::string& outFile) {
    if (output.screen.kind != ScreenKind::none) {
        const std::vector<std::uint8_t> file = bsaveFile(output.screen);
        output.file.put(1, file.data(), file.size());
    }
    return commitPicture(output.file, output.staging, outFile);
}
