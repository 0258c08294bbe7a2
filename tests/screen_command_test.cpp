// The one-command form's words: what each line of words asks for, or the
// usage error it gets, and what its output and preview names write.
#include <gtest/gtest.h>

#include "screen_command.h"
#include "test_support.h"

namespace {

// The parsed command in one line, so that a table row can state all of it.
std::string summary(const ScreenCommand& c) {
    std::string text = "screen " + std::to_string(c.screen) + (c.fit ? " fit" : " fill") +
                       " aspect " + std::to_string(c.aspectWidth) + ":" +
                       std::to_string(c.aspectHeight) +
                       (c.encoder == ScreenEncoder::best ? " best" : " classic") +
                       (c.diffuse ? " diffuse" : " none") +
                       (c.metric == ColourMetric::lab ? " lab" : " rgb");
    if (!c.preview.empty()) text += " preview " + c.preview;
    if (!c.format.empty()) text += " format " + c.format;
    if (c.verbose) text += " verbose";
    if (c.help) text += " help";
    if (c.version) text += " version";
    return text + " in " + c.input + " out " + c.output;
}

struct ParseRow {
    std::vector<std::string> words; // after the program's name
    std::string expected;           // the summary, or the usage error
};

TEST(ScreenCommand, WordsGiveTheJobOrTheUsageError) {
    const ParseRow rows[] = {
        {{"--screen", "12", "photo.jpg", "PIC.SCC"},
         "screen 12 fill aspect 8:7 best diffuse rgb in photo.jpg out PIC.SCC"},
        {{"--screen=10", "--fit", "--preview", "view.png", "photo.png", "PIC.SCA"},
         "screen 10 fit aspect 8:7 best diffuse rgb preview view.png in photo.png out PIC.SCA"},
        {{"--pixel-aspect", "1:1", "in.bmp", "--encoder=classic", "--dither", "none", "--metric",
          "lab", "out.png", "--verbose"},
         "screen 12 fill aspect 1:1 classic none lab verbose in in.bmp out out.png"},
        {{"--fit", "--fill", "--format", "SCA", "--screen", "11", "-", "-"},
         "screen 11 fill aspect 8:7 best diffuse rgb format sca in - out -"},
        {{"--screen", "12", "--", "-odd.bmp", "--x.SCC"},
         "screen 12 fill aspect 8:7 best diffuse rgb in -odd.bmp out --x.SCC"},
        {{"--screen", "12", "-h"}, "screen 12 fill aspect 8:7 best diffuse rgb help in  out "},
        {{"--verbose", "--version"},
         "screen 12 fill aspect 8:7 best diffuse rgb verbose version in  out "},
        {{"--size", "a", "b"}, "unknown option --size"},
        {{"--fit=yes", "a", "b"}, "unknown option --fit=yes"},
        {{"--screen", "12", "-x", "a", "b"}, "unknown option -x"},
        {{"--screen", "9", "a", "b"}, "--screen takes 10, 11 or 12, not '9'"},
        {{"--pixel-aspect", "8x7", "a", "b"},
         "--pixel-aspect takes W:H, two whole numbers from 1 to 9999, not '8x7'"},
        {{"--pixel-aspect", "0:7", "a", "b"},
         "--pixel-aspect takes W:H, two whole numbers from 1 to 9999, not '0:7'"},
        {{"--encoder", "fast", "a", "b"}, "--encoder takes classic or best, not 'fast'"},
        {{"--dither", "yes", "a", "b"}, "--dither takes none or diffuse, not 'yes'"},
        {{"--metric", "ictcp", "a", "b"}, "--metric takes rgb or lab, not 'ictcp'"},
        {{"--format", "gif", "a", "-"}, "--format takes scc, sca, scb, png or bmp, not 'gif'"},
        {{"--screen", "a", "b"}, "--screen takes 10, 11 or 12, not 'a'"},
        {{"a", "b", "--preview"}, "--preview needs a value"},
        {{"--screen", "12"}, "missing the input and output names"},
        {{"--screen", "12", "in\n.jpg"}, "missing the output name after in\\n.jpg"},
        {{"--fit", "a", "b", "c"}, "one input and one output name, not also c"},
    };
    for (const ParseRow& row : rows) {
        std::vector<std::string> words = {"tessalo"};
        words.insert(words.end(), row.words.begin(), row.words.end());
        ScreenCommand command;
        const std::string problem = parseScreenCommand(words, command);
        EXPECT_EQ(problem.empty() ? summary(command) : problem, row.expected) << row.words[0];
    }
}

TEST(ScreenCommand, FirstWordChoosesTheForm) {
    EXPECT_TRUE(isScreenCommand({"tessalo", "--screen", "12", "a", "b"}));
    EXPECT_TRUE(isScreenCommand({"tessalo", "--fit", "a", "b"}));
    for (const char* first : {"--help", "--version", "--decode", "batch", "-h", "in.bmp"})
        EXPECT_FALSE(isScreenCommand({"tessalo", first})) << first;
    EXPECT_FALSE(isScreenCommand({"tessalo"}));
}

struct KindRow {
    int screen;
    std::string output, format, preview;
    std::string expected; // "kind preview-kind", or the refusal
};

std::string kindName(OutputKind kind) {
    switch (kind) {
    case OutputKind::screen12: return "screen12";
    case OutputKind::screen10: return "screen10";
    case OutputKind::png: return "png";
    case OutputKind::bmp: return "bmp";
    case OutputKind::none: break;
    }
    return "none";
}

TEST(ScreenCommand, NamesAndFormatSayWhatIsWritten) {
    const KindRow rows[] = {
        {12, "PIC.SCC", "", "", "screen12"},
        {12, "pic.scc", "", "view.PNG", "screen12 png"},
        {10, "PIC.SCA", "", "v.bmp", "screen10 bmp"},
        {11, "PIC.scb", "", "", "screen10"},
        {12, "view.png", "", "", "png"},
        {10, "view.Bmp", "", "", "bmp"},
        {12, "-", "scc", "", "screen12"},
        {12, "anything", "png", "", "png"},
        {12, "-", "", "", "standard output needs --format scc, sca, scb, png or bmp"},
        {12, "PIC.SC2", "", "",
         "outfile PIC.SC2: name it .SCC (screen 12), .SCA or .SCB (screens 10/11), .png or .bmp"},
        {12, "PIC.SCA", "", "", "outfile PIC.SCA is a screen 10/11 file, but --screen is 12"},
        {10, "PIC.SCC", "", "", "outfile PIC.SCC is a screen 12 file, but --screen is 10"},
        {11, "-", "scc", "", "outfile - is a screen 12 file, but --screen is 11"},
        {12, "PIC.SCC", "", "view.gif", "preview view.gif: name it .png or .bmp"},
    };
    for (const KindRow& row : rows) {
        ScreenCommand command;
        command.screen = row.screen;
        command.output = row.output;
        command.format = row.format;
        command.preview = row.preview;
        OutputKind kind = OutputKind::none, previewKind = OutputKind::none;
        std::string text = outputKindProblem(command, kind);
        if (text.empty() && !row.preview.empty()) text = previewKindProblem(command, previewKind);
        if (text.empty())
            text = kindName(kind) + (row.preview.empty() ? "" : " " + kindName(previewKind));
        EXPECT_EQ(text, row.expected) << row.output;
    }
}

} // namespace

