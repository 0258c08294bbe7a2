#include "converter.h"

#include "binary_file.h"
#include "bmp_header.h"
#include "conversion_pass.h"
#include "decode.h"
#include "dialogue.h"
#include "file_messages.h"
#include "help.h"
#include "input_picture.h"
#include "output.h"
#include "output_replacement.h"
#include "screen_file.h"
#include "settings.h"

// The geometry of the picture and of its subsampled planes. The preview's
// size fields are 32-bit, so larger pictures are refused.
static PictureGeometry pictureGeometry(Dialogue& dialogue, const BmpHeader& header,
                                       const ConverterSettings& settings) {
    std::uint64_t rowStride = storedRowLength(std::uint64_t(header.width), 24);
    if (rowStride * std::uint64_t(header.height) > 0xFFFFFFFFu - bmpHeaderSize)
        dialogue.fail("infile is too large: a BMP file cannot hold a preview of this size");
    PictureGeometry geometry;
    geometry.width = header.width;
    geometry.height = header.height;
    geometry.rowStride = std::uint32_t(rowStride);
    geometry.subWidth = (header.width + 3) >> settings.hShift;
    return geometry;
}

void runConverter(Dialogue& dialogue) {
    answerHelpOrVersion(dialogue);
    answerDecode(dialogue);
    ConverterSettings settings = gatherSettings(dialogue);

    BinaryFile input;
    PictureRows rows;
    BmpHeader header = openInputPicture(dialogue, input, settings.inFile, rows);
    dialogue.printText("input file width = ", false);
    dialogue.printSigned(header.width, false);
    dialogue.printText(" height = ", false);
    dialogue.printSigned(header.height, true);
    PictureGeometry geometry = pictureGeometry(dialogue, header, settings);
    // An output named as a screen file gets one, when the screen can show it.
    const ScreenKind screenKind = screenKindOf(settings.outFile);
    const std::string screenRefusal =
        screenProblem(settings, screenKind, geometry.width, geometry.height);
    if (!screenRefusal.empty()) dialogue.fail(screenRefusal);
    // The output is created before the work, so that a name that cannot be
    // written is reported at once.
    PreviewOutput output;
    openPreview(dialogue, settings, geometry, screenKind, rows, input, output);
    PassBuffers buffers; // sized by the width only
    allocatePassBuffers(settings, geometry, buffers);

    // The stages run together, row by row; their lines keep their order.
    dialogue.printLine("loading image...");
    dialogue.printLine("analyzing image...");
    dialogue.printLine("converting image...");
    std::string problem = convertPicture(rows, settings, geometry, buffers, output);
    if (problem.empty()) problem = inputReadProblem(input, settings.inFile);
    if (!problem.empty()) {
        discardReplacement(output.file);
        dialogue.fail(problem);
    }
    finishPreview(dialogue, settings, output);
    dialogue.endProgram(0);
}
