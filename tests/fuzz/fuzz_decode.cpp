// A screen file of arbitrary bytes through tessalo --decode. The first byte
// chooses screen 12 or screens 10/11; the rest is the file.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "converter.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const char* name = data[0] & 1 ? "in.SCC" : "in.SCB";
    std::string input = writeFuzzFile(name, data + 1, size - 1);
    std::string output = fuzzFolder() + "/out.bmp";
    runInProcess(runConverter, {"tessalo", "--decode", input, output}, "");
    std::remove(output.c_str());
    return 0;
}
