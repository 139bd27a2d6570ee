// The librarian's grid reloads and rescans from other threads while the editor's thread changes
// the data type or shows a folder menu.
#include "Project_Source/src/LibrarianFolderMenus.h"
#include "Project_Source/src/LibrarianViewControl.h"
#include "Project_Source/src/PatchFile.h"
#include "Project_Source/src/PatchLibrarian.h"
#include "Project_Source/src/QOR.h"
#include "kit/plugin/IGraphics.h"
#include "platform/CoreFoundation/CFPresenter.h"
#include "controller_editor_support.h"
#include "librarian_mode_support.h"
#include "support/bankgen.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using bankgen::Bytes;
using bankgen::Kind;
using editortest::Editor;
using librarianmode::fileNames;
using librarianmode::rawBank;

namespace
{

// A person who does something else while a menu is open, then chooses.
class BusyPresenter : public cf_standin::Presenter
{
public:
    std::vector<int> Menu(const cf_standin::MenuShown& menu) override
    {
        shown.push_back(cf_standin::MenuLine(menu));
        if (whileOpen) whileOpen();
        return choice;
    }
    std::function<void()> whileOpen;
    std::vector<int> choice;
    std::vector<std::string> shown;
};

} // namespace

TEST(LibrarianMenusThreads, GridReloadsFromAnotherThreadWhileTheDataTypeChanges)
{
    Editor e(nullptr, false,
             {{"progs.syx", rawBank(Kind::Programs, 1)},
              {"perf.syx", rawBank(Kind::Performances, 2)},
              {"pat.syx", rawBank(Kind::Patterns, 3)}});
    QOR& q = *e.plug;
    std::atomic<bool> stop{false};
    std::atomic<int> reloads{0};
    std::thread other([&] {
        while (!stop) {
            q.setLibrarianViewDirty();
            q.updatePatchLibrarianView(reloads % 3);
            ++reloads;
        }
    });
    const struct {
        bool performance, pattern;
        int kind, list;
    } modes[] = {{false, false, 0, 0}, {true, false, 1, 2}, {false, true, 2, 3}};
    for (int round = 0; round < 30 || reloads < 30; ++round) {
        const auto& m = modes[round % 3];
        q.performanceMode = m.performance;
        q.patternMode = m.pattern;
        q.patchTypeChanged(m.kind, m.list, false);
    }
    q.performanceMode = q.patternMode = false;
    q.patchTypeChanged(0, 0, false);
    stop = true;
    other.join();
    // The last switch was to programs: a reload now shows the program bank (one that began on
    // the other thread before the switch may have set the texts last).
    q.updatePatchLibrarianView(2);
    EXPECT_EQ(q.librarianView->cellText(LibrarianViewControl::kUpperPane, 0).substr(0, 11), "GenProg 000");
}

TEST(LibrarianMenusThreads, ARescanOnAnotherThreadWhileTheUpperMenuIsOpenSwapsItsMenusAndTheChoiceHolds)
{
    Editor e(nullptr, false,
             {{"B progs.syx", rawBank(Kind::Programs, 1)}, {"C progs.syx", rawBank(Kind::Programs, 2)}});
    QOR& q = *e.plug;
    bankgen::writeFile(e.dir.file("Patches/A new.syx"), rawBank(Kind::Programs, 3));
    BusyPresenter script;
    cf_standin::Presenter* old = cf_standin::setPresenter(&script);
    q.GetGUI()->OpenWindow(nullptr);
    const auto before = q.mLeftPatchMenu->menus();
    script.choice = {1}; // "C progs.syx" in the menu as it was opened
    script.whileOpen = [&] { std::thread([&] { q.patchTypeChanged(0, 0, true); }).join(); };
    q.mLeftPatchMenu->OnMouseDown(400, 190, nullptr);
    q.GetGUI()->CloseWindow();
    cf_standin::setPresenter(old);

    ASSERT_EQ(script.shown, std::vector<std::string>{"*B progs.syx | C progs.syx"});
    EXPECT_EQ(fileNames(q.patchLibrarian->singleFiles),
              (std::vector<std::string>{"A new.syx", "B progs.syx", "C progs.syx"}));
    EXPECT_NE(q.mLeftPatchMenu->menus(), before);
    EXPECT_EQ(q.patchLibrarian->upperFileIndex, 2) << "the file chosen, where the rescan put it";
}
