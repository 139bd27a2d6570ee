// Read-outs and the processing indicator set from a worker thread while the editor draws.
#include "Project_Source/src/QORParams.h"
#include "controller_editor_support.h"
#include "kit/plugin/IGraphics.h"
#include "kit/plugin/IGraphicsLayer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

TEST(ControllerReadOuts, TextsAndTheIndicatorFromAWorkerThreadMeetTheRedrawSafely)
{
    editortest::Editor e;
    QOR& q = *e.plug;
    IGraphics* g = q.GetGUI();
    for (double tab : {1.0, 2.0}) {
        g->SetParameterFromPlug(qorid::kMainTab, tab, false);
        std::atomic<bool> done{false};
        std::thread worker([&] {
            for (int i = 0; i < 400; ++i) {
                q.DisplayProcessingIndicator(i % 2 == 0);
                q.displayText("Request " + std::to_string(i), q.getValueString(i), "SysEx");
                q.displayPatchName(q.getPanelString(i % 8, "Bass"));
            }
            done = true;
        });
        int frames = 0;
        while (!done || frames < 3) {
            IRECT dirty;
            if (g->IsDirty(&dirty)) g->Draw(&dirty);
            ++frames;
        }
        worker.join();
        EXPECT_FALSE(q.progressLayer->IsVisible()) << tab; // the last call hid it
        EXPECT_EQ(e.text(q.statusDisplay) + "|" + e.text(q.valueDisplay) + "|" + e.text(q.patchDisplay),
                  "Request 399|399|Part 8 Bass")
            << tab;
    }
}
