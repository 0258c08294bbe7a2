// The converter's picture: its geometry and the five sample planes that the
// stages fill and work on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// A width x height grid of 8-bit samples, x from the left edge, y from the
// top edge. The first pixel row of a BMP file is row height - 1.
struct Plane {
    std::int32_t width = 0;
    std::int32_t height = 0;
    // Row by row: sample (x, y) at y * width + x. The stages write every
    // sample before reading it, so the memory is not cleared first.
    std::unique_ptr<std::uint8_t[]> samples;

    std::size_t size() const { return std::size_t(width) * std::size_t(height); }
    std::uint8_t& at(std::int32_t x, std::int32_t y) {
        return samples[std::size_t(y) * std::size_t(width) + std::size_t(x)];
    }
    std::uint8_t* row(std::int32_t y) { return &samples[std::size_t(y) * std::size_t(width)]; }
};

// Gives the plane its size and memory; false when the memory is not there.
bool allocatePlane(Plane& plane, std::int32_t width, std::int32_t height);

struct PictureGeometry {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint32_t rowStride = 0;        // width x 3 padded to a multiple of 4
    std::int64_t firstRowPosition = 55; // 1-based file position of the first stored row
    std::int32_t subWidth = 0;          // (width + 3) >> hShift
    std::int32_t subHeight = 0;         // (height + 3) >> vShift
};

struct ConverterPlanes {
    std::vector<std::uint8_t> rowBuffer; // one padded file row
    Plane luma;                          // Y
    Plane chromaA;                       // J or U, biased by 128
    Plane chromaB;                       // K or V, biased by 128
    Plane subChromaA;                    // chromaA averaged over blocks
    Plane subChromaB;                    // chromaB averaged over blocks
};
