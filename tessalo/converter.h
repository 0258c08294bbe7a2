// The converter's run from greeting to written preview.
#pragma once

#include "dialogue.h"

// Runs the stages in order and ends through dialogue.endProgram: status 0
// after the preview was written, 1 after any refusal or failure.
[[noreturn]] void runConverter(Dialogue& dialogue);
