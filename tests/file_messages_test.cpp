// The lines about infiles and outfiles, and the names shown in them: control
// characters escaped, shell words quoted, and each refusal in its words.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "file_messages.h"
#include "output_replacement.h"
#include "test_support.h"

namespace {

const Bytes tenLetters = bytesOf("abcdefghij");

// ---- names ------------------------------------------------------------------------

struct NameRow {
    std::string name;
    std::string printable; // as printableName shows it
    std::string shellWord; // as shellWord quotes it
};

TEST(FileMessages, NamesShowControlCharactersEscaped) {
    // clang-format off
    const NameRow rows[] = {
        {"plain.bmp", "plain.bmp", "plain.bmp"},
        {"it's a photo.png", "it's a photo.png", "'it'\\''s a photo.png'"},
        {"a\nb", "a\\nb", "$'a\\x0Ab'"},
        {"a\r\tb", "a\\r\\tb", "$'a\\x0D\\x09b'"},
        {"it's\n", "it's\\n", "$'it\\'s\\x0A'"},
        {std::string("\x1b[2J\x7f\x01", 6), "\\x1B[2J\\x7F\\x01", "$'\\x1B[2J\\x7F\\x01'"},
        // UTF-8 characters and backslashes stay: "é", "€", a no-break space.
        {"caf\xc3\xa9 \\.bmp", "caf\xc3\xa9 \\.bmp", "'caf\xc3\xa9 \\.bmp'"},
        {"\xe2\x82\xac\xc2\xa0.bmp", "\xe2\x82\xac\xc2\xa0.bmp", "'\xe2\x82\xac\xc2\xa0.bmp'"},
        // A C1 control, CSI, in UTF-8 (C2 9B) and as a lone 8-bit byte.
        {"a\xc2\x9b" "2J.bmp", "a\\xC2\\x9B2J.bmp", "$'a\\xC2\\x9B2J.bmp'"},
        {"a\x9b" "2J.bmp", "a\\x9B2J.bmp", "$'a\\x9B2J.bmp'"},
        {"\xc2\x80\xc2\x9f", "\\xC2\\x80\\xC2\\x9F", "$'\\xC2\\x80\\xC2\\x9F'"},
        // Bytes 0x80 to 0x9F that no well-formed character holds: after a
        // cut sequence, in an overlong form; a Latin-1 "é" (E9) stays.
        {"\xe2\x82x", "\xe2\\x82x", "$'\xe2\\x82x'"},
        {"\xe0\x80\x9b", "\xe0\\x80\\x9B", "$'\xe0\\x80\\x9B'"},
        {"caf\xe9", "caf\xe9", "'caf\xe9'"},
    };
    // clang-format on
    for (const NameRow& row : rows) {
        SCOPED_TRACE(row.printable);
        EXPECT_EQ(printableName(row.name), row.printable);
        EXPECT_EQ(shellWord(row.name), row.shellWord);
    }
}

// ---- the input ---------------------------------------------------------------------

struct InputRow {
    const char* name;
    std::string fileName;
    std::string line; // "" when the input opened
};

TEST(FileMessages, OpeningAnInputGivesOneLine) {
    Scratch scratch;
    writeFile(scratch.path("in.bmp"), tenLetters);
    ASSERT_EQ(mkfifo(scratch.path("fifo").c_str(), 0600), 0);
    // clang-format off
    const InputRow rows[] = {
        {"regular file", scratch.path("in.bmp"), ""},
        {"no name", "", "no infile name given"},
        {"missing file", scratch.path("a\nb.bmp"), "cannot open infile " + scratch.path("a\\nb.bmp") + ": No such file or directory"},
        {"folder", scratch.folder, "cannot open infile " + scratch.folder + ": Is a directory"},
        {"named pipe", scratch.path("fifo"), "cannot read infile " + scratch.path("fifo") + ": it is not a regular file (pictures are read by position; save it to a file first)"},
    };
    // clang-format on
    for (const InputRow& row : rows) {
        SCOPED_TRACE(row.name);
        BinaryFile input;
        EXPECT_EQ(openInputProblem(input, row.fileName), row.line);
    }
}

TEST(FileMessages, ReadingAnInputGivesOneLine) {
    Scratch scratch;
    writeFile(scratch.path("in.bmp"), tenLetters);
    BinaryFile input;
    ASSERT_TRUE(input.openForReading(scratch.path("in.bmp")));
    std::uint8_t buffer[4];
    input.get(1, buffer, sizeof buffer);
    EXPECT_EQ(inputErrorProblem(input, "in\n.bmp"), "");
    EXPECT_EQ(inputReadProblem(input, "in\n.bmp"), "");
    input.shortRead = true; // a get ended before the length measured at opening
    EXPECT_EQ(inputErrorProblem(input, "in\n.bmp"), "");
    EXPECT_EQ(inputReadProblem(input, "in\n.bmp"), "infile changed while it was being read");
    input.error = EIO;
    EXPECT_EQ(inputErrorProblem(input, "in\n.bmp"),
              "cannot read infile in\\n.bmp: Input/output error");
    EXPECT_EQ(inputReadProblem(input, "in\n.bmp"),
              "cannot read infile in\\n.bmp: Input/output error");
}

// ---- the output --------------------------------------------------------------------

struct OutputRow {
    const char* name;
    std::string fileName;
    std::string line; // "" when the output opened
};

TEST(FileMessages, OpeningAnOutputGivesOneLine) {
    // clang-format off
    const OutputRow rows[] = {
        {"no name", "", "no outfile name given"},
        {"missing folder", "/nonexistent folder/out.bmp", "cannot write outfile /nonexistent folder/out.bmp: No such file or directory"},
        {"control characters", "/nonexistent/\x1b[2J\xc2\x9b\n", "cannot write outfile /nonexistent/\\x1B[2J\\xC2\\x9B\\n: No such file or directory"},
    };
    // clang-format on
    for (const OutputRow& row : rows) {
        SCOPED_TRACE(row.name);
        BinaryFile output;
        EXPECT_EQ(openOutputProblem(output, row.fileName, nullptr), row.line);
    }
}

// An output written in place into the input while it is read is refused.
// Through a temporary file, renamed into place after the reads, the input's
// own name or a link to it is no harm.
TEST(FileMessages, AnOutputWrittenIntoTheInputIsRefused) {
    Scratch scratch;
    writeFile(scratch.path("in.bmp"), tenLetters);
    writeFile(scratch.path("other.bmp"), tenLetters);
    ASSERT_EQ(symlink("in.bmp", scratch.path("link.bmp").c_str()), 0);
    const std::string onInput = std::to_string(open(scratch.path("in.bmp").c_str(), O_RDWR));
    const std::string onOther = std::to_string(open(scratch.path("other.bmp").c_str(), O_RDWR));
    const std::string refusal = ": it is the infile, which is being read";
    // clang-format off
    const OutputRow rows[] = {
        {"/dev/fd/N on the input", "/dev/fd/" + onInput, "cannot write outfile /dev/fd/" + onInput + refusal},
        {"/proc/self/fd/N on the input", "/proc/self/fd/" + onInput, "cannot write outfile /proc/self/fd/" + onInput + refusal},
        {"/dev/fd/N on another file", "/dev/fd/" + onOther, ""},
        {"the input's own name", scratch.path("in.bmp"), ""},
        {"a link to the input", scratch.path("link.bmp"), ""},
    };
    // clang-format on
    BinaryFile input;
    ASSERT_TRUE(input.openForReading(scratch.path("in.bmp")));
    for (const OutputRow& row : rows) {
        SCOPED_TRACE(row.name);
        BinaryFile output;
        EXPECT_EQ(openOutputProblem(output, row.fileName, &input), row.line);
        EXPECT_EQ(output.handle != nullptr, row.line.empty());
        discardReplacement(output);
    }
    close(std::stoi(onInput));
    close(std::stoi(onOther));
    EXPECT_EQ(readFile(scratch.path("in.bmp")), tenLetters);
    EXPECT_EQ(folderEntries(scratch.folder),
              (std::vector<std::string>{"in.bmp", "link.bmp", "other.bmp"}));
}

} // namespace
