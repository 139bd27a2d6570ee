#pragma once
// How the synthesizer's data entries (controller 6) decode under the current NRPN number. The
// synthesizer packs several editor parameters into one number by value range: the range picks
// the editor control (by its lookup keys) and the value is shifted into that control's range.
// The incoming-controller handler and the configuration generator's chart checks both read
// this one table.

namespace NrpnDecoding {

enum class Outcome {
    Lookup,    // look the keys up and apply the value
    Nothing,   // the data entry is ignored altogether
    SetStatus, // no lookup: kMultiPartStatus of statusPart := statusValue
    SetQuickTab, // no lookup: kQuickTab := value
};

struct Decoded {
    Outcome outcome = Outcome::Lookup;
    // Lookup keys after the channel key: MSB, base (k3), LSB, global flag.
    int msb = 0, base = 0, lsb = 0, global = 0;
    int value = 0;
    bool quickTab = false;  // also re-apply the quick tab
    bool msbToZero = false; // the manager's NRPN MSB becomes 0
    int statusPart = 0;
    double statusValue = 0.0;
};

// Decodes the data value v (0..127) received under NRPN msb/lsb. A pair without ranges, and a
// value no range covers, keeps the keys (msb, 0, lsb, 0) and the value unchanged.
Decoded decode(int msb, int lsb, int v);

} // namespace NrpnDecoding
