// The per-parameter index and the cleaning queue under the threads that use them: the MIDI
// thread sets values without the editor's lock while the main thread sets others, switches
// pages and redraws, and a second editor in the process builds its controls, which makes both
// threads rebuild the index again and again.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "graphics_offscreen.h"

namespace {

const int kPages = 4, kPerPage = 16, kParams = kPages * kPerPage, kRounds = 2000;

// Fills its rectangle with a grey of its value.
class ValueBar : public IControl {
public:
    ValueBar(IPluginBase* plug, int param, int x, int y) : IControl(plug, IRECT(x, y, x + 8, y + 8), param) {}
    bool Draw(IGraphics* g) override
    {
        const int v = int(GetValue() * 255);
        IColor c(255, v, v, v);
        return g->FillIRect(&c, &mRECT);
    }
};

TEST(GraphicsIndexThreads, ValuesFromTheMidiThreadReachEveryControlWhileTheIndexIsRebuilt)
{
    SurfacePlug plug(kParams);
    for (int i = 0; i < kParams; ++i) plug.GetParam(i)->InitInt("p", 0, 0, 127);
    auto* g = new OffscreenGraphics(&plug, 160, 80);
    plug.AttachGraphics(g);
    IColor back(255, 0, 0, 0);
    g->AttachPanelBackground(&back);
    auto* root = new ControlLayer(0, "root");
    g->AttachLayer(root);
    for (int p = 0; p < kPages; ++p) {
        auto* page = new ControlLayer(p, "page");
        root->childLayers.Add(page);
        for (int i = 0; i < kPerPage; ++i) page->controls.Add(new ValueBar(&plug, p * kPerPage + i, i * 10, 0));
    }
    // A second control on every parameter, on the top level, showing a neighbour through an
    // auxiliary record as well.
    for (int i = 0; i < kParams; ++i) {
        auto* c = new ValueBar(&plug, i, (i % 16) * 10, 10 + (i / 16) * 10);
        c->AddAuxParam((i + 1) % kParams);
        g->AttachControl(c);
    }
    root->Hide(false);

    SurfacePlug otherPlug(1);
    auto* other = new OffscreenGraphics(&otherPlug, 10, 10);
    otherPlug.AttachGraphics(other);
    auto* otherLayer = new ControlLayer(0, "other editor");
    other->AttachLayer(otherLayer);

    std::atomic<bool> done{false};
    // The MIDI thread owns the even parameters, the main thread the odd ones.
    std::thread midi([&] {
        for (int round = 0; round < kRounds; ++round)
            for (int p = 0; p < kParams; p += 2) g->SetParameterFromPlug(p, (round + p) % 128, false);
        done = true;
    });
    int frame = 0;
    while (!done.load()) {
        for (int p = 1; p < kParams; p += 2) g->SetParameterFromPlug(p, (frame + p) % 128, false);
        if (frame % 7 == 0) {
            root->selectedChildId = frame % kPages;
            root->Hide(false);
        }
        if (frame % 3 == 0) otherLayer->controls.Add(new ValueBar(&otherPlug, -1, 0, 0));
        IRECT r;
        if (g->IsDirty(&r)) g->Draw(&r);
        ++frame;
    }
    midi.join();
    for (int p = 1; p < kParams; p += 2) g->SetParameterFromPlug(p, (frame + p) % 128, false);

    // Only what is marked is drawn again: a mark lost to a clean on the other thread would leave
    // an old value on the screen.
    for (int pass = 0; pass < 3; ++pass) {
        IRECT r;
        if (g->IsDirty(&r)) g->Draw(&r);
    }
    RAST_IBitmap* screen = g->GetDrawBitmap();
    ASSERT_NE(screen, nullptr);
    for (int i = 1; i < g->NControls(); ++i) {
        IControl* c = g->GetControl(i);
        const int p = c->ParamIdx(), q = (p + 1) % kParams;
        const double want = (p % 2 ? frame + p : kRounds - 1 + p) % 128 / 127.0;
        const double wantAux = (q % 2 ? frame + q : kRounds - 1 + q) % 128 / 127.0;
        ASSERT_EQ(c->GetValue(), want) << "parameter " << p;
        ASSERT_EQ(c->GetAuxParam(0)->mValue, wantAux) << "parameter " << q;
        ASSERT_FALSE(c->NeedsClean()) << "parameter " << p;
        const IRECT* at = c->GetRECT();
        const RAST_PixelValue shown = screen->getBits()[(at->T + 4) * screen->getRowSpan() + at->L + 4];
        ASSERT_EQ(RAST_PixelR(shown), int(want * 255)) << "parameter " << p << " on the screen";
    }
    // Shown pages stay shown (the root shows the selected one, hiding none): the last shown is
    // drawn over the others.
    int top = -1;
    for (int p = 0; p < kPages; ++p)
        if (root->childLayers.Get(p)->IsVisible()) top = p;
    ASSERT_GE(top, 0);
    for (int p = 0; p < kPages; ++p) {
        ControlLayer* page = root->childLayers.Get(p);
        for (int i = 0; i < kPerPage; ++i) {
            IControl* c = page->controls.Get(i);
            ASSERT_FALSE(c->NeedsClean()) << "hidden pages too";
            // Nothing but the MIDI thread marks the even parameters' controls on a page.
            const int q = c->ParamIdx();
            const double want = (q % 2 ? frame + q : kRounds - 1 + q) % 128 / 127.0;
            const RAST_PixelValue shown = screen->getBits()[4 * screen->getRowSpan() + c->GetRECT()->L + 4];
            if (p == top) {
                ASSERT_EQ(RAST_PixelR(shown), int(want * 255)) << "parameter " << q << " on the screen";
            }
        }
    }
    IRECT r;
    EXPECT_FALSE(g->IsDirty(&r));
}

} // namespace
