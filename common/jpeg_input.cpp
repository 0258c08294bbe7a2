#include "jpeg_input.h"

#include <memory>
#include <vector>

#include "decoded_picture.h"
#include "exif_orientation.h"
#include "jpeg_steps.h"

static std::string jpegProblem(const JpegDecoder* decoder) {
    return std::string("infile is a JPEG picture that cannot be decoded: ") + jpegMessage(decoder);
}

static std::string coefficientProblem(const JpegHeader& header) {
    return std::string("infile is a ") + (header.progressive ? "progressive" : "multi-scan") +
           " JPEG picture of " + std::to_string(header.width) + " x " +
           std::to_string(header.height) +
           " pixels: its coefficients would take more than the 192 MiB allowed";
}

// One row of inks (C, M, Y, K, 255 meaning none) as blue, green and red:
// C x K is at most 255 x 255, and + 127 rounds the division to nearest.
static void inksToColours(const std::uint8_t* inks, std::uint32_t width, std::uint8_t* bgr) {
    for (std::uint32_t x = 0; x < width; ++x) {
        const std::uint32_t k = inks[4 * x + 3];
        bgr[3 * x + 0] = std::uint8_t((inks[4 * x + 2] * k + 127) / 255);
        bgr[3 * x + 1] = std::uint8_t((inks[4 * x + 1] * k + 127) / 255);
        bgr[3 * x + 2] = std::uint8_t((inks[4 * x + 0] * k + 127) / 255);
    }
}

static std::string decodeRows(JpegDecoder* decoder, const JpegHeader& header,
                              DecodedPicture& picture) {
    std::vector<std::uint8_t> inks(header.inks ? 4 * std::size_t(header.width) : 0);
    for (std::uint32_t y = 0; y < header.height && picture.file->error == 0; ++y) {
        std::uint8_t* row = nextRow(picture);
        if (jpegReadRow(decoder, header.inks ? inks.data() : row) != 0) return jpegProblem(decoder);
        if (header.inks) inksToColours(inks.data(), header.width, row);
        nextRowDone(picture);
    }
    return "";
}

std::string decodeJpeg(std::FILE* source, BinaryFile& temporary) {
    std::unique_ptr<JpegDecoder, void (*)(JpegDecoder*)> owner(
        jpegCreate(static_cast<unsigned long>(jpegCoefficientCap)), jpegDestroy);
    if (!owner) return "not enough memory to decode infile";
    JpegDecoder* decoder = owner.get();
    JpegHeader header{};
    if (jpegReadHeader(decoder, source, &header) != 0) return jpegProblem(decoder);
    std::string problem = decodedWidthProblem("JPEG", header.width);
    if (!problem.empty()) return problem;
    if (jpegStartOutput(decoder) != 0)
        return jpegOverMemoryCap(decoder) ? coefficientProblem(header) : jpegProblem(decoder);
    DecodedPicture picture;
    startDecodedPicture(picture, temporary, std::int32_t(header.width), std::int32_t(header.height),
                        exifOrientation(header.exif, header.exifSize));
    problem = decodeRows(decoder, header, picture);
    if (!problem.empty() || temporary.error != 0)
        return problem; // the caller reports a write error
    finishDecodedPicture(picture);
    return jpegFinish(decoder) == 0 ? "" : jpegProblem(decoder);
}
