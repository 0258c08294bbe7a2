// The YJK samples of one group of 4 pixels, chosen by the colour the chip
// decodes from them (machineColour): the group's J and K, and for each
// pixel its Y or, in screens 10/11, a palette colour.
#pragma once

#include <cstdint>
#include <vector>

// How far a shown colour lies from the colour wanted.
enum class ErrorMetric {
    rgb, // squared distance of red, green and blue in 8-bit levels
    lab  // squared distance in CIE L*a*b* (sRGB, D65 white)
};

// A colour in the metric's space: 8-bit red, green, blue, or L*, a*, b*.
struct MetricColour {
    float v[3];
};

// The metric, and every colour the DAC shows in the metric's space.
struct ColourSpace {
    ErrorMetric metric = ErrorMetric::rgb;
    std::vector<MetricColour> shown; // 32768: 5-bit levels, index (R << 10) | (G << 5) | B
};
ColourSpace makeColourSpace(ErrorMetric metric);

// The 8-bit level the DAC shows for 5-bit level L: floor(L x 255 / 31), so
// that 0 stays 0 and 31 becomes 255.
int shownLevel(int level);

// A colour of real 8-bit levels (0..255) in the metric's space.
MetricColour metricColourOf(const ColourSpace& space, const float rgb[3]);
float colourError(const MetricColour& a, const MetricColour& b);

// A pixel's target: the colour wanted, and the best palette colour for it
// with that colour's error (palette -1 where the screen shows no palette
// pixels).
struct PixelTarget {
    float rgb[3] = {0, 0, 0}; // 8-bit levels, 0..255
    MetricColour metric{};
    int palette = -1;
    float paletteError = 0;
};

// The search's constants: the order in which it visits J, K pairs around a
// group's centre, and the geometry its bounds use (see yjk_search.cpp).
struct SearchPlan {
    struct Offset {
        int dj, dk;
        float norm; // the offset's length in the metric of the pairs' colour lines
    };
    std::vector<Offset> offsets; // by increasing norm
    float gram[2][2];            // dot products of the projected J and K directions
    float inverseGram[2][2];
    float jDirection[3]; // the J and K directions with the Y direction taken out
    float kDirection[3];
};
// fullSearch visits every one of the 4096 pairs when the bounds allow no
// early end, instead of the disc of pairs that holds the 9 x 9 window around
// a group's centre.
SearchPlan makeSearchPlan(bool fullSearch);

// One pixel as the chip will show it.
struct PixelChoice {
    int y = 0;        // 5-bit Y (even in screens 10/11)
    int palette = -1; // palette index, or -1 for a YJK pixel
    float error = 0;
};

// The pixel's best Y for the group's J and K (yStep 1 for screen 12's 5-bit
// Y, 2 for the 4 bits of screens 10/11), or its palette colour when that has
// a strictly lower error.
PixelChoice choosePixel(const ColourSpace& space, int yStep, int j, int k,
                        const PixelTarget& target);

struct GroupChoice {
    int j = 0, k = 0; // -32..31
    PixelChoice pixels[4];
    float error = 0; // sum of the pixels' errors
};

// The J and K (and so each pixel's choice) of least total error over the
// group's first `count` targets (1..4).
GroupChoice searchGroup(const ColourSpace& space, const SearchPlan& plan, int yStep,
                        const PixelTarget* targets, int count);
