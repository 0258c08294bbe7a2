// pravun: resizes a 24-bit BMP picture to a given width, height or both,
// keeping or bending the aspect ratio, fitting into or filling a box, for
// square or non-square target pixels, with an area-weighted box filter.
#include "dialogue.h"
#include "resizer.h"

#ifdef __MINGW32__
// Words with * or ? arrive as the names of the matching files.
int _dowildcard = -1;
#endif

int main(int argc, char** argv) {
    Dialogue dialogue = consoleDialogue(argc, argv);
    runDialogue(dialogue, runResizer);
}
