// Which control the surface hands each mouse, wheel and key event to, and the mouse capture.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plugin/graphics_offscreen.h"

namespace {

std::vector<std::string> gLog;

class Recorder : public IControl {
public:
    Recorder(IPluginBase* plug, std::string name, IRECT r, int param = -1)
        : IControl(plug, r, param), mName(std::move(name))
    {
    }
    void OnMouseDown(int x, int y, IMouseMod*) override { Say("down", x, y); }
    void OnMouseUp(int x, int y, IMouseMod*) override { Say("up", x, y); }
    void OnMouseDrag(int x, int y, int dX, int dY, IMouseMod*) override
    {
        Say("drag", x, y);
        gLog.back() += " d" + std::to_string(dX) + "," + std::to_string(dY);
    }
    void OnMouseDblClick(int x, int y, IMouseMod*) override { Say("dbl", x, y); }
    void OnMouseWheel(int x, int y, IMouseMod*, int d) override { Say("wheel" + std::to_string(d), x, y); }
    bool OnKeyDown(int x, int y, int key) override
    {
        Say("key" + std::to_string(key), x, y);
        return true;
    }
    void OnMouseOver(int x, int y, IMouseMod*) override { Say("over", x, y); }
    void OnMouseOut() override { gLog.push_back(mName + " out"); }
    void OnGUIIdle() override { gLog.push_back(mName + " idle"); }
    bool Draw(IGraphics*) override { return true; }

private:
    void Say(const std::string& what, int x, int y)
    {
        gLog.push_back(mName + " " + what + " " + std::to_string(x) + "," + std::to_string(y));
    }
    std::string mName;
};

class InformPlug : public SurfacePlug {
public:
    void BeginInformHostOfParamChange(int idx) override { gLog.push_back("begin " + std::to_string(idx)); }
    void EndInformHostOfParamChange(int idx) override { gLog.push_back("end " + std::to_string(idx)); }
};

class Surface : public OffscreenGraphics {
public:
    using OffscreenGraphics::OffscreenGraphics;
    void SetHandleMouseOver(bool on) { handleMouseOver = on; }
};

// Top level: bg (0) over everything, low (1) and high (2) overlapping at (20..40); a visible
// layer holding lay over (30..50).
struct Board {
    InformPlug plug;
    Surface g{&plug, 100, 100};
    Recorder* bg = new Recorder(&plug, "bg", IRECT(0, 0, 100, 100));
    Recorder* low = new Recorder(&plug, "low", IRECT(10, 10, 40, 40), 3);
    Recorder* high = new Recorder(&plug, "high", IRECT(20, 20, 60, 60), 4);
    Recorder* lay = new Recorder(&plug, "lay", IRECT(30, 30, 50, 50), 5);
    ControlLayer* layer = new ControlLayer(1, "L");
    Board()
    {
        g.AttachControl(bg);
        g.AttachControl(low);
        g.AttachControl(high);
        layer->controls.Add(lay);
        layer->Hide(false);
        g.AttachLayer(layer);
        gLog.clear();
    }
};

} // namespace

TEST(SurfaceEvents, TheSearchPrefersLayersThenLaterControlsAndSkipsGrayedTopLevelOnes)
{
    IMouseMod mod;
    struct Case {
        int x, y;
        bool grayHigh, grayLay;
        std::string got;
    } cases[] = {
        {25, 25, false, false, "high down 25,25"}, {25, 25, true, false, "low down 25,25"},
        {55, 55, true, false, "bg down 55,55"},    {35, 35, false, false, "lay down 35,35"},
        {35, 35, false, true, "lay down 35,35"},
    };
    for (const Case& c : cases) {
        Board b;
        b.high->GrayOut(c.grayHigh);
        b.lay->GrayOut(c.grayLay);
        gLog.clear();
        b.g.OnMouseDown(c.x, c.y, &mod);
        ASSERT_FALSE(gLog.empty());
        EXPECT_EQ(gLog[0], c.got) << c.x << "," << c.y;
    }
}

