// The surface's per-parameter index and its cleaning after a draw: a parameter reaches the
// controls that show it however they arrived, in the order of the lists, and every control but
// the background is cleaned, drawn or not, while only the dirty ones are visited.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
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

// The redraw after a state restore, and attaching a surface, walk every parameter in one pass;
// each must leave the parameters, the controls and the order of their calls as one call per
// parameter would: plain values through range, step and shape (redraw) or normalized values
// as they stand (attach), auxiliary records, hidden layers, unbound controls and controls of
// parameters outside the table.
TEST(GraphicsIndex, RedrawingOrAttachingDoesWhatOneCallPerParameterDoes)
{
    for (const bool attach : {false, true}) {
        std::vector<IControl*> controls[2];
        std::vector<double> values[2];
        Editor e[2];
        for (int k = 0; k < 2; ++k) {
            SurfacePlug& p = e[k].plug;
            p.GetParam(0)->InitInt("a", 0, 0, 10);
            p.GetParam(0)->Set(4.6); // off its step
            p.GetParam(1)->InitDouble("b", 0.0, -1.0, 1.0, 0.01);
            p.GetParam(1)->SetShape(2.0);
            p.GetParam(1)->Set(0.3);
            p.GetParam(2)->InitEnum("c", 0, 3);
            p.GetParam(2)->Set(7.0); // past its range
            auto* hidden = new ControlLayer(3, "hidden page");
            e[k].root->childLayers.Add(hidden);
            LoggingControl* withAux = e[k].Make(0, 1);
            withAux->AddAuxParam(4);
            LoggingControl* auxOnly = e[k].Make(-1, 6);
            auxOnly->AddAuxParam(1);
            controls[k] = {e[k].Make(2, 2), withAux, e[k].Make(0, 3), e[k].Make(5, 4), e[k].Make(20, 5), auxOnly};
            for (IControl* c : {controls[k][0], controls[k][1], controls[k][4], controls[k][5]})
                e[k].g->AttachControl(c);
            e[k].root->controls.Add(controls[k][2]);
            hidden->controls.Add(controls[k][3]);
        }
        for (int i = 0; i < e[0].plug.NParams(); ++i) {
            const IParam* param = e[0].plug.GetParam(i);
            e[0].g->SetParameterFromPlug(i, attach ? param->GetNormalized() : param->Value(), attach);
        }
        if (attach) e[1].plug.AttachGraphics(e[1].g);
        else e[1].plug.RedrawParamControls();
        for (int k = 0; k < 2; ++k) {
            for (int i = 0; i < e[k].plug.NParams(); ++i) values[k].push_back(e[k].plug.GetParam(i)->Value());
            for (IControl* c : controls[k]) values[k].push_back(c->GetValue());
            values[k].push_back(controls[k][1]->GetAuxParam(0)->mValue);
            values[k].push_back(controls[k][5]->GetAuxParam(0)->mValue);
        }
        EXPECT_EQ(e[1].log, e[0].log);
        EXPECT_EQ(e[1].log, (std::vector<int>{1, 3, 6 + 100, 2, 1 + 100, 4}));
        EXPECT_EQ(values[1], values[0]);
        EXPECT_EQ(std::vector<double>({values[1][0], values[1][2]}),
                  attach ? std::vector<double>({4.6, 7.0}) : std::vector<double>({5.0, 2.0}))
            << "a plain value off its step or past its range moves onto them; attaching only shows it";
    }
}

// Takes its value, then runs the hook once.
class HookControl : public IControl {
public:
    HookControl(IPluginBase* plug, int param, std::function<void()> hook)
        : IControl(plug, IRECT(0, 0, 10, 10), param), mHook(std::move(hook))
    {
    }
    bool Draw(IGraphics*) override { return true; }
    void SetValueFromPlug(double v) override
    {
        IControl::SetValueFromPlug(v);
        if (auto hook = std::move(mHook)) hook();
    }

private:
    std::function<void()> mHook;
};

// A control that swaps a page's controls while it takes its value (as a tab switch does): the
// rest of the walk reaches the control it added and never the one it deleted.
TEST(GraphicsIndex, ARedrawThatChangesTheListsGoesOnWithTheNewOnes)
{
    Editor e;
    auto* page = new ControlLayer(1, "page");
    e.root->childLayers.Add(page);
    std::unique_ptr<LoggingControl> takenOff(e.Make(5, 8));
    page->controls.Add(takenOff.get());
    page->controls.Add(e.Make(6, 9));
    e.g->AttachControl(new HookControl(&e.plug, 1, [&] {
        page->controls.Delete(1, true);
        page->controls.Delete(0);
        page->controls.Add(e.Make(3, 7));
    }));
    e.g->SetParameterFromPlug(0, 0.0, true); // the index is built before the walk
    e.plug.RedrawParamControls();
    EXPECT_EQ(e.log, std::vector<int>{7});
}

} // namespace
