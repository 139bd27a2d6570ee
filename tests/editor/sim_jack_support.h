#pragma once
// An editor built in process talking to the synthesizer simulator over JACK: edits through the
// dispatch, the ports joined to the simulator's, and the wait for the job thread.
#include "Project_Source/src/MIDIMessageManager.h"
#include "Project_Source/src/QOR.h"
#include "Project_Source/src/QORParams.h"
#include "kit/plugin/IParam.h"
#include "launcher.h"

#include <gtest/gtest.h>
#include <unistd.h>

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

// Up to ten seconds for the job thread to end its job.
inline bool waitIdle(QOR& q)
{
    for (int i = 0; i < 10000 && !q.midiManager->threadIdle(kJobThread); ++i) usleep(1000);
    return q.midiManager->threadIdle(kJobThread);
}

} // namespace simjack
