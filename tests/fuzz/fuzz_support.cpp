#include "fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include <csignal>

#include <sys/resource.h>
#include <unistd.h>

namespace {

struct ProgramEnded {
    int status;
};

void throwProgramEnded(int status) { throw ProgramEnded{status}; }

// A few KiB of input can honestly ask for a huge output: a 7 x 1028 picture
// resized to 1647 pixels wide keeps its aspect in 241,873 rows, 1.2 GB. The
// file-size limit turns such a run into the usual "File too large" refusal
// after a few MB, so every run ends within the fuzzer's time limit. SIGXFSZ
// is ignored, as the programs do, so that the write fails instead.
void limitFileSize() {
    static bool limited = false;
    if (limited) return;
    const rlimit limit{16u << 20, 16u << 20};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) std::abort();
    std::signal(SIGXFSZ, SIG_IGN);
    limited = true;
}

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
    limitFileSize();
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
