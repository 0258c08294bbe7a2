#include "file_messages.h"

#include <cctype>
#include <vector>

#include "output_replacement.h"

// ---- names in messages -------------------------------------------------------------

static const char hexDigits[] = "0123456789ABCDEF";

// A byte written as \xHH, which both a reader and the shell's $'...' take
// back: the digit of its high 4 bits, then that of its low 4.
static std::string hexEscape(char c) {
    const unsigned char byte = static_cast<unsigned char>(c);
    return std::string("\\x") + hexDigits[byte >> 4] + hexDigits[byte & 0xF];
}

// The length of the well-formed UTF-8 character that starts at text[at], 2
// to 4 bytes, or 0 when none does (an ASCII byte, a stray continuation byte,
// a cut or malformed sequence). The second byte's narrower ranges after E0,
// ED, F0 and F4 rule out overlong forms, surrogates and code points beyond
// U+10FFFF, so that a terminal decodes exactly what is kept as a character.
static std::size_t utf8Length(const std::string& text, std::size_t at) {
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (text.size() - at < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const unsigned char next = static_cast<unsigned char>(text[at + i]);
        if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xBF)) return 0;
    }
    return length;
}

// For each byte of a name, whether it belongs to a control character, which
// messages show escaped: a byte below 0x20 or 0x7F; both bytes of a UTF-8 C1
// control (U+0080 to U+009F, C2 80 to C2 9F), which a terminal would obey as
// it obeys the 8-bit one; and a byte 0x80 to 0x9F outside any well-formed
// UTF-8 character, which a terminal reading 8-bit controls would obey. The
// continuation bytes of every other UTF-8 character ("é" is C3 A9) are kept.
static std::vector<bool> controlBytes(const std::string& name) {
    std::vector<bool> control(name.size(), false);
    for (std::size_t at = 0; at < name.size();) {
        const unsigned char byte = static_cast<unsigned char>(name[at]);
        const std::size_t length = utf8Length(name, at);
        if (length == 2 && byte == 0xC2 && static_cast<unsigned char>(name[at + 1]) <= 0x9F) {
            control[at] = control[at + 1] = true;
        } else if (length == 0) {
            control[at] = byte < 0x20 || byte == 0x7F || (byte >= 0x80 && byte <= 0x9F);
        }
        at += length == 0 ? 1 : length;
    }
    return control;
}

std::string printableName(const std::string& fileName) {
    const std::vector<bool> control = controlBytes(fileName);
    std::string shown;
    for (std::size_t i = 0; i < fileName.size(); ++i) {
        const char c = fileName[i];
        if (!control[i])
            shown.push_back(c);
        else if (c == '\n')
            shown += "\\n";
        else if (c == '\r')
            shown += "\\r";
        else if (c == '\t')
            shown += "\\t";
        else
            shown += hexEscape(c);
    }
    return shown;
}

std::string shellWord(const std::string& fileName) {
    const std::vector<bool> controls = controlBytes(fileName);
    bool plain = !fileName.empty(), control = false;
    for (std::size_t i = 0; i < fileName.size(); ++i) {
        const unsigned char byte = static_cast<unsigned char>(fileName[i]);
        control = control || controls[i];
        if (!std::isalnum(byte) && std::string("._-/+,:=@%").find(fileName[i]) == std::string::npos)
            plain = false;
    }
    if (plain) return fileName;
    // In the $'...' form control characters are written \xHH, so that the
    // word stays on one line and the shell still reads it as the name.
    std::string quoted = control ? "$'" : "'";
    for (std::size_t i = 0; i < fileName.size(); ++i) {
        const char c = fileName[i];
        if (controls[i])
            quoted += hexEscape(c);
        else if (c == '\'')
            quoted += control ? "\\'" : "'\\''";
        else if (c == '\\' && control)
            quoted += "\\\\";
        else
            quoted += c;
    }
    return quoted + "'";
}

// ---- the input ---------------------------------------------------------------------

// The one line about an input that failed: "no infile name given" without
// a name, else "cannot VERB infile NAME: REASON".
static std::string infileLine(const char* verb, const std::string& fileName,
                              const std::string& reason) {
    if (fileName.empty()) return "no infile name given";
    return std::string("cannot ") + verb + " infile " + printableName(fileName) + ": " + reason;
}

std::string openInputProblem(BinaryFile& input, const std::string& fileName) {
    if (input.openForReading(fileName)) return "";
    if (input.notRegular)
        return infileLine(
            "read", fileName,
            "it is not a regular file (pictures are read by position; save it to a file first)");
    return infileLine("open", fileName, input.errorText());
}

std::string inputErrorProblem(const BinaryFile& input, const std::string& fileName) {
    return input.error == 0 ? "" : infileLine("read", fileName, input.errorText());
}

std::string inputReadProblem(const BinaryFile& input, const std::string& fileName) {
    const std::string problem = inputErrorProblem(input, fileName);
    if (!problem.empty()) return problem;
    return input.changedSinceOpening() ? "infile changed while it was being read" : "";
}

// ---- the output --------------------------------------------------------------------

// The one line about an output that failed: "no outfile name given" without
// a name, else "cannot write outfile NAME: REASON".
static std::string outfileLine(const std::string& fileName, const std::string& reason) {
    if (fileName.empty()) return "no outfile name given";
    return "cannot write outfile " + printableName(fileName) + ": " + reason;
}

std::string openOutputProblem(BinaryFile& output, const std::string& fileName,
                              const BinaryFile* input) {
    if (!openReplacement(output, fileName)) return outfileLine(fileName, output.errorText());
    // Written in place, the input would be overwritten while its rows are
    // still to be read. Through a temporary file (the input's own name, a
    // link to it) it is replaced only after every row has been read.
    if (input != nullptr && writesInPlace(output) && input->isSameFileAs(output)) {
        discardReplacement(output);
        return outfileLine(fileName, "it is the infile, which is being read");
    }
    return "";
}

std::string commitOutputProblem(BinaryFile& output, const std::string& fileName) {
    if (commitReplacement(output)) return "";
    return outfileLine(fileName, output.errorText());
}

std::string temporaryFileProblem(const BinaryFile& temporary) {
    return "cannot use a temporary file: " + temporary.errorText();
}
