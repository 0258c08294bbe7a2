#include "output.h"

#include "bmp_header.h"

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

// Fills the pixels of row y into the row buffer. The padding bytes behind the
// pixels are left as loading left them.
static void convertRow(const ConverterSettings& settings, ConverterPlanes& planes, std::int32_t y) {
    std::uint8_t* row = planes.rowBuffer.data();
    const std::int32_t sy = y >> settings.vShift;
    for (std::int32_t x = 0; x < planes.luma.width; ++x) {
        Samples masked = quantisePixel(settings, planes, x, y, sy);
        Rgb colour = settings.useYuv ? rgbFromYuv(masked) : rgbFromYjk(masked);
        colour = clampAndFilter(colour, settings.dacFilter);
        row[3 * x + 0] = std::uint8_t(colour.blue);
        row[3 * x + 1] = std::uint8_t(colour.green);
        row[3 * x + 2] = std::uint8_t(colour.red);
    }
}

void writePreview(Dialogue& dialogue, const ConverterSettings& settings,
                  const PictureGeometry& geometry, ConverterPlanes& planes) {
    if (settings.outFile.empty()) dialogue.fail("no outfile name given");
    BinaryFile output;
    if (!output.openReplacement(settings.outFile))
        dialogue.fail("cannot write outfile " + settings.outFile + ": " + output.errorText());

    HeaderBytes header = converterHeader(geometry.width, geometry.height, geometry.rowStride);
    output.put(1, header.data(), header.size());
    // Rows in pass order, which is the order they lie in the file.
    std::int64_t position = bmpHeaderSize + 1;
    for (std::int32_t y = geometry.height - 1; y >= 0 && output.error == 0; --y) {
        convertRow(settings, planes, y);
        output.put(position, planes.rowBuffer.data(), geometry.rowStride);
        position += geometry.rowStride;
    }
    if (!output.commitReplacement())
        dialogue.fail("cannot write outfile " + settings.outFile + ": " + output.errorText());
}
