#include "converter.h"

#include <string>

#include "binary_file.h"
#include "bmp_header.h"
#include "decode.h"
#include "dialogue.h"
#include "file_messages.h"
#include "help.h"
#include "input_picture.h"
#include "output_replacement.h"
#include "pass.h"
#include "preview_writer.h"
#include "screen_file.h"
#include "screen_job.h"
#include "settings.h"

// The picture's size and where its rows lie. The preview's size fields are
// 32-bit, so larger pictures are refused.
[[nodiscard]] static std::string pictureGeometry(const BmpHeader& header,
                                                 PictureGeometry& geometry) {
    std::uint64_t rowStride = storedRowLength(std::uint64_t(header.width), 24);
    if (rowStride * std::uint64_t(header.height) > 0xFFFFFFFFu - bmpHeaderSize)
        return "infile is too large: a BMP file cannot hold a preview of this size";
    geometry.width = header.width;
    geometry.height = header.height;
    geometry.rowStride = std::uint32_t(rowStride);
    return "";
}

// Empty when these settings and a picture of this size can be written as that
// screen, else the one-line refusal.
[[nodiscard]] static std::string screenProblem(const ConverterSettings& settings, ScreenKind kind,
                                               std::int32_t width, std::int32_t height) {
    if (kind == ScreenKind::none) return "";
    const bool screen12 = kind == ScreenKind::screen12;
    // The chip stores 5 bits of Y in screen 12 and 4 in screens 10/11, and
    // 6 bits of J and K shared by 4 pixels of one line.
    const std::uint8_t lumaMask = screen12 ? 0xF8 : 0xF0; // 11111000 or 11110000
    const bool encodable = !settings.useYuv && settings.bitmask1Y == lumaMask &&
                           settings.bitmask1A == 0xFC && settings.bitmask1B == 0xFC &&
                           settings.hFactor == 4 && settings.vFactor == 1;
    const std::string name = "outfile " + printableName(settings.outFile) + " is a " +
                             (screen12 ? "screen 12 file" : "screen 10/11 file");
    if (!encodable)
        return name + ": it needs option " + (screen12 ? "2" : "3") + " (or 5 with masks " +
               (screen12 ? "248" : "240") + " 252 252) and chroma factors 4 and 1";
    if (width > screenWidth || height > screenHeight)
        return name + " of at most 256 x 212 pixels, not " + std::to_string(width) + " x " +
               std::to_string(height) + ": first run pravun " + shellWord(settings.inFile) +
               " /m256x212 /t screen.bmp";
    return "";
}

// What the pass and the preview read of the settings, each value named for
// what it does there; the settings keep the names the dialogue asks by.
static PassSettings passSettings(const ConverterSettings& settings) {
    PassSettings pass;
    pass.useYuv = settings.useYuv;
    pass.grid = {settings.hFactor, settings.vFactor, settings.hShift, settings.vShift};
    pass.luma = {settings.bitmask1Y, settings.bitmask2Y, settings.lumaDither};
    pass.chromaA = {settings.bitmask1A, settings.bitmask2A, settings.chromaDither};
    pass.chromaB = {settings.bitmask1B, settings.bitmask2B, settings.chromaDither};
    return pass;
}

static PreviewColours previewColours(const ConverterSettings& settings) {
    return {settings.useYuv, settings.dacFilter, settings.hShift};
}

void runConverter(Dialogue& dialogue) {
    answerHelpOrVersion(dialogue);
    answerDecode(dialogue);
    answerScreenCommand(dialogue);
    ConverterSettings settings = gatherSettings(dialogue);

    BinaryFile input;
    PictureRows rows;
    BmpHeader header = openInputPicture(dialogue, input, settings.inFile, rows);
    dialogue.printText("input file width = ", false);
    dialogue.printSigned(header.width, false);
    dialogue.printText(" height = ", false);
    dialogue.printSigned(header.height, true);
    PictureGeometry geometry;
    std::string problem = pictureGeometry(header, geometry);
    if (!problem.empty()) dialogue.fail(problem);
    // An output named as a screen file gets one, when the screen can show it.
    const ScreenKind screenKind = screenKindOf(settings.outFile);
    problem = screenProblem(settings, screenKind, geometry.width, geometry.height);
    if (!problem.empty()) dialogue.fail(problem);
    const PassSettings pass = passSettings(settings);
    PassBuffers buffers; // sized by the width only
    PreviewOutput output;
    problem = sizePass(header, pass, geometry, buffers, output);
    if (!problem.empty()) dialogue.fail(problem);
    // The output is created before the work, so that a name that cannot be
    // written is reported at once.
    problem = openPreview(output, settings.outFile, previewColours(settings), screenKind, geometry,
                          rows, input);
    if (!problem.empty()) dialogue.fail(problem);

    // The stages run together, row by row; their lines keep their order.
    dialogue.printLine("loading image...");
    dialogue.printLine("analyzing image...");
    dialogue.printLine("converting image...");
    problem = convertPicture(rows, pass, geometry, buffers, output);
    if (problem.empty()) problem = inputReadProblem(input, settings.inFile);
    if (!problem.empty()) {
        discardReplacement(output.file);
        dialogue.fail(problem);
    }
    problem = finishPreview(output, settings.outFile);
    if (!problem.empty()) dialogue.fail(problem);
    dialogue.endProgram(0);
}
