#include "loading.h"

#include "colour.h"

// Rows are read in file order, the first stored row being plane row
// height - 1; the padding bytes at the end of each row are skipped.
void loadPicture(BinaryFile& input, const ConverterSettings& settings,
                 const PictureGeometry& geometry, ConverterPlanes& planes) {
    std::uint8_t* row = planes.rowBuffer.data();
    std::int64_t position = geometry.firstRowPosition;
    for (std::int32_t y = geometry.height - 1; y >= 0; --y) {
        input.get(position, row, geometry.rowStride);
        position += geometry.rowStride;
        std::uint8_t* luma = planes.luma.row(y);
        std::uint8_t* chromaA = planes.chromaA.row(y);
        std::uint8_t* chromaB = planes.chromaB.row(y);
        for (std::int32_t x = 0; x < geometry.width; ++x) {
            int blue = row[3 * x + 0], green = row[3 * x + 1], red = row[3 * x + 2];
            Samples samples =
                settings.useYuv ? yuvFromRgb(red, green, blue) : yjkFromRgb(red, green, blue);
            luma[x] = std::uint8_t(samples.y);
            chromaA[x] = std::uint8_t(samples.a);
            chromaB[x] = std::uint8_t(samples.b);
        }
    }
}
