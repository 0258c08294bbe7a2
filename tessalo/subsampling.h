// Chroma subsampling: every hFactor x vFactor block of the two chroma planes
// replaced by its mean, rounded down.
#pragma once

#include "planes.h"
#include "settings.h"

void subsampleChroma(const ConverterSettings& settings, ConverterPlanes& planes);
