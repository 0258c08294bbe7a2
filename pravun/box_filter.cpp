#include "box_filter.h"

// Picture a source pixel as 256 units wide. Target column tx covers units
// stepX x tx up to stepX x (tx + 1): the rest of the pixel it starts in, every
// whole pixel after that, and the part of the pixel where it ends. Each
// source pixel counts with the units it lies under, so the weights of one
// footprint add up to exactly stepX. Rows work the same way with stepY.
//
// Bounds: the geometry keeps every side below 2^24 and the scale factor
// within 256, so positions (at most side x 256) fit in 32 bits, each step
// lies between 1 and 65536, and each gain times its step is at most 65536.
// A row sum is at most 255 x stepX, so gainX x row sum <= 255 x 65536 fits
// in 32 bits and the normalised value is at most 255; the same holds for
// the pixel sums, stepY and gainY.

ResizeSteps resizeSteps(std::uint32_t inputWidth, std::uint32_t inputHeight,
                        const ResizeGeometry& geometry) {
    ResizeSteps steps;
    // Truncating divisions: nothing rounds to nearest.
    steps.stepX = (inputWidth * 256) / geometry.scaledWidth;
    steps.stepY = (inputHeight * 256) / geometry.scaledHeight;
    steps.gainX = (geometry.scaledWidth * 256) / inputWidth;
    steps.gainY = (geometry.scaledHeight * 256) / inputHeight;
    return steps;
}

bool operator==(const Footprint& a, const Footprint& b) {
    return a.first == b.first && a.last == b.last && a.firstWeight == b.firstWeight &&
           a.lastWeight == b.lastWeight;
}

Footprint footprint(std::uint32_t step, std::uint32_t t) {
    const std::uint32_t start = step * t;
    const std::uint32_t end = start + step;
    Footprint span;
    span.first = start >> 8;
    span.last = (end - 1) >> 8; // a footprint ending on a pixel border ends before it
    if (span.first == span.last) {
        span.firstWeight = step;
    } else {
        span.firstWeight = 256 - (start & 255);
        span.lastWeight = end - (span.last << 8);
    }
    return span;
}

std::vector<Footprint> columnFootprints(const ResizeSteps& steps, const ResizeGeometry& geometry) {
    std::vector<Footprint> columns(geometry.cropWidth);
    for (std::uint32_t i = 0; i < geometry.cropWidth; ++i)
        columns[i] = footprint(steps.stepX, geometry.skipColumns + i);
    return columns;
}

// Fixed point with 16 fractional bits: (gain x sum) shifted right by 16
// truncates; at most 255 x 65536 before the shift.
static std::uint8_t normalise(std::uint32_t gain, std::uint32_t sum) {
    return std::uint8_t((gain * sum) >> 16);
}

void normaliseRow(const std::uint8_t* sourceRow, const std::vector<Footprint>& columns,
                  std::uint32_t gainX, std::uint8_t* normalisedRow) {
    std::uint8_t* out = normalisedRow;
    for (const Footprint& span : columns) {
        const std::uint8_t* pixel = sourceRow + 3 * std::size_t(span.first);
        std::uint32_t blue = pixel[0] * span.firstWeight;
        std::uint32_t green = pixel[1] * span.firstWeight;
        std::uint32_t red = pixel[2] * span.firstWeight;
        if (span.last != span.first) {
            // The whole pixels between the ends weigh 256 each.
            std::uint32_t innerBlue = 0, innerGreen = 0, innerRed = 0;
            for (std::uint32_t x = span.first + 1; x < span.last; ++x) {
                pixel += 3;
                innerBlue += pixel[0];
                innerGreen += pixel[1];
                innerRed += pixel[2];
            }
            pixel += 3;
            blue += (innerBlue << 8) + pixel[0] * span.lastWeight;
            green += (innerGreen << 8) + pixel[1] * span.lastWeight;
            red += (innerRed << 8) + pixel[2] * span.lastWeight;
        }
        out[0] = normalise(gainX, blue);
        out[1] = normalise(gainX, green);
        out[2] = normalise(gainX, red);
        out += 3;
    }
}

void addWeightedRow(const std::uint8_t* normalisedRow, std::uint32_t weight, bool first,
                    std::vector<std::uint32_t>& pixelSums) {
    const std::size_t count = pixelSums.size();
    std::uint32_t* sums = pixelSums.data();
    if (first) {
        for (std::size_t i = 0; i < count; ++i) sums[i] = normalisedRow[i] * weight;
    } else {
        for (std::size_t i = 0; i < count; ++i) sums[i] += normalisedRow[i] * weight;
    }
}

void finishRow(const std::vector<std::uint32_t>& pixelSums, std::uint32_t gainY,
               std::uint8_t* targetRow) {
    const std::size_t count = pixelSums.size();
    const std::uint32_t* sums = pixelSums.data();
    for (std::size_t i = 0; i < count; ++i) targetRow[i] = normalise(gainY, sums[i]);
}
