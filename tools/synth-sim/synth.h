// The simulated synthesizer: takes one MIDI message at a time, keeps its memory and
// counters, and says what it answers. No I/O here, so tests drive it in-process.
#pragma once

#include "chart.h"
#include "memory.h"
#include "options.h"

#include <array>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace synthsim {

struct Outgoing {
    Bytes bytes;
    int delayMs = 0; // from the arrival of the message answered
    std::string note;
};

struct Handled {
    std::string note; // what the message was and what became of it
    std::vector<Outgoing> replies;
};

struct Counters {
    long clockTicks = 0;
    long ticksSinceStart = 0;
    long starts = 0;
    long stops = 0;
    long continues = 0;
    double firstTickTime = -1, lastTickTime = -1, lastStartTime = -1, lastStopTime = -1;
    long sysExIn = 0;
    long ignored = 0;
    long requestsAnswered = 0;
    long requestsUnanswered = 0;
    long stores = 0;
    long programChanges = 0;
    long paramsApplied = 0; // parameter values taken from controllers and parameter SysEx
    long unmapped = 0;      // controllers and parameter SysEx outside the chart
};

enum class SelectedKind { Program, Performance };

// A channel message played on the panel: what it did, and whether it leaves (the global
// settings say which kinds are transmitted).
struct Played {
    std::string note;
    bool transmitted = false;
};

class Synth {
public:
    explicit Synth(const Options& options);

    // Back to power-on with these options: memory, counters, selections and NRPN numbers.
    void reset(const Options& options);

    // One message from the MIDI input (see splitMidiInput), with its arrival time in seconds.
    Handled receive(const Bytes& msg, double time);

    // A channel message played on the synthesizer's own panel: it selects as a received one
    // would, whatever the receive settings, without counting as received.
    Played panel(const Bytes& msg);

    // A parameter moved on the panel (part 1..8; ignored for global settings): the synthesizer
    // takes the value and says what it sends for it, the message its own chart reads back as
    // that value. No messages, and the reason in the note, for a name outside the chart.
    Played panelParam(const std::string& name, int part, int value, std::vector<Bytes>& messages);

    // Seeds memory from messages of a file; returns how many were taken.
    int load(const std::vector<Bytes>& messages, std::vector<std::string>& notes);

    Counters counters() const;
    SynthMemory memory() const;
    // The same into storage the caller keeps, which a repeated read then reuses.
    void copyMemory(SynthMemory& into) const;
    Options options() const;
    void setOptions(const Options& o);
    int selectedPart() const;
    SelectedKind selectedKind() const;
    int performanceBank() const;

    // Writes memoryAsFiles() into a folder.
    bool dumpMemory(const std::string& folder, std::string& error) const;

    // The foreign message sent before answers when asked to misbehave that way.
    static Bytes foreignSysEx();

private:
    Handled receiveSysEx(const Bytes& m);
    Handled receiveChannel(const Bytes& m, bool received = true);
    void answer(Handled& h, int requestKey, std::vector<Bytes> messages, const char* what);
    std::vector<Bytes> editBufferReply() const;
    std::vector<Bytes> performanceEditReply() const;
    uint8_t device() const { return uint8_t(opt_.deviceId); }
    int partBank(int part) const;
    bool receives(int kind) const;
    bool transmits(int kind) const;
    // The chart side (synth_chart.cpp).
    Handled receiveParameterSysEx(const Bytes& m);
    void chartNote(Handled& h, const std::string& applied, bool received, const char* why = "");
    // Applies a controller, NRPN or parameter SysEx value; channel -1 for SysEx, which names
    // its part in sysexPart. Returns the notes joined, "" when nothing took the address.
    std::string applyAddress(Via via, int a, int b, int data, int channel, int sysexPart);
    std::string applyRow(const ChartRow& row, int part, int value, int clampedFrom);
    uint8_t* byteOf(const ChartRow& row, int part);
    int currentValue(const ChartRow& row, int part);
    bool partListensOn(int part, int channel) const;
    int partChannel(int part) const;
    bool playsProgramEffects(int part) const;

    mutable std::mutex lock_;
    Options opt_;
    SynthMemory mem_;
    bool memoryTouched_ = true; // written since power-on: a reset copies it back
    Counters count_;
    std::map<int, int> tries_; // arrivals per request (type, bank code, slot)
    int selectedPart_ = 0;
    SelectedKind selectedKind_ = SelectedKind::Program;
    int performanceBank_ = 0;
    // The NRPN number last set on each channel, -1 while unset.
    std::array<int, 16> nrpnMsb_{}, nrpnLsb_{};
};

} // namespace synthsim
