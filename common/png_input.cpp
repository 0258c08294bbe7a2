#include "png_input.h"

#include <cstring>
#include <memory>
#include <vector>

#include <spng.h>

#include "decoded_picture.h"

// Ancillary chunks that libspng keeps (text, profiles, suggested palettes)
// are held in memory: at most this much of them, each at most this large.
// A file that carries more is refused, and memory stays within the limit.
constexpr std::size_t pngChunkLimit = std::size_t(64) << 20;

// The first column and the column step of each Adam7 pass: pass 7 (index 6)
// holds every column, as does the one pass of a picture that is not
// interlaced.
constexpr int adam7FirstColumn[7] = {0, 4, 0, 2, 0, 1, 0};
constexpr int adam7ColumnStep[7] = {8, 8, 4, 4, 2, 2, 1};

static std::string pngProblem(int error) {
    const std::string reason =
        error == SPNG_IO_EOF ? "the file ends inside the picture" : spng_strerror(error);
    return "infile is a PNG picture that cannot be decoded: " + reason;
}

// A 16-bit sample rounded to 8 bits as ImageMagick rounds it:
// (v x 255 + 32895) >> 16, at most 65535 x 255 + 32895 < 2^24.
static std::uint8_t eightBits(const std::uint8_t* sample) {
    std::uint16_t value;
    std::memcpy(&value, sample, 2); // libspng gives 16-bit samples in the machine's byte order
    return std::uint8_t((std::uint32_t(value) * 255 + 32895) >> 16);
}

// Places the count pixels of one decoded scan line (red, green, blue, and
// for 16 bits alpha) in a row of blue, green and red, from column first on
// in steps of step columns.
static void placePixels(const std::uint8_t* decoded, bool sixteenBits, std::uint32_t count,
                        int first, int step, std::uint8_t* bgr) {
    for (std::uint32_t k = 0; k < count; ++k) {
        std::uint8_t* pixel = &bgr[3 * (std::size_t(first) + std::size_t(k) * step)];
        if (sixteenBits) {
            const std::uint8_t* rgba = &decoded[8 * std::size_t(k)];
            pixel[0] = eightBits(&rgba[4]);
            pixel[1] = eightBits(&rgba[2]);
            pixel[2] = eightBits(&rgba[0]);
        } else {
            const std::uint8_t* rgb = &decoded[3 * std::size_t(k)];
            pixel[0] = rgb[2];
            pixel[1] = rgb[1];
            pixel[2] = rgb[0];
        }
    }
}

// Pixels of a scan line of the given pass: the columns from its first
// column on, in its steps.
static std::uint32_t passWidth(std::uint32_t width, int pass) {
    const std::uint32_t first = std::uint32_t(adam7FirstColumn[pass]);
    const std::uint32_t step = std::uint32_t(adam7ColumnStep[pass]);
    return width > first ? (width - first + step - 1) / step
                         : 0; // rounds up: a part step holds one
}

// Decodes every scan line. A picture that is not interlaced gives its rows
// top-down, each written as it comes; an interlaced one gives the rows of
// each pass, each merged into what earlier passes wrote of its row (the
// file's holes and its unwritten end read as zeros).
static std::string decodeScanLines(spng_ctx* context, const spng_ihdr& header,
                                   DecodedPicture& picture) {
    const bool sixteenBits = header.bit_depth == 16;
    const bool interlaced = header.interlace_method != 0;
    std::vector<std::uint8_t> decoded(std::size_t(header.width) * (sixteenBits ? 8 : 3));
    BinaryFile& file = *picture.file;
    for (;;) {
        spng_row_info info{};
        int error = spng_get_row_info(context, &info);
        if (error == SPNG_EOI) return "";
        if (error == 0) error = spng_decode_scanline(context, decoded.data(), decoded.size());
        if (error != 0 && error != SPNG_EOI) return pngProblem(error);
        const std::uint32_t count = passWidth(header.width, interlaced ? info.pass : 6);
        if (interlaced) {
            const int pass = info.pass;
            const std::int64_t position = writtenRowPosition(picture, std::int32_t(info.row_num));
            file.get(position, picture.run.data(), picture.stride);
            placePixels(decoded.data(), sixteenBits, count, adam7FirstColumn[pass],
                        adam7ColumnStep[pass], picture.run.data());
            file.put(position, picture.run.data(), picture.stride);
        } else {
            placePixels(decoded.data(), sixteenBits, count, 0, 1, nextRow(picture));
            nextRowDone(picture);
        }
        if (file.error != 0 || error == SPNG_EOI) return "";
    }
}

std::string decodePng(std::FILE* source, BinaryFile& temporary) {
    std::unique_ptr<spng_ctx, void (*)(spng_ctx*)> context(spng_ctx_new(0), spng_ctx_free);
    if (!context) return "not enough memory to decode infile";
    spng_ctx* png = context.get();
    int error = spng_set_png_file(png, source);
    if (error == 0) error = spng_set_chunk_limits(png, pngChunkLimit, pngChunkLimit);
    spng_ihdr header{};
    if (error == 0) error = spng_get_ihdr(png, &header);
    if (error != 0) return pngProblem(error);
    std::string problem = decodedWidthProblem("PNG", header.width);
    if (!problem.empty()) return problem;
    // 16-bit pictures come as 16-bit RGBA, to be rounded here; the others as
    // 8-bit RGB, which libspng scales from fewer bits by repeating them.
    const int format = header.bit_depth == 16 ? SPNG_FMT_RGBA16 : SPNG_FMT_RGB8;
    error = spng_decode_image(png, nullptr, 0, format, SPNG_DECODE_PROGRESSIVE);
    if (error != 0) return pngProblem(error);
    DecodedPicture picture;
    startDecodedPicture(picture, temporary, std::int32_t(header.width), std::int32_t(header.height),
                        1);
    problem = decodeScanLines(png, header, picture);
    if (!problem.empty() || temporary.error != 0)
        return problem; // the caller reports a write error
    finishDecodedPicture(picture);
    // The chunks after the pixels, up to IEND: a file cut short there is
    // refused too.
    error = spng_decode_chunks(png);
    return error == 0 ? "" : pngProblem(error);
}
