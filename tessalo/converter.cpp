#include "converter.h"

#include "binary_file.h"
#include "bmp_header.h"
#include "dialogue.h"
#include "help.h"
#include "input_picture.h"
#include "loading.h"
#include "output.h"
#include "planes.h"
#include "settings.h"
#include "subsampling.h"

// The geometry of the picture and of its subsampled planes. The preview's
// size fields are 32-bit, so larger pictures are refused.
static PictureGeometry pictureGeometry(Dialogue& dialogue, const BmpHeader& header,
                                       const ConverterSettings& settings) {
    std::uint64_t rowStride = paddedRowLength(std::uint64_t(header.width));
    if (rowStride * std::uint64_t(header.height) > 0xFFFFFFFFu - bmpHeaderSize)
        dialogue.fail("infile is too large: a BMP file cannot hold a preview of this size");
    PictureGeometry geometry;
    geometry.width = header.width;
    geometry.height = header.height;
    geometry.rowStride = std::uint32_t(rowStride);
    geometry.firstRowPosition = std::int64_t(header.pixelDataOffset) + 1;
    geometry.subWidth = (header.width + 3) >> settings.hShift;
    geometry.subHeight = (header.height + 3) >> settings.vShift;
    return geometry;
}

static ConverterPlanes allocatePlanes(Dialogue& dialogue, const PictureGeometry& geometry) {
    ConverterPlanes planes;
    planes.rowBuffer.assign(geometry.rowStride, 0);
    bool allocated = allocatePlane(planes.luma, geometry.width, geometry.height) &&
                     allocatePlane(planes.chromaA, geometry.width, geometry.height) &&
                     allocatePlane(planes.chromaB, geometry.width, geometry.height) &&
                     allocatePlane(planes.subChromaA, geometry.subWidth, geometry.subHeight) &&
                     allocatePlane(planes.subChromaB, geometry.subWidth, geometry.subHeight);
    if (!allocated)
        dialogue.fail("not enough memory for a " + std::to_string(geometry.width) + " x " +
                      std::to_string(geometry.height) + " picture");
    return planes;
}

void runConverter(Dialogue& dialogue) {
    answerHelpOrVersion(dialogue);
    ConverterSettings settings = gatherSettings(dialogue);

    BinaryFile input;
    PictureRows rows;
    BmpHeader header = openInputPicture(dialogue, input, settings.inFile, rows);
    dialogue.printText("input file width = ", false);
    dialogue.printSigned(header.width, false);
    dialogue.printText(" height = ", false);
    dialogue.printSigned(header.height, true);
    PictureGeometry geometry = pictureGeometry(dialogue, header, settings);
    ConverterPlanes planes = allocatePlanes(dialogue, geometry);

    dialogue.printText("loading image...", true);
    std::string problem = loadPicture(rows, settings, geometry, planes);
    if (!problem.empty()) dialogue.fail(problem);
    if (input.error != 0)
        dialogue.fail("cannot read infile " + settings.inFile + ": " + input.errorText());

    dialogue.printText("analyzing image...", true);
    subsampleChroma(settings, planes);

    dialogue.printText("converting image...", true);
    writePreview(dialogue, settings, geometry, planes);
    dialogue.endProgram(0);
}
