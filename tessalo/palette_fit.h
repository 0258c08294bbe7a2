// The palette of a screen 10/11 picture: 15 colours of 3 bits a channel,
// fitted to the pixels that YJK with 4-bit Y shows worst.
#pragma once

#include <vector>

#include "screen_file.h"
#include "yjk_search.h"

// The table whose colours 1..15 save the most error over these pixels, each
// pixel showing whichever is better of its YJK colour (error yjkError) and
// its nearest palette colour. Colour 0 stays black and is never used: the
// chip shows the backdrop colour through it.
PaletteTable fitPalette(const ColourSpace& space, const std::vector<MetricColour>& pixels,
                        const std::vector<float>& yjkError);