// ---- the programs run, one row per path ------------------------------------------

namespace {

struct CommandRun {
    std::vector<std::string> words;
    int status;
    std::string errorStart; // what standard error starts with
};

// A run with standard error kept in a file of the folder.
RunResult runKeepingErrors(const Scratch& scratch, const std::vector<std::string>& words,
                           const std::string& answers, std::string& errors) {
    RunResult run =
        runProgram(TESSALO_EXECUTABLE, words, answers, scratch.folder, "exec 2>.stderr");
    const Bytes bytes = readFile(scratch.path(".stderr"));
    errors.assign(bytes.begin(), bytes.end());
    return run;
}

TEST(ScreenCommand, ProgramRunsEachPath) {
    Scratch scratch;
    writeFile(scratch.path("in.bmp"), bmpFile(asymmetricPicture(300, 200)));
    const CommandRun rows[] = {
        {{"--screen", "12", "in.bmp", "PIC.SCC"}, 0, ""},
        {{"--screen", "10", "--fit", "--preview", "view.png", "in.bmp", "PIC.SCA"}, 0, ""},
        {{"--screen", "12", "--encoder", "classic", "in.bmp", "CLASSIC.SCC"}, 0, ""},
        {{"--screen", "12", "--dither", "none", "in.bmp", "view.bmp"}, 0, ""},
        {{"--screen", "12", "in.bmp", "WRONG.SCA"}, 1,
         "tessalo: outfile WRONG.SCA is a screen 10/11 file, but --screen is 12\n"},
        {{"--screen", "12", "missing.bmp", "X.SCC"}, 1, "tessalo: cannot open infile missing.bmp"},
        {{"--screen", "12", "--size", "in.bmp", "X.SCC"}, 2,
         "tessalo: unknown option --size\nusage: tessalo"},
    };
    for (const CommandRun& row : rows) {
        std::string errors;
        const RunResult run = runKeepingErrors(scratch, row.words, "", errors);
        EXPECT_EQ(run.exitStatus, row.status) << row.words.back();
        EXPECT_EQ(run.console, "") << row.words.back();
        EXPECT_EQ(errors.substr(0, row.errorStart.size()), row.errorStart) << row.words.back();
        EXPECT_EQ(fileExists(scratch.path(row.words.back())), row.status == 0);
    }
    EXPECT_EQ(readFile(scratch.path("PIC.SCC")).size(), 54279u);
    // The preview is the decode of the file written, byte for byte.
    ASSERT_EQ(runProgram(TESSALO_EXECUTABLE, {"--decode", "PIC.SCA", "decoded.png"}, "",
                         scratch.folder)
                  .exitStatus,
              0);
    EXPECT_EQ(readFile(scratch.path("view.png")), readFile(scratch.path("decoded.png")));
    // The classic encoder is pravun's exact-mean fill, then the classic preset.
    runProgram(PRAVUN_EXECUTABLE, {"in.bmp", "/m256x212", "/t", "/a114", "/e"}, "screen.bmp\n",
               scratch.folder);
    runProgram(TESSALO_EXECUTABLE,
               {"batch", "2", "4", "1", "2", "1", "y", "screen.bmp", "TWO.SCC"}, "", scratch.folder);
    EXPECT_EQ(readFile(scratch.path("CLASSIC.SCC")), readFile(scratch.path("TWO.SCC")));
    // Standard input to standard output.
    std::string errors;
    const Bytes picture = readFile(scratch.path("in.bmp"));
    const RunResult piped = runKeepingErrors(scratch, {"--format", "SCC", "-", "-"},
                                             std::string(picture.begin(), picture.end()), errors);
    EXPECT_EQ(piped.exitStatus, 0) << errors;
    EXPECT_EQ(Bytes(piped.console.begin(), piped.console.end()), readFile(scratch.path("PIC.SCC")));
}

} // namespace
