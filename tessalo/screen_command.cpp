#include "screen_command.h"

#include <cctype>

#include "file_messages.h"

bool isScreenCommand(const std::vector<std::string>& words) {
    if (words.size() < 2) return false;
    const std::string& first = words[1];
    return first.compare(0, 2, "--") == 0 && first != "--help" && first != "--version" &&
           first != "--decode";
}

// ---- option values ------------------------------------------------------------

static std::string lowerCase(std::string text) {
    for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

static bool endsWithNoCase(const std::string& text, const std::string& ending) {
    return text.size() >= ending.size() &&
           lowerCase(text.substr(text.size() - ending.size())) == ending;
}

// A whole number of 1 to 4 digits: pixel shapes need no more.
static bool smallNumber(const std::string& text, std::uint32_t& value) {
    if (text.empty() || text.size() > 4) return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + std::uint32_t(c - '0');
    }
    return value != 0;
}

static std::string badValue(const std::string& option, const std::string& value,
                            const std::string& wanted) {
    return option + " takes " + wanted + ", not '" + printableName(value) + "'";
}

// Sets the option's field from its value; gives "" or the usage error.
static std::string applyValue(const std::string& option, const std::string& value,
                              ScreenCommand& command) {
    if (option == "--screen") {
        if (value != "10" && value != "11" && value != "12")
            return badValue(option, value, "10, 11 or 12");
        command.screen = std::stoi(value);
    } else if (option == "--pixel-aspect") {
        const std::size_t colon = value.find(':');
        if (colon == std::string::npos ||
            !smallNumber(value.substr(0, colon), command.aspectWidth) ||
            !smallNumber(value.substr(colon + 1), command.aspectHeight))
            return badValue(option, value, "W:H, two whole numbers from 1 to 9999");
    } else if (option == "--encoder") {
        if (value != "classic" && value != "best") return badValue(option, value, "classic or best");
        command.encoder = value == "best" ? ScreenEncoder::best : ScreenEncoder::classic;
    } else if (option == "--dither") {
        if (value != "none" && value != "diffuse") return badValue(option, value, "none or diffuse");
        command.diffuse = value == "diffuse";
    } else if (option == "--metric") {
        if (value != "rgb" && value != "lab") return badValue(option, value, "rgb or lab");
        command.metric = value == "lab" ? ColourMetric::lab : ColourMetric::rgb;
    } else if (option == "--format") {
        const std::string kind = lowerCase(value);
        if (kind != "scc" && kind != "sca" && kind != "scb" && kind != "png" && kind != "bmp")
            return badValue(option, value, "scc, sca, scb, png or bmp");
        command.format = kind;
    } else if (option == "--preview") {
        if (value.empty()) return "--preview takes a file name";
        command.preview = value;
    }
    return "";
}

static bool takesValue(const std::string& option) {
    return option == "--screen" || option == "--pixel-aspect" || option == "--encoder" ||
           option == "--dither" || option == "--metric" || option == "--format" ||
           option == "--preview";
}

// Options without a value; gives false for an unknown word.
static bool applySwitch(const std::string& option, ScreenCommand& command) {
    if (option == "--fill")
        command.fit = false;
    else if (option == "--fit")
        command.fit = true;
    else if (option == "--verbose")
        command.verbose = true;
    else if (option == "-h" || option == "--help")
        command.help = true;
    else if (option == "--version")
        command.version = true;
    else
        return false;
    return true;
}

// ---- the words ----------------------------------------------------------------

