// Both programs under bad input and faults: malformed pictures, write
// failures, interruptions and standard input that runs out. Every refusal
// must be one line and status 1 with nothing written, and an existing output
// must stay byte for byte as it was.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "test_support.h"

namespace {

const std::string tessalo = TESSALO_EXECUTABLE;
const std::string pravun = PRAVUN_EXECUTABLE;

const std::string tessaloGreeting = crlfLines({"", "Brovent 24bit BMP -> YUV/YJK tessalo V1", ""});
const std::string pravunBanner = crlfLines({"Brovent quick 24-bit BMP resizer V2.32", ""});

// A program with its words for "in.bmp" to "out.bmp" and what it prints
// before any message about the input.
struct Program {
    const char* name;
    std::string executable;
    std::vector<std::string> words;
    std::string before;
};

const Program programs[] = {
    {"tessalo",
     tessalo,
     {"batch", "2", "2", "2", "2", "1", "y", "in.bmp", "out.bmp"},
     tessaloGreeting},
    {"pravun", pravun, {"in.bmp", "/h8", "out.bmp"}, pravunBanner},
};

Bytes withField(Bytes bytes, std::size_t at, std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i) bytes[at + i] = std::uint8_t(value >> (8 * i));
    return bytes;
}

// The plain picture with a larger information header: the first 40 bytes of
// it as in the plain one, the rest zero, the rows after it.
Bytes withInfoHeader(const Bytes& plain, std::uint32_t infoSize) {
    Bytes file(plain.begin(), plain.begin() + 54);
    file.resize(14 + infoSize, 0);
    file.insert(file.end(), plain.begin() + 54, plain.end());
    file = withField(file, 10, 14 + infoSize, 4);
    file = withField(file, 14, infoSize, 4);
    return withField(file, 2, std::uint32_t(file.size()), 4);
}

struct Malformed {
    const char* name;
    Bytes file;
    std::string message;
};

std::vector<Malformed> malformedPictures() {
    const Bytes good = bmpFile(asymmetricPicture(6, 4)); // 18-byte rows padded to 20: 134 bytes
    Bytes mb = good;
    mb[0] = 'M', mb[1] = 'B';
    std::vector<Malformed> rows = {
        {"zero-byte file", {}, "infile is not a 'BM'"},
        {"BM and nothing else", {'B', 'M'}, "infile is too short for a BMP header (2 bytes)"},
        {"53 bytes of header", Bytes(good.begin(), good.begin() + 53),
         "infile is too short for a BMP header (53 bytes)"},
        {"MB instead of BM", mb, "infile is not a 'BM'"},
        {"width 0", withField(good, 18, 0, 4), "infile has no pixels (width 0, height 4)"},
        {"height 0", withField(good, 22, 0, 4), "infile has no pixels (width 6, height 0)"},
        {"negative height", withField(good, 22, std::uint32_t(-4), 4),
         "infile is stored top-down (height -4), which is not supported"},
        {"RLE compression", withField(good, 30, 1, 4),
         "infile is compressed (method 1); only uncompressed BMPs are supported"},
        {"bit-field compression", withField(good, 30, 3, 4),
         "infile is compressed (method 3); only uncompressed BMPs are supported"},
        {"pixel data offset 20", withField(good, 10, 20, 4),
         "infile has its pixel data at offset 20, inside the 54-byte header"},
        {"pixel data offset beyond the end", withField(good, 10, 500, 4),
         "infile is too short: its pixel rows need 578 bytes, the file has 134"},
        {"60000 x 60000 on a small file", withField(withField(good, 18, 60000, 4), 22, 60000, 4),
         "infile is too short: its pixel rows need 10800000054 bytes, the file has 134"},
        {"file shorter than its rows", Bytes(good.begin(), good.end() - 3),
         "infile is too short: its pixel rows need 132 bytes, the file has 131"},
        {"OS/2 core header", withField(good, 14, 12, 4),
         "infile has a 12-byte information header; only Windows BMPs (40 bytes or more) are "
         "supported"},
    };
    for (int bits : {1, 4, 8, 16, 32})
        rows.push_back({"bits per pixel", withField(good, 28, std::uint32_t(bits), 2),
                        "infile has " + std::to_string(bits) +
                            " bits per pixel; only 24-bit BMPs are supported"});
    return rows;
}

