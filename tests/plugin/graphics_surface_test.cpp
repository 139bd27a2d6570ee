// The editor surface's redraw rules: dirty union, cleaning, redraw-again, draw and hit order,
// layers, and the one path from parameter values to the controls.
#include <gtest/gtest.h>

#include <cmath>

#include "graphics_offscreen.h"

namespace {

struct Surface {
    SurfacePlug plug{8};
    OffscreenGraphics* g = new OffscreenGraphics(&plug, 200, 100);
    std::vector<int> drawn;
    Surface()
    {
        plug.AttachGraphics(g);
        g->AttachControl(new CountingControl(&plug, IRECT(0, 0, 200, 100), -1, &drawn, 0)); // background
    }
    CountingControl* Add(IRECT r, int tag, int param = -1, ControlLayer* layer = nullptr)
    {
        auto* c = new CountingControl(&plug, r, param, &drawn, tag);
        if (layer) layer->controls.Add(c);
        else g->AttachControl(c);
        return c;
    }
    void CleanAll()
    {
        IRECT all(0, 0, 200, 100);
        g->Draw(&all);
        g->Draw(&all); // a second pass takes the redraw-again frame
        drawn.clear();
    }
};

} // namespace

TEST(GraphicsSurface, DirtyRectanglesUniteAndOnlyCountingControlsReport)
{
    struct Case {
        const char* what;
        IRECT rect;
        bool hidden, ignoreHidden;
        bool dirty;
        IRECT expect;
    };
    const Case cases[] = {
        {"visible control", IRECT(10, 10, 20, 20), false, false, true, IRECT(5, 5, 20, 20)},
        {"hidden control adds nothing", IRECT(10, 10, 20, 20), true, false, false, IRECT(5, 5, 8, 8)},
        {"hidden with ignore-hidden counts", IRECT(10, 10, 20, 20), true, true, true, IRECT(5, 5, 20, 20)},
        {"all-zero rectangle widens nothing", IRECT(), false, false, true, IRECT(5, 5, 8, 8)},
    };
    for (const Case& c : cases) {
        Surface s;
        CountingControl* base = s.Add(IRECT(5, 5, 8, 8), 1);
        CountingControl* ctl = s.Add(c.rect, 2);
        s.CleanAll();
        base->SetDirty(false);
        ctl->SetDirty(false);
        ctl->Hide(c.hidden);
        ctl->SetIgnoreHidden(c.ignoreHidden);
        IRECT r;
        EXPECT_TRUE(s.g->IsDirty(&r)) << c.what;
        EXPECT_EQ(r, c.expect) << c.what;
        IRECT all(0, 0, 200, 100);
        s.g->Draw(&all);
        s.g->Draw(&all);
        EXPECT_FALSE(ctl->IsDirty()) << c.what << ": drawing cleans, hidden or not";
    }
    Surface s;
    s.CleanAll();
    s.g->GetControl(0)->SetDirty(false);
    IRECT r;
    EXPECT_FALSE(s.g->IsDirty(&r)) << "a dirty background alone";
}

TEST(GraphicsSurface, DrawMeetsInclusiveEdgesInOrderAndKeepsRedrawAgainOneFrame)
{
    Surface s;
    s.Add(IRECT(50, 0, 60, 10), 1);  // left edge on the drawing rectangle's right edge: drawn
    s.Add(IRECT(30, 0, 40, 10), 2);  // right edge on its left edge: not drawn
    s.Add(IRECT(45, 0, 48, 10), 3);
    ControlLayer* layer = new ControlLayer(0, "page");
    s.g->AttachLayer(layer);
    layer->Hide(false);
    s.Add(IRECT(41, 0, 44, 5), 4, -1, layer);
    IRECT r(40, 0, 50, 10);
    EXPECT_TRUE(s.g->Draw(&r));
    EXPECT_EQ(s.drawn, (std::vector<int>{0, 1, 3, 4}));
    EXPECT_EQ(s.g->screenCopies, 1);

    CountingControl* c = s.Add(IRECT(10, 10, 20, 20), 5, 3);
    c->SetValueFromPlug(0.3);
    EXPECT_EQ(c->GetDefaultValue(), 0.3);
    s.CleanAll();
    c->SetValueFromPlug(0.3);
    EXPECT_FALSE(c->IsDirty()) << "the same value changes nothing";
    c->SetValueFromPlug(0.7);
    c->SetClean();
    EXPECT_TRUE(c->IsDirty()) << "redraw-again keeps it for one more frame";
    c->SetClean();
    EXPECT_FALSE(c->IsDirty());
}

