#include "geometry.h"

#include <utility>

// The steps below use unsigned arithmetic throughout: products formed
// in the order written, every division truncating. They run in 64 bits, with
// every side below 2^24. A derived side carries the aspect in its divisor, so
// the products made from it stay below about 100 x 2^48; the one product that
// can pass 2^64, a given width times the height times a huge aspect, is
// checked. Wherever the 32-bit products do not overflow, the results are the
// same.

static std::string text(std::uint64_t value) { return std::to_string(value); }

// A request that cannot be worked out at all.
static std::string requestProblem(std::uint32_t inputWidth, std::uint32_t inputHeight,
                                  const ResizeSettings& settings) {
    if (inputWidth == 0 || inputHeight == 0)
        return "infile has no pixels (width " + text(inputWidth) + ", height " + text(inputHeight) +
               ")";
    if (inputWidth > maxSide || inputHeight > maxSide)
        return "infile is too large to resize (width " + text(inputWidth) + ", height " +
               text(inputHeight) + "; at most " + text(maxSide) + " each)";
    if (settings.requestedWidth == 0 && settings.requestedHeight == 0)
        return "no new width or height given";
    if (settings.requestedWidth > maxSide)
        return "new width " + text(settings.requestedWidth) + " is too large (at most " +
               text(maxSide) + ")";
    if (settings.requestedHeight > maxSide)
        return "new height " + text(settings.requestedHeight) + " is too large (at most " +
               text(maxSide) + ")";
    return "";
}

// x times y into product, or false when it would pass 2^64. With sides below
// 2^24 every other product of the steps stays far below that; only a width
// given together with a huge pixel aspect gets there.
static bool fitsProduct(std::uint64_t x, std::uint64_t y, std::uint64_t& product) {
    if (y != 0 && x > UINT64_MAX / y) return false;
    product = x * y;
    return true;
}

// Widths are multiples of 4: a remainder of 1 or 2 goes down, 3 goes up.
static std::uint64_t roundWidth(std::uint64_t width) { return (width + 1) & ~std::uint64_t(3); }

// A scaled side the resampler cannot serve: 0, or grown or shrunk by more
// than 256 times (the fixed-point step or gain would be 0), or too long.
static std::string sideProblem(const char* side, std::uint64_t size, std::uint64_t inputSize) {
    const std::string name = side;
    if (size == 0) return "the new " + name + " works out as 0 pixels";
    if (size > inputSize * maxScaleFactor)
        return "the new " + name + " " + text(size) + " is more than " + text(maxScaleFactor) +
               " times the input " + name + " " + text(inputSize);
    if (size * maxScaleFactor < inputSize)
        return "the new " + name + " " + text(size) + " is less than 1/" + text(maxScaleFactor) +
               " of the input " + name + " " + text(inputSize);
    if (size > maxSide)
        return "the new " + name + " " + text(size) + " is too large (at most " + text(maxSide) +
               ")";
    return "";
}

// The size of the part written, which a BMP file must be able to hold.
static std::string outputProblem(std::uint64_t cropWidth, std::uint64_t cropHeight) {
    if (cropWidth == 0) return "the box width rounds down to 0 (widths are multiples of 4)";
    const std::uint64_t fileSize = cropWidth * cropHeight * 3 + 54;
    if (fileSize > 0xFFFFFFFFu)
        return "the outfile would be " + text(fileSize) + " bytes, more than a BMP file can hold";
    return "";
}

std::string targetGeometry(std::uint32_t inputWidth, std::uint32_t inputHeight,
                           const ResizeSettings& settings, ResizeGeometry& geometry) {
    std::string refusal = requestProblem(inputWidth, inputHeight, settings);
    if (!refusal.empty()) return refusal;

    const std::uint64_t W = inputWidth, H = inputHeight;
    std::uint64_t w = settings.requestedWidth, h = settings.requestedHeight;
    const std::uint64_t a = settings.pixelAspect == 0 ? 100 : settings.pixelAspect;
    bool fitPending = settings.fitToBox;
    bool cropBoxSet = false;
    std::uint64_t cropWidth = 0, cropHeight = 0;

    // The missing side follows the other through the input's proportions and
    // the pixel aspect. The box fit then keeps the box side that limits the
    // picture and derives the other one again, once.
    for (;;) {
        if (w == 0) w = (h * W * 100) / (a * H);
        if (h == 0) {
            std::uint64_t product;
            if (!fitsProduct(w * H, a, product))
                return "pixel aspect " + text(a) + " is too large for a width of " + text(w);
            h = product / (W * 100);
        }
        if (!fitPending) break;
        fitPending = false;
        if (h == 0) return sideProblem("height", 0, H);
        // Both ratios are whole percentages; equal percentages keep the box.
        std::uint64_t sourceRatio = (W * 100) / H;
        std::uint64_t boxRatio = (a * w) / h;
        if (settings.cropToBox) {
            // Filling the box: the box itself is what gets written, and the
            // exchanged ratios keep the side that makes the picture overhang.
            cropWidth = roundWidth(w);
            cropHeight = h;
            cropBoxSet = true;
            std::swap(sourceRatio, boxRatio);
        }
        if (sourceRatio > boxRatio)
            h = 0;
        else if (sourceRatio < boxRatio)
            w = 0;
        else
            break;
    }

    // A width of 1 or 2 rounds to 0 and is reported as such.
    if (w != 0 && roundWidth(w) == 0)
        return "the new width " + text(w) + " rounds down to 0 (widths are multiples of 4)";
    w = roundWidth(w);
    // "/t" without "/m" sets no box: the whole picture is written.
    if (!cropBoxSet) {
        cropWidth = w;
        cropHeight = h;
    }
    refusal = sideProblem("width", w, W);
    if (refusal.empty()) refusal = sideProblem("height", h, H);
    if (refusal.empty()) refusal = outputProblem(cropWidth, cropHeight);
    if (!refusal.empty()) return refusal;

    geometry.scaledWidth = std::uint32_t(w);
    geometry.scaledHeight = std::uint32_t(h);
    geometry.cropWidth = std::uint32_t(cropWidth);
    geometry.cropHeight = std::uint32_t(cropHeight);
    // The overhang is cut evenly; halving truncates, so an odd overhang loses
    // its extra column at the right and its extra row at the top.
    geometry.skipColumns = std::uint32_t((w - cropWidth) >> 1);
    geometry.skipRows = std::uint32_t((h - cropHeight) >> 1);
    return "";
}
