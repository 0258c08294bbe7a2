// The console dialogue shared by both programs: printing lines, asking
// questions, reading and converting answers, command-line words, ending.
//
// Every line end printed is CR LF. A question is its text printed without a
// line end, then askLine(), then exactly one read operation. On an interactive
// console askLine() shows "? " and reads one line; otherwise nothing is shown
// and the read operations take their items straight from the input stream.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Longest number item and text item; longer input ends the item there.
constexpr std::size_t maxNumberItem = 67;
constexpr std::size_t maxTextItem = 4096;

// One number item as collected: its text (D and d before any ampersand already
// turned into E and e) and whether it is read in the real-number form.
struct NumberItem {
    std::string text;
    bool realForm = false;
};

struct Dialogue {
    std::FILE* input = nullptr;     // where answers come from
    std::FILE* output = nullptr;    // where everything is printed
    bool interactive = false;       // input is a console: "? " and whole lines
    std::vector<std::string> words; // command-line words, word 0 the program
    std::string answerLine;         // last console line, without its line end
    std::size_t readPosition = 0;   // next unread character of answerLine
    bool inputEnded = false;        // a read met the end of the input stream
    bool atLineStart = true;        // the last byte printed ended a line
    // When set, endProgram calls it instead of ending the process, so that a
    // harness can run a whole program in-process (it throws to unwind).
    void (*endHandler)(int status) = nullptr;

    void printText(const std::string& text, bool lineEnd);
    void endLine();
    void printSigned(std::int32_t value, bool lineEnd);
    void printUnsigned(std::uint32_t value, bool lineEnd);

    void askLine();
    std::int32_t readSigned32();
    std::uint8_t readUnsigned8();
    std::uint32_t readUnsigned32();
    std::string readText();

    std::string commandWord(std::size_t index) const;

    // Called before a question is asked again: once the input has ended no
    // valid answer can come, so the run ends with one line and status 1.
    void requireMoreInput();
    // Prints one line, on a fresh line, and ends the program with status 1.
    [[noreturn]] void fail(const std::string& message);
    // Writes out everything printed and ends the process with the status.
    [[noreturn]] void endProgram(int status);

    // Item reading, exposed for the tests.
    NumberItem takeNumberItem();
    std::string takeTextItem();
    int peekChar();
    int nextChar();
};

// The dialogue on standard input and output, with the program's arguments.
Dialogue consoleDialogue(int argc, char** argv);

// Answers "--help" or "--version" as word 1: prints the help lines, or the
// program's name and version, and ends with status 0. Otherwise does nothing.
void answerStandardOptions(Dialogue& dialogue, const char* program, const char* const* helpLines,
                           std::size_t lineCount);

// Conversions of a collected number item, one per read operation.
std::int32_t numberToSigned32(const NumberItem& item);
std::uint8_t numberToUnsigned8(const NumberItem& item);
std::uint32_t numberToUnsigned32(const NumberItem& item);

// The 32-bit pattern of the integer form: &H, &O, &B prefixes or a decimal
// with an optional sign; a decimal magnitude saturates at 4294967295 and "-"
// negates modulo 2^32.
std::uint32_t integerPattern(const std::string& text);
// The integer value of a command-line word: the integer form taken as signed.
std::int32_t textToInteger(const std::string& text);
// The real-number form rounded to the nearest integer, ties to even.
long double nearestInteger(const std::string& text);
