// tessalo: previews a 24-bit BMP picture as it looks in the YJK encoding of
// the V9958 (MSX screens 10 and 12) or in a YUV encoding, at reduced bit
// depths, with chroma subsampling, dithering and an optional DAC filter.
#include "converter.h"
#include "dialogue.h"

#ifdef __MINGW32__
// Words with * or ? arrive as the names of the matching files.
int _dowildcard = -1;
#endif

int main(int argc, char** argv) {
    Dialogue dialogue = consoleDialogue(argc, argv);
    runDialogue(dialogue, runConverter);
}
