#include "loading.h"

#include "yuv.h"

// YJK: Y = B/2 + R/4 + G/8 with each term floored on its own, J = R - Y,
// K = G - Y. Both chroma values are stored halved (arithmetic shift, which
// floors) and biased by 128. White gives Y = 127 + 63 + 31 = 221.
StoredSamples yjkFromRgb(int red, int green, int blue) {
    int luma = (blue >> 1) + (red >> 2) + (green >> 3);
    int j = red - luma;
    int k = green - luma;
    return {std::uint8_t(luma), std::uint8_t((j >> 1) + 128), std::uint8_t((k >> 1) + 128)};
}

StoredSamples yuvFromRgb(int red, int green, int blue) {
    StoredSamples samples;
    yuvSamples(red, green, blue, &samples.y, &samples.a, &samples.b);
    return samples;
}

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
            StoredSamples samples =
                settings.useYuv ? yuvFromRgb(red, green, blue) : yjkFromRgb(red, green, blue);
            luma[x] = samples.y;
            chromaA[x] = samples.a;
            chromaB[x] = samples.b;
        }
    }
}
