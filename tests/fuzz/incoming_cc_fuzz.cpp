// Sequences of control changes into the editor's controls, from either side, with any
// controller, value and part value 1 to 16. Records of four bytes: side and idle-number flags,
// controller, value, part value. Controllers 99 and 98 also set the NRPN number as the
// synthesizer side's input handling does. Nothing may crash, the echo flag never outlives a
// call, and no part value past the eight reaches a per-part parameter or bank entry.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Project_Source/src/MIDIMessageManager.h"
#include "Project_Source/src/QOR.h"
#include "Project_Source/src/QORParams.h"
#include "kit/plugin/IParam.h"
#include "portless_qor.h"
#include "support/testpaths.h"

namespace
{

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "incoming_cc_fuzz: %s\n", what);
    std::abort();
}

// The configured editor, so that the lookups find the controls the chart files.
fuzzsupport::PortlessQOR& controller()
{
    static fuzzsupport::PortlessQOR& q = []() -> fuzzsupport::PortlessQOR& {
        static const std::string bundle = testsupport::binaryDir() + "/QOR.component";
        setenv("QOR_BUNDLE_PATH", bundle.c_str(), 1);
        fuzzsupport::PortlessQOR& plug = fuzzsupport::controller("qor_incoming_cc_fuzz");
        if (!plug.getCCControls(1, 19, 0)) fail("the editor's controls are missing");
        return plug;
    }();
    return q;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4 || size > 4 * 4096) return 0;
    fuzzsupport::PortlessQOR& q = controller();
    MIDIMessageManager& m = *q.midiManager;
    // The parameter just past the eight parts' banks: part value 13 would reach it.
    const double past = q.GetParam(qorid::kMultiPartBank + 12)->Value();
    for (size_t i = 0; i + 4 <= size; i += 4) {
        const uint8_t flags = data[i];
        const int cc = data[i + 1] & 0x7F, value = data[i + 2] & 0x7F, partPlusOne = data[i + 3] % 16 + 1;
        const bool fromDevice = flags & 1;
        if (fromDevice && cc == 99) m.nrpnMsb = value;
        if (fromDevice && cc == 98) m.nrpnLsb = value;
        if (flags & 2) m.nrpnLsb = 128; // the idle number after a reset
        m.getLegacyCCparam(cc, partPlusOne, value, flags & 4, fromDevice);
        if (m.applyingIncomingValue) fail("the echo flag outlived the call");
        const int lsb = m.nrpnLsb, msb = m.nrpnMsb;
        if (lsb < 0 || lsb > 128 || msb < 0 || msb > 127) fail("the NRPN number left its range");
    }
    for (int p = 0; p < 8; ++p)
        if (q.knownParts.partBankNumbers(p) < 0 || q.knownParts.partBankNumbers(p) > 2) fail("a bank select wrote a bank it cannot select");
    if (q.GetParam(qorid::kMultiPartBank + 12)->Value() != past) fail("a bank select wrote past the eight parts");
    return 0;
}
