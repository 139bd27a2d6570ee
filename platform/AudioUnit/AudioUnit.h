#pragma once
// Umbrella header of the Audio Unit stand-in.
#include "CoreAudioTypes.h"
#include "AUComponent.h"
#include "AudioUnitProperties.h"
#include "MusicDevice.h"
#include "AudioUnitCarbonView.h"
