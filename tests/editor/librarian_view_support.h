#pragma once
// A configured controller whose sends are recorded, with its slot grid and banks made in place.
#include "Project_Source/src/LibrarianViewControl.h"
#include "Project_Source/src/MIDIMessageManager.h"
#include "Project_Source/src/PatchLibrarian.h"
#include "Project_Source/src/QORParams.h"
#include "Project_Source/src/TabSwitchFunctions.h"
#include "support/bankgen.h"
#include "support/insynth.h"
#include "support/tempdir.h"
#include "kit/kitstring.h"
#include "kit/plugin/IGraphics.h"

#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace gridtest
{

using Bytes = std::vector<uint8_t>;
using Pane = LibrarianViewControl::Pane;
constexpr Pane kUpper = LibrarianViewControl::kUpperPane;
constexpr Pane kLower = LibrarianViewControl::kLowerPane;

inline std::vector<Bytes> bytesOf(const LibrarianPatch& entry)
{
    std::vector<Bytes> out;
    for (const PatchSysexMessage& m : entry.messages) out.emplace_back(m.bytes.begin(), m.bytes.end());
    return out;
}

inline std::vector<int> rectOf(const IRECT& r)
{
    return {r.L, r.T, r.R, r.B};
}

// The first slot whose cell differs from the pane's bank as it is now (a fresh reload), as
// "pane P slot S: shown X, bank Y"; empty when the pane shows its bank.
inline std::string staleCell(QOR& q, Pane pane)
{
    std::vector<std::string> fresh(LibrarianViewControl::kCells);
    {
        std::lock_guard<std::recursive_mutex> hold(q.patchLibrarian->mLock);
        if (const PatchFile* bank = q.libraryPaneBank(pane))
            for (size_t i = 0; i < fresh.size() && i < bank->patches.size(); ++i) fresh[i] = bank->patches[i].name;
    }
    for (int i = 0; i < LibrarianViewControl::kCells; ++i)
        if (q.librarianView->cellText(pane, i) != fresh[size_t(i)])
            return "pane " + std::to_string(pane) + " slot " + std::to_string(i) + ": shown " +
                   q.librarianView->cellText(pane, i) + ", bank " + fresh[size_t(i)];
    return "";
}

// The lower pane's bank title as the editor's redraws leave it on screen: each frame draws
// only where the editor became dirty, and a control drawn may ask for the next frame.
inline std::string lowerTitle(QOR& q)
{
    IGraphics* gfx = q.GetGUI();
    auto* title = dynamic_cast<ITextControl*>(q.lowerSelectionControl);
    if (!gfx || !title) return "(no title)";
    if (!gfx->GetDrawBitmap()) gfx->PrepDraw();
    IRECT dirty;
    for (int frame = 0; frame < 4 && gfx->IsDirty(&dirty); ++frame, dirty = IRECT()) gfx->Draw(&dirty);
    KIT_String text("", 0, 256);
    title->GetTextCopy(&text);
    return text.Get();
}

// The librarian page shown, as a click on its tab shows it, and drawn once: what changes later
// is drawn again only where it made the editor dirty.
inline void showLibrarianPage(QOR& q)
{
    q.GetParam(qorid::kMainTab)->Set(1.0);
    TabSwitchFunctions::mainTabSwitch(&q, qorid::kMainTab, 1, q.currentModel, q.selectedPart);
    lowerTitle(q);
}

// A configured controller whose sends are recorded, over a library of the given bank files.
struct Grid {
    explicit Grid(const std::vector<std::pair<std::string, Bytes>>& files = {})
    {
        testsupport::writeFile(dir.file("QOR Editor LOG.txt"), "");
        mkdir(dir.file("Patches").c_str(), 0755);
        for (const auto& [name, bytes] : files) testsupport::writeFile(dir.file("Patches/" + name), bytes);
        plug = testsupport::makeFromBundle<testsupport::RecordingQOR>(dir.path);
    }
    LibrarianViewControl& grid() { return *plug->librarianView; }
    PatchLibrarian& lib() { return *plug->patchLibrarian; }
    // A bank of count program entries named prefix + slot, each of one message.
    PatchFile* addBank(std::vector<PatchFile*>& list, const std::string& prefix, int count)
    {
        auto* bank = new PatchFile;
        for (int i = 0; i < count; ++i) {
            LibrarianPatch entry;
            entry.patchType = 0;
            entry.name = prefix + std::to_string(i);
            entry.messages.push_back(PatchSysexMessage{
                SysexBytes(bankgen::makeDump(bankgen::Kind::Programs, 0x20, 0, entry.name, 0, uint32_t(i + 1)))});
            bank->patches.push_back(entry);
        }
        std::lock_guard<std::recursive_mutex> hold(lib().mLock);
        list.push_back(lib().adoptBank(bank));
        return bank;
    }
    // An upper bank "U" and a lower bank "L" of programs, both shown.
    void twoBanks(int upperCount = 128, int lowerCount = 128)
    {
        addBank(lib().singleFiles, "U", upperCount);
        addBank(lib().singleFiles, "L", lowerCount);
        show(0, 1);
    }
    void show(int upper, int lower)
    {
        lib().upperFileIndex = upper;
        lib().lowerFileIndex = lower;
        grid().patchSelectionUpperChanged();
        grid().patchSelectionLowerChanged();
    }
    // The controller's surface with a drawing bitmap, as the editor's first redraw gives it.
    IGraphics* surface()
    {
        IGraphics* gfx = plug->GetGUI();
        if (gfx && !gfx->GetDrawBitmap()) gfx->PrepDraw();
        return gfx;
    }
    PatchFile* upperBank() { return plug->libraryPaneBank(0); }
    PatchFile* lowerBank() { return plug->libraryPaneBank(1); }
    std::pair<int, int> at(Pane pane, int slot)
    {
        const IRECT r = grid().cellRect(pane, slot);
        return {(r.L + r.R) / 2, (r.T + r.B) / 2};
    }
    // A point inside the grid's rectangle that no cell holds: left of the first column.
    std::pair<int, int> outside() { return {grid().GetRECT()->L + 2, grid().cellRect(kUpper, 0).T - 1}; }
    void click(std::pair<int, int> p, bool right = false)
    {
        IMouseMod mod(!right, right);
        grid().OnMouseDown(p.first, p.second, &mod);
    }
    // A press at from, one move straight to to, and the release there.
    void drag(std::pair<int, int> from, std::pair<int, int> to)
    {
        IMouseMod mod(true);
        grid().OnMouseDown(from.first, from.second, &mod);
        grid().OnMouseDrag(to.first, to.second, to.first - from.first, to.second - from.second, &mod);
        grid().OnMouseUp(to.first, to.second, &mod);
    }
    void waitIdle()
    {
        while (!plug->midiManager->threadIdle(kJobThread)) usleep(1000);
    }
    // The messages sent since the last call.
    std::vector<Bytes> sent()
    {
        waitIdle();
        auto all = plug->copy(plug->handed);
        std::vector<Bytes> out(all.begin() + long(mSeen), all.end());
        mSeen = all.size();
        return out;
    }
    std::vector<int> librarySlots()
    {
        std::lock_guard<std::recursive_mutex> hold(lib().mLock);
        return {lib().upperSlot, lib().lowerSlot, lib().dropSlot};
    }

    testsupport::TempDir dir;
    std::unique_ptr<testsupport::RecordingQOR> plug;
    size_t mSeen = 0;
};

} // namespace gridtest
