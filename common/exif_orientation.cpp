#include "exif_orientation.h"

#include <cstring>

namespace {

// The TIFF structure after "Exif\0\0", read in its own byte order; reads
// outside it give 0, which no field it needs can use.
struct TiffBytes {
    const std::uint8_t* data;
    std::size_t size;
    bool bigEndian;
};

std::uint32_t readField(const TiffBytes& tiff, std::size_t at, int width) {
    if (at > tiff.size || std::size_t(width) > tiff.size - at) return 0;
    std::uint32_t value = 0;
    for (int i = 0; i < width; ++i) {
        const int shift = 8 * (tiff.bigEndian ? width - 1 - i : i);
        value |= std::uint32_t(tiff.data[at + std::size_t(i)]) << shift;
    }
    return value;
}

} // namespace

int exifOrientation(const std::uint8_t* segment, std::size_t size) {
    constexpr std::size_t prefixSize = 6; // "Exif\0\0"
    constexpr std::uint32_t orientationTag = 0x0112;
    constexpr std::uint32_t shortType = 3;
    if (segment == nullptr || size < prefixSize + 8) return 1;
    TiffBytes tiff{segment + prefixSize, size - prefixSize, false};
    if (std::memcmp(tiff.data, "MM", 2) == 0)
        tiff.bigEndian = true;
    else if (std::memcmp(tiff.data, "II", 2) != 0)
        return 1;
    if (readField(tiff, 2, 2) != 42) return 1;
    const std::size_t directory = readField(tiff, 4, 4);
    const std::uint32_t entries = readField(tiff, directory, 2);
    for (std::uint32_t i = 0; i < entries; ++i) {
        const std::size_t entry = directory + 2 + 12 * std::size_t(i);
        if (entry + 12 > tiff.size) return 1;
        if (readField(tiff, entry, 2) != orientationTag) continue;
        if (readField(tiff, entry + 2, 2) != shortType || readField(tiff, entry + 4, 4) != 1)
            return 1;
        const std::uint32_t value = readField(tiff, entry + 8, 2);
        return value >= 1 && value <= 8 ? int(value) : 1;
    }
    return 1;
}
