// The console dialogue: number conversions, item splitting, questions on a
// console and on a redirected stream, printing, command-line words, ending.
// Every dialogue here is built by hand: its answers come from a temporary
// file holding the typed bytes and everything it prints lands in memory.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "dialogue.h"

namespace {

// A dialogue whose answers are the given bytes and whose output is kept.
class ScriptedDialogue {
  public:
    ScriptedDialogue(const std::string& answers, bool interactive) {
        dialogue.input = std::tmpfile();
        if (dialogue.input == nullptr) std::abort();
        std::fwrite(answers.data(), 1, answers.size(), dialogue.input);
        std::rewind(dialogue.input);
        dialogue.output = open_memstream(&printedBytes, &printedSize);
        if (dialogue.output == nullptr) std::abort();
        dialogue.interactive = interactive;
    }
    ScriptedDialogue(const ScriptedDialogue&) = delete;
    ScriptedDialogue& operator=(const ScriptedDialogue&) = delete;
    ~ScriptedDialogue() {
        std::fclose(dialogue.input);
        std::fclose(dialogue.output);
        std::free(printedBytes);
    }

    // Everything printed so far.
    std::string printed() {
        std::fflush(dialogue.output);
        return std::string(printedBytes, printedSize);
    }

    Dialogue dialogue;

