// The surface's per-parameter index and its cleaning after a draw: a parameter reaches the
// controls that show it however they arrived, in the order of the lists, and every control but
// the background is cleaned, drawn or not, while only the dirty ones are visited.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "graphics_offscreen.h"

namespace {

// Logs its tag when it takes a value, tag + 100 for an auxiliary one, tag + 1000 when it draws.
class LoggingControl : public IControl {
public:
    LoggingControl(IPluginBase* plug, int param, std::vector<int>* log, int tag)
        : IControl(plug, IRECT(0, 0, 10, 10), param), mLog(log), mTag(tag)
    {
    }
    bool Draw(IGraphics*) override
    {
        mLog->push_back(mTag + 1000);
        return true;
    }
    void SetValueFromPlug(double v) override
    {
        mLog->push_back(mTag);
        IControl::SetValueFromPlug(v);
    }
    void SetAuxParamValueFromPlug(int aux, double v) override
    {
        mLog->push_back(mTag + 100);
        IControl::SetAuxParamValueFromPlug(aux, v);
    }

private:
    std::vector<int>* mLog;
    int mTag;
};

struct Editor {
    SurfacePlug plug{8};
    OffscreenGraphics* g = new OffscreenGraphics(&plug, 100, 100);
    ControlLayer* root = new ControlLayer(0, "root");
    std::vector<int> log;
    IRECT all{0, 0, 100, 100};
    Editor()
    {
        plug.AttachGraphics(g);
        g->AttachLayer(root);
        g->AttachControl(new LoggingControl(&plug, -1, &log, 0)); // background
        root->Hide(false);
    }
    LoggingControl* Make(int param, int tag) { return new LoggingControl(&plug, param, &log, tag); }
    void DrawAll() { g->Draw(&all); }
};

// Each way adds a control after the index was built by a first value; the next value must reach
// it (its value, or its auxiliary record) and nothing else.
TEST(GraphicsIndex, AParameterReachesControlsHoweverTheyArrive)
{
    const char* ways[] = {"attached", "appended to a layer on the surface", "in a child layer appended later",
                          "an auxiliary record added", "attached after a resize"};
    for (int way = 0; way < 5; ++way) {
        Editor e;
        e.g->AttachControl(e.Make(way == 4 ? 3 : 5, 2)); // on 3 only where the resize deletes it
        e.g->SetParameterFromPlug(3, 0.25, true);
        IControl* c = e.Make(way == 3 ? 6 : 3, 1);
        auto* child = new ControlLayer(4, "child");
        if (way == 1 || way == 3) e.root->controls.Add(c);
        if (way == 2) e.root->childLayers.Add(child)->childLayers.Add(new ControlLayer(0, "grandchild"))->controls.Add(c);
        else delete child;
        if (way == 3) c->AddAuxParam(3);
        if (way == 4) e.g->Resize(80, 80);
        if (way == 0 || way == 4) e.g->AttachControl(c);
        e.log.clear();
        e.g->SetParameterFromPlug(3, 0.5, true);
        EXPECT_EQ(way == 3 ? c->GetAuxParam(0)->mValue : c->GetValue(), 0.5) << ways[way];
        EXPECT_EQ(e.log, std::vector<int>{way == 3 ? 101 : 1}) << ways[way] << ": only the one control";
    }
}

TEST(GraphicsIndex, BoundControlsTakeTheValueInTheOrderOfTheListsAuxiliaryAfterBound)
{
    Editor e;
    auto* hidden = new ControlLayer(3, "hidden page"); // not the selected child: stays hidden
    e.root->childLayers.Add(hidden);
    hidden->controls.Add(e.Make(2, 4));
    e.root->controls.Add(e.Make(2, 3));
    LoggingControl* both = e.Make(2, 2);
    both->AddAuxParam(7);
    both->AddAuxParam(2);
    e.g->AttachControl(both);
    e.g->AttachControl(e.Make(5, 9));
    e.g->SetParameterFromPlug(2, 0.5, true);
    EXPECT_EQ(e.log, (std::vector<int>{2, 102, 3, 4})) << "top level, a layer's own controls, then its children";
    e.log.clear();
    e.g->SetParameterFromPlug(7, 0.5, true);
    EXPECT_EQ(e.log, std::vector<int>{102});
}

TEST(GraphicsIndex, AControlTakenOffItsLayerNoLongerTakesValuesNorIsCleaned)
{
    Editor e;
    LoggingControl* c = e.Make(3, 1);
    e.root->controls.Add(c);
    e.DrawAll();
    e.root->controls.Delete(0);
    e.log.clear();
    e.g->SetParameterFromPlug(3, 0.5, true);
    EXPECT_TRUE(e.log.empty());
    c->SetDirty(false);
    e.DrawAll();
    EXPECT_TRUE(c->IsDirty()) << "no longer the surface's";
    delete c;
    e.DrawAll();
}

// Each control starts dirty (as constructed) or is marked, then the surface draws once or twice.
TEST(GraphicsIndex, DrawCleansEveryControlButTheBackgroundDrawnOrNot)
{
    Editor e;
    auto* hiddenPage = new ControlLayer(1, "hidden page");
    auto* shownChild = new ControlLayer(0, "shown child of a hidden page");
    e.root->childLayers.Add(hiddenPage);
    hiddenPage->childLayers.Add(shownChild);
    IControl* inHidden = e.Make(1, 1);
    IControl* hiddenRedraw = e.Make(2, 2);
    IControl* outside = e.Make(3, 3);
    IControl* inChild = e.Make(4, 4);
    hiddenPage->controls.Add(inHidden);
    hiddenPage->controls.Add(hiddenRedraw);
    e.root->controls.Add(outside);
    shownChild->controls.Add(inChild);
    shownChild->visible = true;
    IControl* background = e.g->GetControl(0);
    IRECT corner(90, 90, 100, 100); // meets none of the controls
    e.g->Draw(&corner);
    for (IControl* c : {inHidden, hiddenRedraw, outside, inChild}) EXPECT_FALSE(c->IsDirty());
    EXPECT_TRUE(background->IsDirty()) << "the background is drawn every time and never cleaned";

    for (IControl* c : {inHidden, hiddenRedraw, outside, inChild}) c->SetValueFromPlug(0.1); // first: default
    hiddenRedraw->SetValueFromPlug(0.9);
    inHidden->SetDirty(false);
    e.g->Draw(&corner);
    EXPECT_FALSE(inHidden->IsDirty());
    EXPECT_TRUE(hiddenRedraw->IsDirty()) << "redraw-again keeps it one frame more";
    e.g->Draw(&corner);
    EXPECT_FALSE(hiddenRedraw->IsDirty());

    e.log.clear();
    IRECT rect;
    inChild->SetDirty(false);
    EXPECT_FALSE(e.g->IsDirty(&rect)) << "a hidden layer reports nothing, children included";
    e.DrawAll();
    EXPECT_EQ(e.log, (std::vector<int>{1000, 1003, 1004})) << "a shown child of a hidden layer draws";
    EXPECT_FALSE(inChild->IsDirty());
}

} // namespace