class Hardening : public ::testing::Test {
  protected:
    Scratch scratch;
    const std::string folder = scratch.folder;
    std::string path(const std::string& name) const { return scratch.path(name); }
};

TEST_F(Hardening, MalformedPicturesAreRefusedWithOneLine) {
    const Bytes previous(777, 0x5A);
    for (const Program& program : programs)
        for (const Malformed& row : malformedPictures()) {
            SCOPED_TRACE(std::string(program.name) + ": " + row.name);
            writeFile(path("in.bmp"), row.file);
            std::remove(path("out.bmp").c_str());
            RunResult fresh = runProgram(program.executable, program.words, "", folder);
            EXPECT_EQ(fresh.exitStatus, 1);
            EXPECT_EQ(fresh.console, program.before + row.message + "\r\n");
            EXPECT_EQ(folderEntries(folder), std::vector<std::string>{"in.bmp"});

            writeFile(path("out.bmp"), previous);
            RunResult over = runProgram(program.executable, program.words, "", folder);
            EXPECT_EQ(over.exitStatus, 1);
            EXPECT_EQ(readFile(path("out.bmp")), previous);
            EXPECT_EQ(folderEntries(folder).size(), 2u);
        }
}

TEST_F(Hardening, LargerInformationHeadersAndAMissingLastPaddingAreAccepted) {
    const Bytes plain = bmpFile(asymmetricPicture(6, 4), 0);
    const Bytes missingPadding(plain.begin(), plain.end() - 2);
    for (const Program& program : programs) {
        SCOPED_TRACE(program.name);
        writeFile(path("in.bmp"), plain);
        ASSERT_EQ(runProgram(program.executable, program.words, "", folder).exitStatus, 0);
        const Bytes expected = readFile(path("out.bmp"));
        const std::pair<const char*, Bytes> variants[] = {
            {"V4 header", withInfoHeader(plain, 108)},
            {"V5 header", withInfoHeader(plain, 124)},
            {"last row without padding", missingPadding},
        };
        for (const auto& variant : variants) {
            SCOPED_TRACE(variant.first);
            writeFile(path("in.bmp"), variant.second);
            RunResult result = runProgram(program.executable, program.words, "", folder);
            EXPECT_EQ(result.exitStatus, 0);
            // The resizer copies the reserved and resolution fields, which
            // agree here; the pixel data always follows a 54-byte header.
            EXPECT_EQ(readFile(path("out.bmp")), expected);
        }
    }
}

// ---- write failures ---------------------------------------------------------------

TEST_F(Hardening, FileSizeLimitFailsTheWriteAndKeepsTheOldOutput) {
    const Bytes previous(100, 0x11);
    writeFile(path("in.bmp"), bmpFile(asymmetricPicture(200, 100)));
    for (const Program& program : programs) {
        SCOPED_TRACE(program.name);
        std::vector<std::string> words = program.words;
        if (words[1] == "/h8") words[1] = "/h200"; // a 60 KB output
        writeFile(path("out.bmp"), previous);
        // 8 blocks of 512 bytes at most; the signal that would kill the
        // program is ignored, so the write reports the error instead.
        RunResult result =
            runProgram(program.executable, words, "", folder, "ulimit -f 8 && trap '' XFSZ");
        EXPECT_EQ(result.exitStatus, 1);
        const std::string message = "cannot write outfile out.bmp: File too large\r\n";
        ASSERT_GE(result.console.size(), message.size());
        EXPECT_EQ(result.console.substr(result.console.size() - message.size()), message);
        EXPECT_EQ(readFile(path("out.bmp")), previous);
        EXPECT_EQ(folderEntries(folder).size(), 2u);
    }
}

