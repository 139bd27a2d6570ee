// The librarian's state after data has arrived in its slots.
#include <algorithm>

#include "MIDIMessageManager.h"
#include "QOR.h"
#include "QORParams.h"
#include "kit/plugin/IGraphicsLayer.h"

using namespace qorid;

void QOR::SetLibrarianStatusUnsaved(bool received)
{
    if (!received) return;
    if (midiManager) {
        midiManager->expectingEditDump = false;
        midiManager->disarmRequestBuffers();
    }
    // The values only: their controls follow when the librarian page is shown again.
    for (auto [id, value] : {std::pair<int, double>{kBankEditUnsaved, 1.0}, {kDiscardBankData, 0.0}})
        if (IParam* p = GetParam(id)) p->Set(std::clamp(value, p->GetMin(), p->GetMax()));
    auto hide = [this](const char* name, bool hidden) {
        if (ControlLayer* layer = keptLayer(name)) layer->Hide(hidden);
    };
    hide("discardChangesLayerRight", false);
    hide("keepBankOpenLayer", true);
    const char* text = "Program received to slot(s)";
    if (performanceMode) {
        hide("LeftPerformancePopupMenu", true);
        text = "Multi received to slot(s)";
    } else if (patternMode) {
        hide("LeftPatternPopupMenu", true);
        text = "Pattern received to slot(s)";
    } else {
        hide("UPPERPOPUPMENU", true);
    }
    showStatus(text);
}
