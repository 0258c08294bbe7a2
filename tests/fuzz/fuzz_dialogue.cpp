// Arbitrary bytes as the answers to a long run of questions: every read
// operation in turn, on a piped stream or, when the first byte is odd, as
// console lines; every chunk through the command-word conversion; and every
// fifth question treated as one asked again, which may end the run.
#include <cstdint>
#include <cstdio>
#include <string>

#include "dialogue.h"
#include "fuzz_support.h"

namespace {
struct Ended {};
void throwEnded(int) { throw Ended{}; }
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    std::string path = writeFuzzFile("answers", data + 1, size - 1);
    Dialogue dialogue;
    dialogue.input = std::fopen(path.c_str(), "rb");
    dialogue.output = std::fopen("/dev/null", "wb");
    dialogue.interactive = (data[0] & 1) != 0;
    dialogue.endHandler = throwEnded;
    // Each question takes at least one byte or a line, so the input ends
    // well within this many questions.
    try {
        for (std::size_t question = 0; question < 4 * size + 8 && !dialogue.inputEnded;
             ++question) {
            if (question % 5 == 4) dialogue.beforeAskingAgain("answer refused", int(question));
            switch (question % 4) {
            case 0: dialogue.askSigned32("n"); break;
            case 1: dialogue.askUnsigned8(""); break;
            case 2: dialogue.askUnsigned32("n"); break;
            case 3: textToInteger(dialogue.askText("t")); break;
            }
        }
    } catch (const Ended&) {
    }
    std::fclose(dialogue.input);
    std::fclose(dialogue.output);
    return 0;
}
