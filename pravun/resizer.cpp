#include "resizer.h"

#include <cstdint>
#include <string>

#include "binary_file.h"
#include "bmp_header.h"
#include "geometry.h"
#include "help.h"
#include "input_picture.h"
#include "output.h"
#include "settings.h"

void runResizer(Dialogue& dialogue) {
    answerHelpOrVersion(dialogue);
    ResizeSettings settings = gatherSettings(dialogue);

    BinaryFile input;
    PictureRows rows;
    BmpHeader header = openInputPicture(dialogue, input, settings.inputPath, rows);
    if (settings.outputPath.empty()) dialogue.fail("no outfile name given");
    const std::uint32_t inputWidth = std::uint32_t(header.width);
    const std::uint32_t inputHeight = std::uint32_t(header.height);
    askSizeIfMissing(dialogue, settings, inputWidth, inputHeight);

    std::string refusal;
    ResizeGeometry geometry = targetGeometry(inputWidth, inputHeight, settings, refusal);
    if (!refusal.empty()) dialogue.fail(refusal);

    writeResizedPicture(dialogue, rows, geometry, settings.outputPath);
    dialogue.endProgram(0);
}
