// PNG and JPEG inputs: every kind of file decodes to the pixels of its twin,
// the BMP that `convert IN -type truecolor BMP3:TWIN` makes of it (files and
// twins are made by tests/photos/make_photos.sh); the files that are refused,
// each with its line; and the programs reading photos by their content.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include <cstdio>

#include <jpeglib.h>
#include <spng.h>

#include "exif_orientation.h"
#include "photo_input.h"
#include "test_support.h"

namespace {

std::string photo(const std::string& name) { return std::string(PHOTOS_FOLDER) + "/" + name; }

struct Decoded {
    std::string problem;
    Bytes file; // the decoded BMP, when there is no problem
};

Decoded decode(const std::string& path) {
    BinaryFile file;
    EXPECT_TRUE(file.openForReading(path));
    HeaderBytes bytes;
    file.get(1, bytes.data(), bytes.size());
    Decoded decoded;
    decoded.problem = decodePhoto(file, path, bytes);
    if (!decoded.problem.empty()) return decoded;
    decoded.file.resize(std::size_t(file.length()));
    file.get(1, decoded.file.data(), decoded.file.size());
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), decoded.file.begin()));
    return decoded;
}

// Each file's twin is NAME.twin.bmp.
const char* const kinds[] = {
    "grey1.png",        "grey2-trns.png",     "grey4.png",         "grey8.png",
    "grey16-trns.png",  "grey16-adam7.png",   "grey-alpha8.png",   "grey-alpha16.png",
    "palette1.png",     "palette2-adam7.png", "palette4-trns.png", "palette8-trns.png",
    "rgb8-trns.png",    "rgb16.png",          "rgba8-adam7.png",   "rgba16.png",
    "rgb8-iccp.png",    "rgb8-srgb.png",      "rgb8-gama045.png",  "rgb8-gama100.png",
    "ycc420.jpg",       "ycc422.jpg",         "ycc440.jpg",        "ycc444.jpg",
    "grey.jpg",         "progressive.jpg",    "arithmetic.jpg",    "restart.jpg",
    "cmyk.jpg",         "ycck.jpg",           "magick-ycck.jpg",   "orientation1.jpg",
    "orientation2.jpg", "orientation3.jpg",   "orientation4.jpg",  "orientation5.jpg",
    "orientation6.jpg", "orientation7.jpg",   "orientation8.jpg",
};

TEST(PhotoInput, EveryKindGivesThePixelsOfItsTwin) {
    for (const std::string kind : kinds) {
        SCOPED_TRACE(kind);
        const Decoded decoded = decode(photo(kind));
        ASSERT_EQ(decoded.problem, "");
        const Bytes twin = readFile(photo(kind.substr(0, kind.rfind('.')) + ".twin.bmp"));
        // The twin's sizes and rows; ImageMagick may add a colour profile
        // after them.
        const std::size_t rowsEnd =
            54 + std::size_t(twin[34] | twin[35] << 8 | twin[36] << 16 | twin[37] << 24);
        ASSERT_EQ(decoded.file.size(), rowsEnd);
        EXPECT_TRUE(std::equal(&decoded.file[18], &decoded.file[26], &twin[18]));
        EXPECT_TRUE(std::equal(decoded.file.begin() + 54, decoded.file.end(), &twin[54]));
    }
}

// ---- refusals -------------------------------------------------------------------

std::uint32_t crc32(const Bytes& bytes, std::size_t from, std::size_t to) {
    std::uint32_t crc = 0xFFFFFFFF;
    for (std::size_t i = from; i < to; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
    }
    return ~crc;
}

void putBe(Bytes& bytes, std::size_t at, std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i) bytes[at + i] = std::uint8_t(value >> (8 * (size - 1 - i)));
}

// grey8.png with its IHDR width changed, the checksum made to fit.
Bytes pngWidth(std::uint32_t width) {
    Bytes bytes = readFile(photo("grey8.png"));
    putBe(bytes, 16, width, 4);
    putBe(bytes, 29, crc32(bytes, 12, 29), 4);
    return bytes;
}

// grey8.png with a byte of its compressed pixel data changed, the checksum
// made to fit: IDAT follows IHDR at 33, its data at 41.
Bytes pngDamagedData() {
    Bytes bytes = readFile(photo("grey8.png"));
    const std::size_t length =
        std::size_t(bytes[33]) << 24 | bytes[34] << 16 | bytes[35] << 8 | bytes[36];
    bytes[43] ^= 0x5A;
    putBe(bytes, 41 + length, crc32(bytes, 37, 41 + length), 4);
    return bytes;
}