TEST_F(Hardening, UncreatableOutputsAreReported) {
    writeFile(path("in.bmp"), bmpFile(asymmetricPicture(6, 4)));
    writeFile(path("plain"), Bytes(3, 0));
    std::system(("mkdir '" + path("locked") + "' && chmod 555 '" + path("locked") + "'").c_str());
    struct Row {
        std::string output;
        std::string reason;
    };
    std::vector<Row> rows = {
        {"missing/out.bmp", "No such file or directory"},
        {"plain/out.bmp", "Not a directory"},
        {"locked", "Is a directory"},
    };
    if (geteuid() != 0) rows.push_back({"locked/out.bmp", "Permission denied"});
    for (const Program& program : programs)
        for (const Row& row : rows) {
            SCOPED_TRACE(std::string(program.name) + " " + row.output);
            std::vector<std::string> words = program.words;
            words.back() = row.output;
            RunResult result = runProgram(program.executable, words, "", folder);
            EXPECT_EQ(result.exitStatus, 1);
            const std::string message = "cannot write outfile " + row.output + ": " + row.reason;
            EXPECT_NE(result.console.find(message + "\r\n"), std::string::npos) << result.console;
            EXPECT_EQ(folderEntries(folder).size(), 3u);
            EXPECT_TRUE(folderEntries(path("locked")).empty());
        }
}

// The output each program writes for in.bmp, by the plain way.
Bytes plainOutput(const Program& program, const std::string& folder) {
    runProgram(program.executable, program.words, "", folder);
    Bytes bytes = readFile(folder + "/out.bmp");
    std::remove((folder + "/out.bmp").c_str());
    return bytes;
}

TEST_F(Hardening, OutputThroughASymbolicLinkReplacesTheFileItLeadsTo) {
    writeFile(path("in.bmp"), bmpFile(asymmetricPicture(6, 4)));
    for (const Program& program : programs) {
        SCOPED_TRACE(program.name);
        const Bytes expected = plainOutput(program, folder);
        writeFile(path("target.bmp"), Bytes(50, 0x33));
        ASSERT_EQ(symlink("target.bmp", path("out.bmp").c_str()), 0);
        EXPECT_EQ(runProgram(program.executable, program.words, "", folder).exitStatus, 0);
        struct stat info;
        ASSERT_EQ(lstat(path("out.bmp").c_str(), &info), 0);
        EXPECT_TRUE(S_ISLNK(info.st_mode));
        EXPECT_EQ(readFile(path("target.bmp")), expected);
        std::remove(path("out.bmp").c_str());
        std::remove(path("target.bmp").c_str());
    }
}

