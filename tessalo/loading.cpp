#include "loading.h"

#include "colour.h"

static void storeSamples(Samples samples, std::int32_t x, std::uint8_t* luma, std::uint8_t* chromaA,
                         std::uint8_t* chromaB) {
    luma[x] = std::uint8_t(samples.y);
    chromaA[x] = std::uint8_t(samples.a);
    chromaB[x] = std::uint8_t(samples.b);
}

// The bottom row of the picture is plane row height - 1, and the first that
// the pass reads.
std::string loadRow(PictureRows& input, const ConverterSettings& settings,
                    const PictureGeometry& geometry, std::int32_t y, std::uint8_t* pixels,
                    SampleRows& rows) {
    const std::string problem = readPictureRow(input, geometry.height - 1 - y, pixels);
    if (!problem.empty()) return problem;
    std::uint8_t* luma = rows.lumaRow(y);
    std::uint8_t* chromaA = rows.chromaARow(y);
    std::uint8_t* chromaB = rows.chromaBRow(y);
    // One loop for each transform, so that the choice is not made per pixel.
    if (settings.useYuv) {
        for (std::int32_t x = 0; x < geometry.width; ++x) {
            const std::uint8_t* pixel = &pixels[3 * x];
            storeSamples(yuvFromRgb(pixel[2], pixel[1], pixel[0]), x, luma, chromaA, chromaB);
        }
    } else {
        for (std::int32_t x = 0; x < geometry.width; ++x) {
            const std::uint8_t* pixel = &pixels[3 * x];
            storeSamples(yjkFromRgb(pixel[2], pixel[1], pixel[0]), x, luma, chromaA, chromaB);
        }
    }
    return "";
}
