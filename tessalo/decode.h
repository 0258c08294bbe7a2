// tessalo --decode IN OUT: a screen file shown as the chip shows it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "binary_file.h"
#include "dialogue.h"
#include "screen_file.h"

// When word 1 is "--decode", decodes the screen file named by word 2 into the
// 24-bit BMP named by word 3 and ends the program: status 0 when the BMP was
// written, 1 with one line after any refusal. Otherwise does nothing.
void answerDecode(Dialogue& dialogue);

// Writes decoded pixels (256 a line, the top line first) as what the machine
// shows: a 24-bit BMP, or a PNG for a name ending in .png, each 5-bit level at
// the value a screenshot holds. input, when given, is a file being read that
// the output must not be. Gives "" when the file is in place, or the refusal.
[[nodiscard]] std::string writeDecodedPicture(const std::string& name,
                                              const std::vector<ScreenColour>& pixels,
                                              std::int32_t lines, const BinaryFile* input);
