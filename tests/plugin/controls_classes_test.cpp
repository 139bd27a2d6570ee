// The stock controls' value rules, the value prompt and the popup-menu model, through the surface.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "graphics_offscreen.h"
#include "kit/plugin/IBitmapMonoText.h"
#include "kit/raster/rast_rect.h"

namespace {

struct Editor {
    SurfacePlug plug{8};
    OffscreenGraphics* g = new OffscreenGraphics(&plug, 200, 100);
    Editor()
    {
        plug.AttachGraphics(g);
        IColor clear(0, 0, 0, 0);
        g->AttachPanelBackground(&clear);
        IRECT all(0, 0, 200, 100);
        g->Draw(&all);
    }
    template <class C> C* Add(C* c)
    {
        g->AttachControl(c);
        return c;
    }
};

// Frame f has red f * 40.
IBitmap Strip(int n, int w = 10, int h = 10)
{
    return MakeStrip(n, w, h, [](int f) { return IColor(255, 40 * f, 0, 0); });
}

const IMouseMod kLeft(true), kRight(false, true), kShift(true, false, true);

} // namespace

TEST(ControlsClasses, FramesFollowTheValueAndSwitchesStepAndWrap)
{
    Editor e;
    IBitmap strip = Strip(5);
    auto* knob = e.Add(new IKnobMultiControl(&e.plug, IRECT(0, 0, 10, 10), -1, &strip));
    struct Case {
        double value;
        int frame;
    };
    for (Case c : {Case{0.124, 1}, Case{0.125, 2}, Case{1.0, 5}, Case{-0.3, 1}, Case{7.0, 5}}) {
        knob->SetValue(c.value);
        knob->Draw(e.g);
        EXPECT_EQ(e.g->GetPoint(5, 5).R, 40 * c.frame) << c.value;
    }

    IBitmap s3 = Strip(3), s1 = Strip(1);
    struct Steps {
        IBitmap* bitmap;
        std::vector<double> values;
    };
    for (const Steps& st : {Steps{&s3, {0.5, 1.0, 0.0}}, Steps{&s1, {1.0, 0.0}}}) {
        auto* sw = e.Add(new ISwitchControl(&e.plug, 20, 0, 1, st.bitmap));
        for (double expect : st.values) {
            sw->OnMouseDown(21, 1, const_cast<IMouseMod*>(&kLeft));
            EXPECT_DOUBLE_EQ(sw->GetValue(), expect) << st.bitmap->N << " frames";
        }
        sw->GrayOut(true);
        sw->OnMouseDown(21, 1, const_cast<IMouseMod*>(&kLeft));
        EXPECT_DOUBLE_EQ(sw->GetValue(), st.values.back()) << "grayed switches ignore the click";
    }
    for (IBitmap* b : {&strip, &s3, &s1}) delete b->mData;
}

