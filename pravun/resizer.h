// The resizer's run from banner to written picture.
#pragma once

#include "dialogue.h"

// Runs the stages in order and ends through dialogue.endProgram: status 0
// after the picture was written, 1 after any refusal or failure.
[[noreturn]] void runResizer(Dialogue& dialogue);
