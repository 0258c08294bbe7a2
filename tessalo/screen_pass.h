// The conversion pass writing a screen file instead of the preview.
#pragma once

#include "dialogue.h"
#include "planes.h"
#include "settings.h"

// Runs the pass and writes settings.outFile as a BSAVE screen file; a failure
// to write ends the program with one line and status 1.
void writeScreen(Dialogue& dialogue, const ConverterSettings& settings,
                 const PictureGeometry& geometry, ConverterPlanes& planes);
