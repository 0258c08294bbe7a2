#include "settings.h"

// ---- taking answers ---------------------------------------------------------
//
// In batch mode an answer is the next command-line word; otherwise the
// question is asked on the console. A question asked again always goes to the
// console, in batch mode too, and later answers still come from the words.

static std::uint8_t askUnsigned8(Dialogue& dialogue, const std::string& prompt) {
    dialogue.printText(prompt, false);
    dialogue.askLine();
    return dialogue.readUnsigned8();
}

static std::int32_t askSigned32(Dialogue& dialogue, const std::string& prompt) {
    dialogue.printText(prompt, false);
    dialogue.askLine();
    return dialogue.readSigned32();
}

static std::string askText(Dialogue& dialogue, const std::string& prompt) {
    dialogue.printText(prompt, false);
    dialogue.askLine();
    return dialogue.readText();
}

static std::string nextWord(Dialogue& dialogue, ConverterSettings& settings) {
    return dialogue.commandWord(settings.nextArg++);
}

static std::uint8_t takeUnsigned8(Dialogue& dialogue, ConverterSettings& settings,
                                  const std::string& prompt) {
    if (settings.batchMode) return std::uint8_t(textToInteger(nextWord(dialogue, settings)) & 0xFF);
    return askUnsigned8(dialogue, prompt);
}

static std::string takeText(Dialogue& dialogue, ConverterSettings& settings,
                            const std::string& prompt) {
    if (settings.batchMode) return nextWord(dialogue, settings);
    return askText(dialogue, prompt);
}

// ---- the menu and the masks ---------------------------------------------------

static void printGreeting(Dialogue& dialogue) {
    dialogue.endLine();
    dialogue.printText("Brovent 24bit BMP -> YUV/YJK tessalo V1", true);
    dialogue.endLine();
}

static void printMenu(Dialogue& dialogue) {
    dialogue.printText("select color depth", true);
    dialogue.endLine();
    dialogue.printText("1) YJK 888", true);
    dialogue.printText("2) YJK 566       (MSX screen 12)", true);
    dialogue.printText("3) YJK 466       (MSX screen 10)", true);
    dialogue.printText("4) YUV 888", true);
    dialogue.printText("5) custom YJK", true);
    dialogue.printText("6) custom YUV", true);
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
static void takeCustomMasks(Dialogue& dialogue, ConverterSettings& settings, const char* first,
                            const char* second) {
    const std::string a = first, b = second;
    settings.bitmask1Y = takeUnsigned8(dialogue, settings, "bitmask1 y");
    settings.bitmask1A = takeUnsigned8(dialogue, settings, "bitmask1 " + a);
    settings.bitmask1B = takeUnsigned8(dialogue, settings, "bitmask1 " + b);
    settings.bitmask2Y = takeUnsigned8(dialogue, settings, "bitmask2 y");
    settings.bitmask2A = takeUnsigned8(dialogue, settings, "bitmask2 " + a);
    settings.bitmask2B = takeUnsigned8(dialogue, settings, "bitmask2 " + b);
}

// Applies the chosen option. A bitmask1Y of 1 marks "no valid choice yet":
// an unknown option leaves it, and a custom bitmask1Y of 1 is never accepted.
static void applyOption(Dialogue& dialogue, ConverterSettings& settings) {
    settings.bitmask1Y = 1;
    settings.useYuv = false;
    switch (settings.option) {
    case 1: setMasks(settings, 0xFF, 0xFF, 0xFF, 0, 0, 0); break;
    case 2: setMasks(settings, 0xF8, 0xFC, 0xFC, 4, 2, 2); break; // 5/6/6 bits, half steps
    case 3: setMasks(settings, 0xF0, 0xFC, 0xFC, 8, 2, 2); break; // 4/6/6 bits, half steps
    case 4:
        setMasks(settings, 0xFF, 0xFF, 0xFF, 0, 0, 0);
        settings.useYuv = true;
        break;
    case 5: takeCustomMasks(dialogue, settings, "j", "k"); break;
    case 6:
        takeCustomMasks(dialogue, settings, "u", "v");
        settings.useYuv = true;
        break;
    default: break;
    }
}

static void takeOption(Dialogue& dialogue, ConverterSettings& settings) {
    if (settings.batchMode)
        settings.option = textToInteger(nextWord(dialogue, settings));
    else
        settings.option = askSigned32(dialogue, "option");
    applyOption(dialogue, settings);
    while (settings.bitmask1Y == 1) {
        dialogue.requireMoreInput();
        settings.option = askSigned32(dialogue, "option");
        applyOption(dialogue, settings);
    }
}

// ---- subsampling, dithering, filter, names ------------------------------------

static bool isFactor(std::uint8_t value) { return value == 1 || value == 2 || value == 4; }

static const char* const horizontalPrompt = "chroma subsampling horizontal factor (1,2,4)";
static const char* const verticalPrompt = "chroma subsampling vertical factor (1,2,4)";

static void askHorizontalUntilValid(Dialogue& dialogue, ConverterSettings& settings) {
    while (!isFactor(settings.hFactor)) {
        dialogue.requireMoreInput();
        settings.hFactor = askUnsigned8(dialogue, horizontalPrompt);
    }
}

// An invalid vertical factor asks both factors anew, the horizontal one on
// the console and the vertical one the usual way (the next word in batch mode).
static void takeFactors(Dialogue& dialogue, ConverterSettings& settings) {
    settings.hFactor = takeUnsigned8(dialogue, settings, horizontalPrompt);
    askHorizontalUntilValid(dialogue, settings);
    settings.vFactor = takeUnsigned8(dialogue, settings, verticalPrompt);
    while (!isFactor(settings.vFactor)) {
        dialogue.requireMoreInput();
        settings.hFactor = askUnsigned8(dialogue, horizontalPrompt);
        askHorizontalUntilValid(dialogue, settings);
        settings.vFactor = takeUnsigned8(dialogue, settings, verticalPrompt);
    }
    settings.hShift = settings.hFactor >> 1; // 1, 2, 4 give 0, 1, 2
    settings.vShift = settings.vFactor >> 1;
}

static std::uint8_t takeDitherLevel(Dialogue& dialogue, ConverterSettings& settings,
                                    const std::string& prompt) {
    std::uint8_t level = takeUnsigned8(dialogue, settings, prompt);
    while (level > 2) {
        dialogue.requireMoreInput();
        level = askUnsigned8(dialogue, prompt);
    }
    return level;
}

ConverterSettings gatherSettings(Dialogue& dialogue) {
    ConverterSettings settings;
    printGreeting(dialogue);
    settings.batchMode = dialogue.commandWord(1) == "batch";
    if (!settings.batchMode) printMenu(dialogue);

    takeOption(dialogue, settings);
    takeFactors(dialogue, settings);
    settings.lumaDither = takeDitherLevel(dialogue, settings, "luma plane dithering level (0...2)");
    settings.chromaDither =
        takeDitherLevel(dialogue, settings, "chroma plane dithering level (0...2)");
    settings.dacFilter = false;
    if (!settings.useYuv) {
        std::string answer = takeText(dialogue, settings, "filter for V9958 DAC (RGB 555) (y/n)");
        settings.dacFilter = answer == "y" || answer == "Y";
    }
    settings.inFile = takeText(dialogue, settings, "infile ");
    settings.outFile = takeText(dialogue, settings, "outfile ");
    return settings;
}
