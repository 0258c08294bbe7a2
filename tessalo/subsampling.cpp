#include "subsampling.h"

#include <algorithm>

// Cell (sx, sy) averages the block x = (sx << hShift) + i, y = (sy << vShift)
// + j. Positions past the right or bottom edge take the nearest sample inside
// the plane (x clamped to width - 1, y to height - 1), so every cell, the
// spare ones beyond the picture included, is the mean of exactly hFactor x
// vFactor stored bytes: sum >> (hShift + vShift), rounded down. The largest
// sum, 16 x 255 = 4080, fits easily.
void subsampleChroma(const ConverterSettings& settings, ConverterPlanes& planes) {
    Plane& chromaA = planes.chromaA;
    Plane& chromaB = planes.chromaB;
    Plane& subA = planes.subChromaA;
    Plane& subB = planes.subChromaB;
    const int shift = settings.hShift + settings.vShift;
    for (std::int32_t sy = 0; sy < subA.height; ++sy) {
        for (std::int32_t sx = 0; sx < subA.width; ++sx) {
            unsigned sumA = 0, sumB = 0;
            for (int j = 0; j < settings.vFactor; ++j) {
                std::int32_t y = std::min((sy << settings.vShift) + j, chromaA.height - 1);
                const std::uint8_t* rowA = chromaA.row(y);
                const std::uint8_t* rowB = chromaB.row(y);
                for (int i = 0; i < settings.hFactor; ++i) {
                    std::int32_t x = std::min((sx << settings.hShift) + i, chromaA.width - 1);
                    sumA += rowA[x];
                    sumB += rowB[x];
                }
            }
            subA.at(sx, sy) = std::uint8_t(sumA >> shift);
            subB.at(sx, sy) = std::uint8_t(sumB >> shift);
        }
    }
}
