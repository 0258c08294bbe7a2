// The texts for --help and --version as the first command-line word.
#pragma once

#include "dialogue.h"

// Prints the help or version text and ends with status 0 when word 1 asks
// for it; otherwise does nothing.
void answerHelpOrVersion(Dialogue& dialogue);
