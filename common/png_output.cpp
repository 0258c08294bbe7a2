#include "png_output.h"

#include <cctype>
#include <vector>

#include <spng.h>

#include "bmp_header.h"
#include "byte_order.h"
#include "file_messages.h"
#include "output_replacement.h"

bool isPngName(const std::string& fileName) {
    if (fileName.size() < 4) return false;
    std::string ending = fileName.substr(fileName.size() - 4);
    for (char& c : ending) c = char(std::tolower(static_cast<unsigned char>(c)));
    return ending == ".png";
}

// libspng hands the encoded bytes here; they go to the output one after the
// other. A failed put is kept in the output's record and ends the encoding.
static int putEncoded(spng_ctx*, void* user, void* bytes, std::size_t length) {
    BinaryFile& output = *static_cast<BinaryFile*>(user);
    output.put(0, static_cast<const std::uint8_t*>(bytes), length);
    return output.error == 0 ? 0 : SPNG_IO_ERROR;
}

static std::string encodingProblem(int status) {
    return std::string("cannot encode the PNG: ") + spng_strerror(status);
}

// The rows from the top one down, blue, green, red turned into red, green,
// blue, each handed to the encoder as it is read.
static int encodeRows(spng_ctx* context, BinaryFile& bmp, std::uint32_t width,
                      std::uint32_t height) {
    const std::uint64_t stride = storedRowLength(width, 24);
    std::vector<std::uint8_t> row(3 * std::size_t(width));
    int status = 0;
    for (std::uint32_t y = 0; y < height && (status == 0 || status == SPNG_EOI); ++y) {
        // The BMP stores the bottom row first: the top row is the last.
        const std::int64_t position =
            std::int64_t(bmpHeaderSize) + std::int64_t(height - 1 - y) * std::int64_t(stride) + 1;
        bmp.get(position, row.data(), row.size());
        for (std::size_t x = 0; x < row.size(); x += 3) std::swap(row[x], row[x + 2]);
        status = spng_encode_row(context, row.data(), row.size());
    }
    return status == SPNG_EOI ? 0 : status;
}

std::string copyBmpAsPng(BinaryFile& bmp, BinaryFile& output) {
    HeaderBytes header;
    bmp.get(1, header.data(), header.size());
    const std::uint32_t width = readU32le(&header[18]);
    const std::uint32_t height = readU32le(&header[22]);
    spng_ctx* context = spng_ctx_new(SPNG_CTX_ENCODER);
    if (context == nullptr) return "not enough memory for this picture";
    spng_ihdr ihdr{};
    ihdr.width = width;
    ihdr.height = height;
    ihdr.bit_depth = 8;
    ihdr.color_type = SPNG_COLOR_TYPE_TRUECOLOR;
    int status = spng_set_png_stream(context, putEncoded, &output);
    if (status == 0) status = spng_set_ihdr(context, &ihdr);
    if (status == 0)
        status = spng_encode_image(context, nullptr, 0, SPNG_FMT_PNG,
                                   SPNG_ENCODE_PROGRESSIVE | SPNG_ENCODE_FINALIZE);
    if (status == 0) status = encodeRows(context, bmp, width, height);
    spng_ctx_free(context);
    if (status == 0 || output.error != 0) return ""; // a write error is the output's to report
    return encodingProblem(status);
}

std::string openPngStaging(const std::string& fileName, BinaryFile& staging) {
    if (!isPngName(fileName) || openUnnamedTemporary(staging)) return "";
    return temporaryFileProblem(staging);
}

BinaryFile& bmpTarget(BinaryFile& output, BinaryFile& staging) {
    return staging.handle != nullptr ? staging : output;
}

std::string commitPicture(BinaryFile& output, BinaryFile& staging, const std::string& fileName) {
    if (staging.handle != nullptr) {
        const std::string problem =
            staging.error != 0 ? temporaryFileProblem(staging) : copyBmpAsPng(staging, output);
        if (!problem.empty()) {
            discardReplacement(output);
            return problem;
        }
    }
    return commitOutputProblem(output, fileName);
}