TEST(SurfaceEvents, TheCaptureRunsFromDownToUpAndDragsCountFromTheLastPoint)
{
    Board b;
    IMouseMod mod;
    b.g.OnMouseDown(25, 25, &mod);
    b.g.OnMouseDrag(25, 25, &mod); // no move, not passed on
    b.g.OnMouseDrag(28, 20, &mod);
    b.g.OnMouseDrag(90, 90, &mod); // far off the control, still captured
    b.g.OnMouseWheel(5, 5, &mod, 2);
    b.g.OnMouseUp(90, 90, &mod);
    b.g.OnMouseDrag(91, 91, &mod);
    EXPECT_EQ(gLog, (std::vector<std::string>{"high down 25,25", "begin 4", "high drag 28,20 d3,-5",
                                              "high drag 90,90 d62,70", "high wheel2 5,5", "high up 90,90",
                                              "end 4"}));
    EXPECT_EQ(b.g.GetMouseCapture(), nullptr);
}

TEST(SurfaceEvents, AnUpWithoutCaptureStillReachesTheControlUnderTheMouse)
{
    Board b;
    IMouseMod mod;
    b.g.OnMouseUp(15, 15, &mod);
    b.bg->Hide(true);
    b.g.OnMouseDown(95, 95, &mod); // nothing there: no capture
    b.g.OnMouseDrag(96, 96, &mod);
    EXPECT_EQ(gLog, (std::vector<std::string>{"low up 15,15", "end 3"}));
    EXPECT_EQ(b.g.GetMouseCapture(), nullptr);
}

TEST(SurfaceEvents, ADoubleClickIsADownOnlyForControlsThatAskForIt)
{
    Board b;
    IMouseMod mod;
    EXPECT_FALSE(b.g.OnMouseDblClick(15, 15, &mod));
    EXPECT_EQ(b.g.GetMouseCapture(), nullptr);
    b.low->SetDblAsSingleClick(true);
    EXPECT_TRUE(b.g.OnMouseDblClick(15, 15, &mod));
    EXPECT_EQ(b.g.GetMouseCapture(), b.low);
    EXPECT_EQ(gLog, (std::vector<std::string>{"low dbl 15,15", "low down 15,15"}));
}

TEST(SurfaceEvents, KeysGoToTheCaptureThenTheControlUnderTheMouseThenTheKeyCatcher)
{
    Board b;
    IMouseMod mod;
    b.bg->Hide(true);
    EXPECT_FALSE(b.g.OnKeyDown(95, 95, 15));
    b.g.AttachKeyCatcher(new Recorder(&b.plug, "catcher", IRECT()));
    EXPECT_TRUE(b.g.OnKeyDown(95, 95, 16));
    EXPECT_TRUE(b.g.OnKeyDown(15, 15, 17));
    b.g.OnMouseDown(25, 25, &mod);
    EXPECT_TRUE(b.g.OnKeyDown(15, 15, 18));
    EXPECT_EQ(gLog, (std::vector<std::string>{"catcher key16 95,95", "low key17 15,15", "high down 25,25", "begin 4",
                                              "high key18 15,15"}));
}

TEST(SurfaceEvents, MouseOverIsOffUntilTheSurfaceHandlesItAndThenMovesTheOverControl)
{
    Board b;
    IMouseMod mod;
    EXPECT_FALSE(b.g.OnMouseOver(15, 15, &mod));
    EXPECT_TRUE(gLog.empty());
    b.g.SetHandleMouseOver(true);
    b.low->GrayOut(true);
    EXPECT_TRUE(b.g.OnMouseOver(15, 15, &mod)); // grayed: the background
    b.low->SetMOWhenGrayed(true);
    EXPECT_TRUE(b.g.OnMouseOver(16, 16, &mod));
    b.g.OnMouseOut();
    EXPECT_EQ(gLog, (std::vector<std::string>{"bg over 15,15", "low over 16,16", "bg out", "bg out", "low out",
                                              "high out"}));
}

TEST(SurfaceEvents, AutomationQueriesRememberTheLastParameterOnceAndIdleVisitsTopLevelControls)
{
    Board b;
    EXPECT_EQ(b.g.GetParamIdxForPTAutomation(25, 25), 4);
    EXPECT_EQ(b.g.GetLastClickedParamForPTAutomation(), 4);
    EXPECT_EQ(b.g.GetLastClickedParamForPTAutomation(), -1);
    EXPECT_EQ(b.g.GetParamIdxForPTAutomation(95, 95), -1);
    EXPECT_EQ(b.g.GetMouseControlIdx(35, 35), b.lay);
    b.g.OnGUIIdle();
    EXPECT_EQ(gLog, (std::vector<std::string>{"bg idle", "low idle", "high idle"}));
}
