// The command line and prompts of the resizer: the banner, the reading of the
// command-line words, the usage text with its questions, and the size menu.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "dialogue.h"

struct ResizeSettings {
    std::string inputPath;             // word 1, or the answer to "infile "
    std::string outputPath;            // the word after the options, or "outfile "
    std::uint32_t requestedWidth = 0;  // pixels; 0 = derive from the height
    std::uint32_t requestedHeight = 0; // pixels; 0 = derive from the width
    std::uint32_t pixelAspect = 0;     // target pixel width / height in percent; 0 = 100
    bool fitToBox = false;             // "/m": fit into requestedWidth x requestedHeight
    bool cropToBox = false;            // "/t": with "/m", fill the box and cut the overhang
    bool exactMean = false;            // "/e": the exact area mean, rounded half up
};

// What the command-line words say, before anything is printed or asked.
struct WordReading {
    ResizeSettings settings;
    bool showUsage = false;     // no input name: usage text, then both questions
    bool askOutputPath = false; // no output name: "infile NAME" line, then "outfile "
};

// A word that starts with "/" is an option, unless it holds a second "/":
// then it is an absolute file name such as "/home/u/in.bmp".
bool isOptionWord(const std::string& word);

// Appends the digits at 1-based positions start to start + 4 of the word to
// field (field x 10 + digit, in 32-bit arithmetic); a position past the end
// or a non-digit ends the number. Returns the position where it ended.
std::size_t appendDigits(const std::string& word, std::size_t start, std::uint32_t& field);

// Applies one option word ("/m320x240", "/h320", "/v240", "/a50", "/t", any
// case); an unknown letter changes nothing.
void applyOptionWord(const std::string& word, ResizeSettings& settings);

// Classifies command-line words 1 to 5: input name, up to three options,
// output name.
WordReading readCommandWords(const Dialogue& dialogue);

void printUsage(Dialogue& dialogue);

// Prints the banner and gathers the names and options from the command line,
// showing the usage text and asking where the words leave something open.
ResizeSettings gatherSettings(Dialogue& dialogue);

// When neither a width nor a height was given, shows the size menu for the
// input's size and asks for the new size.
void askSizeIfMissing(Dialogue& dialogue, ResizeSettings& settings, std::uint32_t inputWidth,
                      std::uint32_t inputHeight);
