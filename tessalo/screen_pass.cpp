#include "screen_pass.h"

#include "binary_file.h"
#include "quantising.h"
#include "screen_file.h"

void writeScreen(Dialogue& dialogue, const ConverterSettings& settings,
                 const PictureGeometry& geometry, ConverterPlanes& planes) {
    ScreenImage screen = blankScreen(screenKindOf(settings.outFile));
    // The pass order of the preview, so that dithering spreads alike.
    for (std::int32_t y = geometry.height - 1; y >= 0; --y)
        for (std::int32_t x = 0; x < geometry.width; ++x) {
            MaskedSamples masked = quantisePixel(settings, planes, x, y, y >> settings.vShift);
            putScreenPixel(screen, x, y, masked.y, masked.a, masked.b);
        }
    std::vector<std::uint8_t> file = bsaveFile(screen);
    BinaryFile output;
    if (!output.openReplacement(settings.outFile))
        dialogue.fail("cannot write outfile " + settings.outFile + ": " + output.errorText());
    output.put(1, file.data(), file.size());
    if (!output.commitReplacement())
        dialogue.fail("cannot write outfile " + settings.outFile + ": " + output.errorText());
}
