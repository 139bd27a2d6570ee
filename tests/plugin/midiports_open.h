#pragma once
// Opening the plug-in's ports to the synthesizer's side on the private JACK server.
#include <chrono>
#include <thread>

#include "midiports_synth_side.h"
#include "midiports_test_plug.h"

inline void Pause(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// JACK makes a new connection live a little after the call that asks for it, later still on a
// loaded machine, and drops what is sent before. These open a port, send probes until one
// arrives, then forget them; they answer the list index, or 0.
template <class Plug> int OpenOut(Plug& plug, SynthSide& synth)
{
    plug.getExternalMIDIOutNames();
    int port = 1, idx = plug.setExternalMIDIOut(port, synth.ReceivingPort().c_str());
    bool live = false;
    for (int i = 0; i < 100 && idx > 0 && !live; ++i) {
        plug.SendMidiSysex2({0xFE});
        live = synth.WaitForCount(1, 50);
    }
    Pause(60); // probes still on the way
    synth.Clear();
    return live ? idx : 0;
}

inline int OpenIn(PortPlug& plug, SynthSide& synth)
{
    plug.getExternalMIDIInNames();
    int port = 1, idx = plug.setExternalMIDIIn(port, synth.SendingPort().c_str());
    bool live = false;
    for (int i = 0; i < 100 && idx > 0 && !live; ++i) {
        synth.Send({0xBF, 0x7F, 0x7F});
        live = plug.WaitFor([](const std::vector<Delivered>& s) { return !s.empty(); }, 50);
    }
    Pause(60);
    plug.ClearSeen();
    return live ? idx : 0;
}
