// The slot grid reloaded from the MIDI and job threads while the editor's thread draws it.
#include "Project_Source/src/QORParams.h"
#include "librarian_view_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace gridtest;

TEST(LibrarianViewThreads, ReloadsFromAnotherThreadDuringDrawsHandNothingToThePlugIn)
{
    Grid g;
    g.twoBanks();
    IGraphics* gfx = g.surface();
    ASSERT_NE(gfx, nullptr);
    IParam* area = g.plug->GetParam(qorid::kLibrarianArea);
    const double before = area->Value();
    // A value the parameter does not hold: a reload that handed it over would change the parameter.
    g.grid().SetValue(1.0);
    std::atomic<bool> done{false};
    std::thread other([&] {
        for (int i = 0; i < 200; ++i) {
            {
                std::lock_guard<std::recursive_mutex> hold(g.lib().mLock);
                LibrarianPatch entry = g.upperBank()->patches[size_t(i % 128)];
                entry.name = "T" + std::to_string(i);
                g.lib().upperSlot = i % 128;
                g.lib().setSysexDatatoSelectedSlot(&entry);
            }
            g.grid().patchSelectionUpperChanged();
            g.grid().patchSelectionLowerChanged();
        }
        done = true;
    });
    while (!done) {
        g.grid().Draw(gfx);
        g.grid().upperSelection = (g.grid().upperSelection + 1) % 128;
    }
    other.join();
    EXPECT_EQ(area->Value(), before);
    EXPECT_EQ(g.grid().cellText(LibrarianViewControl::kUpperPane, 199 % 128), "T199");
    // On the editor's thread the reload hands the value over.
    g.grid().patchSelectionUpperChanged();
    EXPECT_EQ(area->Value(), 1.0);
}
