#include "decoded_picture.h"

#include <algorithm>

#include "bmp_header.h"
#include "memory_limit.h"

std::string decodedWidthProblem(const std::string& format, std::uint64_t width) {
    const std::uint64_t bytesHeld = width * heldBytesPerColumn; // width < 2^32: no overflow
    if (bytesHeld <= compressedPictureMemoryLimit) return "";
    const std::uint64_t mebibytes = (bytesHeld + (std::uint64_t(1) << 20) - 1) >> 20; // rounds up
    return "infile is a " + format + " picture " + std::to_string(width) +
           " pixels wide: working on it would take " + std::to_string(mebibytes) +
           " MiB, more than the 256 MiB allowed for compressed pictures";
}

// Orientations 5 to 8 turn the picture by a quarter: a source row becomes a
// column of the written picture.
static bool turnsByQuarter(int orientation) { return orientation >= 5; }

void startDecodedPicture(DecodedPicture& picture, BinaryFile& file, std::int32_t width,
                         std::int32_t height, int orientation) {
    picture.file = &file;
    picture.sourceWidth = width;
    picture.sourceHeight = height;
    picture.orientation = orientation;
    const bool turned = turnsByQuarter(orientation);
    picture.width = turned ? height : width;
    picture.height = turned ? width : height;
    picture.stride = storedRowLength(std::uint64_t(picture.width), 24);
    // 8 MiB / (3 x width) rounds down; a JPEG's 65535 columns still get 16 rows.
    const std::int32_t turnRows = std::int32_t(
        std::max<std::size_t>(minimumTurnBandRows, turnBandBytes / (3 * std::size_t(width))));
    picture.bandSize = turned ? std::min(turnRows, height) : 1;
    picture.band.assign(std::size_t(picture.bandSize) * std::size_t(width) * 3, 0);
    picture.bandStart = 0;
    picture.bandFilled = 0;
    picture.run.assign(std::max<std::size_t>(picture.stride, 3 * std::size_t(picture.bandSize)), 0);
    // Only the programs' row reader sees this header; its size field wraps
    // for files beyond 4 GiB, which that reader never looks at. The
    // resolution is left 0, unknown, as `convert` writes it for a picture
    // that states none, so that the resizer, which copies it, writes what
    // it writes from that BMP.
    HeaderBytes header = plainHeader(std::uint32_t(picture.width), std::uint32_t(picture.height),
                                     nullptr);
    std::fill(header.begin() + 38, header.begin() + 46, 0); // pixels per metre, across and down
    file.put(1, header.data(), header.size());
}

std::int64_t writtenRowPosition(const DecodedPicture& picture, std::int32_t y) {
    return std::int64_t(bmpHeaderSize) + 1 +
           std::int64_t(picture.height - 1 - y) * std::int64_t(picture.stride);
}

// Orientations 1 to 4 keep rows as rows: source row sy is written as row
// sy, or as row height - 1 - sy when flipped top to bottom (3, 4), its
// pixels reversed when flipped left to right (2, 3).
static void writeBandRows(DecodedPicture& picture) {
    const int o = picture.orientation;
    const std::size_t rowBytes = 3 * std::size_t(picture.width);
    for (std::int32_t i = 0; i < picture.bandFilled; ++i) {
        const std::int32_t sy = picture.bandStart + i;
        const std::int32_t y = (o == 3 || o == 4) ? picture.height - 1 - sy : sy;
        const std::uint8_t* source = &picture.band[std::size_t(i) * rowBytes];
        std::uint8_t* row = picture.run.data();
        if (o == 2 || o == 3) {
            for (std::int32_t x = 0; x < picture.width; ++x)
                std::copy_n(&source[3 * std::size_t(picture.width - 1 - x)], 3, &row[3 * x]);
        } else {
            std::copy_n(source, rowBytes, row);
        }
        std::fill(row + rowBytes, row + picture.stride, 0); // the padding
        picture.file->put(writtenRowPosition(picture, y), row, picture.stride);
    }
}

// Orientations 5 to 8 turn source column sx into written row sx (5, 6) or
// width - 1 - sx (7, 8), counted in the written picture's rows; source row
// sy lands in written column sy (5, 8) or height - 1 - sy (6, 7). So each
// source column of the band is one run of bandFilled pixels of one written
// row, in the band's order (5, 8) or reversed (6, 7).
static void writeBandColumns(DecodedPicture& picture) {
    const int o = picture.orientation;
    const bool reversed = o == 6 || o == 7;
    const std::int32_t count = picture.bandFilled;
    const std::size_t rowBytes = 3 * std::size_t(picture.sourceWidth);
    // The written column of the run's first pixel.
    const std::int32_t firstColumn =
        reversed ? picture.sourceHeight - picture.bandStart - count : picture.bandStart;
    for (std::int32_t sx = 0; sx < picture.sourceWidth; ++sx) {
        const std::int32_t y = (o == 5 || o == 6) ? sx : picture.sourceWidth - 1 - sx;
        for (std::int32_t i = 0; i < count; ++i) {
            const std::int32_t k = reversed ? count - 1 - i : i;
            std::copy_n(&picture.band[std::size_t(i) * rowBytes + 3 * std::size_t(sx)], 3,
                        &picture.run[3 * std::size_t(k)]);
        }
        picture.file->put(writtenRowPosition(picture, y) + 3 * std::int64_t(firstColumn),
                          picture.run.data(), 3 * std::size_t(count));
    }
}

static void writeBand(DecodedPicture& picture) {
    if (picture.bandFilled == 0) return;
    if (turnsByQuarter(picture.orientation))
        writeBandColumns(picture);
    else
        writeBandRows(picture);
    picture.bandStart += picture.bandFilled;
    picture.bandFilled = 0;
}

std::uint8_t* nextRow(DecodedPicture& picture) {
    return &picture.band[std::size_t(picture.bandFilled) * 3 * std::size_t(picture.sourceWidth)];
}

void nextRowDone(DecodedPicture& picture) {
    if (++picture.bandFilled == picture.bandSize) writeBand(picture);
}

void finishDecodedPicture(DecodedPicture& picture) {
    writeBand(picture);
    // Rows written in runs leave their padding to the holes of the file,
    // which read as zeros; only the last row's must be written, since the
    // file ends there.
    const std::size_t rowBytes = 3 * std::size_t(picture.width);
    if (turnsByQuarter(picture.orientation) && picture.stride > rowBytes) {
        std::fill(picture.run.begin(), picture.run.end(), 0);
        picture.file->put(writtenRowPosition(picture, 0) + std::int64_t(rowBytes),
                          picture.run.data(), picture.stride - rowBytes);
    }
}
