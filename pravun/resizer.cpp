#include "resizer.h"

#include <cstdint>
#include <string>

#include "binary_file.h"
#include "bmp_header.h"
#include "command_line.h"
#include "file_messages.h"
#include "geometry.h"
#include "help.h"
#include "input_picture.h"
#include "png_output.h"
#include "resize_pass.h"

void runResizer(Dialogue& dialogue) {
    answerHelpOrVersion(dialogue);
    ResizeSettings settings = gatherSettings(dialogue);

    BinaryFile input;
    PictureRows rows;
    BmpHeader header = openInputPicture(dialogue, input, settings.inputPath, rows);
    // The output is started before the size menu, so that a name that cannot
    // be written is reported before anything is asked.
    BinaryFile output, staging; // staging: the BMP of a PNG output
    std::string problem = openOutputProblem(output, settings.outputPath, &input);
    if (problem.empty()) problem = openPngStaging(settings.outputPath, staging);
    if (!problem.empty()) dialogue.fail(problem);
    const std::uint32_t inputWidth = std::uint32_t(header.width);
    const std::uint32_t inputHeight = std::uint32_t(header.height);
    askSizeIfMissing(dialogue, settings, inputWidth, inputHeight);

    ResizeGeometry geometry;
    problem = targetGeometry(inputWidth, inputHeight, settings, geometry);
    if (!problem.empty()) dialogue.fail(problem);

    problem = writeResizedPicture(rows, geometry, settings.exactMean, bmpTarget(output, staging));
    if (problem.empty()) problem = inputReadProblem(input, settings.inputPath);
    if (problem.empty()) problem = commitPicture(output, staging, settings.outputPath);
    if (!problem.empty()) dialogue.fail(problem);
    dialogue.endProgram(0);
}
