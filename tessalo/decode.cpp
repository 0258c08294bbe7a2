#include "decode.h"

#include "binary_file.h"
#include "bmp_header.h"
#include "file_messages.h"
#include "png_output.h"
#include "screen_file.h"

// Opens and reads the whole screen file into `file`; a BSAVE file never
// holds more than the 64 KB of VRAM an address reaches, so nothing past that
// is read. Gives "" or the refusal. The input stays open, so that the output
// can be told apart from it.
[[nodiscard]] static std::string readScreenFile(BinaryFile& input, const std::string& name,
                                                std::vector<std::uint8_t>& file) {
    constexpr std::int64_t largestFile = bsaveHeaderSize + 0x10000;
    const std::string problem = openInputProblem(input, name);
    if (!problem.empty()) return problem;
    std::int64_t length = input.length();
    file.assign(std::size_t(length < largestFile ? length : largestFile), 0);
    input.get(1, file.data(), file.size());
    return inputReadProblem(input, name);
}

// Why the decoded picture may not be written under the output name, or "".
// It is a BMP, so a screen file's name would misname it; and written over
// the screen file itself (its own name, a link to it, /dev/fd/N) it would
// replace the very file it shows.
[[nodiscard]] static std::string
outputNameProblem(const std::string& inName, const std::string& outName, const BinaryFile& input) {
    const std::string decoding =
        "cannot decode " + printableName(inName) + " into " + printableName(outName) + ": ";
    if (screenKindOf(outName) != ScreenKind::none)
        return decoding + "a decoded picture is a BMP, not a screen file; name it .bmp";
    if (input.isReachedBy(outName))
        return decoding + "that is the screen file itself, which the BMP would replace";
    return "";
}

// The decoded pixels as a 24-bit BMP, 256 wide, each 5-bit level at the
// value a screenshot of the machine holds (fullScaleLevel), bottom line first.
static void putDecodedPicture(BinaryFile& output, const std::vector<ScreenColour>& pixels,
                              std::int32_t lines) {
    constexpr std::size_t rowStride = 3 * std::size_t(screenWidth); // a multiple of 4: no padding
    HeaderBytes header = plainHeader(screenWidth, std::uint32_t(lines), nullptr);
    output.put(1, header.data(), header.size());
    std::vector<std::uint8_t> row(rowStride);
    for (std::int32_t y = lines - 1; y >= 0 && output.error == 0; --y) {
        for (std::int32_t x = 0; x < screenWidth; ++x) {
            const ScreenColour& colour = pixels[std::size_t(y) * screenWidth + std::size_t(x)];
            const std::size_t at = 3 * std::size_t(x);
            row[at + 0] = fullScaleLevel(colour.blue);
            row[at + 1] = fullScaleLevel(colour.green);
            row[at + 2] = fullScaleLevel(colour.red);
        }
        output.put(0, row.data(), row.size());
    }
}

std::string writeDecodedPicture(const std::string& name, const std::vector<ScreenColour>& pixels,
                                std::int32_t lines, const BinaryFile* input) {
    BinaryFile output, staging;
    std::string problem = openOutputProblem(output, name, input);
    if (problem.empty()) problem = openPngStaging(name, staging);
    if (!problem.empty()) return problem;
    putDecodedPicture(bmpTarget(output, staging), pixels, lines);
    return commitPicture(output, staging, name);
}

void answerDecode(Dialogue& dialogue) {
    if (dialogue.commandWord(1) != "--decode") return;
    const std::string inName = dialogue.commandWord(2);
    const std::string outName = dialogue.commandWord(3);
    if (inName.empty() || outName.empty())
        dialogue.fail(
            "--decode needs a screen file and a BMP name: tessalo --decode SCREENFILE OUT");
    const ScreenKind kind = screenKindOf(inName);
    if (kind == ScreenKind::none)
        dialogue.fail("cannot decode " + printableName(inName) +
                      ": the name must end in .SCC (screen 12), .SCA or .SCB (screens 10/11)");
    BinaryFile input;
    std::vector<std::uint8_t> file;
    std::string problem = readScreenFile(input, inName, file);
    if (problem.empty()) problem = outputNameProblem(inName, outName, input);
    if (!problem.empty()) dialogue.fail(problem);
    problem = bsaveProblem(file);
    if (!problem.empty()) dialogue.fail("cannot decode " + printableName(inName) + ": " + problem);
    problem = writeDecodedPicture(outName, decodeScreen(kind, file), bsaveLines(file), &input);
    if (!problem.empty()) dialogue.fail(problem);
    dialogue.endProgram(0);
}
