// The lines the programs print about their files, and the quoting of file
// names in them. Every infile and outfile line is made here, so that each
// says the same thing in the same words wherever it comes from; a name is
// always shown through printableName, so that no name can break the line or
// drive the terminal.
#pragma once

#include <string>

#include "binary_file.h"

// A file name as shown in a message line: the control characters are
// escaped (\n, \r, \t, \xHH), so that a name can neither break the line nor
// move the cursor. They are the bytes below 0x20, 0x7F, the C1 controls
// U+0080 to U+009F in their UTF-8 form (C2 80 to C2 9F, both bytes
// escaped), and the bytes 0x80 to 0x9F that belong to no well-formed UTF-8
// character. Every other character, UTF-8 or not, stays as it is.
std::string printableName(const std::string& fileName);

// A file name as one shell word, for a command shown in a message: as it is
// when it holds only letters, digits and . _ - / + , : = @ %; in single
// quotes otherwise; in the $'...' form, with each byte of a control
// character (as printableName finds them) written \xHH, when it holds any.
std::string shellWord(const std::string& fileName);

// Opens the input for reading. Gives "" when that worked, else the line that
// says why not: "no infile name given", "cannot open infile NAME: reason",
// or "cannot read infile NAME: it is not a regular file (...)" for a pipe,
// FIFO, device or socket.
[[nodiscard]] std::string openInputProblem(BinaryFile& input, const std::string& fileName);

// "" while every read of the input worked, else "cannot read infile NAME:
// reason".
[[nodiscard]] std::string inputErrorProblem(const BinaryFile& input, const std::string& fileName);

// Called after the input has been read: "" when every read worked on the
// file as it was opened, else "cannot read infile NAME: reason" or "infile
// changed while it was being read".
[[nodiscard]] std::string inputReadProblem(const BinaryFile& input, const std::string& fileName);

// Opens the output for replacement. Gives "" when that worked, else the line
// that says why not: "no outfile name given", "cannot write outfile NAME:
// reason", or, when the output would be written in place into the input
// (null when there is none) while it is read, "cannot write outfile NAME: it
// is the infile, which is being read". This is the one place that checks for
// a missing output name.
[[nodiscard]] std::string openOutputProblem(BinaryFile& output, const std::string& fileName,
                                            const BinaryFile* input);

// Commits the output. Gives "" when the new file is in place, else "cannot
// write outfile NAME: reason" (the temporary file is then removed).
[[nodiscard]] std::string commitOutputProblem(BinaryFile& output, const std::string& fileName);

// "cannot use a temporary file: reason", for the unnamed temporary files that
// hold a picture on its way (openUnnamedTemporary).
[[nodiscard]] std::string temporaryFileProblem(const BinaryFile& temporary);
