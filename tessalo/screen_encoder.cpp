#include "screen_encoder.h"

#include <algorithm>
#include <limits>

#include "palette_fit.h"

// Everything one pass over the picture uses.
struct PassSetup {
    const RgbPicture& picture;
    const ColourSpace& space;
    const SearchPlan& plan;
    int yStep;                               // 1: 5-bit Y (screen 12); 2: 4-bit Y (screens 10/11)
    bool diffuse;                            // spread each pixel's error
    bool serpentine;                         // odd lines right to left
    std::vector<ScreenColour> palette;       // the 16 colours; empty: no palette pixels
    std::vector<MetricColour> paletteMetric; // colours 1..15 in the metric's space
};

// The error a pass spreads, for two lines: the line it encodes and the next.
// Each line has a spare cell at each end, so that the shares of the first
// and last pixels need no test.
struct ErrorLines {
    std::vector<float> here, next; // 3 x (width + 2)
    float* at(std::vector<float>& line, std::int32_t x) { return &line[3 * std::size_t(x + 1)]; }
};

// The pixel's colour with the error it carries, kept to 0..255: the chip
// shows nothing outside, and error past that could only pile up.
static PixelTarget targetAt(const PassSetup& setup, ErrorLines& errors, std::int32_t x,
                            std::int32_t y) {
    PixelTarget target;
    const std::uint8_t* pixel =
        &setup.picture
             .rgb[3 * (std::size_t(y) * std::size_t(setup.picture.width) + std::size_t(x))];
    const float* carried = errors.at(errors.here, x);
    for (int i = 0; i < 3; ++i) target.rgb[i] = std::clamp(pixel[i] + carried[i], 0.0f, 255.0f);
    target.metric = metricColourOf(setup.space, target.rgb);
    for (std::size_t c = 0; c < setup.paletteMetric.size(); ++c) {
        const float error = colourError(setup.paletteMetric[c], target.metric);
        if (target.palette < 0 || error < target.paletteError)
            target.palette = int(c) + 1, target.paletteError = error;
    }
    return target;
}

// Floyd-Steinberg: 7/16 of the error to the next pixel in the pass's
// direction, 3/16, 5/16 and 1/16 to the pixels behind, below and ahead on the
// next line.
static void spreadError(ErrorLines& errors, std::int32_t x, int direction, const float error[3]) {
    float* ahead = errors.at(errors.here, x + direction);
    float* behindBelow = errors.at(errors.next, x - direction);
    float* below = errors.at(errors.next, x);
    float* aheadBelow = errors.at(errors.next, x + direction);
    for (int i = 0; i < 3; ++i) {
        ahead[i] += error[i] * (7.0f / 16.0f);
        behindBelow[i] += error[i] * (3.0f / 16.0f);
        below[i] += error[i] * (5.0f / 16.0f);
        aheadBelow[i] += error[i] * (1.0f / 16.0f);
    }
}

// The group's bytes: each pixel's Y (bits 7-3) or palette index (bits 7-4)
// with the attribute bit 3, over the J and K bits of the group's layout.
static void packGroup(std::uint8_t* group, const GroupChoice& choice) {
    const int chromaBits[4] = {choice.k & 7, (choice.k >> 3) & 7, choice.j & 7,
                               (choice.j >> 3) & 7}; // 6-bit two's complement split in two
    for (int n = 0; n < 4; ++n) {
        const PixelChoice& pixel = choice.pixels[n];
        const int high = pixel.palette >= 0 ? (pixel.palette << 4) | 0x08 : pixel.y << 3;
        group[n] = std::uint8_t(high | chromaBits[n]);
    }
}

static ScreenColour decodedPixel(const EncodedScreen& encoded,
                                 const std::vector<ScreenColour>& palette, std::int32_t x,
                                 std::int32_t y) {
    const std::uint8_t* group =
        &encoded.screen.vram[std::size_t(y) * screenWidth + std::size_t(x & ~3)];
    const std::uint8_t pixel = group[x & 3];
    if (encoded.screen.kind == ScreenKind::screen10 && (pixel & 0x08) != 0)
        return palette[pixel >> 4];
    return machineColour(unpackYjk(group, x & 3));
}

// Encodes one group of line y, the pass going in `direction` (1 to the
// right, -1 to the left). Its J and K are searched against the targets of
// its pixels with the error they carry now; then its pixels, in the pass's
// order, each take their best Y or palette colour for their target with
// the error the pixel before passed on, and pass their own on. The pixels
// past the picture's width get the Y nearest black. Returns each pixel's
// error in the metric.
static void encodeGroup(const PassSetup& setup, ErrorLines& errors, std::int32_t y,
                        std::int32_t groupX, int direction, std::uint8_t* group,
                        float* pixelErrors) {
    const int count = int(std::min<std::int32_t>(4, setup.picture.width - groupX));
    PixelTarget targets[4];
    for (int n = 0; n < count; ++n) targets[n] = targetAt(setup, errors, groupX + n, y);
    GroupChoice choice = searchGroup(setup.space, setup.plan, setup.yStep, targets, count);
    for (int step = 0; step < count; ++step) {
        const int n = direction > 0 ? step : count - 1 - step;
        const PixelTarget target = targetAt(setup, errors, groupX + n, y);
        choice.pixels[n] = choosePixel(setup.space, setup.yStep, choice.j, choice.k, target);
        pixelErrors[n] = choice.pixels[n].error;
        if (!setup.diffuse) continue;
        const PixelChoice& pixel = choice.pixels[n];
        const ScreenColour shown = pixel.palette >= 0
                                       ? setup.palette[std::size_t(pixel.palette)]
                                       : machineColour({pixel.y, choice.j, choice.k});
        const float error[3] = {target.rgb[0] - float(shownLevel(shown.red)),
                                target.rgb[1] - float(shownLevel(shown.green)),
                                target.rgb[2] - float(shownLevel(shown.blue))};
        spreadError(errors, groupX + n, direction, error);
    }
    PixelTarget black; // all 0
    black.metric = metricColourOf(setup.space, black.rgb);
    for (int n = count; n < 4; ++n)
        choice.pixels[n] = choosePixel(setup.space, setup.yStep, choice.j, choice.k, black);
    packGroup(group, choice);
}

