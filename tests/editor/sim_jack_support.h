#pragma once
// An editor built in process talking to the synthesizer simulator over JACK: edits through the
// dispatch, the ports joined to the simulator's, and the wait for the job thread.
#include "Project_Source/src/MIDIMessageManager.h"
#include "Project_Source/src/QOR.h"
#include "Project_Source/src/QORParams.h"
#include "kit/plugin/IParam.h"
#include "launcher.h"
#include "tools/synth-sim/syxfile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

#include <algorithm>
#include <string>
#include <vector>

namespace simjack
{

// The parameter takes value and its change runs as a user's edit would.
inline void edit(QOR& q, int id, double value)
{
    q.GetParam(id)->Set(value);
    testing::internal::CaptureStdout();
    q.OnParamChange(id);
    testing::internal::GetCapturedStdout();
}

inline int indexOf(const std::vector<std::string>* names, const std::string& name)
{
    const auto at = std::find(names->begin(), names->end(), name);
    return at == names->end() ? -1 : int(at - names->begin());
}

// The editor's input listens to the simulator and its output plays into it.
inline void connect(QOR& q, const synthsim::SimProcess& sim)
{
    edit(q, qorid::kDeviceInSelection, indexOf(q.getExternalMIDIInNames(), sim.outputPort()));
    edit(q, qorid::kDeviceOutSelection, indexOf(q.getExternalMIDIOutNames(), sim.inputPort()));
}

// Up to ten seconds (or the seconds given) for the job thread to end its job.
inline bool waitIdle(QOR& q, int seconds = 10)
{
    for (int i = 0; i < seconds * 1000 && !q.midiManager->threadIdle(kJobThread); ++i) usleep(1000);
    return q.midiManager->threadIdle(kJobThread);
}

// What reached the simulator after the first seen lines of its record; seen moves past them.
inline std::vector<synthsim::RecordLine> arrived(const std::string& record, size_t& seen)
{
    usleep(300 * 1000);
    std::vector<synthsim::RecordLine> out;
    const auto lines = synthsim::readRecordFile(record);
    for (size_t i = seen; i < lines.size(); ++i)
        if (lines[i].direction == "in") out.push_back(lines[i]);
    seen = lines.size();
    return out;
}

// One file of the simulator's memory, dumped into folder.
inline std::vector<std::vector<uint8_t>> memoryFile(synthsim::SimProcess& sim, const std::string& folder,
                                                    const std::string& file)
{
    sim.command("dump " + folder);
    std::string line;
    while (sim.readLine(line, 5000) && line.rfind("ok dump", 0) != 0 && line.rfind("error", 0) != 0) {
    }
    synthsim::SplitResult split;
    std::string error;
    EXPECT_TRUE(synthsim::readSyxFile(folder + "/" + file, split, error)) << error;
    return split.messages;
}

// One counter of the simulator's stats line, -1 when it gives none.
inline long stat(synthsim::SimProcess& sim, const std::string& name)
{
    sim.command("stats");
    std::string line;
    while (sim.readLine(line, 2000)) {
        if (line.rfind("stats ", 0) != 0) continue;
        const size_t at = line.find(" " + name + "=");
        return at == std::string::npos ? -1 : std::atol(line.c_str() + at + name.size() + 2);
    }
    return -1;
}

} // namespace simjack
