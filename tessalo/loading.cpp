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

static void storeSamples(StoredSamples samples, std::int32_t x, std::uint8_t* luma,
                         std::uint8_t* chromaA, std::uint8_t* chromaB) {
    luma[x] = samples.y;
    chromaA[x] = samples.a;
    chromaB[x] = samples.b;
}

// The rows of a bottom-up file lie one stride apart, the first stored being
// the bottom row of the picture. A whole padded row is read, so that reading
// the rows in file order never seeks.
void loadRow(BinaryFile& input, const ConverterSettings& settings, const PictureGeometry& geometry,
             std::int32_t y, std::uint8_t* stored, SampleRows& rows) {
    const std::int64_t fileRow = geometry.height - 1 - y;
    input.get(geometry.firstRowPosition + fileRow * geometry.rowStride, stored, geometry.rowStride);
    std::uint8_t* luma = rows.lumaRow(y);
    std::uint8_t* chromaA = rows.chromaARow(y);
    std::uint8_t* chromaB = rows.chromaBRow(y);
    // One loop for each transform, so that the choice is not made per pixel.
    if (settings.useYuv) {
        for (std::int32_t x = 0; x < geometry.width; ++x) {
            const std::uint8_t* pixel = &stored[3 * x];
            storeSamples(yuvFromRgb(pixel[2], pixel[1], pixel[0]), x, luma, chromaA, chromaB);
        }
    } else {
        for (std::int32_t x = 0; x < geometry.width; ++x) {
            const std::uint8_t* pixel = &stored[3 * x];
            storeSamples(yjkFromRgb(pixel[2], pixel[1], pixel[0]), x, luma, chromaA, chromaB);
        }
    }
}
