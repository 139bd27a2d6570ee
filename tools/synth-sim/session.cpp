#include "session.h"

#include "midi_stream.h"
#include "syxfile.h"

#include <chrono>
#include <cstdio>
#include <thread>

namespace synthsim {

Session::Session(const Options& options, OutputQueue::Sink sink)
    : start_(options), synth_(options), out_(std::move(sink), record_)
{
    out_.setThrottle(options.throttle);
}

Session::~Session() { out_.stop(); }

bool Session::start(std::string& error)
{
    if (!start_.recordPath.empty() && !record_.open(start_.recordPath, error)) return false;
    for (const std::string& path : start_.loadFiles) {
        SplitResult split;
        if (!readSyxFile(path, split, error)) return false;
        std::vector<std::string> notes;
        const int taken = synth_.load(split.messages, notes);
        record_.write(record_.now(), "load", {},
                      path + ": " + std::to_string(taken) + " of " +
                          std::to_string(split.messages.size()) + " messages taken, " +
                          std::to_string(split.skippedBytes) + " bytes skipped");
        for (const std::string& n : notes) record_.write(record_.now(), "load", {}, n);
    }
    return true;
}

void Session::onMessage(const Bytes& delivery)
{
    const double t = record_.now();
    for (const Bytes& msg : splitMidiInput(delivery.data(), delivery.size())) {
        Handled h = synth_.receive(msg, t);
        record_.write(t, "in", msg, h.note);
        for (Outgoing& o : h.replies) out_.post(std::move(o.bytes), o.delayMs, std::move(o.note));
    }
}

std::string Session::statsLine() const
{
    const Counters c = synth_.counters();
    char buf[512];
    std::snprintf(buf, sizeof buf,
                  "stats clock=%ld since-start=%ld start=%ld stop=%ld continue=%ld sysex-in=%ld "
                  "answered=%ld unanswered=%ld stores=%ld ignored=%ld program-changes=%ld "
                  "first-tick=%.6f last-tick=%.6f last-start=%.6f last-stop=%.6f",
                  c.clockTicks, c.ticksSinceStart, c.starts, c.stops, c.continues, c.sysExIn,
                  c.requestsAnswered, c.requestsUnanswered, c.stores, c.ignored, c.programChanges,
                  c.firstTickTime, c.lastTickTime, c.lastStartTime, c.lastStopTime);
    return buf;
}

bool Session::runCommand(const std::string& line, std::ostream& out)
{
    Command c;
    std::string error;
    if (!parseCommand(line, c, error)) {
        out << "error " << error << std::endl;
        return true;
    }
    switch (c.kind) {
    case Command::Nothing:
        break;
    case Command::Send:
        for (Bytes& b : c.messages) {
            if (!c.fromPanel) {
                out_.post(std::move(b), 0, "script");
                continue;
            }
            // The panel's own messages also move the synthesizer, as the hardware's would.
            const Played p = synth_.panel(b);
            if (p.transmitted) out_.post(std::move(b), 0, "script; " + p.note);
            else record_.write(record_.now(), "panel", b, p.note);
        }
        break;
    case Command::Param: {
        std::vector<Bytes> messages;
        const Played p = synth_.panelParam(c.arg, c.part, c.number, messages);
        if (messages.empty()) {
            out << "error " << p.note << std::endl;
            break;
        }
        for (size_t i = 0; i < messages.size(); ++i) {
            const std::string note = i + 1 < messages.size() ? "script" : "script; " + p.note;
            if (p.transmitted) out_.post(std::move(messages[i]), 0, note);
            else record_.write(record_.now(), "panel", messages[i], note);
        }
        break;
    }
    case Command::Wait:
        out_.drain();
        std::this_thread::sleep_for(std::chrono::milliseconds(c.waitMs));
        break;
    case Command::Dump:
        if (synth_.dumpMemory(c.arg, error)) out << "ok dump " << c.arg << std::endl;
        else out << "error " << error << std::endl;
        break;
    case Command::Stats:
        out << statsLine() << std::endl;
        break;
    case Command::Option: {
        Options o = synth_.options();
        if (!applyOption(o, c.arg, c.value, error)) {
            out << "error " << error << std::endl;
            break;
        }
        synth_.setOptions(o);
        out_.setThrottle(o.throttle);
        out << "ok option " << c.arg << std::endl;
        break;
    }
    case Command::Quit:
        out_.drain();
        return false;
    }
    return true;
}

} // namespace synthsim
