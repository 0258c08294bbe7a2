#include "help.h"

static const char* const helpLines[] = {
    "pravun: resizes a BMP picture with an integer box filter: each target",
    "pixel is the area average of the source pixels under it, in fixed point with 8",
    "fractional bits and rounded down, so a few levels below the true mean (or,",
    "with /e, the exact mean rounded half up).",
    "",
    "usage: pravun INFILE [OPTION...] OUTFILE",
    "       pravun                       shows the usage and asks for the names",
    "       pravun -h | --help | --version",
    "",
    "  /hW       new width W; the height follows the aspect ratio unless given",
    "  /vH       new height H; the width follows the aspect ratio unless given",
    "  /mWxH     fit into a W x H box, keeping the aspect ratio",
    "  /t        with /m: fill the box and cut the overhang evenly",
    "  /aP       target pixels P percent as wide as tall (100 square)",
    "  /e        the exact mean, rounded half up: a flat area keeps its value; it",
    "            may stand anywhere after INFILE and is not one of the three words",
    "",
    "At most three option words; the letters may be capitals. Without a size a",
    "menu asks for one. Widths are rounded to a multiple of 4. A word starting",
    "with / that holds a second / is a file name.",
    "",
    "example: pravun photo.bmp /m256x212 /t screen.bmp",
    "",
    "exit status: 0 when the picture was written, 1 when the input or the size was",
    "refused or the output could not be written (one line says why).",
    "",
    "versions: \"V2.32\" in the banner is the dialogue's own version; the release of",
    "the MSX2+ picture tools, which --version prints, is " PICTURE_TOOLS_VERSION ".",
};

void answerHelpOrVersion(Dialogue& dialogue) {
    answerStandardOptions(dialogue, "pravun", helpLines, sizeof helpLines / sizeof helpLines[0]);
}
