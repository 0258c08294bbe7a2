// Both programs under bad input and faults: malformed pictures, write
// failures, interruptions and standard input that runs out. Every refusal
// must be one line and status 1 with nothing written, and an existing output
// must stay byte for byte as it was. A mechanism of common/ that both
// programs reach the same way is run through one of them; each keeps a row
// where its own code shapes the outcome.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "test_support.h"

namespace {

const Program& tessalo = programs()[0];
const Program& pravun = programs()[1];

struct Malformed {
    const char* name;
    Bytes file;
    std::string message;
};

using Hardening = ProgramRun;

// Refused in openInputPicture before any output: an empty file, which has
// no 'BM', and a header whose sizes are checked before anything is
// allocated. The texts of every refusal are the rows of bmp_header_test.
TEST_F(Hardening, MalformedPicturesAreRefusedWithOneLine) {
    const Bytes good = bmpFile(asymmetricPicture(6, 4)); // 18-byte rows padded to 20: 134 bytes
    const Malformed rows[] = {
        {"zero-byte file", {}, "infile is not a 'BM'"},
        {"60000 x 60000 on a small file", withField(withField(good, 18, 60000, 4), 22, 60000, 4),
         "infile is too short: its pixel rows need 10800000054 bytes, the file has 134"},
    };
    const Bytes previous(777, 0x5A);
    for (const Malformed& row : rows) {
        SCOPED_TRACE(row.name);
        writeFile(path("in.bmp"), row.file);
        std::remove(path("out.bmp").c_str());
        RunResult fresh = run(tessalo, tessalo.words);
        EXPECT_EQ(fresh.exitStatus, 1);
        EXPECT_EQ(fresh.console, tessalo.before + row.message + "\r\n");
        EXPECT_EQ(folderEntries(folder), std::vector<std::string>{"in.bmp"});

        writeFile(path("out.bmp"), previous);
        RunResult over = run(tessalo, tessalo.words);
        EXPECT_EQ(over.exitStatus, 1);
        EXPECT_EQ(readFile(path("out.bmp")), previous);
        EXPECT_EQ(folderEntries(folder).size(), 2u);
    }
}

// ---- write failures ---------------------------------------------------------------

// Each program checks its own output's commit.
TEST_F(Hardening, FileSizeLimitFailsTheWriteAndKeepsTheOldOutput) {
    const Bytes previous(100, 0x11);
    writeFile(path("in.bmp"), bmpFile(asymmetricPicture(200, 100)));
    for (const Program& program : programs()) {
        SCOPED_TRACE(program.name);
        std::vector<std::string> words = program.words;
        if (words[1] == "/h8") words[1] = "/h200"; // a 60 KB output
        writeFile(path("out.bmp"), previous);
        // 8 blocks of 512 bytes at most. The signal that would end the
        // program is ignored by the program itself, so the write reports
        // the error instead.
        RunResult result = run(program, words, "", "ulimit -f 8");
        EXPECT_EQ(result.exitStatus, 1);
        EXPECT_PRED2(endsWith, result.console, "cannot write outfile out.bmp: File too large\r\n");
        EXPECT_EQ(readFile(path("out.bmp")), previous);
        EXPECT_EQ(folderEntries(folder).size(), 2u);
    }
}

// The converter serves; the resizer's row is its check before the size menu.
TEST_F(Hardening, UncreatableOutputsAreReported) {
    writeFile(path("in.bmp"), bmpFile(asymmetricPicture(6, 4)));
    writeFile(path("plain"), Bytes(3, 0));
    ASSERT_EQ(std::system(
                  ("mkdir '" + path("locked") + "' && chmod 555 '" + path("locked") + "'").c_str()),
              0);
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
    for (const Row& row : rows) {
        SCOPED_TRACE(row.output);
        std::vector<std::string> words = tessalo.words;
        words.back() = row.output;
        RunResult result = run(tessalo, words);
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

// Each program writes its output in its own order, which a pipe must take.
TEST_F(Hardening, OutputToANamedPipeIsWrittenIntoIt) {
    writeFile(path("in.bmp"), bmpFile(asymmetricPicture(6, 4)));
    for (const Program& program : programs()) {
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
        EXPECT_EQ(run(program, program.words).exitStatus, 0);
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

// Starts a program in the folder with its standard input taken from the
// given descriptor and its console sent there too, or to /dev/null when it
// is -1. No core file is written.
pid_t startProgram(const std::string& folder, const std::string& executable,
                   const std::vector<std::string>& words, int input, int console = -1) {
    pid_t child = fork();
    if (child == 0) {
        if (chdir(folder.c_str()) != 0) _exit(127);
        struct rlimit noCore = {0, 0};
        setrlimit(RLIMIT_CORE, &noCore);
        int devNull = open("/dev/null", O_RDWR);
        dup2(input, 0);
        dup2(console >= 0 ? console : devNull, 1);
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

// Watches a folder for the creation of a temporary output. The watch starts
// before the program does, so that no creation can be missed.
class TemporaryFileWatch {
  public:
    explicit TemporaryFileWatch(const std::string& folder) {
        descriptor = inotify_init1(IN_CLOEXEC);
        inotify_add_watch(descriptor, folder.c_str(), IN_CREATE);
    }
    TemporaryFileWatch(const TemporaryFileWatch&) = delete;
    TemporaryFileWatch& operator=(const TemporaryFileWatch&) = delete;
    ~TemporaryFileWatch() { close(descriptor); }

    // Blocks until a ".partial-" file has been created; false after 30 s.
    bool wait() {
        alignas(inotify_event) char events[4096];
        pollfd ready = {descriptor, POLLIN, 0};
        while (poll(&ready, 1, 30000) == 1) {
            ssize_t got = read(descriptor, events, sizeof events);
            for (ssize_t at = 0; at < got;) {
                const inotify_event* event = reinterpret_cast<const inotify_event*>(events + at);
                if (event->len > 0 && std::string(event->name).rfind(".partial-", 0) == 0)
                    return true;
                at += ssize_t(sizeof(inotify_event) + event->len);
            }
        }
        return false;
    }

  private:
    int descriptor = -1;
};

// Every signal whose default action ends the program, sent while the
// temporary output exists: the program ends by that signal, and leaves no
// temporary file and the old output. The handler is common/'s; the resizer
// serves, since it waits at its size menu with the temporary output open,
// which makes its runs exact.
TEST_F(Hardening, EveryEndingSignalLeavesNoTraceAndTheOldOutput) {
    writeFile(path("in.bmp"), bmpFile(asymmetricPicture(6, 4)));
    const Bytes previous(1234, 0x77);
    const int signals[] = {SIGINT,  SIGTERM, SIGHUP,    SIGQUIT, SIGUSR1,
                           SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU};
    for (int signalNumber : signals) {
        SCOPED_TRACE(strsignal(signalNumber));
        writeFile(path("out.bmp"), previous);
        int answers[2];
        ASSERT_EQ(pipe(answers), 0); // kept open and empty: the menu waits
        TemporaryFileWatch watch(folder);
        pid_t child =
            startProgram(folder, pravun.executable, {"in.bmp", "/t", "out.bmp"}, answers[0]);
        close(answers[0]);
        const bool started = watch.wait();
        kill(child, started ? signalNumber : SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        close(answers[1]);
        ASSERT_TRUE(started) << "the output was never started";
        EXPECT_TRUE(WIFSIGNALED(status));
        EXPECT_EQ(WTERMSIG(status), signalNumber);
        EXPECT_EQ(readFile(path("out.bmp")), previous);
        EXPECT_EQ(folderEntries(folder).size(), 2u);
    }
}

// Runs a bash script; gives its exit status, or 128 + the signal that ended it.
int runBash(const std::string& script) {
    pid_t child = fork();
    if (child == 0) {
        execl("/bin/bash", "bash", "-c", script.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// The words of a program run as a shell command line.
std::string commandLine(const std::string& executable, const std::vector<std::string>& words) {
    std::string line = shellLaunch(executable);
    for (const std::string& word : words) line += " '" + word + "'";
    return line;
}

// ---- standard descriptors and descriptor names ----------------------------------------

struct ShellCase {
    const char* name;
    std::string command; // run in the folder; "TESSALO" and "PRAVUN" stand for the programs
    int exitStatus;
    std::string lastLine; // the console's last line, when it is captured in console.txt
};

std::string withPrograms(std::string command) {
    for (const auto& program : {std::make_pair(std::string("TESSALO"), tessalo.executable),
                                std::make_pair(std::string("PRAVUN"), pravun.executable)})
        for (std::size_t at; (at = command.find(program.first)) != std::string::npos;)
            command.replace(at, program.first.size(), shellLaunch(program.second));
    return command;
}

std::string lastLine(const Bytes& console) {
    std::string text(console.begin(), console.end());
    std::size_t start = text.size() >= 2 ? text.rfind('\n', text.size() - 2) : std::string::npos;
    return start == std::string::npos ? text : text.substr(start + 1);
}

// A closed standard descriptor is opened on /dev/null at start: no file the
// program opens takes its place, and a closed input is an ended one. A
// console that goes away (the reader of a pipe ends first) changes nothing.
// An output descriptor open on the input is refused, since it would be
// written while the input is read; a picture is read by position, so one
// coming through a pipe is refused, while one redirected from a file is read.
// Each program hands its own input to the output check; the rest is common/.
TEST_F(Hardening, DescriptorsPipesAndConsolesHarmNoFile) {
    writeFile(path("in.bmp"), bmpFile(asymmetricPicture(6, 4)));
    writeFile(path("big.bmp"), bmpFile(asymmetricPicture(200, 100)));
    const Bytes expectedTessalo = plainOutput(tessalo, folder);
    const Bytes expectedPravun = plainOutput(pravun, folder);
    const std::string ended = ", and standard input ended before a valid answer was given\r\n";
    const std::string tessaloRun = "TESSALO batch 2 2 2 2 1 y in.bmp out.bmp";
    // clang-format off
    const ShellCase rows[] = {
        // The picture's rows lie beyond what its reader has buffered: were
        // it descriptor 0, the menu would take its answers from them.
        {"pravun size menu, input closed", "PRAVUN big.bmp /a100 out.bmp <&- >console.txt", 1, "size menu choice 0 is not 1, 2 or 3" + ended},
        {"tessalo, output closed", tessaloRun + " </dev/null >&-", 0, ""},
        {"tessalo, error closed", tessaloRun + " </dev/null >console.txt 2>&-", 0, "converting image...\r\n"},
        {"tessalo, all three closed", tessaloRun + " <&- >&- 2>&-", 0, ""},
        {"tessalo, console pipe closed", "(sleep .3; exec " + tessaloRun + " </dev/null) | true; exit ${PIPESTATUS[0]}", 0, ""},
        {"tessalo, output descriptor on the input", "TESSALO batch 2 2 2 2 1 y in.bmp /dev/fd/5 5<>in.bmp </dev/null >console.txt", 1, "cannot write outfile /dev/fd/5: it is the infile, which is being read\r\n"},
        {"pravun, output descriptor on the input", "PRAVUN in.bmp /h8 /dev/fd/5 5<>in.bmp </dev/null >console.txt", 1, "cannot write outfile /dev/fd/5: it is the infile, which is being read\r\n"},
        {"pravun, picture through a pipe", "cat in.bmp | PRAVUN /dev/stdin /h8 out.bmp >console.txt", 1, "cannot read infile /dev/stdin: it is not a regular file (pictures are read by position; save it to a file first)\r\n"},
        {"pravun, picture redirected from a file", "PRAVUN /dev/stdin /h8 out.bmp <in.bmp >console.txt", 0, ""},
    };
    // clang-format on
    for (const ShellCase& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(runBash("cd '" + folder + "' && " + withPrograms(row.command)), row.exitStatus);
        if (!row.lastLine.empty()) {
            EXPECT_EQ(lastLine(readFile(path("console.txt"))), row.lastLine);
        }
        if (row.exitStatus == 0) {
            const bool isTessalo = row.command.find("TESSALO") != std::string::npos;
            EXPECT_EQ(readFile(path("out.bmp")), isTessalo ? expectedTessalo : expectedPravun);
        }
        EXPECT_EQ(readFile(path("in.bmp")), bmpFile(asymmetricPicture(6, 4)));
        std::remove(path("out.bmp").c_str());
        std::remove(path("console.txt").c_str());
    }
}

struct DescriptorCase {
    const char* name;
    std::string outputName;
    std::string redirection; // for the program's descriptors
    Bytes logBefore;         // app.log before the run
    bool appended;           // app.log is then logBefore and the picture, else the picture alone
};

// A name of an open descriptor is written through it, with its own flags:
// ">>" appends, ">" truncates, and app.log stays the same file. The converter
// serves, since it also prints while its output is open.
TEST_F(Hardening, DescriptorNamesAreWrittenThroughTheDescriptor) {
    writeFile(path("in.bmp"), bmpFile(asymmetricPicture(6, 4)));
    const Bytes earlier = {'e', 'a', 'r', 'l', 'i', 'e', 'r', '\n'};
    // clang-format off
    const DescriptorCase rows[] = {
        {"/dev/fd/3 appending", "/dev/fd/3", "3>>app.log", earlier, true},
        {"/dev/fd/3 truncating", "/dev/fd/3", "3>app.log", earlier, false},
        {"/proc/self/fd/3 appending", "/proc/self/fd/3", "3>>app.log", earlier, true},
        {"/dev/stderr appending", "/dev/stderr", "2>>app.log", earlier, true},
    };
    // clang-format on
    const Bytes picture = plainOutput(tessalo, folder);
    for (const DescriptorCase& row : rows) {
        SCOPED_TRACE(row.name);
        writeFile(path("app.log"), row.logBefore);
        struct stat before, after;
        stat(path("app.log").c_str(), &before);
        std::vector<std::string> words = tessalo.words;
        words.back() = row.outputName;
        EXPECT_EQ(runBash("cd '" + folder + "' && " + commandLine(tessalo.executable, words) +
                          " </dev/null >/dev/null " + row.redirection),
                  0);
        Bytes expected = row.appended ? row.logBefore : Bytes();
        expected.insert(expected.end(), picture.begin(), picture.end());
        EXPECT_EQ(readFile(path("app.log")), expected);
        stat(path("app.log").c_str(), &after);
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(folderEntries(folder).size(), 2u);
    }
    // The console shares /dev/stdout with the picture; app.log keeps its
    // earlier lines and gains the picture.
    SCOPED_TRACE("/dev/stdout appending");
    writeFile(path("app.log"), earlier);
    std::vector<std::string> words = tessalo.words;
    words.back() = "/dev/stdout";
    EXPECT_EQ(runBash("cd '" + folder + "' && " + commandLine(tessalo.executable, words) +
                      " </dev/null >>app.log"),
              0);
    const Bytes log = readFile(path("app.log"));
    EXPECT_TRUE(std::equal(earlier.begin(), earlier.end(), log.begin()));
    EXPECT_NE(std::search(log.begin(), log.end(), picture.begin(), picture.end()), log.end());
    std::remove(path("app.log").c_str());
    // A descriptor that is not open.
    words.back() = "/dev/fd/7";
    RunResult result = run(tessalo, words);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(lastLine(Bytes(result.console.begin(), result.console.end())),
              "cannot write outfile /dev/fd/7: Bad file descriptor\r\n");
}

// ---- the input changing, links, owners, names, memory -----------------------------------

// The resizer waits at its size menu with the input checked and its output
// open; the input is cut there, then the menu is answered. (The ways an
// input can change are a table in the file tests.)
TEST_F(Hardening, AnInputChangedWhileItIsReadGivesNoOutput) {
    const Bytes picture = bmpFile(asymmetricPicture(200, 100));
    writeFile(path("in.bmp"), picture);
    int answers[2];
    ASSERT_EQ(pipe(answers), 0);
    Scratch consoleFolder;
    int console = open(consoleFolder.path("console").c_str(), O_WRONLY | O_CREAT, 0600);
    TemporaryFileWatch watch(folder);
    pid_t child =
        startProgram(folder, pravun.executable, {"in.bmp", "/t", "out.bmp"}, answers[0], console);
    close(answers[0]);
    close(console);
    const bool started = watch.wait();
    writeFile(path("in.bmp"), Bytes(picture.begin(), picture.begin() + 54 + 3 * 600));
    EXPECT_EQ(write(answers[1], "2\n100\n", 6), 6);
    close(answers[1]);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(started);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
    EXPECT_EQ(lastLine(readFile(consoleFolder.path("console"))),
              "infile changed while it was being read\r\n");
    EXPECT_EQ(folderEntries(folder), std::vector<std::string>{"in.bmp"});
}

struct LinkCase {
    const char* name;
    std::vector<std::pair<std::string, std::string>> links; // name, target
    std::string written; // the file that gets the picture, or "" when refused
    bool writtenExists;  // that file exists before the run
    std::string message; // the refusal's last line
    int linksOwner = -1; // the links' owner, -1 for the user running the test
};

// The folder is shared as /tmp is, sticky and writable by all: there the
// user's own links are followed, and another user's link is not. The resizer
// serves.
TEST_F(Hardening, OutputsThroughLinksReachTheirTargetOrAreRefused) {
    const Bytes picture = bmpFile(asymmetricPicture(6, 4));
    writeFile(path("in.bmp"), picture);
    ASSERT_EQ(std::system(("mkdir '" + path("sub") + "'").c_str()), 0);
    ASSERT_EQ(chmod(folder.c_str(), 01777), 0);
    // clang-format off
    const LinkCase rows[] = {
        {"link to a file", {{"out.bmp", "target.bmp"}}, "target.bmp", true, ""},
        {"dangling link", {{"out.bmp", "new.bmp"}}, "new.bmp", false, ""},
        {"chain through a folder", {{"out.bmp", "sub/a"}, {"sub/a", "new.bmp"}}, "sub/new.bmp", false, ""},
        {"dangling into a missing folder", {{"out.bmp", "missing/new.bmp"}}, "", false, "cannot write outfile out.bmp: No such file or directory\r\n"},
        {"loop", {{"out.bmp", "loop.bmp"}, {"loop.bmp", "out.bmp"}}, "", false, "cannot write outfile out.bmp: Too many levels of symbolic links\r\n"},
        {"another user's link to the user's file", {{"out.bmp", "in.bmp"}}, "", false, "cannot write outfile out.bmp: Permission denied\r\n", 4321},
    };
    // clang-format on
    const Bytes expected = plainOutput(pravun, folder);
    for (const LinkCase& row : rows) {
        SCOPED_TRACE(row.name);
        // Only root may give a link to another user.
        if (row.linksOwner >= 0 && geteuid() != 0) continue;
        if (row.writtenExists) writeFile(path(row.written), Bytes(50, 0x33));
        for (const auto& link : row.links) {
            ASSERT_EQ(symlink(link.second.c_str(), path(link.first).c_str()), 0);
            const uid_t owner = row.linksOwner >= 0 ? uid_t(row.linksOwner) : geteuid();
            ASSERT_EQ(lchown(path(link.first).c_str(), owner, gid_t(-1)), 0);
        }
        RunResult result = run(pravun, pravun.words);
        struct stat info;
        EXPECT_EQ(lstat(path("out.bmp").c_str(), &info), 0);
        EXPECT_TRUE(S_ISLNK(info.st_mode));
        if (row.written.empty()) {
            EXPECT_EQ(result.exitStatus, 1);
            EXPECT_EQ(lastLine(Bytes(result.console.begin(), result.console.end())), row.message);
        } else {
            EXPECT_EQ(result.exitStatus, 0);
            EXPECT_EQ(readFile(path(row.written)), expected);
            std::remove(path(row.written).c_str());
        }
        for (const auto& link : row.links) std::remove(path(link.first).c_str());
        EXPECT_TRUE(folderEntries(path("sub")).empty());
        EXPECT_EQ(folderEntries(folder).size(), 2u);
        EXPECT_EQ(readFile(path("in.bmp")), picture);
    }
}

// The resizer serves.
TEST_F(Hardening, AReplacedFileKeepsItsOwnerGroupAndMode) {
    if (geteuid() != 0) GTEST_SKIP() << "only root may give a file to another owner";
    writeFile(path("in.bmp"), bmpFile(asymmetricPicture(6, 4)));
    writeFile(path("out.bmp"), Bytes(10, 1));
    ASSERT_EQ(chown(path("out.bmp").c_str(), 4321, 8765), 0);
    ASSERT_EQ(chmod(path("out.bmp").c_str(), 0640), 0);
    EXPECT_EQ(run(pravun, pravun.words).exitStatus, 0);
    struct stat info;
    ASSERT_EQ(stat(path("out.bmp").c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 4321u);
    EXPECT_EQ(info.st_gid, 8765u);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_GT(info.st_size, 10);
}

// The resizer checks its output before it asks for the new size.
TEST_F(Hardening, TheResizerReportsAnUnwritableOutputBeforeItsSizeMenu) {
    writeFile(path("in.bmp"), bmpFile(asymmetricPicture(6, 4)));
    const std::pair<std::vector<std::string>, std::string> rows[] = {
        {{"in.bmp", "/t", "missing/out.bmp"},
         "cannot write outfile missing/out.bmp: No such file or directory"},
        {{"in.bmp", "/t", ""}, "infile in.bmp\r\noutfile \r\nno outfile name given"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.second);
        RunResult result = run(pravun, row.first);
        EXPECT_EQ(result.exitStatus, 1);
        EXPECT_EQ(result.console, pravun.before + row.second + "\r\n");
    }
}

#if defined(__SANITIZE_ADDRESS__)
#define UNDER_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define UNDER_ADDRESS_SANITIZER 1
#endif
#endif

// A 16,000,000-pixel-wide row (48 MB) under a 40 MB address-space limit:
// the allocation fails, and the run ends with one line instead of an abort.
TEST_F(Hardening, AFailedAllocationEndsWithOneLine) {
#ifdef UNDER_ADDRESS_SANITIZER
    GTEST_SKIP() << "the address sanitizer cannot run under an address-space limit";
#endif
    if (runningUnderEmulator()) GTEST_SKIP() << "the emulator itself needs more address space";
    const std::uint32_t width = 16000000;
    Bytes header = bmpFile(asymmetricPicture(1, 1));
    header.resize(54);
    header = withField(withField(header, 18, width, 4), 2, 54 + 3 * width, 4);
    writeFile(path("in.bmp"), header);
    ASSERT_EQ(truncate(path("in.bmp").c_str(), 54 + 3 * width), 0); // sparse
    const std::pair<const Program*, std::vector<std::string>> rows[] = {
        {&tessalo, tessalo.words},
        {&pravun, {"in.bmp", "/h90000", "/v1", "out.bmp"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.first->name);
        RunResult result = run(*row.first, row.second, "", "ulimit -v 40000");
        EXPECT_EQ(result.exitStatus, 1);
        EXPECT_EQ(lastLine(Bytes(result.console.begin(), result.console.end())).substr(0, 17),
                  "not enough memory");
        EXPECT_EQ(folderEntries(folder).size(), 1u);
    }
}

// ---- standard input that runs out ------------------------------------------------------

struct Exhausted {
    const char* name;
    const Program* program;
    std::vector<std::string> words;
    std::string answers;
    std::string refusal; // the answer refused last and what was wanted
    std::string ending = ", and standard input ended before a valid answer was given";
};

// A question asked again ends the run, on a line of its own, when the input
// has ended or, on a pipe, after 100 invalid answers in a row.
TEST_F(Hardening, EveryQuestionAskedAgainEndsWhenInputRunsOutOrNeverHelps) {
    writeFile(path("in.bmp"), bmpFile(asymmetricPicture(6, 4)));
    std::string yes, fives, factors; // the factor pair is one loop: 3 for each of them
    for (int i = 0; i < 1000; ++i) yes += "y\n", fives += "5\n", factors += "1\n3\n";
    const std::string hundred = ", and 100 answers in a row were not valid";
    // clang-format off
    const Exhausted rows[] = {
        {"tessalo option", &tessalo, {}, "7\n", "option 7 is not 1 to 6"},
        {"tessalo custom luma mask 1", &tessalo, {}, "5,1,255,255,0,0,0\n", "option 5 with bitmask1 y 1 is not accepted"},
        {"tessalo horizontal factor", &tessalo, {}, "1\n3\n", "chroma subsampling horizontal factor 3 is not 1, 2 or 4"},
        {"tessalo vertical factor", &tessalo, {}, "1\n2\n5\n", "chroma subsampling vertical factor 5 is not 1, 2 or 4"},
        {"tessalo luma dithering", &tessalo, {}, "1\n2\n2\n9", "luma plane dithering level 9 is not 0, 1 or 2"},
        {"tessalo chroma dithering", &tessalo, {}, "1\n2\n2\n0\n9", "chroma plane dithering level 9 is not 0, 1 or 2"},
        {"tessalo batch option", &tessalo, {"batch", "9"}, "", "option 9 is not 1 to 6"},
        {"tessalo batch mask", &tessalo, {"batch", "6", "1"}, "", "option 6 with bitmask1 y 1 is not accepted"},
        {"tessalo batch luma dithering", &tessalo, {"batch", "1", "1", "1", "3"}, "4", "luma plane dithering level 4 is not 0, 1 or 2"},
        {"tessalo batch chroma dithering", &tessalo, {"batch", "1", "1", "1", "0", "3"}, "4", "chroma plane dithering level 4 is not 0, 1 or 2"},
        // The end of the input had not been met yet when the question came
        // again: no answer had been read at all, or the last one was whole.
        {"tessalo batch, nothing read before", &tessalo, {"batch", "2", "2", "2", "3", "1", "y", "in.bmp", "out.bmp"}, "", "luma plane dithering level 3 is not 0, 1 or 2"},
        {"tessalo batch, one whole answer read", &tessalo, {"batch", "2", "3", "1", "5", "0", "y", "in.bmp", "out.bmp"}, "1", "luma plane dithering level 5 is not 0, 1 or 2"},
        {"pravun size menu", &pravun, {"in.bmp", "out.bmp"}, "out.bmp\n7\n", "size menu choice 7 is not 1, 2 or 3"},
        {"pravun size menu, nothing typed", &pravun, {"in.bmp", "/t", "out.bmp"}, "", "size menu choice 0 is not 1, 2 or 3"},
        {"endless: tessalo option", &tessalo, {}, yes, "option 0 is not 1 to 6", hundred},
        {"endless: tessalo factor pair", &tessalo, {}, "1\n" + factors, "chroma subsampling vertical factor 3 is not 1, 2 or 4", hundred},
        {"endless: tessalo batch luma dithering", &tessalo, {"batch", "1", "1", "1", "7"}, fives, "luma plane dithering level 5 is not 0, 1 or 2", hundred},
        {"endless: pravun size menu", &pravun, {"in.bmp", "/a50", "o.bmp"}, yes, "size menu choice 0 is not 1, 2 or 3", hundred},
    };
    // clang-format on
    for (const Exhausted& row : rows) {
        SCOPED_TRACE(row.name);
        // A program that asked for ever would be stopped by the time limit.
        RunResult result = run(*row.program, row.words, row.answers, "ulimit -t 5");
        EXPECT_EQ(result.exitStatus, 1);
        // The message has a line of its own.
        EXPECT_PRED2(endsWith, result.console, "\n" + row.refusal + row.ending + "\r\n");
        EXPECT_EQ(folderEntries(folder).size(), 1u);
    }
}

} // namespace
