// Selecting a part on the synthesizer: the part's quick-tab number as an NRPN on the global
// channel, without the MSB, which the synthesizer does not need for this number.
#include "QOR.h"
#include "kit/plugin/IControl.h"
#include "kit/wapi/wapi.h"

bool QOR::sendPatchAndPatternToDevice(int part, bool blockIncoming, bool sendAllParts, bool sendGlobals, bool, bool)
{
    deviceTransferActive = true;
    sendGlobalsFirst = sendGlobals;
    sendingAllParts = sendAllParts;
    incomingMidiBlocked = blockIncoming;
    const uint8_t status = uint8_t(0xB0 | globalChannel());
    IMidiMsg number(0, status, 98, 113);
    sendShortMessage(&number);
    Sleep(25);
    if (ccDisplay) ccDisplay->SetTextFromPlug("NRPN");
    const int data = part + 76;
    IMidiMsg select(0, status, 6, uint8_t(data < 0 ? 0 : data > 127 ? 127 : data));
    const bool sent = sendShortMessage(&select);
    incomingMidiBlocked = false;
    deviceTransferActive = false;
    return sent;
}
