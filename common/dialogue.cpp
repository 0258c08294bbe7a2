#include "dialogue.h"

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <limits>
#include <new>

#include <fcntl.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

// Opens each closed descriptor of 0, 1 and 2 on /dev/null: open() takes the
// lowest free descriptor, which is the closed one.
static void fillClosedStandardDescriptors() {
#ifndef _WIN32
    for (int descriptor = 0; descriptor <= 2; ++descriptor) {
        if (fcntl(descriptor, F_GETFD) != -1 || errno != EBADF) continue;
        int opened = open("/dev/null", O_RDWR);
        if (opened > 2) close(opened); // someone else filled it meanwhile
    }
#endif
}

Dialogue consoleDialogue(int argc, char** argv) {
    fillClosedStandardDescriptors();
#ifdef SIGPIPE
    std::signal(SIGPIPE, SIG_IGN); // console writes then fail with EPIPE, ignored
#endif
#ifdef _WIN32
    // Line ends are written as CR LF by the dialogue itself: no translation.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stdin), _O_BINARY);
#endif
    Dialogue dialogue;
    dialogue.input = stdin;
    dialogue.output = stdout;
    dialogue.interactive = isatty(fileno(stdin)) != 0;
    for (int i = 0; i < argc; ++i) dialogue.words.push_back(argv[i]);
    return dialogue;
}

// ---- printing --------------------------------------------------------------

void Dialogue::printText(const std::string& text, bool lineEnd) {
    std::fwrite(text.data(), 1, text.size(), output);
    if (!text.empty()) atLineStart = false;
    if (lineEnd) endLine();
}

void Dialogue::printLine(const std::string& text) { printText(text, true); }

void Dialogue::endLine() {
    std::fwrite("\r\n", 1, 2, output);
    atLineStart = true;
}

void Dialogue::printSigned(std::int32_t value, bool lineEnd) {
    // A blank stands where a minus sign would.
    std::string text = std::to_string(value);
    if (value >= 0) text = " " + text;
    printText(text, lineEnd);
}

void Dialogue::printUnsigned(std::uint32_t value, bool lineEnd) {
    printText(std::to_string(value), lineEnd);
}

// ---- questions ----------------------------------------------------------

static std::string endedMessage(const std::string& refusal) {
    return refusal + ", and standard input ended before a valid answer was given";
}

void Dialogue::askLine() {
    const std::string refusal = pendingRefusal;
    pendingRefusal.clear();
    if (!interactive) {
        std::fflush(output); // the question is visible before the answer is read
        return;              // items come straight from the stream
    }
    printText("? ", false);
    std::fflush(output);
    answerLine.clear();
    readPosition = 0;
    int c;
    while ((c = std::fgetc(input)) != EOF && c != '\n') answerLine.push_back(char(c));
    if (c == EOF && answerLine.empty()) inputEnded = true;
    if (!answerLine.empty() && answerLine.back() == '\r') answerLine.pop_back();
    endLine();
    // The console ended instead of answering a question asked again.
    if (inputEnded && !refusal.empty()) fail(endedMessage(refusal));
}

std::int32_t Dialogue::askSigned32(const std::string& prompt) {
    printText(prompt, false);
    askLine();
    return readSigned32();
}

std::uint8_t Dialogue::askUnsigned8(const std::string& prompt) {
    printText(prompt, false);
    askLine();
    return readUnsigned8();
}

std::uint32_t Dialogue::askUnsigned32(const std::string& prompt) {
    printText(prompt, false);
    askLine();
    return readUnsigned32();
}

std::string Dialogue::askText(const std::string& prompt) {
    printText(prompt, false);
    askLine();
    return readText();
}

// Characters of the current answer: the console line, or the stream. The end
// of the console line reads as EOF, like the end of the stream.
int Dialogue::peekChar() {
    if (interactive)
        return readPosition < answerLine.size() ? (unsigned char)answerLine[readPosition] : EOF;
    int c = std::fgetc(input);
    if (c == EOF) {
        inputEnded = true;
        return EOF;
    }
    std::ungetc(c, input);
    return c;
}

int Dialogue::nextChar() {
    int c = peekChar();
    if (c == EOF) return EOF;
    if (interactive)
        ++readPosition;
    else
        std::fgetc(input);
    return c;
}