Bytes cut(const std::string& name, std::size_t dropped) {
    Bytes bytes = readFile(photo(name));
    bytes.resize(bytes.size() - dropped);
    return bytes;
}

Bytes changed(const std::string& name, std::size_t at, std::uint8_t value) {
    Bytes bytes = readFile(photo(name));
    bytes[at] = value;
    return bytes;
}

// progressive.jpg claiming 65000 x 65000 pixels in its frame header (SOF2:
// FF C2, length, precision, height, width).
Bytes hugeProgressive() {
    Bytes bytes = readFile(photo("progressive.jpg"));
    const std::uint8_t marker[] = {0xFF, 0xC2};
    const std::size_t frame =
        std::size_t(std::search(bytes.begin(), bytes.end(), std::begin(marker), std::end(marker)) -
                    bytes.begin());
    putBe(bytes, frame + 5, 65000, 2);
    putBe(bytes, frame + 7, 65000, 2);
    return bytes;
}

struct RefusalRow {
    std::string name;
    Bytes file;
    std::string message;
};

std::vector<RefusalRow> refusalRows() {
    const std::string png = "infile is a PNG picture that cannot be decoded: ";
    const std::string jpeg = "infile is a JPEG picture that cannot be decoded: ";
    const Bytes grey8 = readFile(photo("grey8.png"));
    return {
        {"PNG header checksum", changed("grey8.png", 29, grey8[29] ^ 1),
         png + "invalid chunk checksum"},
        {"PNG pixel data damaged", pngDamagedData(), png + "IDAT stream error"},
        {"PNG cut in its pixel data", cut("grey8.png", 20),
         png + "the file ends inside the picture"},
        {"PNG cut before its end chunk", cut("grey8.png", 6),
         png + "the file ends inside the picture"},
        {"PNG signature only", Bytes(grey8.begin(), grey8.begin() + 8),
         png + "the file ends inside the picture"},
        {"PNG 4194305 pixels wide", pngWidth(4194305),
         "infile is a PNG picture 4194305 pixels wide: working on it would take 257 MiB, more "
         "than the 256 MiB allowed for compressed pictures"},
        {"JPEG start marker only", Bytes{0xFF, 0xD8, 0xFF}, jpeg + "Premature end of JPEG file"},
        {"JPEG without a frame", Bytes{0xFF, 0xD8, 0xFF, 0xD9},
         jpeg + "JPEG datastream contains no image"},
        {"JPEG cut in its scan", cut("ycc420.jpg", 200), jpeg + "Premature end of JPEG file"},
        {"JPEG without its end marker", cut("ycc420.jpg", 2), jpeg + "Premature end of JPEG file"},
        {"progressive JPEG over the cap", hugeProgressive(),
         "infile is a progressive JPEG picture of 65000 x 65000 pixels: its coefficients would "
         "take more than the 192 MiB allowed"},
    };
}

TEST(PhotoInput, RefusalsGiveTheirLine) {
    Scratch scratch;
    for (const RefusalRow& row : refusalRows()) {
        SCOPED_TRACE(row.name);
        writeFile(scratch.path("in"), row.file);
        EXPECT_EQ(decode(scratch.path("in")).problem, row.message);
    }
}

// ---- EXIF orientation ------------------------------------------------------------

// An APP1 segment with one directory entry: tag, type, count, value.
Bytes exifSegment(bool bigEndian, std::uint32_t tag, std::uint32_t type, std::uint32_t count,
                  std::uint32_t value) {
    Bytes bytes = {'E', 'x', 'i', 'f', 0, 0};
    Bytes tiff(8 + 2 + 12 + 4, 0);
    auto put = [&](std::size_t at, std::uint32_t field, int size) {
        if (bigEndian)
            putBe(tiff, at, field, size);
        else
            putLe(tiff, at, field, size);
    };
    tiff[0] = tiff[1] = bigEndian ? 'M' : 'I';
    put(2, 42, 2);
    put(4, 8, 4);
    put(8, 1, 2);
    put(10, tag, 2);
    put(12, type, 2);
    put(14, count, 4);
    put(18, value, 2);
    bytes.insert(bytes.end(), tiff.begin(), tiff.end());
    return bytes;
}

