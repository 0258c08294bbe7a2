#include "input_picture.h"

#include <cctype>

#include "file_messages.h"
#include "photo_input.h"

// The name with its extension, if any, replaced by ".bmp".
static std::string bmpName(const std::string& fileName) {
    const std::size_t dot = fileName.rfind('.');
    const std::size_t slash = fileName.rfind('/');
    if (dot == std::string::npos || dot == 0 || (slash != std::string::npos && dot < slash + 2))
        return fileName + ".bmp";
    return fileName.substr(0, dot) + ".bmp";
}

// Whether tessalo --decode takes the name: it ends in .SCC, .SCA or .SCB, in
// any case.
static bool isScreenFileName(const std::string& fileName) {
    if (fileName.size() < 4) return false;
    std::string ending = fileName.substr(fileName.size() - 4);
    for (char& c : ending) c = char(std::toupper(static_cast<unsigned char>(c)));
    return ending == ".SCC" || ending == ".SCA" || ending == ".SCB";
}

std::string conversionAdvice(const std::string& format, const std::string& fileName) {
    if (format == "MSX BSAVE" && isScreenFileName(fileName))
        return "infile is an MSX BSAVE screen file; turn it into a BMP with: tessalo --decode " +
               shellWord(fileName) + " " + shellWord(fileName + ".bmp");
    if (format == "MSX BSAVE") // --decode knows the screen by the name's extension
        return "infile is an MSX BSAVE screen file; to see it, copy it to a name ending in .SCC "
               "(screen 12) or .SCA/.SCB (screens 10/11) and run tessalo --decode on that";
    return "infile is a " + format + " picture; convert it with: convert " + shellWord(fileName) +
           " -type truecolor BMP3:" + shellWord(bmpName(fileName));
}

// The rows' byte source over the opened input.
static void getFromFile(void* context, std::int64_t position, std::uint8_t* buffer,
                        std::size_t count) {
    static_cast<BinaryFile*>(context)->get(position, buffer, count);
}

std::string pictureProblem(BinaryFile& file, const std::string& fileName, PictureRows& rows,
                           BmpHeader& header, bool& otherFormat) {
    otherFormat = false;
    HeaderBytes bytes;
    file.get(1, bytes.data(), bytes.size());
    if (file.error != 0) return inputErrorProblem(file, fileName);
    // A PNG or JPEG picture is decoded into a BMP, which is read from here on.
    if (!photoFormat(bytes).empty()) {
        const std::string problem = decodePhoto(file, fileName, bytes);
        if (!problem.empty()) return problem;
    }
    const std::int64_t fileLength = file.length();
    if (readU16le(&bytes[0]) != bmpSignature) {
        const std::string format = fileLength > 0 ? otherPictureFormat(bytes) : "";
        if (format.empty()) return "infile is not a 'BM'";
        otherFormat = true;
        return conversionAdvice(format, fileName);
    }
    header = parseBmpHeader(bytes);
    std::string problem = headerProblem(header, fileLength);
    if (problem.empty()) problem = setUpPictureRows(rows, {getFromFile, &file, fileLength}, header);
    if (problem.empty() && file.error != 0) problem = inputErrorProblem(file, fileName);
    return problem;
}

BmpHeader openInputPicture(Dialogue& dialogue, BinaryFile& file, const std::string& fileName,
                           PictureRows& rows) {
    const std::string opening = openInputProblem(file, fileName);
    if (!opening.empty()) dialogue.fail(opening);
    BmpHeader header;
    bool otherFormat = false;
    const std::string problem = pictureProblem(file, fileName, rows, header, otherFormat);
    if (otherFormat) { // the dialogue says first that it is no BMP
        if (!dialogue.atLineStart) dialogue.endLine();
        dialogue.printLine("infile is not a 'BM'");
    }
    if (!problem.empty()) dialogue.fail(problem);
    return header;
}
