// pravun: resizes a 24-bit BMP picture to a given width, height or both,
// keeping or bending the aspect ratio, fitting into or filling a box, for
// square or non-square target pixels, with an area-weighted box filter.
#include <cstdint>
#include <string>

#include "binary_file.h"
#include "bmp_header.h"
#include "dialogue.h"
#include "geometry.h"
#include "output.h"
#include "settings.h"

int main(int argc, char** argv) {
    Dialogue dialogue = consoleDialogue(argc, argv);
    ResizeSettings settings = gatherSettings(dialogue);

    BinaryFile input;
    BmpHeader header = openInputPicture(dialogue, input, settings.inputPath);
    if (settings.outputPath.empty()) dialogue.fail("no outfile name given");
    const std::uint32_t inputWidth = std::uint32_t(header.width);
    const std::uint32_t inputHeight = std::uint32_t(header.height);
    askSizeIfMissing(dialogue, settings, inputWidth, inputHeight);

    std::string refusal;
    ResizeGeometry geometry = targetGeometry(inputWidth, inputHeight, settings, refusal);
    if (!refusal.empty()) dialogue.fail(refusal);

    writeResizedPicture(dialogue, input, header, geometry, settings.outputPath);
    dialogue.endProgram(0);
}
