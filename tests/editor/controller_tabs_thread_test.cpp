// Read-outs and quick-tab switches from a second thread, under the plug-in mutex as the MIDI
// input's parameter changes run, while the main thread draws the editor.
#include "Project_Source/src/ControlDisplay.h"
#include "Project_Source/src/QORParams.h"
#include "Project_Source/src/TabSwitchFunctions.h"
#include "controller_editor_support.h"
#include "kit/mutex.h"
#include "kit/plugin/IGraphics.h"
#include "kit/plugin/IGraphicsLayer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace qorid;

TEST(ControllerTabsThreads, ReadOutsAndQuickTabsFromASecondThreadMeetTheRedrawSafely)
{
    editortest::Editor e;
    QOR& q = *e.plug;
    IGraphics* g = q.GetGUI();
    for (int page : {2, 4, 5}) {
        TabSwitchFunctions::mainTabSwitch(&q, kMainTab, page, 0, 0);
        std::atomic<bool> done{false};
        std::thread midi([&] {
            for (int i = 0; i < 300; ++i) {
                KIT_MutexLock lock(q.GetMutex());
                const int part = i % 8;
                q.GetParam(kQuickTab)->Set(part);
                TabSwitchFunctions::quickTabSwitch(&q, kQuickTab, part, 0, false);
                q.GetParam(kMultiPartPanning + part)->Set(i % 128);
                ControlDisplay::controlDisplay(&q, kMultiPartPanning + part, i % 128, false);
            }
            done = true;
        });
        int frames = 0;
        while (!done || frames < 3) {
            IRECT dirty;
            if (g->IsDirty(&dirty)) g->Draw(&dirty);
            ++frames;
        }
        midi.join();
        // The last change: part 4 (i = 299) at 299 % 128 = 43.
        EXPECT_EQ(q.selectedPart.load(), 3) << page;
        EXPECT_EQ(e.text(q.valueDisplay), "LEFT 32% [43]") << page;
        ControlLayer* shown = q.keptLayer("root")->childLayers.Get(page);
        for (int i = 0; i < shown->childLayers.GetSize(); ++i)
            EXPECT_EQ(shown->childLayers.Get(i)->IsVisible(), shown->childLayers.Get(i)->id == 3) << page;
    }
}
