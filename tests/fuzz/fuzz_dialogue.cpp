// Arbitrary bytes as the answers to a long run of questions: every read
// operation in turn, on a piped stream or, when the first byte is odd, as
// console lines; and every chunk through the command-word conversion.
#include <cstdint>
#include <cstdio>
#include <string>

#include "dialogue.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    std::string path = writeFuzzFile("answers", data + 1, size - 1);
    Dialogue dialogue;
    dialogue.input = std::fopen(path.c_str(), "rb");
    dialogue.output = std::fopen("/dev/null", "wb");
    dialogue.interactive = (data[0] & 1) != 0;
    // Each question takes at least one byte or a line, so the input ends
    // well within this many questions.
    for (std::size_t question = 0; question < 4 * size + 8 && !dialogue.inputEnded; ++question) {
        dialogue.askLine();
        switch (question % 4) {
        case 0: dialogue.readSigned32(); break;
        case 1: dialogue.readUnsigned8(); break;
        case 2: dialogue.readUnsigned32(); break;
        case 3: textToInteger(dialogue.readText()); break;
        }
    }
    std::fclose(dialogue.input);
    std::fclose(dialogue.output);
    return 0;
}
