// For tests that need a synthesizer on the far end of a port: starts the synth-sim program,
// waits for its ports, sends it commands and stops it by its process id; reads its record.
#pragma once

#include "protocol.h"

#include <string>
#include <sys/types.h>
#include <vector>

namespace synthsim {

class SimProcess {
public:
    SimProcess() = default;
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Runs `exe` with `args` and waits for its ready line; false with a reason otherwise.
    // Ignores SIGPIPE in the calling process from then on.
    bool start(const std::string& exe, const std::vector<std::string>& args, std::string& error,
               int timeoutMs = 10000);
    // One line of its standard output (answers to stats, dump and option).
    bool readLine(std::string& line, int timeoutMs);
    void command(const std::string& line);
    // Asks it to quit and waits; stops it by its process id when it does not. Returns its exit
    // status, or -1 when it had to be killed.
    int stop();

    // Full JACK port names from the ready line: where to send, where to listen.
    const std::string& inputPort() const { return inputPort_; }
    const std::string& outputPort() const { return outputPort_; }
    // Its process id while it runs, else -1.
    pid_t pid() const { return pid_; }

private:
    void closePipes();
    pid_t pid_ = -1;
    int toSim_ = -1, fromSim_ = -1;
    std::string buffer_;
    std::string inputPort_, outputPort_;
};

struct RecordLine {
    double time = 0;
    std::string direction; // "in", "out" or "load"
    Bytes bytes;
    std::string note;
};

// Reads a record file as it stands; malformed lines are skipped.
std::vector<RecordLine> readRecordFile(const std::string& path);

} // namespace synthsim
