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

// The weighted sums of blue, green and red under one column's footprint:
// each at most 255 x stepX <= 255 x 65536, within 32 bits.
static void footprintSums(const std::uint8_t* sourceRow, const Footprint& span,
                          std::uint32_t sums[3]) {
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
    sums[0] = blue;
    sums[1] = green;
    sums[2] = red;
}

void normaliseRow(const std::uint8_t* sourceRow, const std::vector<Footprint>& columns,
                  std::uint32_t gainX, std::uint8_t* normalisedRow) {
    std::uint8_t* out = normalisedRow;
    for (const Footprint& span : columns) {
        std::uint32_t sums[3];
        footprintSums(sourceRow, span, sums);
        out[0] = normalise(gainX, sums[0]);
        out[1] = normalise(gainX, sums[1]);
        out[2] = normalise(gainX, sums[2]);
        out += 3;
    }
}

void sumRow(const std::uint8_t* sourceRow, const std::vector<Footprint>& columns,
            std::uint32_t* rowSums) {
    for (const Footprint& span : columns) {
        footprintSums(sourceRow, span, rowSums);
        rowSums += 3;
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

void addWeightedSums(const std::uint32_t* rowSums, std::uint32_t weight, bool first,
                     std::vector<std::uint64_t>& pixelSums) {
    const std::size_t count = pixelSums.size();
    std::uint64_t* sums = pixelSums.data();
    if (first) {
        for (std::size_t i = 0; i < count; ++i) sums[i] = std::uint64_t(rowSums[i]) * weight;
    } else {
        for (std::size_t i = 0; i < count; ++i) sums[i] += std::uint64_t(rowSums[i]) * weight;
    }
}

// floor(n / area) for n below 2^41 and area from 1 to 2^32, without a 64-bit
// division per channel: n and area are exact as doubles, so the product with
// the rounded reciprocal lies within far less than 1 of the true quotient
// (at most 256), and one step either way makes the truncated value exact.
static std::uint8_t exactQuotient(std::uint64_t n, std::uint64_t area, double reciprocal) {
    std::uint64_t quotient = std::uint64_t(double(n) * reciprocal);
    if (quotient * area > n)
        --quotient;
    else if ((quotient + 1) * area <= n)
        ++quotient;
    return std::uint8_t(quotient);
}

void finishExactRow(const std::vector<std::uint64_t>& pixelSums, std::uint64_t area,
                    std::uint8_t* targetRow) {
    const std::size_t count = pixelSums.size();
    const std::uint64_t* sums = pixelSums.data();
    const double reciprocal = 1.0 / double(area);
    // Half the area added first rounds halves up; area / 2 truncates, as the
    // mean's definition has it.
    for (std::size_t i = 0; i < count; ++i)
        targetRow[i] = exactQuotient(sums[i] + area / 2, area, reciprocal);
}
