#include "command_line.h"

// ---- option words -------------------------------------------------------------

bool isOptionWord(const std::string& word) {
    return !word.empty() && word[0] == '/' && word.find('/', 1) == std::string::npos;
}

// The character code at a 1-based position; 0 past the end of the word.
static unsigned char charAt(const std::string& word, std::size_t position) {
    return position >= 1 && position <= word.size() ? (unsigned char)word[position - 1] : 0;
}

std::size_t appendDigits(const std::string& word, std::size_t start, std::uint32_t& field) {
    const std::size_t maxDigits = 5;
    std::size_t position = start;
    for (; position < start + maxDigits; ++position) {
        unsigned char c = charAt(word, position);
        if (c < '0' || c > '9') break;
        field = field * 10 + std::uint32_t(c - '0'); // unsigned: wraps modulo 2^32
    }
    return position;
}

// "/m320x240": the width from position 3; the character where it ended is
// skipped whatever it is, and the height follows it.
static void applyBoxOption(const std::string& word, ResizeSettings& settings) {
    settings.fitToBox = true;
    std::size_t end = appendDigits(word, 3, settings.requestedWidth);
    appendDigits(word, end + 1, settings.requestedHeight);
}

void applyOptionWord(const std::string& word, ResizeSettings& settings) {
    switch (charAt(word, 2)) {
    case 'm':
    case 'M': applyBoxOption(word, settings); break;
    case 'h':
    case 'H': appendDigits(word, 3, settings.requestedWidth); break;
    case 'v':
    case 'V': appendDigits(word, 3, settings.requestedHeight); break;
    case 'a':
    case 'A': appendDigits(word, 3, settings.pixelAspect); break;
    case 't':
    case 'T': settings.cropToBox = true; break;
    default: break; // unknown letters and a lone "/" are ignored
    }
}

// ---- the command-line words ---------------------------------------------------
//
// Word 1 is the input name. Words 2, 3 and 4 are scanned for options; the
// first word that is not an option ends the scan and, when it is not empty,
// is the output name. Word 2 is never the output name, and nothing after the
// third option is read: in both cases the output name is asked for.

// "/e" (either case) asks for the exact mean. It may stand anywhere after the
// input name and is taken out before the other words are classified, so it
// counts toward neither the three option words nor the output's place.
static std::vector<std::string> wordsWithoutExactMean(const Dialogue& dialogue, bool& exactMean) {
    std::vector<std::string> words;
    for (std::size_t i = 0; i < dialogue.words.size(); ++i) {
        const std::string& word = dialogue.words[i];
        if (i >= 2 && (word == "/e" || word == "/E"))
            exactMean = true;
        else
            words.push_back(word);
    }
    return words;
}

WordReading readCommandWords(const Dialogue& dialogue) {
    WordReading reading;
    const std::vector<std::string> words =
        wordsWithoutExactMean(dialogue, reading.settings.exactMean);
    auto word = [&](std::size_t index) { return index < words.size() ? words[index] : ""; };
    const std::string first = word(1);
    if (first.empty() || isOptionWord(first)) {
        reading.showUsage = true;
        return reading;
    }
    reading.settings.inputPath = first;
    std::size_t index = 2;
    while (index <= 4 && isOptionWord(word(index))) {
        applyOptionWord(word(index), reading.settings);
        ++index;
    }
    const std::string stopWord = word(index);
    if (index == 3 || index == 4) reading.settings.outputPath = stopWord;
    reading.askOutputPath = reading.settings.outputPath.empty();
    return reading;
}

// ---- printing and asking --------------------------------------------------------

void printUsage(Dialogue& dialogue) {
    static const char* const lines[] = {
        "usage:",
        "PRAVUN INPUT.BMP /h320 /v240 OUTPUT.BMP",
        "        (if only h or v is specified the other will be",
        "          calculated according to the aspect ratio)",
        "PRAVUN INPUT.BMP /m320x240 OUTPUT.BMP",
        "        (hold h dimensions to max. h=320 and v=240",
        "          but maintain original aspect ratio)",
        "PRAVUN INPUT.BMP /m320x240 /t OUTPUT.BMP",
        "        (cut edges of image to match aspect ratio)",
        "PRAVUN INPUT.BMP /m640x240 /a50 OUTPUT.BMP",
        "        (target image will have non-square pixels",
        "          a<100 is skinny pixels, a>100 is wide pixels)",
        "or answer the prompts:",
    };
    for (const char* line : lines) dialogue.printLine(line);
}

ResizeSettings gatherSettings(Dialogue& dialogue) {
    dialogue.printLine("Brovent quick 24-bit BMP resizer V2.32");
    dialogue.endLine();
    WordReading reading = readCommandWords(dialogue);
    ResizeSettings& settings = reading.settings;
    if (reading.showUsage) {
        printUsage(dialogue);
        settings.inputPath = dialogue.askText("infile ");
        settings.outputPath = dialogue.askText("outfile ");
    } else if (reading.askOutputPath) {
        dialogue.printText("infile ", false);
        dialogue.printLine(settings.inputPath);
        settings.outputPath = dialogue.askText("outfile ");
    }
    return settings;
}

// The menu is printed once; any choice but 1, 2 or 3 is asked for again,
// right after the menu lines, with no prompt of its own.
void askSizeIfMissing(Dialogue& dialogue, ResizeSettings& settings, std::uint32_t inputWidth,
                      std::uint32_t inputHeight) {
    if (settings.requestedWidth != 0 || settings.requestedHeight != 0) return;
    dialogue.printText("height: ", false);
    dialogue.printUnsigned(inputHeight, false);
    dialogue.printText(" width: ", false);
    dialogue.printUnsigned(inputWidth, true);
    dialogue.printLine("1. resize to height");
    dialogue.printLine("2. resize to width");
    dialogue.printLine("3. resize to height and width");
    std::uint8_t choice = dialogue.askUnsigned8("");
    for (int refused = 1; choice < 1 || choice > 3; ++refused) {
        dialogue.beforeAskingAgain(
            "size menu choice " + std::to_string(choice) + " is not 1, 2 or 3", refused);
        choice = dialogue.askUnsigned8("");
    }
    if (choice == 1 || choice == 3)
        settings.requestedHeight = dialogue.askUnsigned32("new height ");
    if (choice == 2 || choice == 3) settings.requestedWidth = dialogue.askUnsigned32("new width ");
}
