// The librarian's state after data has arrived in its slots, and once nothing is left unsaved.
#include <algorithm>

#include "MIDIMessageManager.h"
#include "QOR.h"
#include "QORParams.h"
#include "QORProgramValues.h"
#include "kit/plugin/IGraphicsLayer.h"

using namespace qorid;

namespace
{

void hideLayer(QOR& q, const char* name, bool hidden)
{
    if (ControlLayer* layer = q.keptLayer(name)) layer->Hide(hidden);
}

// The upper pane's folder menu of the librarian's mode.
const char* upperMenuOf(const QOR& q)
{
    return q.performanceMode ? "LeftPerformancePopupMenu" : q.patternMode ? "LeftPatternPopupMenu" : "UPPERPOPUPMENU";
}

} // namespace

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
    hideLayer(*this, "discardChangesLayerRight", false);
    hideLayer(*this, "keepBankOpenLayer", true);
    hideLayer(*this, upperMenuOf(*this), true);
    showStatus(performanceMode ? "Multi received to slot(s)"
               : patternMode   ? "Pattern received to slot(s)"
                               : "Program received to slot(s)");
    redrawPaneTitles();
}

void QOR::SetLibrarianStatusSaved()
{
    // On another page the page switch sets the layers from the value.
    const IParam* tab = GetParam(kMainTab);
    if (tab && tab->Value() == 1.0) {
        hideLayer(*this, "discardChangesLayerRight", true);
        hideLayer(*this, "keepBankOpenLayer", false);
        hideLayer(*this, upperMenuOf(*this), false);
    }
    programvalues::showValue(*this, kBankEditUnsaved, 0.0);
    redrawPaneTitles();
}

bool QOR::refuseWhileUnsaved()
{
    const IParam* unsaved = GetParam(kBankEditUnsaved);
    if (!unsaved || unsaved->Value() != 1.0) return false;
    showStatus("Save bank or Discard changes!");
    return true;
}
