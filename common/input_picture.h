// Opening the picture a program reads: the file, its header and the reader
// of its rows, with every refusal printed as one line before any work.
#pragma once

#include <string>

#include "binary_file.h"
#include "bmp_header.h"
#include "dialogue.h"
#include "picture_rows.h"

// Opens the input for reading, reads and checks its header and sets up rows
// to read its pixel rows. Any problem ends the program with one line (two for
// another picture format: the second says how to convert it) and status 1.
BmpHeader openInputPicture(Dialogue& dialogue, BinaryFile& file, const std::string& fileName,
                           PictureRows& rows);

// Reads and checks the header of the opened input and sets up rows to read
// its pixel rows. Gives "" or the one-line refusal; for a file of another
// picture format, otherFormat is set and the refusal is the line that says
// how to convert it.
[[nodiscard]] std::string pictureProblem(BinaryFile& file, const std::string& fileName,
                                         PictureRows& rows, BmpHeader& header, bool& otherFormat);

// The line that shows how a file of another format becomes a BMP, e.g.
// "infile is a PNG picture; convert it with: convert photo.png -type
// truecolor BMP3:photo.bmp"; for a screen file, the tessalo --decode command
// when its name is one --decode takes, else how to name it.
std::string conversionAdvice(const std::string& format, const std::string& fileName);
