// A BMP file of arbitrary bytes through the converter's whole run. The first
// 12 bytes choose the batch words (option, custom masks, factors, dithering
// levels, DAC filter); the rest is the input file.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "converter.h"
#include "fuzz_support.h"

static std::string factorWord(std::uint8_t byte) {
    const char* const factors[] = {"1", "2", "4", "3"}; // 3 is asked again and fails
    return factors[byte % 4];
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::size_t settingsSize = 12;
    if (size < settingsSize || isTooCostlyToFuzz(data + settingsSize, size - settingsSize))
        return 0;
    const int option = data[0] % 7; // 0 is invalid: asked again, input ended
    std::vector<std::string> words{"tessalo", "batch", std::to_string(option)};
    if (option >= 5)
        for (int i = 1; i <= 6; ++i) words.push_back(std::to_string(data[i]));
    words.push_back(factorWord(data[7]));
    words.push_back(factorWord(data[8]));
    words.push_back(std::to_string(data[9] % 4)); // 3 is asked again
    words.push_back(std::to_string(data[10] % 3));
    if (option != 4 && option != 6) words.push_back(data[11] & 1 ? "y" : "n");
    std::string input = writeFuzzFile("in.bmp", data + settingsSize, size - settingsSize);
    std::string output = fuzzFolder() + "/out.bmp";
    words.push_back(input);
    words.push_back(output);
    runInProcess(runConverter, words, "");
    std::remove(output.c_str());
    return 0;
}
