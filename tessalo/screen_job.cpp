#include "screen_job.h"

#include <chrono>
#include <cstdio>
#include <new>

#include "decode.h"
#include "file_messages.h"
#include "geometry.h"
#include "input_picture.h"
#include "output_replacement.h"
#include "pass.h"
#include "preview_writer.h"
#include "resize_pass.h"
#include "screen_command.h"
#include "screen_encoder.h"

// ---- the console of this form: standard error, LF line ends ---------------------

static void printError(const std::string& line) {
    std::fputs(("tessalo: " + line + "\n").c_str(), stderr);
}

static void printLines(std::FILE* stream, const std::vector<std::string>& lines) {
    for (const std::string& line : lines) std::fputs((line + "\n").c_str(), stream);
}

// ---- the picture in -------------------------------------------------------------

// Standard input, which may be a pipe, is copied into an unnamed temporary
// file first: pictures are read by position.
[[nodiscard]] static std::string copyStandardInput(BinaryFile& copy) {
    if (!openUnnamedTemporary(copy)) return temporaryFileProblem(copy);
    std::vector<std::uint8_t> chunk(65536);
    std::size_t got;
    while ((got = std::fread(chunk.data(), 1, chunk.size(), stdin)) > 0 && copy.error == 0)
        copy.put(0, chunk.data(), got);
    if (std::ferror(stdin)) return "cannot read standard input";
    return copy.error != 0 ? temporaryFileProblem(copy) : "";
}

[[nodiscard]] static std::string openPicture(const ScreenCommand& command, BinaryFile& input,
                                             PictureRows& rows, BmpHeader& header) {
    std::string problem = command.input == "-" ? copyStandardInput(input)
                                               : openInputProblem(input, command.input);
    bool otherFormat = false;
    if (problem.empty()) problem = pictureProblem(input, command.input, rows, header, otherFormat);
    return problem;
}

// ---- the picture made to fit the screen -----------------------------------------

// The screen pixel's shape as pravun's percentage, rounded to the nearest:
// 8:7 gives 114, 61:44 gives 139. Sides of at most 9999 keep it in range.
static std::uint32_t pixelAspectPercent(const ScreenCommand& command) {
    return (200 * command.aspectWidth + command.aspectHeight) / (2 * command.aspectHeight);
}

// The whole screen as red, green, blue, black where the picture leaves room.
static RgbPicture blackScreen() {
    RgbPicture screen;
    screen.width = screenWidth;
    screen.height = screenHeight;
    screen.rgb.assign(3 * std::size_t(screenWidth) * screenHeight, 0);
    return screen;
}

// Puts `height` rows of `width` pixels, read bottom row first as the row
// reader gives them, centred on the screen.
[[nodiscard]] static std::string placeRows(PictureRows& rows, std::int32_t width,
                                           std::int32_t height, RgbPicture& screen) {
    const std::int32_t left = (screenWidth - width) / 2, top = (screenHeight - height) / 2;
    std::vector<std::uint8_t> bgr(3 * std::size_t(width));
    for (std::int32_t y = 0; y < height; ++y) {
        const std::string problem = readPictureRow(rows, height - 1 - y, bgr.data());
        if (!problem.empty()) return problem;
        std::uint8_t* out =
            &screen.rgb[3 * (std::size_t(top + y) * screenWidth + std::size_t(left))];
        for (std::size_t x = 0; x < bgr.size(); x += 3) {
            out[x + 0] = bgr[x + 2];
            out[x + 1] = bgr[x + 1];
            out[x + 2] = bgr[x + 0];
        }
    }
    return "";
}

// The byte source of an unnamed temporary BMP.
static void getFromTemporary(void* context, std::int64_t position, std::uint8_t* buffer,
                             std::size_t count) {
    static_cast<BinaryFile*>(context)->get(position, buffer, count);
}