// Options may stand anywhere among the two names; "--" ends them, so that a
// name may start with "-". A lone "-" is a name: standard input or output.
std::string parseScreenCommand(const std::vector<std::string>& words, ScreenCommand& command) {
    std::vector<std::string> names;
    bool optionsEnded = false;
    for (std::size_t i = 1; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (optionsEnded || word == "-" || word.empty() || word[0] != '-') {
            names.push_back(word);
            continue;
        }
        if (word == "--") {
            optionsEnded = true;
            continue;
        }
        const std::size_t equals = word.find('=');
        const std::string option = word.substr(0, equals);
        if (takesValue(option)) {
            if (equals == std::string::npos && i + 1 == words.size())
                return option + " needs a value";
            const std::string value =
                equals == std::string::npos ? words[++i] : word.substr(equals + 1);
            std::string problem = applyValue(option, value, command);
            if (!problem.empty()) return problem;
        } else if (equals != std::string::npos || !applySwitch(option, command)) {
            return "unknown option " + printableName(word);
        }
    }
    if (command.help || command.version) return "";
    if (names.empty()) return "missing the input and output names";
    if (names.size() == 1) return "missing the output name after " + printableName(names[0]);
    if (names.size() > 2) return "one input and one output name, not also " + printableName(names[2]);
    command.input = names[0];
    command.output = names[1];
    return "";
}

// ---- what is written ------------------------------------------------------------

static OutputKind kindOfName(const std::string& name) {
    if (endsWithNoCase(name, ".scc")) return OutputKind::screen12;
    if (endsWithNoCase(name, ".sca") || endsWithNoCase(name, ".scb")) return OutputKind::screen10;
    if (endsWithNoCase(name, ".png")) return OutputKind::png;
    if (endsWithNoCase(name, ".bmp")) return OutputKind::bmp;
    return OutputKind::none;
}

std::string outputKindProblem(const ScreenCommand& command, OutputKind& kind) {
    const std::string shown = printableName(command.output);
    if (!command.format.empty())
        kind = kindOfName("." + command.format);
    else if (command.output == "-")
        return "standard output needs --format scc, sca, scb, png or bmp";
    else
        kind = kindOfName(command.output);
    if (kind == OutputKind::none)
        return "outfile " + shown +
               ": name it .SCC (screen 12), .SCA or .SCB (screens 10/11), .png or .bmp";
    const bool screen12 = command.screen == 12;
    if ((kind == OutputKind::screen12 && !screen12) || (kind == OutputKind::screen10 && screen12))
        return "outfile " + shown + " is a " +
               (kind == OutputKind::screen12 ? "screen 12 file" : "screen 10/11 file") +
               ", but --screen is " + std::to_string(command.screen);
    return "";
}

std::string previewKindProblem(const ScreenCommand& command, OutputKind& kind) {
    kind = kindOfName(command.preview);
    if (kind == OutputKind::png || kind == OutputKind::bmp) return "";
    return "preview " + printableName(command.preview) + ": name it .png or .bmp";
}

const std::vector<std::string>& screenCommandUsage() {
    static const std::vector<std::string> lines = {
        "usage: tessalo [OPTION...] IN OUT",
        "  from a picture (BMP, PNG or JPEG; - for standard input) to what an MSX2+",
        "  shows: OUT ending in .SCC (screen 12), .SCA or .SCB (screens 10/11) is the",
        "  file BLOAD \"NAME\",S loads; .png or .bmp is only the machine's view.",
        "",
        "  --screen 12|11|10     the screen (default 12)",
        "  --fill | --fit        cover the 256 x 212 screen and cut the overhang evenly",
        "                        (default), or show the whole picture on black",
        "  --pixel-aspect W:H    the shape of a screen pixel (default 8:7, an NTSC",
        "                        machine on a 4:3 television; 61:44 for PAL; 1:1 for an",
        "                        emulator shown at 1:1)",
        "  --encoder best|classic  the decode-aware encoder (default), or the classic",
        "                        preset (tessalo batch 2 4 1 2 1 y, 3 for screen 10)",
        "  --dither none|diffuse   error diffusion (default diffuse)",
        "  --metric rgb|lab      what the best encoder minimises (default rgb)",
        "  --preview FILE        also write the machine's view (.png or .bmp)",
        "  --format scc|sca|scb|png|bmp  what to write when OUT is - (standard output)",
        "  --verbose             print the steps and figures on standard error",
        "  -h, --help, --version",
        "",
        "Nothing is printed on success. Exit status: 0 written, 1 refused (one line",
        "says why), 2 a usage error.",
    };
    return lines;
}
