// Makes a deterministic photo-like test picture as a 24-bit BMP: a sky
// gradient, a sun, rolling hills, a striped field and fine noise, so that
// smooth areas, hard edges and texture all occur.
//
//   make_picture WIDTH HEIGHT OUT.BMP
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "binary_file.h"
#include "bmp_header.h"
#include "output_replacement.h"

// A small linear congruential generator: the same noise on every machine.
static std::uint32_t nextNoise(std::uint32_t& state) {
    state = state * 1664525u + 1013904223u;
    return state >> 24;
}

static std::uint8_t clampByte(double value) {
    return std::uint8_t(value < 0 ? 0 : value > 255 ? 255 : value);
}

// Colour of the picture at (u, v), both 0..1, v = 0 at the top.
static void scenePixel(double u, double v, int noise, std::uint8_t* bgr) {
    double red, green, blue;
    double hill = 0.62 + 0.08 * std::sin(u * 9.0) + 0.04 * std::sin(u * 23.0 + 1.0);
    double sunDistance = std::hypot(u - 0.72, (v - 0.25) * 0.75);
    if (v > hill) { // meadow with furrows
        double depth = (v - hill) / (1.0 - hill + 1e-9);
        double furrow = 0.5 + 0.5 * std::sin((u - 0.5) * 60.0 / (0.3 + depth));
        red = 60 + 90 * depth + 30 * furrow;
        green = 110 + 80 * furrow - 40 * depth;
        blue = 30 + 20 * depth;
    } else if (sunDistance < 0.08) { // sun
        red = 255;
        green = 230 - 300 * sunDistance;
        blue = 120;
    } else { // sky, warmer towards the horizon
        red = 70 + 170 * v;
        green = 120 + 100 * v;
        blue = 235 - 60 * v;
    }
    bgr[0] = clampByte(blue + noise);
    bgr[1] = clampByte(green + noise);
    bgr[2] = clampByte(red + noise);
}

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: make_picture WIDTH HEIGHT OUT.BMP\n");
        return 1;
    }
    const int width = std::atoi(argv[1]), height = std::atoi(argv[2]);
    if (width < 1 || height < 1 || width > 100000 || height > 100000) {
        std::fprintf(stderr, "make_picture: width and height must be 1 to 100000\n");
        return 1;
    }
    const std::uint32_t rowStride = std::uint32_t(storedRowLength(std::uint64_t(width), 24));
    BinaryFile file;
    if (!openReplacement(file, argv[3])) {
        std::fprintf(stderr, "make_picture: cannot write %s: %s\n", argv[3],
                     file.errorText().c_str());
        return 1;
    }
    HeaderBytes header = plainHeader(width, height, nullptr);
    file.put(1, header.data(), header.size());
    std::vector<std::uint8_t> row(rowStride, 0);
    std::uint32_t state = 12345;
    for (int r = 0; r < height; ++r) { // file rows run bottom-up
        double v = 1.0 - (r + 0.5) / height;
        for (int x = 0; x < width; ++x) {
            int noise = int(nextNoise(state) % 17) - 8;
            scenePixel((x + 0.5) / width, v, noise, &row[3 * std::size_t(x)]);
        }
        file.put(0, row.data(), row.size());
    }
    if (!commitReplacement(file)) {
        std::fprintf(stderr, "make_picture: cannot write %s: %s\n", argv[3],
                     file.errorText().c_str());
        return 1;
    }
    return 0;
}
