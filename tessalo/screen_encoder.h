// The screen encoder: a picture of at most 256 x 212 pixels turned into the
// VRAM bytes of screen 12, or of screens 10/11 with palette pixels, every
// sample chosen by the colour the chip decodes from it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "screen_file.h"
#include "yjk_search.h"

enum class Dithering {
    none,   // each group's best samples for the picture's own colours
    diffuse // the colour error left after decoding spread Floyd-Steinberg
};

struct EncoderSettings {
    ScreenKind kind = ScreenKind::screen12; // screen12 or screen10 (screens 10 and 11)
    Dithering dithering = Dithering::diffuse;
    // RGB by default. On eight photos (bench/quality.py) Lab lowers the mean
    // CIEDE2000 after a one-pixel blur from 0.87 to 0.78 (screen 12) and from
    // 0.74 to 0.57 (screens 10/11 with palette pixels), but costs 1.7 to
    // 2.5 dB of PSNR, shows more coloured noise along the edges of saturated
    // areas, and takes 2 to 3 times as long (no bound ends its search early).
    // RGB meets every figure asked of the encoder within its time.
    ErrorMetric metric = ErrorMetric::rgb;
    bool palettePixels = true; // screens 10/11: fit a palette and use it where it is better
    bool fullSearch = false;   // try every J, K pair the bounds cannot rule out (slow)
    bool serpentine = true;    // diffusion runs odd lines right to left (blurred CIEDE2000
                               // 0.87 against 0.89 for every line left to right)
};

// 8-bit pixels as red, green, blue, the top row first.
struct RgbPicture {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint8_t> rgb; // 3 x width x height
};

struct EncodedScreen {
    ScreenImage screen;
    bool usesPalette = false;        // some pixel shows a palette colour: the table is written too
    PaletteTable palette{};          // the fitted colours; entry 0 black and never used
    std::vector<ScreenColour> shown; // what the chip shows, 256 x 212, the top line first
};

// Encodes the picture; returns "" or the one-line refusal (a picture larger
// than the screen, or empty, or no screen kind).
[[nodiscard]] std::string encodeScreen(const RgbPicture& picture, const EncoderSettings& settings,
                                       EncodedScreen& encoded);

// The file to write: the long BSAVE form with the palette table when palette
// pixels are used, else the short form.
std::vector<std::uint8_t> encodedFile(const EncodedScreen& encoded);
