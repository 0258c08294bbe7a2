#include "fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include <unistd.h>

namespace {

struct ProgramEnded {
    int status;
};

void throwProgramEnded(int status) { throw ProgramEnded{status}; }

} // namespace

const std::string& fuzzFolder() {
    static const std::string folder = [] {
        char pattern[] = "/tmp/picture-fuzz-XXXXXX";
        if (mkdtemp(pattern) == nullptr) std::abort();
        return std::string(pattern);
    }();
    return folder;
}

std::string writeFuzzFile(const std::string& name, const std::uint8_t* data, std::size_t size) {
    std::string path = fuzzFolder() + "/" + name;
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    return path;
}

int runInProcess(void (*program)(Dialogue&), const std::vector<std::string>& words,
                 const std::string& standardInput) {
    std::string inputPath = writeFuzzFile(
        "stdin", reinterpret_cast<const std::uint8_t*>(standardInput.data()), standardInput.size());
    Dialogue dialogue;
    dialogue.input = std::fopen(inputPath.c_str(), "rb");
    dialogue.output = std::fopen("/dev/null", "wb");
    dialogue.words = words;
    dialogue.endHandler = throwProgramEnded;
    int status = -1;
    try {
        program(dialogue);
    } catch (const ProgramEnded& ended) {
        status = ended.status;
    }
    std::fclose(dialogue.input);
    std::fclose(dialogue.output);
    return status;
}