TEST_F(Hardening, OutputToANamedPipeIsWrittenIntoIt) {
    writeFile(path("in.bmp"), bmpFile(asymmetricPicture(6, 4)));
    for (const Program& program : programs) {
        SCOPED_TRACE(program.name);
        const Bytes expected = plainOutput(program, folder);
        ASSERT_EQ(mkfifo(path("out.bmp").c_str(), 0600), 0);
        // A reader that copies what comes through the pipe; the alarm ends
        // it should the pipe never be opened for writing.
        pid_t reader = fork();
        if (reader == 0) {
            alarm(10);
            int pipe = open((folder + "/out.bmp").c_str(), O_RDONLY);
            int copy = open((folder + "/copy.bmp").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            char buffer[4096];
            ssize_t got;
            while ((got = read(pipe, buffer, sizeof buffer)) > 0)
                if (write(copy, buffer, std::size_t(got)) != got) _exit(1);
            _exit(0);
        }
        EXPECT_EQ(runProgram(program.executable, program.words, "", folder).exitStatus, 0);
        int status = 0;
        waitpid(reader, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        struct stat info;
        ASSERT_EQ(lstat(path("out.bmp").c_str(), &info), 0);
        EXPECT_TRUE(S_ISFIFO(info.st_mode));
        EXPECT_EQ(readFile(path("copy.bmp")), expected);
        std::remove(path("out.bmp").c_str());
        std::remove(path("copy.bmp").c_str());
    }
}

// ---- interruption ---------------------------------------------------------------------

// Starts a program in the folder with its console sent to /dev/null.
pid_t startProgram(const std::string& folder, const std::string& executable,
                   const std::vector<std::string>& words) {
    pid_t child = fork();
    if (child == 0) {
        if (chdir(folder.c_str()) != 0) _exit(127);
        int devNull = open("/dev/null", O_RDWR);
        dup2(devNull, 0);
        dup2(devNull, 1);
        std::vector<std::string> launch = programLaunch(executable);
        launch.insert(launch.end(), words.begin(), words.end());
        std::vector<char*> argv;
        for (std::string& word : launch) argv.push_back(word.data());
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    return child;
}

bool temporaryFilePresent(const std::string& folder) {
    for (const std::string& name : folderEntries(folder))
        if (name.rfind(".partial-", 0) == 0) return true;
    return false;
}

TEST_F(Hardening, InterruptionWhileWritingLeavesNoTraceAndTheOldOutput) {
    TestPicture big = asymmetricPicture(2000, 1500);
    writeFile(path("in.bmp"), bmpFile(big));
    const Bytes previous(1234, 0x77);
    const Program jobs[] = {
        {"tessalo", tessalo, {"batch", "2", "1", "1", "2", "2", "n", "in.bmp", "out.bmp"}, ""},
        {"pravun", pravun, {"in.bmp", "/h8000", "out.bmp"}, ""},
    };
    for (const Program& job : jobs)
        for (int signalNumber : {SIGINT, SIGTERM}) {
            SCOPED_TRACE(std::string(job.name) + " signal " + std::to_string(signalNumber));
            writeFile(path("out.bmp"), previous);
            pid_t child = startProgram(folder, job.executable, job.words);
            auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (!temporaryFilePresent(folder) && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            ASSERT_TRUE(temporaryFilePresent(folder)) << "the output was never started";
            kill(child, signalNumber);
            int status = 0;
            waitpid(child, &status, 0);
            EXPECT_TRUE(WIFSIGNALED(status));
            EXPECT_EQ(WTERMSIG(status), signalNumber);
            EXPECT_EQ(readFile(path("out.bmp")), previous);
            EXPECT_EQ(folderEntries(folder).size(), 2u);
        }
}

// ---- standard input that runs out ------------------------------------------------------

struct Exhausted {
    const char* name;
    const std::string* executable;
    std::vector<std::string> words;
    std::string answers;
};

TEST_F(Hardening, EveryQuestionAskedAgainEndsWhenInputRunsOut) {
    writeFile(path("in.bmp"), bmpFile(asymmetricPicture(6, 4)));
    const std::string message = "standard input ended before a valid answer was given\r\n";
    const Exhausted rows[] = {
        {"tessalo option", &tessalo, {}, "7\n"},
        {"tessalo option, empty input", &tessalo, {}, ""},
        {"tessalo custom luma mask 1", &tessalo, {}, "5,1,255,255,0,0,0\n"},
        {"tessalo horizontal factor", &tessalo, {}, "1\n3\n"},
        {"tessalo vertical factor", &tessalo, {}, "1\n2\n5\n"},
        {"tessalo luma dithering", &tessalo, {}, "1\n2\n2\n9"},
        {"tessalo chroma dithering", &tessalo, {}, "1\n2\n2\n0\n9"},
        {"tessalo batch option", &tessalo, {"batch", "9"}, ""},
        {"tessalo batch mask", &tessalo, {"batch", "6", "1"}, ""},
        {"tessalo batch horizontal factor", &tessalo, {"batch", "1", "8"}, ""},
        {"tessalo batch vertical factor", &tessalo, {"batch", "1", "1", "0"}, ""},
        {"tessalo batch luma dithering", &tessalo, {"batch", "1", "1", "1", "3"}, "4"},
        {"tessalo batch chroma dithering", &tessalo, {"batch", "1", "1", "1", "0", "3"}, "4"},
        {"pravun size menu", &pravun, {"in.bmp", "out.bmp"}, "out.bmp\n7\n"},
        {"pravun size menu, nothing typed", &pravun, {"in.bmp", "/t", "out.bmp"}, ""},
    };
    for (const Exhausted& row : rows) {
        SCOPED_TRACE(row.name);
        // A program that asked for ever would be stopped by the time limit.
        RunResult result =
            runProgram(*row.executable, row.words, row.answers, folder, "ulimit -t 5");
        EXPECT_EQ(result.exitStatus, 1);
        ASSERT_GE(result.console.size(), message.size());
        EXPECT_EQ(result.console.substr(result.console.size() - message.size()), message);
        if (result.console.size() > message.size()) { // the message has a line of its own
            EXPECT_EQ(result.console[result.console.size() - message.size() - 1], '\n');
        }
        EXPECT_EQ(folderEntries(folder).size(), 1u);
    }
}

} // namespace
