// Values and texts set from another thread (as the MIDI input thread and the workers do) while
// the main thread redraws: no data race, and the last redraw shows the last values.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "graphics_offscreen.h"

TEST(GraphicsThreads, ValuesAndTextsFromAnotherThreadReachTheScreen)
{
    SurfacePlug plug(4);
    plug.GetParam(0)->InitInt("Step", 0, 0, 4);
    plug.GetParam(1)->InitEnum("Mode", 0, 2);
    plug.GetParam(1)->SetDisplayText(0, "Mono");
    plug.GetParam(1)->SetDisplayText(1, "Poly");
    auto* g = new OffscreenGraphics(&plug, 120, 40);
    plug.AttachGraphics(g);
    IColor back(255, 0, 0, 0);
    g->AttachPanelBackground(&back);
    IBitmap bm = MakeStrip(5, 10, 10, [](int f) { return IColor(255, 50 * f, 0, 0); });
    ControlLayer* layer = new ControlLayer(0, "page");
    g->AttachLayer(layer);
    layer->Hide(false);
    auto* knob = new IKnobMultiControl(&plug, IRECT(0, 0, 10, 10), 0, &bm);
    layer->controls.Add(knob);
    auto* status = new ITextControl(&plug, IRECT(20, 0, 120, 20), nullptr, "");
    g->AttachControl(status);
    g->AttachControl(new ICaptionControl(&plug, IRECT(20, 20, 120, 40), 1, nullptr, false));
    std::atomic<bool> done{false};
    std::thread midi([&] {
        for (int i = 0; i < 2000; ++i) {
            g->SetParameterFromPlug(0, i % 5, false);
            g->SetParameterFromPlug(1, i % 2, false);
            status->SetTextFromPlug(("Receiving " + std::to_string(i)).c_str());
        }
        g->SetParameterFromPlug(0, 3, false);
        status->SetTextFromPlug("Data request completed!");
        done = true;
    });
    int frames = 0;
    while (!done.load() || frames == 0) {
        IRECT r;
        if (g->IsDirty(&r)) g->Draw(&r);
        ++frames;
    }
    midi.join();
    IRECT r;
    ASSERT_TRUE(g->IsDirty(&r));
    g->Draw(&r);
    EXPECT_EQ(g->GetPoint(5, 5).R, 200) << "frame 4 of 5 for the value 3 of 0..4";
    KIT_String text;
    status->GetTextCopy(&text);
    EXPECT_STREQ(text.Get(), "Data request completed!");
    EXPECT_EQ(plug.GetParam(1)->Value(), 1.0);
    delete bm.mData;
}
