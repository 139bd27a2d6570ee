#pragma once
// The controller of a fuzz target, built once over a temporary data folder, with no port:
// nothing it might send leaves the process.
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "Project_Source/src/QOR.h"
#include "support/tempdir.h"

namespace fuzzsupport
{

class PortlessQOR : public QOR
{
public:
    PortlessQOR() : QOR(IPluginInstanceInfo()) {}
    bool SendMidiSysex(unsigned char*, int) override { return false; }
    bool SendMidiSysex2(std::vector<unsigned char>) override { return false; }
    bool SendMidiMsg(IMidiMsg*) override { return false; }
};

// The one controller of the process; folderName names its data folder.
inline PortlessQOR& controller(const char* folderName)
{
    static testsupport::TempDir folder(folderName);
    static std::unique_ptr<PortlessQOR> plug = [] {
        static char variable[512];
        std::snprintf(variable, sizeof variable, "QOR_DATA_FOLDER=%s", folder.path.c_str());
        ::putenv(variable);
        return std::make_unique<PortlessQOR>();
    }();
    return *plug;
}

} // namespace fuzzsupport