TEST(ControlsClasses, FadersKnobsAndRadioButtonsMapTheMouse)
{
    Editor e;
    IBitmap handle = Strip(1, 10, 20);
    auto* fader = e.Add(new IFaderControl(&e.plug, 0, 0, 100, 2, &handle));
    struct Click {
        int y;
        double value;
    };
    for (Click c : {Click{10, 1.0}, Click{90, 0.0}, Click{150, 0.0}, Click{50, 0.5}}) {
        fader->OnMouseDown(5, c.y, const_cast<IMouseMod*>(&kLeft));
        EXPECT_DOUBLE_EQ(fader->GetValue(), c.value) << c.y;
    }
    auto* stuck = e.Add(new IFaderControl(&e.plug, 0, 0, 20, 2, &handle));
    stuck->SetValue(0.25);
    stuck->OnMouseDown(5, 3, const_cast<IMouseMod*>(&kLeft));
    EXPECT_EQ(stuck->GetValue(), 0.25) << "no travel: the value stays";

    struct Drag {
        IRECT rect;
        double gearing;
        const IMouseMod* mod;
        double delta;
    };
    for (Drag d : {Drag{IRECT(0, 0, 10, 100), 4.0, &kLeft, 0.1}, Drag{IRECT(0, 0, 10, 100), 4.0, &kShift, 0.01},
                   Drag{IRECT(0, 5, 10, 5), 4.0, &kLeft, 0.0}, Drag{IRECT(0, 0, 10, 100), 0.0, &kLeft, 0.0}}) {
        IKnobLineControl knob(&e.plug, d.rect, -1, nullptr, 0.0, 0.0, -2.0, 2.0, kVertical, d.gearing);
        knob.SetValue(0.5);
        knob.OnMouseDrag(0, 0, 0, -40, const_cast<IMouseMod*>(d.mod));
        EXPECT_NEAR(knob.GetValue(), 0.5 + d.delta, 1e-12) << d.gearing;
        EXPECT_TRUE(std::isfinite(knob.GetValue()));
    }

    IBitmap dot = Strip(2);
    struct Radio {
        int n, x;
        double value;
    };
    for (Radio r : {Radio{4, 35, 1.0}, Radio{4, 12, 1.0 / 3}, Radio{4, 200, 0.5}, Radio{1, 5, 0.0}, Radio{0, 5, 0.5}}) {
        IRadioButtonsControl radio(&e.plug, IRECT(0, 0, 40, 10), 3, r.n, &dot, kHorizontal);
        radio.SetValue(0.5);
        radio.OnMouseDown(r.x, 5, const_cast<IMouseMod*>(&kLeft));
        EXPECT_DOUBLE_EQ(radio.GetValue(), r.value) << r.n << " buttons, x " << r.x;
        EXPECT_TRUE(radio.Draw(e.g));
    }
    delete handle.mData;
    delete dot.mData;
}

TEST(ControlsClasses, BitmapTextDrawsOneLineMoreThanCounted)
{
    Editor e;
    auto* font = new RAST_MemBitmap(10, 10 * 95, 4);
    RAST_FillRect(font, 0, 0, 10, 950, IColorToPixel(IColor(255, 255, 255, 255)), 1.0f, 0);
    IBitmap fb(font, 10, 950, 95);
    IText left(12, nullptr, nullptr, IText::kStyleNormal, IText::kAlignNear);
    IRECT r(0, 0, 120, 40);
    DrawBitmapedText(e.g, &fb, &r, &left, nullptr, std::string(30, 'A').c_str(), true, false, 10, 10);
    // y0 = 15, x0 = 10, ten characters a line, lines 0 and 1 only.
    EXPECT_EQ(e.g->GetPoint(105, 20).R, 255);
    EXPECT_EQ(e.g->GetPoint(105, 30).R, 255);
    EXPECT_EQ(e.g->GetPoint(115, 20).A, 0);
    EXPECT_EQ(e.g->GetPoint(15, 40).A, 0);
    for (int w : {0, -3}) DrawBitmapedText(e.g, &fb, &r, &left, nullptr, "AB", true, true, w, 10);
    delete font;
}

