// Writes a screen file of a BMP of at most 256 x 212 pixels with the screen
// encoder, and prints how long one encoding takes, the fastest of three, in
// processor time (one core; what other programs on the machine take does
// not count):
//
//   encode_screen IN.BMP OUT.SCC|OUT.SCA|OUT.SCB [WORD...]
//
// Words: none or diffuse (dithering, default diffuse), rgb or lab (error
// metric, default rgb), nopalette (screens 10/11 without palette pixels),
// full (every J, K pair the bounds cannot rule out), straight (every line
// left to right).
#include <cstdio>
#include <ctime>
#include <string>

#include "file_messages.h"
#include "input_picture.h"
#include "screen_encoder.h"

static std::string settingsProblem(Dialogue& dialogue, EncoderSettings& settings) {
    settings.kind = screenKindOf(dialogue.commandWord(2));
    if (settings.kind == ScreenKind::none) return "the output name must end in .SCC, .SCA or .SCB";
    for (std::size_t i = 3; i < dialogue.words.size(); ++i) {
        const std::string word = dialogue.words[i];
        if (word == "none")
            settings.dithering = Dithering::none;
        else if (word == "diffuse")
            settings.dithering = Dithering::diffuse;
        else if (word == "rgb")
            settings.metric = ErrorMetric::rgb;
        else if (word == "lab")
            settings.metric = ErrorMetric::lab;
        else if (word == "nopalette")
            settings.palettePixels = false;
        else if (word == "full")
            settings.fullSearch = true;
        else if (word == "straight")
            settings.serpentine = false;
        else
            return "unknown word " + word;
    }
    return "";
}

// The picture's rows, the top row first, as red, green, blue.
static RgbPicture readPicture(Dialogue& dialogue, const std::string& name) {
    BinaryFile file;
    PictureRows rows;
    const BmpHeader header = openInputPicture(dialogue, file, name, rows);
    RgbPicture picture;
    picture.width = header.width;
    picture.height = header.height;
    if (header.width > screenWidth || header.height > screenHeight)
        dialogue.fail("the picture is larger than 256 x 212: run pravun IN /m256x212 /t OUT first");
    picture.rgb.resize(3 * std::size_t(header.width) * std::size_t(header.height));
    std::vector<std::uint8_t> bgr(3 * std::size_t(header.width));
    for (std::int32_t y = 0; y < header.height; ++y) {
        const std::string problem = readPictureRow(rows, header.height - 1 - y, bgr.data());
        if (!problem.empty()) dialogue.fail(problem);
        std::uint8_t* out = &picture.rgb[3 * std::size_t(y) * std::size_t(header.width)];
        for (std::int32_t x = 0; x < header.width; ++x) {
            out[3 * x + 0] = bgr[3 * x + 2];
            out[3 * x + 1] = bgr[3 * x + 1];
            out[3 * x + 2] = bgr[3 * x + 0];
        }
    }
    return picture;
}

static void runEncoder(Dialogue& dialogue) {
    if (dialogue.words.size() < 3)
        dialogue.fail("usage: encode_screen IN.BMP OUT.SCC|OUT.SCA [WORD...]");
    EncoderSettings settings;
    std::string problem = settingsProblem(dialogue, settings);
    if (!problem.empty()) dialogue.fail(problem);
    const RgbPicture picture = readPicture(dialogue, dialogue.commandWord(1));
    EncodedScreen encoded;
    double fastest = 1e9;
    for (int run = 0; run < 3; ++run) {
        const std::clock_t start = std::clock();
        problem = encodeScreen(picture, settings, encoded);
        const double took = double(std::clock() - start) / CLOCKS_PER_SEC;
        if (!problem.empty()) dialogue.fail(problem);
        fastest = took < fastest ? took : fastest;
    }
    const std::vector<std::uint8_t> file = encodedFile(encoded);
    BinaryFile output;
    problem = openOutputProblem(output, dialogue.commandWord(2), nullptr);
    if (!problem.empty()) dialogue.fail(problem);
    output.put(1, file.data(), file.size());
    problem = commitOutputProblem(output, dialogue.commandWord(2));
    if (!problem.empty()) dialogue.fail(problem);
    char line[80];
    std::snprintf(line, sizeof line, "encode seconds %.4f palette %s", fastest,
                  encoded.usesPalette ? "yes" : "no");
    dialogue.printLine(line);
    dialogue.endProgram(0);
}

int main(int argc, char** argv) {
    Dialogue dialogue = consoleDialogue(argc, argv);
    runDialogue(dialogue, runEncoder);
    return 0;
}
