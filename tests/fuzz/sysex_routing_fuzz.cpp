// One device message into the controller's SysEx router, in a state the leading bytes choose:
// whether the enquiry waits for the global dumps, whether an edit dump is expected, which
// library buffer is armed, the model and the part a request waits for. Nothing may crash, and
// the device id may change only through a whole global dump while the enquiry waits for it, and
// the selected part stays one of the eight.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "Project_Source/src/GlobalDumps.h"
#include "Project_Source/src/MIDIMessageManager.h"
#include "Project_Source/src/QOR.h"
#include "portless_qor.h"

namespace
{

using fuzzsupport::PortlessQOR;

PortlessQOR& controller()
{
    return fuzzsupport::controller("qor_router_fuzz");
}

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "sysex_routing_fuzz: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3 || size > 64 * 1024) return 0;
    PortlessQOR& q = controller();
    MIDIMessageManager& m = *q.midiManager;
    const uint8_t state = data[0];
    q.expectGlobalDump = state & 1;
    m.expectingEditDump = (state >> 1) & 1;
    const int armed = (state >> 2) & 3; // 0 none, then programs, performances, patterns
    if (armed)
        m.armRequestBuffer(armed - 1);
    else
        m.disarmRequestBuffers();
    q.currentModel = (state >> 4) & 1;
    m.performanceRequestActive = (state >> 5) & 1;
    q.pendingRequestPart = int(data[1] % 9) - 1;
    q.deviceId = 15;

    const uint8_t* msg = data + 2;
    const size_t n = size - 2;
    ISysEx sysex(0, msg, int(n));
    const bool global = GlobalDumps::isFirst(msg, n) || GlobalDumps::isSecond(msg, n);
    const bool open = (state & 3) == 1 && !armed;
    q.ProcessSysEx(&sysex, true);
    if (q.deviceId != 15 && !(global && open)) fail("the device id changed without a global dump");
    if (global && open && q.deviceId != msg[6]) fail("a global dump's device id was not adopted");
    if (q.selectedPart < 0 || q.selectedPart > 7) fail("a performance dump selected a part past the eight");
    return 0;
}
