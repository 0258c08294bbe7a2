#include "test_support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include <dirent.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

TestPicture asymmetricPicture(int width, int height) {
    TestPicture picture;
    picture.width = width;
    picture.height = height;
    for (int r = 0; r < height; ++r)
        for (int x = 0; x < width; ++x)
            picture.pixels.push_back({std::uint8_t(17 * x + 3 * r + 5),
                                      std::uint8_t(250 - 11 * x - 29 * r),
                                      std::uint8_t(40 * r + 7 * x + 60)});
    return picture;
}

Bytes bytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

void putLe(Bytes& bytes, std::size_t at, std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i) bytes[at + i] = std::uint8_t(value >> (8 * i));
}

Bytes withField(Bytes bytes, std::size_t at, std::uint32_t value, int size) {
    putLe(bytes, at, value, size);
    return bytes;
}

Bytes bmpFile(const TestPicture& picture, std::uint8_t paddingByte) {
    std::size_t stride = (std::size_t(picture.width) * 3 + 3) & ~std::size_t(3);
    std::size_t dataSize = stride * std::size_t(picture.height);
    Bytes bytes(54 + dataSize, 0);
    bytes[0] = 'B';
    bytes[1] = 'M';
    putLe(bytes, 2, std::uint32_t(bytes.size()), 4);
    putLe(bytes, 10, 54, 4);
    putLe(bytes, 14, 40, 4);
    putLe(bytes, 18, std::uint32_t(picture.width), 4);
    putLe(bytes, 22, std::uint32_t(picture.height), 4);
    putLe(bytes, 26, 1, 2);
    putLe(bytes, 28, 24, 2);
    putLe(bytes, 34, std::uint32_t(dataSize), 4);
    putLe(bytes, 38, 2835, 4);
    putLe(bytes, 42, 2835, 4);
    for (int r = 0; r < picture.height; ++r) {
        std::size_t start = 54 + std::size_t(r) * stride;
        for (int x = 0; x < picture.width; ++x) {
            const Bgr& p = picture.pixels[std::size_t(r) * picture.width + x];
            bytes[start + 3 * x] = p.blue;
            bytes[start + 3 * x + 1] = p.green;
            bytes[start + 3 * x + 2] = p.red;
        }
        for (std::size_t i = std::size_t(picture.width) * 3; i < stride; ++i)
            bytes[start + i] = paddingByte;
    }
    return bytes;
}

Layout layout(std::uint32_t infoSize, int bits, std::uint32_t compression, bool topDown,
              std::array<std::uint32_t, 3> masks) {
    return {infoSize, bits, compression, topDown, masks};
}

Bytes bmpOf(int width, int height, const Layout& layout, const std::vector<Bgr>& colours,
            const Bytes& pixelData) {
    const bool core = layout.infoSize == 12;
    const bool masks = layout.compression == 3 || layout.compression == 6;
    // Masks after a 40-byte header: three, and a fourth (alpha) for method 6.
    std::size_t tableAt = 14 + layout.infoSize;
    if (layout.infoSize == 40 && masks) tableAt += layout.compression == 3 ? 12 : 16;
    const std::size_t entry = core ? 3 : 4, dataAt = tableAt + entry * colours.size();
    Bytes bytes(dataAt, 0);
    bytes[0] = 'B', bytes[1] = 'M';
    putLe(bytes, 10, std::uint32_t(dataAt), 4);
    putLe(bytes, 14, layout.infoSize, 4);
    const std::uint32_t storedHeight = std::uint32_t(layout.topDown ? -height : height);
    if (core) {
        putLe(bytes, 18, std::uint32_t(width), 2);
        putLe(bytes, 20, storedHeight, 2);
        putLe(bytes, 22, 1, 2);
        putLe(bytes, 24, std::uint32_t(layout.bits), 2);
    } else {
        putLe(bytes, 18, std::uint32_t(width), 4);
        putLe(bytes, 22, storedHeight, 4);
        putLe(bytes, 26, 1, 2);
        putLe(bytes, 28, std::uint32_t(layout.bits), 2);
        putLe(bytes, 30, layout.compression, 4);
        putLe(bytes, 46, std::uint32_t(colours.size()), 4);
    }
    if (masks)
        for (int c = 0; c < 3; ++c) putLe(bytes, 54 + 4 * c, layout.masks[c], 4);
    for (std::size_t i = 0; i < colours.size(); ++i) {
        const std::size_t at = tableAt + entry * i;
        bytes[at] = colours[i].blue, bytes[at + 1] = colours[i].green,
        bytes[at + 2] = colours[i].red;
        if (!core) bytes[at + 3] = 0xEE; // unused
    }
    bytes.insert(bytes.end(), pixelData.begin(), pixelData.end());
    putLe(bytes, 2, std::uint32_t(bytes.size()), 4);
    return bytes;
}

std::string scratchFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/picture-test-XXXXXX";
    std::vector<char> path(pattern.begin(), pattern.end());
    path.push_back('\0');
    if (mkdtemp(path.data()) == nullptr) std::abort();
    return path.data();
}

void writeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

Bytes readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool fileExists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

std::vector<std::string> folderEntries(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir)) {
            std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Quotes a word for the shell.
static std::string shellQuoted(const std::string& word) {
    std::string result = "'";
    for (char c : word) result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return result + "'";
}

std::vector<std::string> programLaunch(const std::string& executable) {
    std::vector<std::string> words;
#ifdef PROGRAM_EMULATOR
    std::istringstream emulator(PROGRAM_EMULATOR); // words separated by spaces
    for (std::string word; emulator >> word;) words.push_back(word);
#endif
    words.push_back(executable);
    return words;
}

bool runningUnderEmulator() { return programLaunch("").size() > 1; }

std::string shellLaunch(const std::string& executable) {
    std::string line;
    for (const std::string& word : programLaunch(executable))
        line += (line.empty() ? "" : " ") + shellQuoted(word);
    return line;
}

RunResult runProgram(const std::string& executable, const std::vector<std::string>& words,
                     const std::string& standardInput, const std::string& folder,
                     const std::string& shellSetUp) {
    std::string inputPath = folder + "/.stdin";
    std::string outputPath = folder + "/.stdout";
    std::ofstream(inputPath, std::ios::binary) << standardInput;
    std::string command = "cd " + shellQuoted(folder) + " && ";
    if (!shellSetUp.empty()) command += shellSetUp + " && ";
    command += "exec";
    for (const std::string& word : programLaunch(executable)) command += " " + shellQuoted(word);
    for (const std::string& word : words) command += " " + shellQuoted(word);
    command += " < " + shellQuoted(standardInput.empty() ? "/dev/null" : inputPath);
    command += " > " + shellQuoted(outputPath);
    int status = std::system(command.c_str());
    RunResult result;
    if (WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.exitStatus = 128 + WTERMSIG(status);
    Bytes console = readFile(outputPath);
    result.console.assign(console.begin(), console.end());
    std::remove(inputPath.c_str());
    std::remove(outputPath.c_str());
    return result;
}

const std::vector<Program>& programs() {
    static const std::vector<Program> table = {
        {"tessalo",
         TESSALO_EXECUTABLE,
         {"batch", "2", "2", "2", "2", "1", "y", "in.bmp", "out.bmp"},
         crlfLines({"", "Brovent 24bit BMP -> YUV/YJK tessalo V1", ""})},
        {"pravun",
         PRAVUN_EXECUTABLE,
         {"in.bmp", "/h8", "out.bmp"},
         crlfLines({"Brovent quick 24-bit BMP resizer V2.32", ""})},
    };
    return table;
}

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::string crlfLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}
