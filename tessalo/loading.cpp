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

// Rows are read from the bottom up, the bottom row being plane row
// height - 1. The row buffer's padding bytes end as those of the last stored
// row of a plain file, and stay 0 for every other layout.
std::string loadPicture(PictureRows& input, const ConverterSettings& settings,
                        const PictureGeometry& geometry, ConverterPlanes& planes) {
    std::uint8_t* row = planes.rowBuffer.data();
    for (std::int32_t y = geometry.height - 1; y >= 0; --y) {
        std::string problem = readPictureRow(input, geometry.height - 1 - y, row);
        if (!problem.empty()) return problem;
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
    if (isPlainPicture(input)) {
        const std::uint32_t pixelBytes = 3 * std::uint32_t(geometry.width);
        input.file->get(geometry.firstRowPosition +
                            std::int64_t(geometry.height - 1) * geometry.rowStride + pixelBytes,
                        row + pixelBytes, geometry.rowStride - pixelBytes);
    }
    return "";
}
