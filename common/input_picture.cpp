#include "input_picture.h"

#include "photo_input.h"

// The name with its extension, if any, replaced by ".bmp".
static std::string bmpName(const std::string& fileName) {
    const std::size_t dot = fileName.rfind('.');
    const std::size_t slash = fileName.rfind('/');
    if (dot == std::string::npos || dot == 0 || (slash != std::string::npos && dot < slash + 2))
        return fileName + ".bmp";
    return fileName.substr(0, dot) + ".bmp";
}

std::string conversionAdvice(const std::string& format, const std::string& fileName) {
    if (format == "MSX BSAVE")
        return "infile is an MSX BSAVE screen file; turn it into a BMP with: tessalo --decode " +
               shellWord(fileName) + " " + shellWord(fileName + ".bmp");
    return "infile is a " + format + " picture; convert it with: convert " + shellWord(fileName) +
           " -type truecolor BMP3:" + shellWord(bmpName(fileName));
}

BmpHeader openInputPicture(Dialogue& dialogue, BinaryFile& file, const std::string& fileName,
                           PictureRows& rows) {
    if (fileName.empty()) dialogue.fail("no infile name given");
    if (!file.openForReading(fileName))
        dialogue.fail("cannot open infile " + printableName(fileName) + ": " + file.errorText());
    HeaderBytes bytes;
    file.get(1, bytes.data(), bytes.size());
    if (file.error != 0)
        dialogue.fail("cannot read infile " + printableName(fileName) + ": " + file.errorText());
    // A PNG or JPEG picture is decoded into a BMP, which is read from here on.
    if (!photoFormat(bytes).empty()) {
        const std::string problem = decodePhoto(file, fileName, bytes);
        if (!problem.empty()) dialogue.fail(problem);
    }
    const std::int64_t fileLength = file.length();
    if (readU16le(&bytes[0]) != bmpSignature) {
        const std::string format = fileLength > 0 ? otherPictureFormat(bytes) : "";
        if (format.empty()) dialogue.fail("infile is not a 'BM'");
        if (!dialogue.atLineStart) dialogue.endLine();
        dialogue.printLine("infile is not a 'BM'");
        dialogue.fail(conversionAdvice(format, fileName));
    }
    BmpHeader header = parseBmpHeader(bytes);
    std::string problem = headerProblem(header, fileLength);
    if (problem.empty()) problem = setUpPictureRows(rows, file, header, fileLength);
    if (!problem.empty()) dialogue.fail(problem);
    if (file.error != 0)
        dialogue.fail("cannot read infile " + printableName(fileName) + ": " + file.errorText());
    return header;
}
