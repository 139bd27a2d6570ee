#pragma once
// The record hung on a parameter that says which MIDI message a change of it sends, on which
// part's channel, with which precomputed SysEx bytes, and which controls show it.
#include <vector>

class IControl;
class ControlLayer;

// Two linked parameters and an extra number; -1 each when there is no link.
struct LinkInfo {
    int firstId = -1;
    int secondId = -1;
    int extra = -1;
};

// What the SysEx precomputation fills: one message per value.
struct ControlActionSysExMessage {
    std::vector<std::vector<int>> messages;
};

struct ControlAction {
    enum Kind { kNone = 0, kControlChange = 1, kControlChangeSwitch = 2, kNRPN = 3, kSysExSwitch = 4, kSysEx = 5 };

    explicit ControlAction(int kindIn) : kind(kindIn) {}

    double lastValue = -1.0; // integer part of the last value acted on; -1 before the first
    unsigned mDumpsSeen = 0;  // the controller's dump count when lastValue was last valid
    int part = -1;           // whose MIDI channel parameter gives the send channel
    int kind;
    int ccNumber = -1;
    int msbValue = -1;
    int lsbValue = -1;
    int lsbControl = -1;
    int channelKey = -1; // first key of the CC map and the NRPN container
    int globalKey = -1;  // last key of both
    std::vector<IControl*> controls; // borrowed: the editor surface owns them
    LinkInfo link;
    std::vector<std::vector<int>> messages; // kinds 4 and 5: message k for value min + k
    int switchOffValue = -1;
    int switchOnValue = -1;
    // The layer whose sub-layers follow the value; none is set by the configuration yet.
    ControlLayer* switchLayer = nullptr;
    bool isMultiMessage = false;
    std::vector<std::vector<std::vector<int>>> multiMessages;
};