  private:
    char* printedBytes = nullptr;
    std::size_t printedSize = 0;
};

// ---- number conversions -------------------------------------------------------

struct Unsigned8Row {
    const char* answer;
    int expected;
};

TEST(Dialogue, ReadUnsigned8ConvertsAnswers) {
    // clang-format off
    const std::vector<Unsigned8Row> rows = {
        {"300", 44},    // low 8 bits of the integer
        {"-1", 255},    // "-" negates modulo 2^32
        {"256", 0},
        {"65535", 255},
        {"&HF8", 248},
        {"&hf8", 248},
        {"&hFf", 255},
        {"&O17", 15},
        {"&o17", 15},
        {"&B101", 5},
        {"&b101", 5},
        {"&H1E", 30},   // an E after the ampersand is a hexadecimal digit
        {"&HD", 13},    // and a D stays a D
        {"&O19", 1},    // 9 is no octal digit
        {"&B12", 1},    // 2 is no base-2 digit
        {"&Z12", 0},    // no known base letter
        {"+7", 7},
        {"1d2", 100},   // d is read as an exponent letter
        {"1D2", 100},
        {"1E2", 100},
        {"2.5", 2},     // halves go to the even neighbour
        {"3.5", 4},
        {"0.5", 0},
        {"1.5", 2},
        {"-0.5", 0},
        {"255.5", 0},   // 256
        {"1e3", 232},   // 1000 = 0x03E8
        {"-129.0", 127}, // -129 as 16 bits is 0xFF7F
        {"32767.4", 255}, // 32767 = 0x7FFF
        {"32768.0", 0},   // outside 16 bits: -32768 = 0x8000
        {"1e5", 0},
        {"abc", 0},
        {"12abc", 12},
        {"", 0},
    };
    // clang-format on
    for (const Unsigned8Row& row : rows) {
        SCOPED_TRACE(std::string("answer \"") + row.answer + "\"");
        ScriptedDialogue scripted(std::string(row.answer) + "\n", false);
        EXPECT_EQ(scripted.dialogue.readUnsigned8(), row.expected);
    }
}

struct Signed32Row {
    const char* answer;
    std::int32_t expected;
};

TEST(Dialogue, ReadSigned32ConvertsAnswers) {
    // clang-format off
    const std::vector<Signed32Row> rows = {
        {"7", 7},
        {"-1", -1},
        {"-1.5", -2},
        {"-2.5", -2},
        {"2147483647", 2147483647},
        {"3000000000", -1294967296},     // the integer form wraps the 32-bit pattern
        {"4294967295", -1},
        {"5000000000", -1},              // saturates at 4294967295 first
        {"&HFFFFFFFF", -1},
        {"&H80000000", -2147483647 - 1},
        {"3e9", -2147483647 - 1},         // the real form outside the range
        {"2147483647.0", 2147483647},
        {"2147483647.5", -2147483647 - 1}, // rounds to 2147483648
        {"-2147483648.0", -2147483647 - 1},
        {"-3e9", -2147483647 - 1},
        {"", 0},
    };
    // clang-format on
    for (const Signed32Row& row : rows) {
        SCOPED_TRACE(std::string("answer \"") + row.answer + "\"");
        ScriptedDialogue scripted(std::string(row.answer) + "\n", false);
        EXPECT_EQ(scripted.dialogue.readSigned32(), row.expected);
    }
}

struct Unsigned32Row {
    const char* answer;
    std::uint32_t expected;
};

TEST(Dialogue, ReadUnsigned32ConvertsAnswers) {
    // clang-format off
    const std::vector<Unsigned32Row> rows = {
        {"640", 640u},
        {"-1", 4294967295u},
        {"4294967295", 4294967295u},
        {"5000000000", 4294967295u},  // saturates
        {"-5000000000", 1u},          // saturates, then negates modulo 2^32
        {"-1.0", 4294967295u},        // -1 as 64 bits, low half
        {"4294967296.0", 0u},
        {"1e10", 1410065408u},        // 10000000000 - 2 * 4294967296
        {"1e20", 0u},                 // outside 64 bits: the lowest 64-bit value
        {"-1e20", 0u},
        {"2.5", 2u},
        {"", 0u},
    };
    // clang-format on
    for (const Unsigned32Row& row : rows) {
        SCOPED_TRACE(std::string("answer \"") + row.answer + "\"");
        ScriptedDialogue scripted(std::string(row.answer) + "\n", false);
        EXPECT_EQ(scripted.dialogue.readUnsigned32(), row.expected);
    }
}

TEST(Dialogue, TextToIntegerConvertsWords) {
    // clang-format off
    const std::vector<Signed32Row> rows = {
        {"2.5", 2},  // no real form: the point stops the digits
        {"  7", 7},
        {"&HFF", 255},
        {"&hff", 255},
        {"&O777", 511},
        {"&b11", 3},
        {"", 0},
        {"abc", 0},
        {"1e3", 1},
        {"1d2", 1},
        {"+12", 12},
        {"-1", -1},
        {"3000000000", -1294967296},
        {"9999999999", -1},
    };
    // clang-format on
    for (const Signed32Row& row : rows) {
        SCOPED_TRACE(std::string("word \"") + row.answer + "\"");
        EXPECT_EQ(textToInteger(row.answer), row.expected);
    }
}

// ---- items on a redirected stream --------------------------------------------------

TEST(Dialogue, OneLineAnswersTwoQuestions) {
    ScriptedDialogue scripted("1,2\n", false);
    Dialogue& d = scripted.dialogue;
    d.printText("first", false);
    d.askLine();
    EXPECT_EQ(d.readUnsigned8(), 1);
    d.printText("second", false);
    d.askLine();
    EXPECT_EQ(d.readUnsigned8(), 2);
    EXPECT_EQ(scripted.printed(), "firstsecond"); // no "? " on a stream
}

struct NumberSplitRow {
    const char* name;
    std::string stream;
    std::vector<int> values; // successive readUnsigned8 results
};

TEST(Dialogue, NumberItemsSplitOnAStream) {
    const std::string sixtySixZeros(66, '0');
    // clang-format off
    const std::vector<NumberSplitRow> rows = {
        {"comma", "1,2\n", {1, 2}},
        {"blank ends a number", "1 2\n", {1, 2}},
        {"tab ends a number", "1\t2\n", {1, 2}},
        {"blanks then comma are one separator", "1  ,  2\n", {1, 2}},
        {"leading blanks skipped", "   9\n", {9}},
        {"empty item between commas", "1,,3\n", {1, 0, 3}},
        {"LF", "5\n6\n", {5, 6}},
        {"CR", "5\r6\r", {5, 6}},
        {"CR LF is one line end", "5\r\n6\r\n", {5, 6}},
        {"LF CR is two line ends", "5\n\r6\n", {5, 0, 6}},
        {"quoted blank stays in the item, digits stop at it", "\"1 2\"3,9\n", {1, 9}},
        {"collecting goes on after the closing quote", "\"&H1\"F\n", {31}},
        {"quoted comma stays in the item", "\"4,5\",6\n", {4, 6}},
        {"67 characters end a number item", sixtySixZeros + "78\n", {7, 8}},
        {"comma after a full-length item is consumed", sixtySixZeros + "7,8\n", {7, 8}},
        {"end of input gives 0", "4", {4, 0, 0}},
    };
    // clang-format on
    for (const NumberSplitRow& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptedDialogue scripted(row.stream, false);
        for (std::size_t i = 0; i < row.values.size(); ++i) {
            SCOPED_TRACE(::testing::Message() << "item " << i);
            scripted.dialogue.askLine();
            EXPECT_EQ(scripted.dialogue.readUnsigned8(), row.values[i]);
        }
    }
}

struct TextSplitRow {
    const char* name;
    std::string stream;
    std::vector<std::string> texts; // successive readText results
};

TEST(Dialogue, TextItemsSplitOnAStream) {
    const std::string fullLength(maxTextItem, 'a');
    // clang-format off
    const std::vector<TextSplitRow> rows = {
        {"leading blanks go, inner and trailing ones stay", "  in file.bmp  \n",
         {"in file.bmp  "}},
        {"quoted text keeps its comma", "\"a,b\"\n", {"a,b"}},
        {"quoted text keeps leading blanks", "\"  a\"\n", {"  a"}},
        {"unquoted comma ends the text", "in.bmp,out.bmp\n", {"in.bmp", "out.bmp"}},
        {"a later double quote is ordinary", "ab\"c,d\n", {"ab\"c", "d"}},
        {"what follows a closing quote is the next item", "\"ab\"  cd\n", {"ab", "cd"}},
        {"comma after a closing quote is consumed", "\"ab\" , cd\n", {"ab", "cd"}},
        {"empty quoted text", "\"\"\n", {""}},
        {"LF", "ab\ncd\n", {"ab", "cd"}},
        {"CR", "ab\rcd\r", {"ab", "cd"}},
        {"CR LF", "ab\r\ncd\r\n", {"ab", "cd"}},
        {"4096 characters end a text item", fullLength + "bc\n", {fullLength, "bc"}},
        {"comma after a full-length text is consumed", fullLength + ",x\n", {fullLength, "x"}},
        {"end of input gives the empty text", "y", {"y", "", ""}},
    };
    // clang-format on
    for (const TextSplitRow& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptedDialogue scripted(row.stream, false);
        for (std::size_t i = 0; i < row.texts.size(); ++i) {
            SCOPED_TRACE(::testing::Message() << "item " << i);
            scripted.dialogue.askLine();
            EXPECT_EQ(scripted.dialogue.readText(), row.texts[i]);
        }
    }
}

TEST(Dialogue, ExhaustedStreamGivesZeroAndEmptyAndSetsInputEnded) {
    ScriptedDialogue scripted("", false);
    Dialogue& d = scripted.dialogue;
    EXPECT_FALSE(d.inputEnded);
    EXPECT_EQ(d.readUnsigned8(), 0);
    EXPECT_TRUE(d.inputEnded);
    EXPECT_EQ(d.readSigned32(), 0);
    EXPECT_EQ(d.readUnsigned32(), 0u);
    EXPECT_EQ(d.readText(), "");
    EXPECT_TRUE(d.inputEnded);
}

TEST(Dialogue, StreamAnswerBeforeItsEndLeavesInputOpen) {
    ScriptedDialogue scripted("3,4\n", false);
    EXPECT_EQ(scripted.dialogue.readUnsigned8(), 3);
    EXPECT_FALSE(scripted.dialogue.inputEnded);
}

TEST(Dialogue, AskLineOnAStreamPrintsAndReadsNothing) {
    ScriptedDialogue scripted("7\n", false);
    Dialogue& d = scripted.dialogue;
    d.printText("option ", false);
    d.askLine();
    EXPECT_EQ(scripted.printed(), "option ");
    EXPECT_EQ(d.readUnsigned8(), 7);
    EXPECT_EQ(scripted.printed(), "option ");
}

// ---- questions on a console --------------------------------------------------------

TEST(Dialogue, ConsoleQuestionShowsMarkAndEndsTheLineAfterTheAnswer) {
    ScriptedDialogue scripted("12\n", true);
    Dialogue& d = scripted.dialogue;
    d.printText("option", false);
    d.askLine();
    EXPECT_EQ(d.readUnsigned8(), 12);
    EXPECT_EQ(scripted.printed(), "option? \r\n");
}

TEST(Dialogue, ConsoleDropsTheRestOfTheLineAtTheNextQuestion) {
    ScriptedDialogue scripted("12, 7\n3\n", true);
    Dialogue& d = scripted.dialogue;
    d.askLine();
    EXPECT_EQ(d.readUnsigned8(), 12);
    d.askLine();
    EXPECT_EQ(d.readUnsigned8(), 3);
    EXPECT_EQ(scripted.printed(), "? \r\n? \r\n");
}

TEST(Dialogue, ConsoleLineGivesItsItemsLeftToRight) {
    ScriptedDialogue scripted("12, 7\n3\n", true);
    Dialogue& d = scripted.dialogue;
    d.askLine();
    EXPECT_EQ(d.readUnsigned8(), 12);
    EXPECT_EQ(d.readUnsigned8(), 7);
    EXPECT_EQ(d.readUnsigned8(), 0); // the end of the line, not the next line
}

TEST(Dialogue, ConsoleTextKeepsTrailingBlanksButNotTheLineEnd) {
    ScriptedDialogue scripted("  out file.bmp  \r\n", true);
    scripted.dialogue.askLine();
    EXPECT_EQ(scripted.dialogue.readText(), "out file.bmp  ");
}

TEST(Dialogue, ConsoleEmptyLineIsAnEmptyAnswerNotTheEnd) {
    ScriptedDialogue scripted("\n5\n", true);
    Dialogue& d = scripted.dialogue;
    d.askLine();
    EXPECT_EQ(d.readUnsigned8(), 0);
    EXPECT_FALSE(d.inputEnded);
    d.askLine();
    EXPECT_EQ(d.readUnsigned8(), 5);
}

TEST(Dialogue, ConsoleAtEndOfInputSetsInputEnded) {
    ScriptedDialogue scripted("", true);
    Dialogue& d = scripted.dialogue;
    d.askLine();
    EXPECT_TRUE(d.inputEnded);
    EXPECT_EQ(d.readUnsigned8(), 0);
    EXPECT_EQ(d.readText(), "");
}

TEST(Dialogue, ConsoleLastLineWithoutLineEndIsStillAnAnswer) {
    ScriptedDialogue scripted("9", true);
    Dialogue& d = scripted.dialogue;
    d.askLine();
    EXPECT_FALSE(d.inputEnded);
    EXPECT_EQ(d.readUnsigned8(), 9);
}

// The question must be visible before the program waits for the answer: the
// input's read function records what had been printed when it was first
// called.
struct WatchedAnswer {
    std::string answer;  // bytes still to be delivered
    char** printedBytes; // the output's memory, as far as it was written out
    std::size_t* printedSize;
    std::string printedAtFirstRead;
    bool readYet = false;
};

ssize_t readAfterLookingAtOutput(void* cookie, char* buffer, std::size_t size) {
    WatchedAnswer* watched = static_cast<WatchedAnswer*>(cookie);
    if (!watched->readYet)
        watched->printedAtFirstRead = std::string(*watched->printedBytes, *watched->printedSize);
    watched->readYet = true;
    std::size_t n = std::min(size, watched->answer.size());
    watched->answer.copy(buffer, n);
    watched->answer.erase(0, n);
    return ssize_t(n);
}

struct VisibleQuestionRow {
    bool interactive;
    const char* visible;
};

TEST(Dialogue, QuestionIsVisibleBeforeTheAnswerIsRead) {
    // clang-format off
    const std::vector<VisibleQuestionRow> rows = {
        {true, "size? "},
        {false, "size"},
    };
    // clang-format on
    for (const VisibleQuestionRow& row : rows) {
        SCOPED_TRACE(row.interactive ? "console" : "stream");
        char* bytes = nullptr;
        std::size_t size = 0;
        WatchedAnswer watched{"4\n", &bytes, &size, "", false};
        cookie_io_functions_t functions{};
        functions.read = readAfterLookingAtOutput;
        Dialogue d;
        d.input = fopencookie(&watched, "r", functions);
        d.output = open_memstream(&bytes, &size);
        d.interactive = row.interactive;
        ASSERT_NE(d.input, nullptr);
        ASSERT_NE(d.output, nullptr);
        d.printText("size", false);
        d.askLine();
        EXPECT_EQ(d.readUnsigned8(), 4);
        EXPECT_TRUE(watched.readYet);
        EXPECT_EQ(watched.printedAtFirstRead, row.visible);
        std::fclose(d.input);
        std::fclose(d.output);
        std::free(bytes);
    }
}

// ---- printing -----------------------------------------------------------------------

struct SignedPrintRow {
    std::int32_t value;
    const char* expected;
};

TEST(Dialogue, PrintSignedPutsABlankBeforeNonNegativeValues) {
    // clang-format off
    const std::vector<SignedPrintRow> rows = {
        {640, " 640"},
        {0, " 0"},
        {-5, "-5"},
        {2147483647, " 2147483647"},
        {-2147483647 - 1, "-2147483648"},
    };
    // clang-format on
    for (const SignedPrintRow& row : rows) {
        SCOPED_TRACE(row.value);
        ScriptedDialogue scripted("", false);
        scripted.dialogue.printSigned(row.value, false);
        EXPECT_EQ(scripted.printed(), row.expected);
    }
}

struct UnsignedPrintRow {
    std::uint32_t value;
    const char* expected;
};

TEST(Dialogue, PrintUnsignedHasNoBlankBeforeIt) {
    // clang-format off
    const std::vector<UnsignedPrintRow> rows = {
        {640u, "640"},
        {0u, "0"},
        {4294967295u, "4294967295"},
    };
    // clang-format on
    for (const UnsignedPrintRow& row : rows) {
        SCOPED_TRACE(row.value);
        ScriptedDialogue scripted("", false);
        scripted.dialogue.printUnsigned(row.value, false);
        EXPECT_EQ(scripted.printed(), row.expected);
    }
}

struct LineEndRow {
    const char* name;
    std::function<void(Dialogue&)> print;
    const char* expected;
};

TEST(Dialogue, EveryLineEndIsCrLf) {
    // clang-format off
    const std::vector<LineEndRow> rows = {
        {"text with line end", [](Dialogue& d) { d.printText("abc", true); }, "abc\r\n"},
        {"text without line end", [](Dialogue& d) { d.printText("abc", false); }, "abc"},
        {"empty text with line end", [](Dialogue& d) { d.printText("", true); }, "\r\n"},
        {"empty text without line end", [](Dialogue& d) { d.printText("", false); }, ""},
        {"endLine", [](Dialogue& d) { d.endLine(); }, "\r\n"},
        {"signed with line end", [](Dialogue& d) { d.printSigned(7, true); }, " 7\r\n"},
        {"unsigned with line end", [](Dialogue& d) { d.printUnsigned(7, true); }, "7\r\n"},
        {"a line made of pieces",
         [](Dialogue& d) {
             d.printText("input file width = ", false);
             d.printSigned(5, false);
             d.printText(" height = ", false);
             d.printSigned(-3, true);
         },
         "input file width =  5 height = -3\r\n"},
    };
    // clang-format on
    for (const LineEndRow& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptedDialogue scripted("", false);
        row.print(scripted.dialogue);
        EXPECT_EQ(scripted.printed(), row.expected);
    }
}

// ---- command-line words -------------------------------------------------------------

TEST(Dialogue, CommandWordZeroIsTheProgramPath) {
    char program[] = "./build/tessalo";
    char batch[] = "batch";
    char* argv[] = {program, batch, nullptr};
    Dialogue d = consoleDialogue(2, argv);
    EXPECT_EQ(d.commandWord(0), "./build/tessalo");
    EXPECT_EQ(d.commandWord(1), "batch");
}

TEST(Dialogue, CommandWordPastTheLastIsEmpty) {
    char program[] = "pravun";
    char input[] = "in.bmp";
    char* argv[] = {program, input, nullptr};
    Dialogue d = consoleDialogue(2, argv);
    EXPECT_EQ(d.commandWord(2), "");
    EXPECT_EQ(d.commandWord(1000), "");
}

// ---- ending -----------------------------------------------------------------------------
//
// The ending operations run in a child process, on a dialogue that prints to
// standard error, which the death test captures.

// A dialogue reading the given answers from a stream and printing to
// standard error.
Dialogue dialogueOnStandardError(const std::string& answers) {
    Dialogue dialogue;
    dialogue.input = std::tmpfile();
    if (dialogue.input == nullptr) std::abort();
    std::fwrite(answers.data(), 1, answers.size(), dialogue.input);
    std::rewind(dialogue.input);
    dialogue.output = stderr;
    return dialogue;
}

TEST(DialogueDeathTest, FailPrintsOneLineAndExitsWithOne) {
    EXPECT_EXIT(
        {
            Dialogue d = dialogueOnStandardError("");
            d.fail("cannot open infile photo.bmp");
        },
        ::testing::ExitedWithCode(1),
        ::testing::Eq(std::string("cannot open infile photo.bmp\r\n")));
}

TEST(DialogueDeathTest, FailStartsAFreshLineAfterAQuestion) {
    EXPECT_EXIT(
        {
            Dialogue d = dialogueOnStandardError("");
            d.printText("option", false);
            d.askLine();
            d.fail("no valid answer");
        },
        ::testing::ExitedWithCode(1), ::testing::Eq(std::string("option\r\nno valid answer\r\n")));
}

TEST(DialogueDeathTest, EndProgramWritesOutWhatWasPrintedAndUsesTheStatus) {
    EXPECT_EXIT(
        {
            Dialogue d = dialogueOnStandardError("");
            d.printText("done", true);
            d.endProgram(0);
        },
        ::testing::ExitedWithCode(0), ::testing::Eq(std::string("done\r\n")));
}

// A harness that runs a whole program in-process is told the status instead
// of the process ending; everything printed is out by then.
struct EndedWith {
    int status;
};

void throwStatus(int status) { throw EndedWith{status}; }

// A question asked again: the refused answer 9 was read first, then the
// question comes again after `refused` refusals in a row.
struct AskAgainRow {
    const char* name;
    std::string answers;
    bool interactive;
    int refused;
    std::string printed; // after the first answer; "" when the run goes on
};

TEST(Dialogue, AQuestionAskedAgainEndsOnlyWhenNoValidAnswerCanCome) {
    const std::string refusal = "level 9 is not 0, 1 or 2";
    const std::string ended =
        refusal + ", and standard input ended before a valid answer was given";
    // clang-format off
    const AskAgainRow rows[] = {
        {"stream at its end, not yet met", "9\n", false, 1, ended + "\r\n"},
        {"stream with an answer left", "9\n2\n", false, 1, ""},
        {"stream, 99 refused", "9\n2\n", false, 99, ""},
        {"stream, 100 refused", "9\n2\n", false, 100,
         refusal + ", and 100 answers in a row were not valid\r\n"},
        {"console, 100 refused", "9\n2\n", true, 100, ""},
        {"console ended at the question", "9\n", true, 1, "level? \r\n" + ended + "\r\n"},
    };
    // clang-format on
    for (const AskAgainRow& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptedDialogue scripted(row.answers, row.interactive);
        Dialogue& d = scripted.dialogue;
        d.endHandler = throwStatus;
        ASSERT_EQ(d.askUnsigned8(""), 9);
        const std::string before = scripted.printed();
        int status = -1;
        try {
            d.beforeAskingAgain(refusal, row.refused);
            EXPECT_EQ(d.askUnsigned8("level"), 2);
        } catch (const EndedWith& endedWith) {
            status = endedWith.status;
        }
        EXPECT_EQ(status, row.printed.empty() ? -1 : 1);
        if (!row.printed.empty()) {
            EXPECT_EQ(scripted.printed().substr(before.size()), row.printed);
        }
    }
}

// Word 1 against the standard options of a program "demo" with two help
// lines.
struct StandardOptionRow {
    std::string word;
    std::string printed;
    int status; // -1: the run goes on
};

TEST(Dialogue, StandardOptionsTable) {
    const char* const helpLines[] = {"demo: does a thing", "usage: demo FILE"};
    const std::string help = "demo: does a thing\r\nusage: demo FILE\r\n";
    const StandardOptionRow rows[] = {
        {"--help", help, 0},
        {"-h", help, 0},
        {"--version", "demo " PICTURE_TOOLS_VERSION "\r\n", 0},
        {"--helpme", "", -1}, // any other word keeps its meaning
        {"-H", "", -1},
        {"", "", -1},
    };
    for (const StandardOptionRow& row : rows) {
        SCOPED_TRACE(row.word);
        ScriptedDialogue scripted("", false);
        Dialogue& d = scripted.dialogue;
        d.words = {"demo", row.word};
        d.endHandler = throwStatus;
        int status = -1;
        try {
            answerStandardOptions(d, "demo", helpLines, 2);
        } catch (const EndedWith& ended) {
            status = ended.status;
        }
        EXPECT_EQ(status, row.status);
        EXPECT_EQ(scripted.printed(), row.printed);
    }
}

TEST(Dialogue, EndHandlerReceivesTheStatusInsteadOfEnding) {
    ScriptedDialogue scripted("", false);
    Dialogue& d = scripted.dialogue;
    d.endHandler = throwStatus;
    int status = -1;
    try {
        d.printText("option", false);
        d.fail("no valid answer");
    } catch (const EndedWith& ended) {
        status = ended.status;
    }
    EXPECT_EQ(status, 1);
    EXPECT_EQ(scripted.printed(), "option\r\nno valid answer\r\n");
}

} // namespace
