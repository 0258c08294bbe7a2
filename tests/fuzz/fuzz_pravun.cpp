// A BMP file of arbitrary bytes through the resizer's whole run. The first
// 16 bytes choose up to three option words (letter, case and numbers) or,
// without options, the answers to the size menu; the rest is the input file.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "resizer.h"

static unsigned number(const std::uint8_t* bytes) { return unsigned(bytes[0] | bytes[1] << 8); }

// One option word from 5 bytes: letter and case, then two numbers kept small
// enough to stay within what a picture of at most 4 KiB can be scaled to.
static std::string optionWord(const std::uint8_t* bytes) {
    const char letters[] = "mhvatq"; // q is unknown and ignored
    char letter = letters[bytes[0] % 6];
    if (bytes[0] & 0x80) letter = char(letter - 'a' + 'A');
    std::string word = std::string("/") + letter;
    if (letter != 't' && letter != 'T') word += std::to_string(number(bytes + 1) % 2000);
    if (letter == 'm' || letter == 'M') word += "x" + std::to_string(number(bytes + 3) % 2000);
    return word;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::size_t settingsSize = 16;
    if (size < settingsSize) return 0;
    // Pictures wider than 8192 pixels are passed over too: an honest request
    // may enlarge them 256 times, into rows of hundreds of MB. The header
    // checks that refuse lying widths are the same ones fuzz_tessalo reaches.
    const std::uint8_t* file = data + settingsSize;
    const std::size_t fileSize = size - settingsSize;
    if (isTooCostlyToFuzz(file, fileSize) || pictureWidth(file, fileSize) > 8192) return 0;
    std::string input = writeFuzzFile("in.bmp", file, fileSize);
    std::string output = fuzzFolder() + "/out.bmp";
    std::vector<std::string> words{"pravun", input};
    const int optionCount = data[0] % 4;
    for (int i = 0; i < optionCount; ++i) words.push_back(optionWord(data + 1 + 5 * i));
    words.push_back(output);
    // Without options the output name and the size menu are asked: choice,
    // then one or two sizes.
    std::string answers = output + "\n" + std::to_string(data[1] % 5) + "\n" +
                          std::to_string(number(data + 2) % 2000) + "\n" +
                          std::to_string(number(data + 4) % 2000) + "\n";
    runInProcess(runResizer, words, optionCount == 0 ? answers : "");
    std::remove(output.c_str());
    return 0;
}
