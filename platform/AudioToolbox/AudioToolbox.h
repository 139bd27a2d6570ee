#pragma once
// Umbrella header of the AudioToolbox stand-in.
#include "AudioUnitUtilities.h"
