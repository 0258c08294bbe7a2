#include "decode.h"

#include "binary_file.h"
#include "bmp_header.h"
#include "screen_file.h"

// Reads the whole screen file; a BSAVE file never holds more than the 64 KB
// of VRAM an address reaches, so nothing past that is read.
static std::vector<std::uint8_t> readScreenFile(Dialogue& dialogue, const std::string& name) {
    constexpr std::int64_t largestFile = bsaveHeaderSize + 0x10000;
    BinaryFile input;
    if (!input.openForReading(name))
        dialogue.fail("cannot open infile " + printableName(name) + ": " + input.errorText());
    std::int64_t length = input.length();
    std::vector<std::uint8_t> file(std::size_t(length < largestFile ? length : largestFile));
    input.get(1, file.data(), file.size());
    const std::string problem = inputReadProblem(input, name);
    if (!problem.empty()) dialogue.fail(problem);
    return file;
}

// The decoded pixels as a 24-bit BMP, 256 wide, each 5-bit level written as
// 8 times the level, the scale of the preview with the DAC filter.
static void writeDecodedPicture(Dialogue& dialogue, const std::string& name,
                                const std::vector<ScreenColour>& pixels, std::int32_t lines) {
    constexpr std::uint32_t rowStride = 3 * screenWidth; // a multiple of 4: no padding
    BinaryFile output;
    std::string problem = openOutputProblem(output, name);
    if (!problem.empty()) dialogue.fail(problem);
    HeaderBytes header = plainHeader(screenWidth, lines, nullptr);
    output.put(1, header.data(), header.size());
    std::vector<std::uint8_t> row(rowStride);
    // The BMP stores the bottom line first.
    for (std::int32_t y = lines - 1; y >= 0 && output.error == 0; --y) {
        for (std::int32_t x = 0; x < screenWidth; ++x) {
            const ScreenColour& colour = pixels[std::size_t(y) * screenWidth + std::size_t(x)];
            row[3 * x + 0] = std::uint8_t(8 * colour.blue);
            row[3 * x + 1] = std::uint8_t(8 * colour.green);
            row[3 * x + 2] = std::uint8_t(8 * colour.red);
        }
        output.put(0, row.data(), row.size());
    }
    problem = commitOutputProblem(output, name);
    if (!problem.empty()) dialogue.fail(problem);
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
    std::vector<std::uint8_t> file = readScreenFile(dialogue, inName);
    std::string problem = bsaveProblem(file);
    if (!problem.empty()) dialogue.fail("cannot decode " + printableName(inName) + ": " + problem);
    writeDecodedPicture(dialogue, outName, decodeScreen(kind, file), bsaveLines(file));
    dialogue.endProgram(0);
}
