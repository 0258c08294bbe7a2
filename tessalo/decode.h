// tessalo --decode IN OUT: a screen file shown as the chip shows it.
#pragma once

#include "dialogue.h"

// When word 1 is "--decode", decodes the screen file named by word 2 into the
// 24-bit BMP named by word 3 and ends the program: status 0 when the BMP was
// written, 1 with one line after any refusal. Otherwise does nothing.
void answerDecode(Dialogue& dialogue);
