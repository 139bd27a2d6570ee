#include "kit/plugin/Hosts.h"

#include <cstring>

#include "kit/plugin/Log.h"

namespace {

struct HostPattern {
    const char* substring;
    EHost host;
};

// Order matters: the first row found wins.
const HostPattern kPatterns[] = {
    {"cubase", kHostCubase},
    {"reaper", kHostReaper},
    {"nuendo", kHostNuendo},
    {"cakewalk", kHostSonar},
    {"samplitude", kHostSamplitude},
    {"fruity", kHostFL},
    {"live", kHostAbletonLive},
    {"melodyne", kHostMelodyneStudio},
    {"vstmanlib", kHostVSTScanner},
    {"aulab", kHostAULab},
    {"garageband", kHostGarageBand},
    {"forte", kHostForte},
    {"chainer", kHostChainer},
    {"audition", kHostAudition},
    {"orion", kHostOrion},
    {"sawstudio", kHostSAWStudio},
    {"logic", kHostLogic},
    {"digital", kHostDigitalPerformer},
    {"audiomulch", kHostAudioMulch},
    {"presonus", kHostStudioOne},
    {"vst3plugintesthost", kHostVST3TestHost},
    {"protools", kHostProTools},
    {"ardour", kHostArdour},
    {"standalone", kHostStandalone},
};

const char* const kDisplayNames[] = {
    "Unknown", "Reaper", "ProTools", "Cubase", "Nuendo", "Sonar", "Vegas", "FLStudio",
    "Samplitude", "Live", "Unknown", "Unknown", "Unknown", "VSTScanner", "AULab", "Forte",
    "Chainer", "Audition", "Orion", "Unknown", "SAWStudio", "Logic", "GarageBand",
    "DigitalPerformer", "Standalone", "AudioMulch", "StudioOne", "VST3PluginTestHost", "Ardour",
};

} // namespace

EHost LookUpHost(const char* name)
{
    if (!name) return kHostUnknown;
    char lower[256];
    size_t n = strnlen(name, sizeof lower - 1);
    char clipped[256];
    std::memcpy(clipped, name, n);
    clipped[n] = 0;
    ToLower(lower, clipped);
    for (const HostPattern& p : kPatterns)
        if (std::strstr(lower, p.substring)) return p.host;
    return kHostUnknown;
}

void GetHostNameStr(EHost host, char* out)
{
    if (!out) return;
    int h = int(host);
    const char* name = (h >= 1 && h <= 28) ? kDisplayNames[h] : "Unknown";
    std::strcpy(out, name);
}