// pravun's fill (the box covered, the overhang cut evenly) or fit (the whole
// picture in the box) into 256 x 212 for the pixel shape, with the exact
// mean, into an unnamed temporary BMP; then its rows onto the screen. A
// picture of the screen's size is taken as it is.
[[nodiscard]] static std::string fitToScreen(const ScreenCommand& command, PictureRows& rows,
                                             const BmpHeader& header, RgbPicture& screen) {
    if (header.width == screenWidth && header.height == screenHeight)
        return placeRows(rows, header.width, header.height, screen);
    ResizeSettings request;
    request.requestedWidth = screenWidth;
    request.requestedHeight = screenHeight;
    request.fitToBox = true;
    request.cropToBox = !command.fit;
    request.pixelAspect = pixelAspectPercent(command);
    ResizeGeometry geometry;
    std::string problem = targetGeometry(std::uint32_t(header.width),
                                         std::uint32_t(header.height), request, geometry);
    if (!problem.empty()) return problem;
    BinaryFile resized;
    if (!openUnnamedTemporary(resized)) return temporaryFileProblem(resized);
    problem = writeResizedPicture(rows, geometry, true, resized);
    if (problem.empty() && resized.error != 0) problem = temporaryFileProblem(resized);
    if (!problem.empty()) return problem;
    HeaderBytes bytes;
    resized.get(1, bytes.data(), bytes.size());
    const BmpHeader small = parseBmpHeader(bytes);
    PictureRows smallRows;
    problem = setUpPictureRows(smallRows, {getFromTemporary, &resized, resized.length()}, small);
    if (problem.empty()) problem = placeRows(smallRows, small.width, small.height, screen);
    return problem;
}

// ---- the screen file ------------------------------------------------------------

// The classic preset: option 2 (screen 12) or 3 (screens 10/11) with the
// chip's 4 x 1 chroma blocks; diffusion is error diffusion on luma and the
// checkerboard on chroma, as `tessalo batch 2 4 1 2 1 y` does it.
static PassSettings classicSettings(bool screen12, bool diffuse) {
    PassSettings pass;
    pass.grid = {4, 1, 2, 0};
    pass.luma = {std::uint8_t(screen12 ? 0xF8 : 0xF0), std::uint8_t(screen12 ? 4 : 8),
                 std::uint8_t(diffuse ? 2 : 0)};
    pass.chromaA = {0xFC, 2, std::uint8_t(diffuse ? 1 : 0)};
    pass.chromaB = pass.chromaA;
    return pass;
}

// The byte source of the screen as a plain BMP in memory.
static void getFromMemory(void* context, std::int64_t position, std::uint8_t* buffer,
                          std::size_t count) {
    const std::vector<std::uint8_t>& bytes = *static_cast<std::vector<std::uint8_t>*>(context);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint64_t at = std::uint64_t(position - 1) + i;
        buffer[i] = at < bytes.size() ? bytes[at] : 0;
    }
}

// The screen through tessalo's own pass, as a plain BMP in memory.
[[nodiscard]] static std::string classicFile(const RgbPicture& screen, ScreenKind kind,
                                             bool diffuse, std::vector<std::uint8_t>& file) {
    const std::uint32_t stride = 3 * screenWidth; // a multiple of 4: no padding
    const HeaderBytes header = plainHeader(screenWidth, screenHeight, nullptr);
    std::vector<std::uint8_t> bmp(header.begin(), header.end());
    for (std::int32_t y = screenHeight - 1; y >= 0; --y) // bottom row first
        for (std::int32_t x = 0; x < screenWidth; ++x) {
            const std::uint8_t* rgb = &screen.rgb[3 * (std::size_t(y) * screenWidth + x)];
            bmp.insert(bmp.end(), {rgb[2], rgb[1], rgb[0]});
        }
    const BmpHeader parsed = parseBmpHeader(header);
    PictureRows rows;
    std::string problem =
        setUpPictureRows(rows, {getFromMemory, &bmp, std::int64_t(bmp.size())}, parsed);
    const PassSettings pass = classicSettings(kind == ScreenKind::screen12, diffuse);
    const PictureGeometry geometry{screenWidth, screenHeight, stride};
    PassBuffers buffers;
    PreviewOutput output;
    output.colours = {false, false, pass.grid.hShift};
    output.screen = blankScreen(kind);
    if (problem.empty()) problem = sizePass(parsed, pass, geometry, buffers, output);
    if (problem.empty()) problem = convertPicture(rows, pass, geometry, buffers, output);
    file = bsaveFile(output.screen);
    return problem;
}

[[nodiscard]] static std::string bestFile(const RgbPicture& screen, ScreenKind kind,
                                          const ScreenCommand& command,
                                          std::vector<std::uint8_t>& file) {
    EncoderSettings settings;
    settings.kind = kind;
    settings.dithering = command.diffuse ? Dithering::diffuse : Dithering::none;
    settings.metric = command.metric == ColourMetric::lab ? ErrorMetric::lab : ErrorMetric::rgb;
    EncodedScreen encoded;
    const std::string problem = encodeScreen(screen, settings, encoded);
    if (problem.empty()) file = encodedFile(encoded);
    return problem;
}