static bool isBlank(int c) { return c == ' ' || c == '\t'; }
static bool isLineEnd(int c) { return c == '\n' || c == '\r'; }

// Consumes one line end: LF, or CR with or without a following LF.
void Dialogue::consumeLineEnd() {
    if (nextChar() == '\r' && peekChar() == '\n') nextChar();
}

// After an item that ended at a blank, a closing quote, its maximum length or
// the end of input: skip blanks, then swallow one comma or line end.
void Dialogue::finishItem() {
    while (isBlank(peekChar())) nextChar();
    int c = peekChar();
    if (c == ',')
        nextChar();
    else if (isLineEnd(c))
        consumeLineEnd();
}

// Collects one item. A number item ends at a blank outside quotes and goes on
// after its closing quote; a text item keeps its blanks and ends at its
// closing quote. Commas outside quotes, line ends and the end of input end
// both kinds.
std::string Dialogue::takeItem(bool numberItem, bool* realForm) {
    const std::size_t maxLength = numberItem ? maxNumberItem : maxTextItem;
    std::string item;
    bool ampersandSeen = false;
    bool quoted = false;

    while (isBlank(peekChar())) nextChar();
    if (peekChar() == '"') {
        nextChar();
        quoted = true;
    }
    for (;;) {
        int c = peekChar();
        if (c == EOF) break;
        if (isLineEnd(c)) {
            consumeLineEnd();
            return item;
        }
        if (quoted && c == '"') {
            nextChar();
            quoted = false;
            if (!numberItem) break;
            continue;
        }
        if (!quoted && c == ',') {
            nextChar();
            return item;
        }
        if (!quoted && numberItem && isBlank(c)) break;
        nextChar();
        if (numberItem && !ampersandSeen) {
            if (c == '&') ampersandSeen = true;
            if (c == '.' || c == 'E' || c == 'e' || c == 'D' || c == 'd') *realForm = true;
            if (c == 'D') c = 'E';
            if (c == 'd') c = 'e';
        }
        item.push_back(char(c));
        if (item.size() == maxLength) break;
    }
    finishItem();
    return item;
}

NumberItem Dialogue::takeNumberItem() {
    NumberItem item;
    item.text = takeItem(true, &item.realForm);
    return item;
}

std::string Dialogue::takeTextItem() { return takeItem(false, nullptr); }

std::int32_t Dialogue::readSigned32() { return numberToSigned32(takeNumberItem()); }
std::uint8_t Dialogue::readUnsigned8() { return numberToUnsigned8(takeNumberItem()); }
std::uint32_t Dialogue::readUnsigned32() { return numberToUnsigned32(takeNumberItem()); }
std::string Dialogue::readText() { return takeTextItem(); }

std::string Dialogue::commandWord(std::size_t index) const {
    return index < words.size() ? words[index] : std::string();
}

// ---- ending -----------------------------------------------------------------

// Whether a redirected input has nothing more: one character is peeked. A
// console is never peeked, since that would wait for the user's typing.
bool Dialogue::streamAtEnd() {
    if (interactive) return false;
    int c = std::fgetc(input);
    if (c == EOF) return true;
    std::ungetc(c, input);
    return false;
}

void Dialogue::beforeAskingAgain(const std::string& refusal, int refusedInARow) {
    if (inputEnded || streamAtEnd()) {
        inputEnded = true;
        fail(endedMessage(refusal));
    }
    if (!interactive && refusedInARow >= maxRefusedAnswers)
        fail(refusal + ", and " + std::to_string(maxRefusedAnswers) +
             " answers in a row were not valid");
    pendingRefusal = refusal;
}

void Dialogue::fail(const std::string& message) {
    if (!atLineStart) endLine();
    printText(message, true);
    endProgram(1);
}

void Dialogue::endProgram(int status) {
    std::fflush(output);
    if (endHandler != nullptr) endHandler(status);
    std::exit(status); // closes the files; an unfinished output is removed
}

void runDialogue(Dialogue& dialogue, void (*program)(Dialogue&)) {
    try {
        program(dialogue);
    } catch (const std::bad_alloc&) {
        dialogue.fail("not enough memory for this picture");
    }
}

