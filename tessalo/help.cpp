#include "help.h"

static const char* const helpLines[] = {
    "tessalo: previews a BMP picture as it looks in the YJK encoding of the V9958",
    "(MSX screens 10 and 12) or in a YUV encoding, and writes the preview as a",
    "24-bit BMP of the same size, or the picture as a screen 10, 11 or 12 file.",
    "",
    "usage: tessalo                      asks every setting on the console",
    "       tessalo batch OPTION [MASKS] HFACTOR VFACTOR LUMA CHROMA [DAC] IN OUT",
    "       tessalo --decode SCREENFILE OUT",
    "       tessalo -h | --help | --version",
    "",
    "  OPTION    1 YJK 888, 2 YJK 566 (screen 12), 3 YJK 466 (screen 10),",
    "            4 YUV 888, 5 custom YJK, 6 custom YUV",
    "  MASKS     options 5 and 6 only: the AND masks for Y, J/U, K/V, then the",
    "            checkerboard dither steps for Y, J/U, K/V (six numbers)",
    "  HFACTOR   horizontal chroma block size: 1, 2 or 4",
    "  VFACTOR   vertical chroma block size: 1, 2 or 4",
    "  LUMA      luma dithering: 0 none, 1 checkerboard, 2 error diffusion",
    "  CHROMA    chroma dithering: 0 none, 1 checkerboard, 2 error diffusion",
    "  DAC       YJK options only: y or Y cuts R, G, B to the 5 bits of the DAC",
    "  IN, OUT   input and output BMP files; an OUT ending in .SCC (screen 12) or",
    "            .SCA/.SCB (screens 10/11) is written as the BSAVE file an MSX loads",
    "            with BLOAD \"NAME\",S (options 2/3, or 5 with their masks; factors",
    "            4 and 1; at most 256 x 212 pixels)",
    "  --decode  shows a .SCC/.SCA/.SCB file as the V9958 shows it, as a BMP 256",
    "            pixels wide (the chip rounds blue, the preview does not)",
    "",
    "Numbers may also be written &H.. (hexadecimal), &O.. (octal), &B.. (binary).",
    "",
    "example: tessalo batch 2 4 1 2 1 y photo.bmp preview.bmp",
    "         tessalo batch 2 4 1 2 1 y screen.bmp PIC.SCC",
    "",
    "exit status: 0 when the output was written, 1 when the input was refused or",
    "the output could not be written (one line says why).",
    "",
    "versions: \"V1\" in the banner is the dialogue's own version; the release of",
    "the MSX2+ picture tools, which --version prints, is " PICTURE_TOOLS_VERSION ".",
};

void answerHelpOrVersion(Dialogue& dialogue) {
    answerStandardOptions(dialogue, "tessalo", helpLines, sizeof helpLines / sizeof helpLines[0]);
}
