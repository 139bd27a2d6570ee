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

    // One complete message from the MIDI input.
    void onMessage(const Bytes& msg);

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
