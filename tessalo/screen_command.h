// The one-command form of tessalo, from any picture to what the machine shows:
//
//     tessalo --screen 12 photo.jpg PIC.SCC
//     tessalo --screen 10 --fit --preview view.png photo.png PIC.SCA
//
// It is chosen when the first word starts with "--" and is none of --help,
// --version and --decode, whose meaning stays. Its conventions are those of
// ImageMagick and netpbm rather than the dialogue's: nothing is printed on
// success, a refusal is one line on standard error, and a usage error prints
// the usage there too and ends with status 2.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class ScreenEncoder { classic, best };
enum class ColourMetric { rgb, lab };
// What a name asks to be written: a screen file, or only the machine's view.
enum class OutputKind { none, screen12, screen10, png, bmp };

struct ScreenCommand {
    int screen = 12;                        // 12, 11 or 10; 10 and 11 give the same file
    bool fit = false;                       // whole picture on black; otherwise fill and cut
    std::uint32_t aspectWidth = 8;          // the shape of one screen pixel, width:height;
    std::uint32_t aspectHeight = 7;         // 8:7 on an NTSC machine (see pixelAspectPercent)
    ScreenEncoder encoder = ScreenEncoder::best;  // the decode-aware encoder, or the classic preset
    bool diffuse = true;                    // --dither diffuse (default) or none
    ColourMetric metric = ColourMetric::rgb; // what the best encoder minimises
    std::string preview;                    // --preview FILE: also the machine's view
    std::string format;                     // --format: what "-" as the output writes
    bool verbose = false;                   // the steps and figures on standard error
    bool help = false;                      // -h or --help among the words
    bool version = false;                   // --version among the words
    std::string input;                      // "-" is standard input
    std::string output;                     // "-" is standard output
};

// Whether the words (word 0 the program) choose the one-command form.
bool isScreenCommand(const std::vector<std::string>& words);

// Reads the words after the program's name into command. Gives "" when they
// make a job (or ask for the help or the version), else the one-line usage
// error, such as "unknown option --size".
[[nodiscard]] std::string parseScreenCommand(const std::vector<std::string>& words,
                                             ScreenCommand& command);

// What the output of a parsed command is: by --format, else by the name's
// extension in any case. Gives "" or the refusal line: a name that says no
// kind, or a screen file of another screen than --screen.
[[nodiscard]] std::string outputKindProblem(const ScreenCommand& command, OutputKind& kind);

// The preview's kind, by its name: png or bmp. Gives "" or the refusal line.
[[nodiscard]] std::string previewKindProblem(const ScreenCommand& command, OutputKind& kind);

// The usage lines, for --help on standard output and after a usage error on
// standard error.
const std::vector<std::string>& screenCommandUsage();
