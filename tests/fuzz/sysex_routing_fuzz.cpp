// One device message into the controller's SysEx router, then its first bytes as a short
// message, in a state the leading bytes choose: whether the enquiry waits for the global dumps,
// whether an edit dump is expected, which library buffer is armed, the librarian's kind, slots
// and bank, the model, the part a request waits for and the controller's gates. Nothing may
// crash, the device id may change only through a whole global dump that passes the gates while
// the enquiry waits for it, the selected part stays one of the eight, and what lands in a library
// slot is a whole message in its library form.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "Project_Source/src/GlobalDumps.h"
#include "Project_Source/src/MIDIMessageManager.h"
#include "Project_Source/src/PatchFile.h"
#include "Project_Source/src/PatchLibrarian.h"
#include "Project_Source/src/QOR.h"
#include "portless_qor.h"

namespace
{

using fuzzsupport::PortlessQOR;

PortlessQOR& controller()
{
    static PortlessQOR& q = []() -> PortlessQOR& {
        PortlessQOR& made = fuzzsupport::controller("qor_router_fuzz");
        // One bank of each kind for the upper pane; banks stay at 128 entries whatever lands.
        PatchLibrarian& lib = *made.patchLibrarian;
        for (auto* list : {&lib.singleFiles, &lib.multiFiles, &lib.patternFiles})
            list->push_back(lib.adoptBank(new PatchFile));
        return made;
    }();
    return q;
}

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "sysex_routing_fuzz: %s\n", what);
    std::abort();
}

// The lengths of the library forms: program, performance, follow-up, pattern.
bool libraryForm(const SysexBytes& m)
{
    const size_t n = m.size();
    return (n == 297 || n == 383 || n == 27 || n == 220) && m[0] == 0xF0 && m[n - 1] == 0xF7;
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
    PatchLibrarian& lib = *q.patchLibrarian;
    lib.currentKind = (state >> 6) & 3;             // 3: a kind of no list
    lib.upperSlot = int(data[1] / 9 * 9 % 131) - 1; // -1 and 128..129 are outside the bank
    lib.dropSlot = data[1];
    lib.upperFileIndex = data[1] > 250; // 1: past the list
    // The controller's gates: from 0xE0 on, the low bits of the second byte close them.
    const uint8_t gates = data[1] >= 0xE0 ? data[1] & 15 : 0;
    q.deviceTransferActive = gates & 1;
    q.incomingMidiBlocked = (gates >> 1) & 1;
    q.midiFilterSwitches[13] = (gates >> 2) & 1;
    q.masterKeyboardOn = (gates >> 3) & 1;
    q.dataRequestCompleted = false;

    const uint8_t* msg = data + 2;
    const size_t n = size - 2;
    ISysEx sysex(0, msg, int(n));
    const bool global = GlobalDumps::isFirst(msg, n) || GlobalDumps::isSecond(msg, n);
    const int waiting = q.pendingRequestPart;
    const bool passes = (gates & 7) == 0 && (waiting < 0 || (n > 8 && msg[8] == waiting));
    const bool open = (state & 3) == 1 && !armed && passes;
    q.ProcessSysEx(&sysex, true);
    if (q.deviceId != 15 && !(global && open)) fail("the device id changed without a global dump");
    if (global && open && q.deviceId != msg[6]) fail("a global dump's device id was not adopted");
    if (q.selectedPart < 0 || q.selectedPart > 7) fail("a performance dump selected a part past the eight");
    for (const auto* list : {&lib.singleFiles, &lib.multiFiles, &lib.patternFiles}) {
        const PatchFile& bank = *list->front();
        if (bank.patches.size() > size_t(PatchFile::kBankSize)) fail("a bank grew past 128 entries");
        if (lib.upperSlot >= 0 && size_t(lib.upperSlot) < bank.patches.size())
            for (const PatchSysexMessage& m : bank.patches[size_t(lib.upperSlot)].messages)
                if (!libraryForm(m.bytes)) fail("a slot holds a message that is no library form");
    }
    // The message's first bytes as a short message, from the synthesizer for an odd length and
    // from the host for an even one. What it starts on the job thread ends before the next input.
    IMidiMsg shortMsg(0, msg[0], n > 1 ? msg[1] : 0, n > 2 ? msg[2] : 0);
    q.ProcessMidiMsg(&shortMsg, n & 1);
    while (!m.threadIdle(kJobThread)) std::this_thread::yield();
    if (q.selectedPart < 0 || q.selectedPart > 7) fail("a short message selected a part past the eight");
    return 0;
}
