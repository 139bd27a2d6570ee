// One running synthesizer: the core, its record and its output, joined to whatever carries
// the bytes (a JACK port in the program, a plain function in tests).
#pragma once

#include "outqueue.h"
#include "record.h"
#include "script.h"
#include "synth.h"

#include <ostream>
#include <string>

namespace synthsim {

class Session {
public:
    Session(const Options& options, OutputQueue::Sink sink);
    ~Session();

    // Opens the record file and loads the seed files the options name.
    bool start(std::string& error);

    // What one delivery of the MIDI input holds: one message, or several that the port layer
    // joined behind a SysEx without its F7.
    void onMessage(const Bytes& delivery);

    // Runs one command line; answers to stats, dump and errors go to out. False on quit.
    bool runCommand(const std::string& line, std::ostream& out);

    std::string statsLine() const;

    Synth& synth() { return synth_; }
    Recorder& recorder() { return record_; }
    OutputQueue& output() { return out_; }

private:
    Options start_;
    Synth synth_;
    Recorder record_;
    OutputQueue out_;
};

} // namespace synthsim
