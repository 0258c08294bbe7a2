// The console dialogue shared by both programs: printing lines, asking
// questions, reading and converting answers, command-line words, ending.
//
// Every line end printed is CR LF. A question (askText, askUnsigned8, ...) is
// its text printed without a line end, then askLine(), then exactly one read
// operation. On an interactive console askLine() shows "? " and reads one
// line; otherwise nothing is shown and the read operations take their items
// straight from the input stream.
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
    bool inputEnded = false;        // a read met the end of the input stream
    bool atLineStart = true;        // the last byte printed ended a line
    // When set, endProgram calls it instead of ending the process, so that a
    // harness can run a whole program in-process (it throws to unwind).
    void (*endHandler)(int status) = nullptr;

    void printText(const std::string& text, bool lineEnd);
    void printLine(const std::string& text);
    void endLine();
    void printSigned(std::int32_t value, bool lineEnd);
    void printUnsigned(std::uint32_t value, bool lineEnd);

    // A question: the prompt, then askLine, then one read. An empty prompt
    // asks right after the lines printed before it.
    std::int32_t askSigned32(const std::string& prompt);
    std::uint8_t askUnsigned8(const std::string& prompt);
    std::uint32_t askUnsigned32(const std::string& prompt);
    std::string askText(const std::string& prompt);

    // The steps of a question one by one.
    void askLine();
    std::int32_t readSigned32();
    std::uint8_t readUnsigned8();
    std::uint32_t readUnsigned32();
    std::string readText();

    std::string commandWord(std::size_t index) const;

    // Called before a question is asked again because its answer was
    // refused; `refusal` says what was refused and what was wanted ("luma
    // plane dithering level 3 is not 0, 1 or 2") and `refusedInARow` counts
    // the refusals of this re-asking loop so far, this one included. Ends the
    // run with one line and status 1 when no valid answer can come: standard
    // input has ended, or (when it is no console) 100 answers in a row were
    // refused.
    void beforeAskingAgain(const std::string& refusal, int refusedInARow);
    // Prints one line, on a fresh line, and ends the program with status 1.
    [[noreturn]] void fail(const std::string& message);
    // Writes out everything printed and ends the process with the status.
    [[noreturn]] void endProgram(int status);

  private:
    std::string answerLine;       // last console line, without its line end
    std::size_t readPosition = 0; // next unread character of answerLine
    std::string pendingRefusal;   // set while a question is asked again

    NumberItem takeNumberItem();
    std::string takeTextItem();
    std::string takeItem(bool numberItem, bool* realForm);
    void finishItem();
    void consumeLineEnd();
    bool streamAtEnd();
    int peekChar();
    int nextChar();
};

// Refused answers in a row after which a re-asking loop on a stream ends.
constexpr int maxRefusedAnswers = 100;

// The dialogue on standard input and output, with the program's arguments.
// Any of the descriptors 0, 1 and 2 that is closed is first opened on
// /dev/null, so that no file the program opens can take its place; a closed
// standard input thus reads as an ended one. A console that goes away (a
// closed pipe) does not end the run: SIGPIPE is ignored.
Dialogue consoleDialogue(int argc, char** argv);

// Runs a program's whole dialogue. A memory allocation that fails anywhere
// ends the run with "not enough memory for this picture" and status 1; the
// unfinished output is removed on the way.
void runDialogue(Dialogue& dialogue, void (*program)(Dialogue&));

// Answers "--help" (or "-h") or "--version" as word 1: prints the help lines,
// or the program's name and version, and ends with status 0. Otherwise does
// nothing.
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
