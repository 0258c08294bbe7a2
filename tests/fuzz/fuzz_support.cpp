#include "fuzz_support.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

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
// after 1 MiB, so every run ends within the fuzzer's time limit. SIGXFSZ
// is ignored, as the programs do, so that the write fails instead.
void limitFileSize() {
    static bool limited = false;
    if (limited) return;
    const rlimit limit{1u << 20, 1u << 20};
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

static std::int64_t littleEndian32(const std::uint8_t* bytes) {
    return std::int32_t(std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 |
                        std::uint32_t(bytes[2]) << 16 | std::uint32_t(bytes[3]) << 24);
}

static std::int64_t bigEndian(const std::uint8_t* bytes, int width) {
    std::int64_t value = 0;
    for (int i = 0; i < width; ++i) value = value << 8 | bytes[i];
    return value;
}

// A PNG's width and height follow its signature and the IHDR chunk's length
// and type; a JPEG's lie in its frame header (SOF0 to SOF15 but for DHT,
// JPG and DAC), found by walking the markers: FF, type, 2-byte length.
// Gives false for a file of neither format.
static bool photoSize(const std::uint8_t* file, std::size_t size, std::int64_t& width,
                      std::int64_t& height) {
    width = height = 0;
    if (size >= 8 && std::memcmp(file, "\x89PNG\r\n\x1a\n", 8) == 0) {
        if (size >= 24) width = bigEndian(file + 16, 4), height = bigEndian(file + 20, 4);
        return true;
    }
    if (size < 3 || file[0] != 0xFF || file[1] != 0xD8 || file[2] != 0xFF) return false;
    for (std::size_t at = 2; at + 9 <= size && file[at] == 0xFF;) {
        const std::uint8_t type = file[at + 1];
        if (type >= 0xC0 && type <= 0xCF && type != 0xC4 && type != 0xC8 && type != 0xCC) {
            height = bigEndian(file + at + 5, 2), width = bigEndian(file + at + 7, 2);
            break;
        }
        at += 2 + std::size_t(bigEndian(file + at + 2, 2));
    }
    return true;
}

// After the 14-byte file header: the information header's size, then the
// width and height, 16-bit in the 12-byte OS/2 header and 32-bit in the
// others, whose compression at offset 30 is 1 or 2 for run lengths.
std::int64_t pictureWidth(const std::uint8_t* file, std::size_t size) {
    std::int64_t width, height;
    if (photoSize(file, size, width, height)) return width;
    if (size < 26) return 0;
    if (littleEndian32(file + 14) == 12) return file[18] | file[19] << 8;
    return std::abs(littleEndian32(file + 18));
}

bool isTooCostlyToFuzz(const std::uint8_t* file, std::size_t size) {
    std::int64_t photoWidth, photoHeight;
    if (photoSize(file, size, photoWidth, photoHeight)) // sides of up to 32 bits: no product
        return photoWidth > 0 && photoHeight > (std::int64_t(1) << 22) / photoWidth;
    if (size < 34 || littleEndian32(file + 14) < 40) return false;
    const std::int64_t compression = littleEndian32(file + 30);
    const std::int64_t height = std::abs(littleEndian32(file + 22));
    return (compression == 1 || compression == 2) &&
           pictureWidth(file, size) * height > (std::int64_t(1) << 20);
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
