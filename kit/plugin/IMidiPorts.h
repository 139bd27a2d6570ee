#pragma once
// The external MIDI port layer: which interface of the MIDI library the two clients use. The
// port operations themselves are members of IPluginBase (IMidiPorts.cpp).
#include <RtMidi.h>

#include <vector>

// Entry 0 of both device lists; choosing it means "no port".
#define QOR_SELECT_MIDI_DEVICE "Select MIDI Device"

// The interfaces to try, in order, for a new client. `forced` is the value of QOR_MIDI_API:
// "alsa" or "jack" (any case) keeps only that one; null, empty or anything else gives ALSA,
// then JACK. Interfaces the library was built without are left out.
std::vector<RtMidi::Api> IMidiPortApis(const char* forced);