TEST(GraphicsSurface, LayersHitDrawAndReportByVisibilityAndSelection)
{
    Surface s;
    ControlLayer* root = new ControlLayer(0, "root");
    ControlLayer* child0 = new ControlLayer(0, "p0");
    ControlLayer* child1 = new ControlLayer(1, "p1");
    root->childLayers.Add(child0);
    root->childLayers.Add(child1);
    s.g->AttachLayer(root);
    s.Add(IRECT(0, 0, 100, 100), 1);
    CountingControl* own = s.Add(IRECT(0, 0, 50, 50), 2, -1, root);
    CountingControl* inChild = s.Add(IRECT(0, 0, 50, 50), 3, -1, child0);
    s.Add(IRECT(0, 0, 50, 50), 4, -1, child1);

    root->selectedChildId = 7; // matches no child
    root->Hide(false);
    EXPECT_TRUE(root->IsVisible());
    EXPECT_FALSE(child0->IsVisible());
    EXPECT_EQ(root->isHit(10, 10), own);
    root->selectedChildId = 0;
    root->Hide(false);
    EXPECT_EQ(root->isHit(10, 10), inChild) << "children before own controls";
    inChild->GrayOut(true);
    EXPECT_EQ(root->isHit(10, 10), inChild) << "grayed controls on layers are found";
    EXPECT_EQ(root->getControlFromParam(-1), inChild);
    EXPECT_EQ(root->isHit(80, 80), nullptr);

    root->GrayOutCustomZone(true, 5);
    EXPECT_EQ(root->selectedChildId, 5);
    EXPECT_FALSE(own->IsGrayed());

    s.CleanAll();
    root->Hide(true);
    IRECT r;
    EXPECT_FALSE(s.g->IsDirty(&r)) << "a hidden layer reports nothing, children included";
    inChild->SetDirty(false);
    EXPECT_FALSE(s.g->IsDirty(&r));
    root->setIgnoreHiddenWhenUpdatingScreen(true);
    EXPECT_TRUE(own->GetIgnoreHidden());
    own->SetDirty(false);
    EXPECT_TRUE(s.g->IsDirty(&r)) << "its first control carries the flag now";
    IRECT all(0, 0, 200, 100);
    s.drawn.clear();
    s.g->Draw(&all);
    EXPECT_EQ(s.drawn, (std::vector<int>{0, 1})) << "a hidden layer draws nothing";
}

TEST(GraphicsSurface, ParameterValuesReachEveryBoundControlWithoutAHook)
{
    Surface s;
    s.plug.GetParam(2)->InitInt("n", 0, 0, 10);
    ControlLayer* hidden = new ControlLayer(0, "hidden");
    s.g->AttachLayer(hidden);
    CountingControl* top = s.Add(IRECT(1, 1, 2, 2), 1, 2);
    CountingControl* onLayer = s.Add(IRECT(1, 1, 2, 2), 2, 2, hidden);
    CountingControl* aux = s.Add(IRECT(1, 1, 2, 2), 3, 5);
    aux->AddAuxParam(2);
    for (IControl* c : {(IControl*)top, (IControl*)onLayer}) c->SetValueFromPlug(0.0);

    s.g->SetParameterFromPlug(2, 15.0, false);
    EXPECT_EQ(s.plug.GetParam(2)->Value(), 10.0) << "stored clamped to the maximum";
    EXPECT_EQ(top->GetValue(), 1.0);
    EXPECT_EQ(onLayer->GetValue(), 1.0) << "hidden layers are updated too";
    EXPECT_EQ(aux->GetAuxParam(0)->mValue, 1.0);
    s.g->SetParameterFromPlug(2, std::nan(""), true);
    EXPECT_EQ(top->GetValue(), 1.0) << "a value that is not a number moves nothing";
    EXPECT_TRUE(s.plug.changes.empty());

    s.g->Resize(300, 120);
    EXPECT_EQ(s.g->NControls(), 0);
    EXPECT_EQ(s.g->NLayers(), 1);
    EXPECT_EQ(s.g->GetDrawBitmap()->getWidth(), 300);
}
