// The program dump parser: a received dump into the editor's parameters of its part.
#include <mutex>
#include <string>

#include "MIDIMessageManager.h"
#include "PatchManager.h"
#include "ProgramDump.h"
#include "QOR.h"
#include "QORParams.h"
#include "TabSwitchFunctions.h"

void MIDIMessageManager::sysexPatchParse(ISysEx* msg)
{
    if (!msg || msg->mSize <= 0 || !ProgramDump::isProgramDump(msg->mData, size_t(msg->mSize))) return;
    requestComplete = false;
    const int part = msg->mData[ProgramDump::kPartAt];
    const auto value = [this](int id) {
        const IParam* p = controller->GetParam(id);
        return p ? p->Value() : 0.0;
    };
    // Read before anything is set, so the dump cannot unlock a section on its way.
    const ProgramDump::Locks locks(value, part);

    // The name takes no lock; the name shown stays the one of the part on screen.
    const std::string name = ProgramDump::nameOf(msg->mData);
    if (IParam* p = controller->GetParam(qorid::kPatchName + part)) p->SetDisplayText(0, name.c_str());
    if (patchManager) {
        std::lock_guard<std::mutex> lock(patchManager->namesLock);
        auto& names = patchManager->patch.names;
        if (size_t(part) + 1 < names.size()) names[size_t(part) + 1] = name;
    }
    controller->setLibrarianViewDirty();
    const int shown = controller->selectedPart;
    TabSwitchFunctions::showPartNames(controller, shown, -1);

    ProgramDump::readParameters(msg->mData, part, locks, [this](int id, double v) { setFromDump(id, v); });
    if (part == shown) TabSwitchFunctions::showPartNames(controller, -1, part);

    if (!requestComplete) {
        // While a performance comes in, only the program of the part it waits for completes it.
        if (!performanceRequestActive || (part != ProgramDump::kParts - 1 && part == controller->pendingRequestPart))
            requestComplete = true;
    }
    mainTabRefreshPending = true;
}

void MIDIMessageManager::decodeTapPatternCode(unsigned char* code, char* steps)
{
    ProgramDump::decodeTapPattern(code, reinterpret_cast<int8_t*>(steps));
}
