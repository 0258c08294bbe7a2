#include "output.h"

#include "bmp_header.h"
#include "file_messages.h"

static int clampByte(int value) { return value < 0 ? 0 : value > 255 ? 255 : value; }

Rgb clampAndFilter(Rgb colour, bool dacFilter) {
    colour.red = clampByte(colour.red);
    colour.green = clampByte(colour.green);
    colour.blue = clampByte(colour.blue);
    if (dacFilter) {
        colour.red &= 0xF8; // 11111000: keeps 5 bits
        colour.green &= 0xF8;
        colour.blue &= 0xF8;
    }
    return colour;
}

void openPreview(Dialogue& dialogue, const ConverterSettings& settings,
                 const PictureGeometry& geometry, ScreenKind screenKind, PictureRows& input,
                 const BinaryFile& inputFile, PreviewOutput& output) {
    const std::string problem = openOutputProblem(output.file, settings.outFile, &inputFile);
    if (!problem.empty()) dialogue.fail(problem);
    if (screenKind != ScreenKind::none) {
        output.screen = blankScreen(screenKind);
        return;
    }
    output.row.assign(geometry.rowStride, 0);
    // The last stored row is read last, but its padding goes into every row.
    const std::size_t pixelBytes = std::size_t(geometry.width) * 3;
    const std::int64_t lastRow = std::int64_t(geometry.height - 1) * geometry.rowStride;
    if (isPlainPicture(input))
        input.source.get(input.source.context,
                         firstRowPosition(input) + lastRow + std::int64_t(pixelBytes),
                         output.row.data() + pixelBytes, geometry.rowStride - pixelBytes);

    HeaderBytes header = plainHeader(geometry.width, geometry.height, nullptr);
    output.file.put(1, header.data(), header.size());
    output.position = bmpHeaderSize + 1;
}

static void storePixel(std::uint8_t* pixel, Rgb colour, bool dacFilter) {
    colour = clampAndFilter(colour, dacFilter);
    pixel[0] = std::uint8_t(colour.blue);
    pixel[1] = std::uint8_t(colour.green);
    pixel[2] = std::uint8_t(colour.red);
}

// The screen keeps the masked samples themselves; the chip decodes them.
static void putScreenRow(const ConverterSettings& settings, std::int32_t y,
                         const std::uint8_t* luma, const std::uint8_t* chromaA,
                         const std::uint8_t* chromaB, std::int32_t width, ScreenImage& screen) {
    for (std::int32_t x = 0; x < width; ++x) {
        const std::int32_t sx = x >> settings.hShift;
        putScreenPixel(screen, x, y, luma[x], chromaA[sx], chromaB[sx]);
    }
}

void writePreviewRow(const ConverterSettings& settings, std::int32_t y, const std::uint8_t* luma,
                     const std::uint8_t* chromaA, const std::uint8_t* chromaB, std::int32_t width,
                     PreviewOutput& output) {
    if (output.screen.kind != ScreenKind::none) {
        putScreenRow(settings, y, luma, chromaA, chromaB, width, output.screen);
        return;
    }
    std::uint8_t* row = output.row.data();
    const int shift = settings.hShift;
    // One loop for each transform, so that the choice is not made per pixel.
    if (settings.useYuv) {
        for (std::int32_t x = 0; x < width; ++x) {
            const Samples masked{luma[x], chromaA[x >> shift], chromaB[x >> shift]};
            storePixel(&row[3 * x], rgbFromYuv(masked), settings.dacFilter);
        }
    } else {
        for (std::int32_t x = 0; x < width; ++x) {
            const Samples masked{luma[x], chromaA[x >> shift], chromaB[x >> shift]};
            storePixel(&row[3 * x], rgbFromYjk(masked), settings.dacFilter);
        }
    }
    output.file.put(output.position, row, output.row.size());
    output.position += std::int64_t(output.row.size());
}

void finishPreview(Dialogue& dialogue, const ConverterSettings& settings, PreviewOutput& output) {
    if (output.screen.kind != ScreenKind::none) {
        const std::vector<std::uint8_t> file = bsaveFile(output.screen);
        output.file.put(1, file.data(), file.size());
    }
    const std::string problem = commitOutputProblem(output.file, settings.outFile);
    if (!problem.empty()) dialogue.fail(problem);
}
