#include "settings.h"

#include <cstddef>

// ---- taking answers ---------------------------------------------------------
//
// Word 1 "batch" gives batch mode: each answer is then the next command-line
// word. Otherwise each question is asked on the console. A question asked
// again always goes to the console, in batch mode too, and later answers
// still come from the words.

struct Answers {
    Dialogue& dialogue;
    bool batchMode = false;   // command-line word 1 is exactly "batch"
    std::size_t nextWord = 2; // the next command-line word to take in batch mode
};

static std::string nextWord(Answers& answers) {
    return answers.dialogue.commandWord(answers.nextWord++);
}

static std::uint8_t takeUnsigned8(Answers& answers, const std::string& prompt) {
    if (answers.batchMode) return std::uint8_t(textToInteger(nextWord(answers)) & 0xFF);
    return answers.dialogue.askUnsigned8(prompt);
}

static std::int32_t takeSigned32(Answers& answers, const std::string& prompt) {
    if (answers.batchMode) return textToInteger(nextWord(answers));
    return answers.dialogue.askSigned32(prompt);
}

static std::string takeText(Answers& answers, const std::string& prompt) {
    if (answers.batchMode) return nextWord(answers);
    return answers.dialogue.askText(prompt);
}

// ---- the menu and the masks ---------------------------------------------------

static void printGreeting(Dialogue& dialogue) {
    dialogue.endLine();
    dialogue.printLine("Brovent 24bit BMP -> YUV/YJK tessalo V1");
    dialogue.endLine();
}

static void printMenu(Dialogue& dialogue) {
    dialogue.printLine("select color depth");
    dialogue.endLine();
    dialogue.printLine("1) YJK 888");
    dialogue.printLine("2) YJK 566       (MSX screen 12)");
    dialogue.printLine("3) YJK 466       (MSX screen 10)");
    dialogue.printLine("4) YUV 888");
    dialogue.printLine("5) custom YJK");
    dialogue.printLine("6) custom YUV");
}

static void setMasks(ConverterSettings& settings, std::uint8_t mask1Y, std::uint8_t mask1A,
                     std::uint8_t mask1B, std::uint8_t mask2Y, std::uint8_t mask2A,
                     std::uint8_t mask2B) {
    settings.bitmask1Y = mask1Y;
    settings.bitmask1A = mask1A;
    settings.bitmask1B = mask1B;
    settings.bitmask2Y = mask2Y;
    settings.bitmask2A = mask2A;
    settings.bitmask2B = mask2B;
}

// Custom masks in the order 1Y, 1A, 1B, 2Y, 2A, 2B; the chroma letters are
// "j"/"k" for YJK and "u"/"v" for YUV.
static void takeCustomMasks(Answers& answers, ConverterSettings& settings, const char* first,
                            const char* second) {
    const std::string a = first, b = second;
    settings.bitmask1Y = takeUnsigned8(answers, "bitmask1 y");
    settings.bitmask1A = takeUnsigned8(answers, "bitmask1 " + a);
    settings.bitmask1B = takeUnsigned8(answers, "bitmask1 " + b);
    settings.bitmask2Y = takeUnsigned8(answers, "bitmask2 y");
    settings.bitmask2A = takeUnsigned8(answers, "bitmask2 " + a);
    settings.bitmask2B = takeUnsigned8(answers, "bitmask2 " + b);
}

// Applies the chosen option; gives the reason it is refused, or "" when it
// stands. A custom luma mask of 1 is refused too: it brings the option
// question back, like an unknown option.
static std::string applyOption(Answers& answers, ConverterSettings& settings) {
    settings.useYuv = false;
    switch (settings.option) {
    case 1: setMasks(settings, 0xFF, 0xFF, 0xFF, 0, 0, 0); break;
    case 2: setMasks(settings, 0xF8, 0xFC, 0xFC, 4, 2, 2); break; // 5/6/6 bits, half steps
    case 3: setMasks(settings, 0xF0, 0xFC, 0xFC, 8, 2, 2); break; // 4/6/6 bits, half steps
    case 4:
        setMasks(settings, 0xFF, 0xFF, 0xFF, 0, 0, 0);
        settings.useYuv = true;
        break;
    case 5: takeCustomMasks(answers, settings, "j", "k"); break;
    case 6:
        takeCustomMasks(answers, settings, "u", "v");
        settings.useYuv = true;
        break;
    default: return "option " + std::to_string(settings.option) + " is not 1 to 6";
    }
    if (settings.option >= 5 && settings.bitmask1Y == 1)
        return "option " + std::to_string(settings.option) + " with bitmask1 y 1 is not accepted";
    return "";
}