void answerStandardOptions(Dialogue& dialogue, const char* program, const char* const* helpLines,
                           std::size_t lineCount) {
    const std::string word = dialogue.commandWord(1);
    if (word == "--help" || word == "-h") {
        for (std::size_t i = 0; i < lineCount; ++i) dialogue.printLine(helpLines[i]);
        dialogue.endProgram(0);
    }
    if (word == "--version") {
        dialogue.printLine(std::string(program) + " " + PICTURE_TOOLS_VERSION);
        dialogue.endProgram(0);
    }
}

// ---- number conversions ---------------------------------------------------

std::uint32_t integerPattern(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i])) ++i;
    unsigned base = 10;
    bool negative = false;
    if (i + 1 < text.size() && text[i] == '&') {
        switch (text[i + 1]) {
        case 'H':
        case 'h': base = 16; break;
        case 'O':
        case 'o': base = 8; break;
        case 'B':
        case 'b': base = 2; break;
        }
        if (base != 10) i += 2;
    }
    if (base == 10 && i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const std::uint64_t limit = 4294967295u;
    std::uint64_t value = 0;
    for (; i < text.size(); ++i) {
        char c = text[i];
        unsigned digit;
        if (c >= '0' && c <= '9')
            digit = unsigned(c - '0');
        else if (c >= 'A' && c <= 'F')
            digit = unsigned(c - 'A' + 10);
        else if (c >= 'a' && c <= 'f')
            digit = unsigned(c - 'a' + 10);
        else
            break;
        if (digit >= base) break;
        value = value * base + digit;
        if (value > limit) value = limit; // saturates in every base
    }
    std::uint32_t pattern = std::uint32_t(value);
    return negative ? 0u - pattern : pattern;
}

std::int32_t textToInteger(const std::string& text) { return std::int32_t(integerPattern(text)); }

static bool isDigit(char c) { return c >= '0' && c <= '9'; }

long double nearestInteger(const std::string& text) {
    // Take the longest prefix of the form [sign] digits [. digits] [E [sign]
    // digits] and leave hexadecimal floats, "inf" and "nan" to nobody.
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i])) ++i;
    std::string number;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) number.push_back(text[i++]);
    bool digits = false;
    while (i < text.size() && isDigit(text[i])) {
        number.push_back(text[i++]);
        digits = true;
    }
    if (i < text.size() && text[i] == '.') {
        number.push_back(text[i++]);
        while (i < text.size() && isDigit(text[i])) {
            number.push_back(text[i++]);
            digits = true;
        }
    }
    if (!digits) return 0;
    if (i < text.size() && (text[i] == 'E' || text[i] == 'e')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
        if (j < text.size() && isDigit(text[j])) {
            while (j < text.size() && isDigit(text[j])) ++j;
            number += text.substr(i, j - i);
        }
    }
    // The default rounding mode sends halves to the even neighbour.
    return std::nearbyint(std::strtold(number.c_str(), nullptr));
}

std::int32_t numberToSigned32(const NumberItem& item) {
    if (!item.realForm) return std::int32_t(integerPattern(item.text));
    long double value = nearestInteger(item.text);
    if (value < -2147483648.0L || value > 2147483647.0L) return -2147483647 - 1;
    return std::int32_t(value);
}

std::uint8_t numberToUnsigned8(const NumberItem& item) {
    if (!item.realForm) return std::uint8_t(integerPattern(item.text) & 0xFF);
    // Through a signed 16-bit value: out of range becomes -32768, low byte 0.
    long double value = nearestInteger(item.text);
    std::int32_t narrow = (value < -32768.0L || value > 32767.0L) ? -32768 : std::int32_t(value);
    return std::uint8_t(narrow & 0xFF);
}

std::uint32_t numberToUnsigned32(const NumberItem& item) {
    if (!item.realForm) return integerPattern(item.text);
    // Through a signed 64-bit value: out of range becomes its lowest value.
    long double value = nearestInteger(item.text);
    const long double twoTo63 = 9223372036854775808.0L;
    std::int64_t wide = (value < -twoTo63 || value >= twoTo63)
                            ? std::numeric_limits<std::int64_t>::min()
                            : std::int64_t(value);
    return std::uint32_t(std::uint64_t(wide) & 0xFFFFFFFFu);
}