Bytes firstBytes(Bytes bytes, std::size_t count) {
    bytes.resize(count);
    return bytes;
}

TEST(ExifOrientation, TagOfTheFirstDirectory) {
    const struct {
        const char* name;
        Bytes segment;
        int orientation;
    } rows[] = {
        {"little-endian 6", exifSegment(false, 0x0112, 3, 1, 6), 6},
        {"big-endian 8", exifSegment(true, 0x0112, 3, 1, 8), 8},
        {"another tag", exifSegment(false, 0x0110, 3, 1, 6), 1},
        {"a LONG, not a SHORT", exifSegment(false, 0x0112, 4, 1, 6), 1},
        {"value 9", exifSegment(false, 0x0112, 3, 1, 9), 1},
        {"cut inside the entry", firstBytes(exifSegment(true, 0x0112, 3, 1, 3), 20), 1},
        {"no segment", Bytes{}, 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(
            exifOrientation(row.segment.empty() ? nullptr : row.segment.data(), row.segment.size()),
            row.orientation);
    }
}

// ---- quarter turns of a large picture ---------------------------------------------

// A 4:4:4 JPEG of width x height pixels, made by libjpeg, with an EXIF
// orientation: the pixel at (x, y) is (x, y, x + y) in its low bytes.
Bytes jpegPicture(int width, int height, int orientation) {
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 95, TRUE);
    for (int c = 0; c < 3; ++c)
        info.comp_info[c].h_samp_factor = info.comp_info[c].v_samp_factor = 1;
    jpeg_start_compress(&info, TRUE);
    const Bytes exif = exifSegment(false, 0x0112, 3, 1, std::uint32_t(orientation));
    jpeg_write_marker(&info, JPEG_APP0 + 1, exif.data(), unsigned(exif.size()));
    Bytes row(3 * std::size_t(width));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            row[3 * x] = std::uint8_t(x), row[3 * x + 1] = std::uint8_t(y);
            row[3 * x + 2] = std::uint8_t(x + y);
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    const Bytes file(buffer, buffer + size);
    std::free(buffer);
    return file;
}

// The pixel at (x, y), counted from the top left, of a decoded BMP.
const std::uint8_t* pixelAt(const Bytes& bmp, int x, int y) {
    const int width = bmp[18] | bmp[19] << 8, height = bmp[22] | bmp[23] << 8;
    const std::size_t stride = (3 * std::size_t(width) + 3) / 4 * 4;
    return &bmp[54 + std::size_t(height - 1 - y) * stride + 3 * std::size_t(x)];
}

// 700 x 4500 pixels are more than the 8 MiB a turn gathers at a time, so a
// quarter turn writes two bands, the second one part full. Every
// orientation's picture holds the upright picture's pixels where the
// orientation's table puts them.
TEST(PhotoInput, OrientationsTurnLargePicturesInBands) {
    const int width = 700, height = 4500;
    Scratch scratch;
    writeFile(scratch.path("upright.jpg"), jpegPicture(width, height, 1));
    const Bytes upright = decode(scratch.path("upright.jpg")).file;
    ASSERT_FALSE(upright.empty());
    // Where the stored pixel (x, y) is shown, for each orientation.
    struct Place {
        int x, y;
    };
    const std::function<Place(int, int)> shown[9] = {
        nullptr,
        [&](int x, int y) {
            return Place{x, y};
        },
        [&](int x, int y) {
            return Place{width - 1 - x, y};
        },
        [&](int x, int y) {
            return Place{width - 1 - x, height - 1 - y};
        },
        [&](int x, int y) {
            return Place{x, height - 1 - y};
        },
        [&](int x, int y) {
            return Place{y, x};
        },
        [&](int x, int y) {
            return Place{height - 1 - y, x};
        },
        [&](int x, int y) {
            return Place{height - 1 - y, width - 1 - x};
        },
        [&](int x, int y) {
            return Place{y, width - 1 - x};
        },
    };
    for (int orientation = 2; orientation <= 8; ++orientation) {
        SCOPED_TRACE(orientation);
        writeFile(scratch.path("turned.jpg"), jpegPicture(width, height, orientation));
        const Bytes turned = decode(scratch.path("turned.jpg")).file;
        ASSERT_EQ(turned.size(), upright.size()); // neither side needs row padding
        EXPECT_EQ(turned[18] | turned[19] << 8, orientation >= 5 ? height : width);
        int differing = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const Place place = shown[orientation](x, y);
                differing += !std::equal(pixelAt(upright, x, y), pixelAt(upright, x, y) + 3,
                                         pixelAt(turned, place.x, place.y));
            }
        EXPECT_EQ(differing, 0);
    }
}