// One pass over the picture, line by line from the top; with serpentine
// order the odd lines run right to left. Fills the picture's part of the
// VRAM and each pixel's error in the metric.
static void encodePass(const PassSetup& setup, ScreenImage& screen,
                       std::vector<float>& pixelErrors) {
    const std::int32_t width = setup.picture.width;
    const std::int32_t groups = (width + 3) / 4; // the last group may reach past the width
    ErrorLines errors;
    errors.here.assign(3 * std::size_t(width + 2), 0.0f);
    errors.next.assign(3 * std::size_t(width + 2), 0.0f);
    pixelErrors.assign(std::size_t(width) * std::size_t(setup.picture.height), 0.0f);
    for (std::int32_t y = 0; y < setup.picture.height; ++y) {
        const int direction = setup.serpentine && (y & 1) != 0 ? -1 : 1;
        for (std::int32_t step = 0; step < groups; ++step) {
            const std::int32_t groupX = 4 * (direction > 0 ? step : groups - 1 - step);
            encodeGroup(setup, errors, y, groupX, direction,
                        &screen.vram[std::size_t(y) * screenWidth + std::size_t(groupX)],
                        &pixelErrors[std::size_t(y) * std::size_t(width) + std::size_t(groupX)]);
        }
        errors.here.swap(errors.next);
        std::fill(errors.next.begin(), errors.next.end(), 0.0f);
    }
}

// The picture's pixels in the metric's space, for the palette fit.
static std::vector<MetricColour> pictureColours(const RgbPicture& picture,
                                                const ColourSpace& space) {
    std::vector<MetricColour> colours(std::size_t(picture.width) * std::size_t(picture.height));
    for (std::size_t p = 0; p < colours.size(); ++p) {
        const float rgb[3] = {float(picture.rgb[3 * p]), float(picture.rgb[3 * p + 1]),
                              float(picture.rgb[3 * p + 2])};
        colours[p] = metricColourOf(space, rgb);
    }
    return colours;
}

static bool anyPalettePixel(const ScreenImage& screen) {
    if (screen.kind != ScreenKind::screen10) return false;
    return std::any_of(screen.vram.begin(), screen.vram.end(),
                       [](std::uint8_t pixel) { return (pixel & 0x08) != 0; }); // attribute bit
}

std::string encodeScreen(const RgbPicture& picture, const EncoderSettings& settings,
                         EncodedScreen& encoded) {
    if (settings.kind == ScreenKind::none) return "no screen to encode for";
    if (picture.width < 1 || picture.height < 1 || picture.width > screenWidth ||
        picture.height > screenHeight)
        return "a screen holds 1 x 1 to 256 x 212 pixels, not " + std::to_string(picture.width) +
               " x " + std::to_string(picture.height);
    if (picture.rgb.size() != 3 * std::size_t(picture.width) * std::size_t(picture.height))
        return "the picture holds " + std::to_string(picture.rgb.size()) + " bytes, not 3 x " +
               std::to_string(picture.width) + " x " + std::to_string(picture.height);
    const ColourSpace space = makeColourSpace(settings.metric);
    const SearchPlan plan = makeSearchPlan(settings.fullSearch);
    const bool screen12 = settings.kind == ScreenKind::screen12;
    PassSetup setup{picture, space, plan, screen12 ? 1 : 2, false, false, {}, {}};
    encoded = EncodedScreen();
    encoded.screen = blankScreen(settings.kind);
    std::vector<float> pixelErrors;
    if (!screen12 && settings.palettePixels) {
        // The palette serves the pixels that plain YJK shows worst.
        encodePass(setup, encoded.screen, pixelErrors);
        encoded.palette = fitPalette(space, pictureColours(picture, space), pixelErrors);
        setup.palette = screenPalette(encoded.palette.data());
        for (std::size_t c = 1; c < setup.palette.size(); ++c) {
            const ScreenColour& colour = setup.palette[c];
            const float rgb[3] = {float(shownLevel(colour.red)), float(shownLevel(colour.green)),
                                  float(shownLevel(colour.blue))};
            setup.paletteMetric.push_back(metricColourOf(space, rgb));
        }
        encoded.screen = blankScreen(settings.kind);
    }
    setup.diffuse = settings.dithering == Dithering::diffuse;
    setup.serpentine = setup.diffuse && settings.serpentine;
    encodePass(setup, encoded.screen, pixelErrors);
    encoded.usesPalette = anyPalettePixel(encoded.screen);
    if (!encoded.usesPalette) encoded.palette = PaletteTable{};
    const std::vector<ScreenColour> shownPalette = screenPalette(encoded.palette.data());
    encoded.shown.reserve(std::size_t(screenWidth) * screenHeight);
    for (std::int32_t y = 0; y < screenHeight; ++y)
        for (std::int32_t x = 0; x < screenWidth; ++x)
            encoded.shown.push_back(decodedPixel(encoded, shownPalette, x, y));
    return "";
}

std::vector<std::uint8_t> encodedFile(const EncodedScreen& encoded) {
    if (encoded.usesPalette) return bsaveFileWithPalette(encoded.screen, encoded.palette);
    return bsaveFile(encoded.screen);
}
