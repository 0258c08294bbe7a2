// Helpers shared by the tests: pictures built in memory, scratch folders,
// files read and written whole, and the real programs run with piped input.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// One pixel as the file stores it.
struct Bgr {
    std::uint8_t blue, green, red;
};

// A picture as plain pixels, row 0 being the first row stored in the file.
struct TestPicture {
    int width = 0;
    int height = 0;
    std::vector<Bgr> pixels; // file row r, column x at r * width + x
    Bgr& at(int x, int fileRow) { return pixels[std::size_t(fileRow) * width + x]; }
};

// A small picture whose pixels all differ in blue, green and red, so that
// flips, channel swaps and padding mistakes show.
TestPicture asymmetricPicture(int width, int height);

// The file bytes of a plain 24-bit BMP with a 54-byte header; padding bytes
// are filled with paddingByte.
Bytes bmpFile(const TestPicture& picture, std::uint8_t paddingByte = 0);

// The bytes of a text, without its terminating zero.
Bytes bytesOf(const std::string& text);

// A BMP layout a test file is written in.
struct Layout {
    std::uint32_t infoSize; // 12: OS/2 1.x, 40, 64: OS/2 2.x, 108/124: V4/V5
    int bits;
    std::uint32_t compression;
    bool topDown;
    std::array<std::uint32_t, 3> masks; // red, green, blue; written for compression 3 and 6
};

Layout layout(std::uint32_t infoSize, int bits, std::uint32_t compression = 0, bool topDown = false,
              std::array<std::uint32_t, 3> masks = {});

// A BMP file of the layout: header, masks, colour table (entries padded with
// an unused 0xEE under headers of 40 bytes and more), then the pixel data
// (stored rows or run-length codes) as given.
Bytes bmpOf(int width, int height, const Layout& layout, const std::vector<Bgr>& colours,
            const Bytes& pixelData);

// Writes value little-endian into size bytes at at.
void putLe(Bytes& bytes, std::size_t at, std::uint32_t value, int size);
// The bytes with one little-endian field changed.
Bytes withField(Bytes bytes, std::size_t at, std::uint32_t value, int size = 4);

// A fresh, empty folder under the system's temporary folder.
std::string scratchFolder();

// A scratch folder that is removed again with everything in it.
struct Scratch {
    std::string folder = scratchFolder();
    Scratch() = default;
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    ~Scratch() { std::filesystem::remove_all(folder); }
    std::string path(const std::string& name) const { return folder + "/" + name; }
};

void writeFile(const std::string& path, const Bytes& bytes);
Bytes readFile(const std::string& path);
bool fileExists(const std::string& path);
// Names in a folder in byte order, "." and ".." left out.
std::vector<std::string> folderEntries(const std::string& folder);

// The words that start a built program: its path, behind the emulator that
// runs it here when the programs were cross-compiled for another machine.
std::vector<std::string> programLaunch(const std::string& executable);
// Whether built programs, this test program among them, run through an
// emulator, which they then need to start one another.
bool runningUnderEmulator();
// The same launch as one shell command word sequence, each word quoted.
std::string shellLaunch(const std::string& executable);

struct RunResult {
    int exitStatus = -1; // the exit status, or 128 + signal number
    std::string console; // everything written to standard output
};

// Runs a program in a folder with the given words, standard input taken from
// the text (or from /dev/null when it is empty). shellSetUp, when given, is
// run by the shell first (limits, traps) and its effects reach the program.
RunResult runProgram(const std::string& executable, const std::vector<std::string>& words,
                     const std::string& standardInput, const std::string& folder,
                     const std::string& shellSetUp = "");

// A built program, with its words for in.bmp -> out.bmp and what it prints
// before a message about its input.
struct Program {
    std::string name;
    std::string executable;
    std::vector<std::string> words;
    std::string before;
};

// tessalo, then pravun.
const std::vector<Program>& programs();

// A test that runs the built programs in a scratch folder of its own.
class ProgramRun : public ::testing::Test {
  protected:
    Scratch scratch;
    const std::string folder = scratch.folder;
    std::string path(const std::string& name) const { return scratch.path(name); }
    // The program run in the folder; see runProgram.
    RunResult run(const Program& program, const std::vector<std::string>& words,
                  const std::string& answers = "", const std::string& shellSetUp = "") const {
        return runProgram(program.executable, words, answers, folder, shellSetUp);
    }
};

// Whether text ends with end; for EXPECT_PRED2, which shows both on failure.
bool endsWith(const std::string& text, const std::string& end);

// Lines joined with CR LF, each ended by one.
std::string crlfLines(const std::vector<std::string>& lines);