TEST(ControlsClasses, PromptsAndPushesReachTheParameterAndTheDisplays)
{
    Editor e;
    IParam* onOff = e.plug.GetParam(0);
    onOff->InitBool("Power", true);
    IParam* count = e.plug.GetParam(1);
    count->InitInt("Count", 0, 0, 10, "steps");
    IParam* name = e.plug.GetParam(2);
    name->InitText();

    auto* caption = e.Add(new ICaptionControl(&e.plug, IRECT(0, 0, 50, 20), 0, nullptr, false));
    caption->OnMouseDown(1, 1, const_cast<IMouseMod*>(&kRight));
    EXPECT_EQ(e.g->menusShown, 0) << "the prompt stays disabled until the creator clears it";
    caption->DisablePrompt(false);
    caption->SetValueFromPlug(1.0);
    e.g->menuChoices = {0};
    caption->OnMouseDown(1, 1, const_cast<IMouseMod*>(&kLeft));
    EXPECT_EQ(e.g->shownTitles, (std::vector<std::string>{"off", "on"}));
    EXPECT_EQ(e.g->shownChecks, (std::vector<bool>{false, true}));
    ASSERT_EQ(e.plug.changes.size(), 1u);
    EXPECT_EQ(e.plug.changes[0].value, 0.0) << "the chosen word reaches the change hook";
    e.g->menuChoices = {-1};
    caption->OnMouseDblClick(1, 1, nullptr);
    EXPECT_EQ(e.plug.changes.size(), 1u) << "a dismissed menu changes nothing";

    auto* valueDisplay = e.Add(new ITextControl(&e.plug, IRECT(0, 20, 50, 40), nullptr));
    auto* nameDisplay = e.Add(new ITextControl(&e.plug, IRECT(0, 40, 50, 60), nullptr));
    auto* knob = e.Add(new IKnobLineControl(&e.plug, IRECT(60, 0, 80, 20), 1, nullptr));
    knob->SetValDisplayControl(valueDisplay);
    knob->SetNameDisplayControl(nameDisplay);
    knob->DisablePrompt(false);
    e.g->typed = {"5"};
    knob->OnMouseDown(70, 10, const_cast<IMouseMod*>(&kRight));
    EXPECT_EQ(e.g->lastPromptRect, IRECT(55, 2, 85, 18)) << "a 30 x 16 field centred on the control";
    EXPECT_EQ(count->Value(), 5.0);
    KIT_String shown;
    valueDisplay->GetTextCopy(&shown);
    EXPECT_STREQ(shown.Get(), "5");
    nameDisplay->GetTextCopy(&shown);
    EXPECT_STREQ(shown.Get(), "Count");

    auto* text = e.Add(new ICaptionControl(&e.plug, IRECT(0, 60, 50, 80), 2, nullptr, false));
    e.g->SetFromStringAfterPrompt(text, name, "Lead 1");
    EXPECT_STREQ(name->GetDisplayText(0), "Lead 1");
    EXPECT_EQ(text->GetValue(), 0.0) << "toggled to 1, then the normalized form of 0";
    EXPECT_EQ(e.plug.changes.size(), 4u) << "both steps of a text edit reach the hook";
    e.g->SetFromStringAfterPrompt(knob, count, "nan");
    EXPECT_EQ(count->Value(), 0.0) << "an unreadable number is 0";

    knob->SetValueFromHardware(0.3);
    knob->SetValueFromHardware(0.8);
    ASSERT_FALSE(e.plug.changes2.empty());
    EXPECT_EQ(e.plug.changes2.back().value, 8.0);
}

TEST(ControlsClasses, PopupMenusClampIndexesAndNumberTheirTitles)
{
    IPopupMenu menu;
    menu.AddItem("A");
    menu.AddSeparator();
    menu.AddItem("B");
    struct Add {
        int index, at;
    };
    IPopupMenu other;
    for (const char* t : {"a", "b", "c"}) other.AddItem(t);
    for (Add a : {Add{10, 3}, Add{-5, 0}, Add{-1, 5}}) {
        other.AddItem("x", a.index, 0);
        EXPECT_STREQ(other.GetItemText(a.at), "x") << a.index;
    }
    menu.SetPrefix(2);
    menu.SetPrefix(4);
    EXPECT_EQ(menu.GetPrefix(), 2);
    EXPECT_EQ(menu.GetItemTitle(0), "01: A");
    EXPECT_TRUE(menu.GetItem(1)->GetIsSeparator());
    EXPECT_EQ(menu.GetItemTitle(2), "03: B");
    EXPECT_STREQ(menu.GetItemText(99), "");
    menu.CheckItemAlone(2);
    EXPECT_TRUE(menu.IsItemChecked(2));
    menu.CheckItemAlone(-1);
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(menu.IsItemChecked(i));
    EXPECT_FALSE(menu.IsItemChecked(7));
}
