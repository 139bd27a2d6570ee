#pragma once
// The simulator for the stand-in host's tests: SYNTH_SIM_EXE answering as device 15.
#include <unistd.h>

#include <string>

#include "host_script_support.h"
#include "launcher.h"

namespace hostscript
{

// Started with the banks of the file seed loaded, its messages recorded into record, its ports
// named after name and this process; false with why in error.
inline bool startSeededSim(synthsim::SimProcess& sim, const std::string& name, const std::string& record,
                           const std::string& seed, std::string& error)
{
    return sim.start(SYNTH_SIM_EXE,
                     {"--name", name + std::to_string(::getpid()), "--record", record, "--device-id", "15", "--load", seed},
                     error);
}

} // namespace hostscript