static void takeOption(Answers& answers, ConverterSettings& settings) {
    settings.option = takeSigned32(answers, "option");
    std::string refusal = applyOption(answers, settings);
    for (int refused = 1; !refusal.empty(); ++refused) {
        answers.dialogue.beforeAskingAgain(refusal, refused);
        settings.option = answers.dialogue.askSigned32("option");
        refusal = applyOption(answers, settings);
    }
}

// ---- subsampling, dithering, filter, names ------------------------------------

static bool isFactor(std::uint8_t value) { return value == 1 || value == 2 || value == 4; }

static std::string factorRefusal(const char* direction, std::uint8_t factor) {
    return std::string("chroma subsampling ") + direction + " factor " + std::to_string(factor) +
           " is not 1, 2 or 4";
}

static const char* const horizontalPrompt = "chroma subsampling horizontal factor (1,2,4)";
static const char* const verticalPrompt = "chroma subsampling vertical factor (1,2,4)";

// An invalid vertical factor asks both factors anew, the horizontal one on
// the console and the vertical one the usual way (the next word in batch
// mode). Both factors are one re-asking loop: its refusals count together.
static void takeFactors(Answers& answers, ConverterSettings& settings) {
    Dialogue& dialogue = answers.dialogue;
    int refused = 0;
    settings.hFactor = takeUnsigned8(answers, horizontalPrompt);
    for (;;) {
        while (!isFactor(settings.hFactor)) {
            dialogue.beforeAskingAgain(factorRefusal("horizontal", settings.hFactor), ++refused);
            settings.hFactor = dialogue.askUnsigned8(horizontalPrompt);
        }
        settings.vFactor = takeUnsigned8(answers, verticalPrompt);
        if (isFactor(settings.vFactor)) break;
        dialogue.beforeAskingAgain(factorRefusal("vertical", settings.vFactor), ++refused);
        settings.hFactor = dialogue.askUnsigned8(horizontalPrompt);
    }
    settings.hShift = settings.hFactor >> 1; // 1, 2, 4 give 0, 1, 2
    settings.vShift = settings.vFactor >> 1;
}

static std::uint8_t takeDitherLevel(Answers& answers, const char* plane) {
    const std::string prompt = std::string(plane) + " plane dithering level (0...2)";
    std::uint8_t level = takeUnsigned8(answers, prompt);
    for (int refused = 1; level > 2; ++refused) {
        answers.dialogue.beforeAskingAgain(std::string(plane) + " plane dithering level " +
                                               std::to_string(level) + " is not 0, 1 or 2",
                                           refused);
        level = answers.dialogue.askUnsigned8(prompt);
    }
    return level;
}

ConverterSettings gatherSettings(Dialogue& dialogue) {
    ConverterSettings settings;
    Answers answers{dialogue, dialogue.commandWord(1) == "batch"};
    printGreeting(dialogue);
    if (!answers.batchMode) printMenu(dialogue);

    takeOption(answers, settings);
    takeFactors(answers, settings);
    settings.lumaDither = takeDitherLevel(answers, "luma");
    settings.chromaDither = takeDitherLevel(answers, "chroma");
    settings.dacFilter = false;
    if (!settings.useYuv) {
        std::string answer = takeText(answers, "filter for V9958 DAC (RGB 555) (y/n)");
        settings.dacFilter = answer == "y" || answer == "Y";
    }
    settings.inFile = takeText(answers, "infile ");
    settings.outFile = takeText(answers, "outfile ");
    return settings;
}