// ---- the programs ------------------------------------------------------------------

// One run per program: a photo named as another format is read by its
// content, gives its twin's output, and leaves no temporary file behind.
TEST(PhotoInput, ProgramsReadPhotosByTheirContent) {
    const struct {
        const char* name;
        std::string executable;
        std::string photo;
        std::vector<std::string> words;
    } runs[] = {
        {"tessalo",
         TESSALO_EXECUTABLE,
         "orientation6.jpg",
         {"batch", "2", "2", "2", "2", "1", "y", "in.png", "out.bmp"}},
        {"pravun", PRAVUN_EXECUTABLE, "rgba8-adam7.png", {"in.png", "/m8x6", "out.bmp"}},
    };
    Scratch scratch;
    const std::string temporaries = scratch.path("tmp");
    for (const auto& run : runs) {
        SCOPED_TRACE(run.name);
        std::filesystem::create_directory(temporaries);
        const std::string twin =
            photo(std::string(run.photo).replace(run.photo.rfind('.'), 4, ".twin.bmp"));
        writeFile(scratch.path("in.png"), readFile(twin));
        RunResult result = runProgram(run.executable, run.words, "", scratch.folder);
        ASSERT_EQ(result.exitStatus, 0) << result.console;
        const Bytes expected = readFile(scratch.path("out.bmp"));
        writeFile(scratch.path("in.png"), readFile(photo(run.photo)));
        result = runProgram(run.executable, run.words, "", scratch.folder,
                            "export TMPDIR='" + temporaries + "'");
        ASSERT_EQ(result.exitStatus, 0) << result.console;
        EXPECT_EQ(readFile(scratch.path("out.bmp")), expected);
        EXPECT_EQ(folderEntries(temporaries), std::vector<std::string>{});
        std::filesystem::remove(temporaries);
    }
}

// A grey PNG of width x height pixels, made by libspng's encoder.
Bytes greyPng(std::uint32_t width, std::uint32_t height) {
    spng_ctx* context = spng_ctx_new(SPNG_CTX_ENCODER);
    spng_set_option(context, SPNG_ENCODE_TO_BUFFER, 1);
    spng_ihdr header{width, height, 8, SPNG_COLOR_TYPE_GRAYSCALE, 0, 0, 0};
    spng_set_ihdr(context, &header);
    const Bytes pixels(std::size_t(width) * height, 0x80);
    int error = spng_encode_image(context, pixels.data(), pixels.size(), SPNG_FMT_PNG,
                                  SPNG_ENCODE_FINALIZE);
    std::size_t size = 0;
    void* buffer = spng_get_png_buffer(context, &size, &error);
    const Bytes png(static_cast<std::uint8_t*>(buffer), static_cast<std::uint8_t*>(buffer) + size);
    std::free(buffer);
    spng_ctx_free(context);
    return png;
}

// Where the temporary file cannot be made or written, one line and no output.
TEST(PhotoInput, TemporaryFileProblemsGiveTheirLine) {
    const struct {
        const char* name;
        std::string shellSetUp;
        std::string message;
    } rows[] = {
        {"no such folder", "export TMPDIR=/nonexistent",
         "cannot make a temporary file for the decoded picture: No such file or directory"},
        {"file-size limit", "ulimit -f 64",
         "cannot write the decoded picture to a temporary file: File too large"},
    };
    Scratch scratch;
    writeFile(scratch.path("in.png"), greyPng(300, 300)); // 90 KB decoded
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        RunResult result = runProgram(PRAVUN_EXECUTABLE, {"in.png", "/h8", "out.bmp"}, "",
                                      scratch.folder, row.shellSetUp);
        EXPECT_EQ(result.exitStatus, 1);
        EXPECT_PRED2(endsWith, result.console, row.message + "\r\n");
        EXPECT_EQ(folderEntries(scratch.folder), std::vector<std::string>{"in.png"});
    }
}

} // namespace
