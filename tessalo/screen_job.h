// The one-command form's run: the picture read (BMP, PNG or JPEG, or
// standard input), made to fit the 256 x 212 screen with the exact-mean box
// filter, encoded by the classic preset or the decode-aware encoder, and
// written as the screen file or as what the machine shows.
#pragma once

#include "dialogue.h"

// When the words choose the one-command form (isScreenCommand), runs it and
// ends the program: status 0 when every file was written, 1 after a refusal
// (one line on standard error), 2 after a usage error (the line and the
// usage on standard error). Otherwise does nothing.
void answerScreenCommand(Dialogue& dialogue);