// ---- the files out --------------------------------------------------------------

// "-" is standard output, written through its descriptor.
static std::string outputName(const std::string& name) {
    return name == "-" ? "/dev/stdout" : name;
}

[[nodiscard]] static std::string writeScreenFile(const std::string& name,
                                                 const std::vector<std::uint8_t>& file,
                                                 const BinaryFile& input) {
    BinaryFile output;
    const std::string problem = openOutputProblem(output, outputName(name), &input);
    if (!problem.empty()) return problem;
    output.put(1, file.data(), file.size());
    return commitOutputProblem(output, outputName(name));
}

// What the machine shows of the file: the decode of the bytes written,
// exactly as tessalo --decode writes it.
[[nodiscard]] static std::string writeView(const std::string& name, ScreenKind kind,
                                           const std::vector<std::uint8_t>& file,
                                           const BinaryFile& input) {
    return writeDecodedPicture(outputName(name), decodeScreen(kind, file), bsaveLines(file),
                               &input);
}

// ---- the run --------------------------------------------------------------------

struct Timer {
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    std::string seconds() const {
        const double s =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        char text[32];
        std::snprintf(text, sizeof text, "%.3f s", s);
        return text;
    }
};

[[nodiscard]] static std::string runJob(const ScreenCommand& command) {
    OutputKind kind = OutputKind::none, previewKind = OutputKind::none;
    std::string problem = outputKindProblem(command, kind);
    if (problem.empty() && !command.preview.empty())
        problem = previewKindProblem(command, previewKind);
    if (!problem.empty()) return problem;
    const bool verbose = command.verbose;
    Timer timer;

    BinaryFile input;
    PictureRows rows;
    BmpHeader header;
    problem = openPicture(command, input, rows, header);
    if (!problem.empty()) return problem;
    if (verbose)
        printError("read " + printableName(command.input) + ": " + std::to_string(header.width) +
                   " x " + std::to_string(header.height));
    RgbPicture screen = blackScreen();
    problem = fitToScreen(command, rows, header, screen);
    if (problem.empty() && command.input != "-") problem = inputReadProblem(input, command.input);
    if (!problem.empty()) return problem;
    if (verbose)
        printError(std::string(command.fit ? "fitted" : "filled") + " to 256 x 212, pixel shape " +
                   std::to_string(command.aspectWidth) + ":" +
                   std::to_string(command.aspectHeight) + " (" +
                   std::to_string(pixelAspectPercent(command)) + " %), " + timer.seconds());

    const ScreenKind screenKind = command.screen == 12 ? ScreenKind::screen12 : ScreenKind::screen10;
    std::vector<std::uint8_t> file;
    problem = command.encoder == ScreenEncoder::best
                  ? bestFile(screen, screenKind, command, file)
                  : classicFile(screen, screenKind, command.diffuse, file);
    if (!problem.empty()) return problem;
    if (verbose)
        printError(std::string(command.encoder == ScreenEncoder::best ? "best" : "classic") +
                   " encoder, screen " + std::to_string(command.screen) + ", " +
                   timer.seconds());

    const bool screenOut = kind == OutputKind::screen12 || kind == OutputKind::screen10;
    problem = screenOut ? writeScreenFile(command.output, file, input)
                        : writeView(command.output, screenKind, file, input);
    if (problem.empty() && !command.preview.empty())
        problem = writeView(command.preview, screenKind, file, input);
    if (problem.empty() && verbose)
        printError("wrote " + printableName(command.output) +
                   (command.preview.empty() ? "" : " and " + printableName(command.preview)) +
                   ", " + timer.seconds());
    return problem;
}

void answerScreenCommand(Dialogue& dialogue) {
    if (!isScreenCommand(dialogue.words)) return;
    ScreenCommand command;
    const std::string usageError = parseScreenCommand(dialogue.words, command);
    if (!usageError.empty()) {
        printError(usageError);
        printLines(stderr, screenCommandUsage());
        dialogue.endProgram(2);
    }
    if (command.help) {
        printLines(stdout, screenCommandUsage());
        dialogue.endProgram(0);
    }
    if (command.version) {
        std::fputs("tessalo " PICTURE_TOOLS_VERSION "\n", stdout);
        dialogue.endProgram(0);
    }
    std::string problem;
    try {
        problem = runJob(command);
    } catch (const std::bad_alloc&) {
        problem = "not enough memory for this picture";
    }
    if (!problem.empty()) {
        printError(problem);
        dialogue.endProgram(1);
    }
    dialogue.endProgram(0);
}
