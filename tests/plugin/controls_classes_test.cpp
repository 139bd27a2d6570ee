// The stock controls' value rules, the value prompt and the popup-menu model, through the surface.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "graphics_offscreen.h"
#include "kit/plugin/IBitmapMonoText.h"

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

IMouseMod kLeft(true), kRight(false, true), kShift(true, false, true);

} // namespace

TEST(ControlsClasses, FramesFollowTheValueAndSwitchesStepAndWrap)
{
    Editor e;
    IBitmap strip = Strip(5), s3 = Strip(3), s1 = Strip(1);
    auto* knob = e.Add(new IKnobMultiControl(&e.plug, IRECT(0, 0, 10, 10), -1, &strip));
    const struct { double value; int frame; } frames[] = {{0.124, 1}, {0.125, 2}, {1.0, 5}, {-0.3, 1}, {7.0, 5}};
    for (const auto& c : frames) {
        knob->SetValue(c.value);
        knob->Draw(e.g);
        EXPECT_EQ(e.g->GetPoint(5, 5).R, 40 * c.frame) << c.value;
    }
    const struct { IBitmap* bitmap; std::vector<double> values; } steps[] = {{&s3, {0.5, 1.0, 0.0}}, {&s1, {1.0, 0.0}}};
    for (const auto& st : steps) {
        auto* sw = e.Add(new ISwitchControl(&e.plug, 20, 0, 1, st.bitmap));
        for (double expect : st.values) {
            sw->OnMouseDown(21, 1, &kLeft);
            EXPECT_DOUBLE_EQ(sw->GetValue(), expect) << st.bitmap->N << " frames";
        }
        sw->GrayOut(true);
        sw->OnMouseDown(21, 1, &kLeft);
        EXPECT_DOUBLE_EQ(sw->GetValue(), st.values.back()) << "grayed switches ignore the click";
    }
    for (IBitmap* b : {&strip, &s3, &s1}) delete b->mData;
}

TEST(ControlsClasses, FadersKnobsAndRadioButtonsMapTheMouse)
{
    Editor e;
    IBitmap handle = Strip(1, 10, 20), dot = Strip(2);
    // Travel 100 - 20; a fader of length 20 has none and leaves the value.
    const struct { int length, y; double value; } clicks[] = {{100, 10, 1.0}, {100, 150, 0.0}, {100, 50, 0.5}, {20, 3, 0.25}};
    for (const auto& c : clicks) {
        auto* fader = e.Add(new IFaderControl(&e.plug, 0, 0, c.length, 2, &handle));
        fader->SetValue(0.25);
        fader->OnMouseDown(5, c.y, &kLeft);
        EXPECT_DOUBLE_EQ(fader->GetValue(), c.value) << c.length << " " << c.y;
    }
    // Gearing 4 over 100 pixels: 40 pixels move 0.1, with Shift 0.01; no extent or gearing, nothing.
    const struct { IRECT rect; double gearing; IMouseMod* mod; double delta; } drags[] = {
        {IRECT(0, 0, 10, 100), 4.0, &kLeft, 0.1}, {IRECT(0, 0, 10, 100), 4.0, &kShift, 0.01},
        {IRECT(0, 5, 10, 5), 4.0, &kLeft, 0.0}, {IRECT(0, 0, 10, 100), 0.0, &kLeft, 0.0}};
    for (const auto& d : drags) {
        IKnobLineControl knob(&e.plug, d.rect, -1, nullptr, 0.0, 0.0, -2.0, 2.0, kVertical, d.gearing);
        knob.SetValue(0.5);
        knob.OnMouseDrag(0, 0, 0, -40, d.mod);
        EXPECT_NEAR(knob.GetValue(), 0.5 + d.delta, 1e-12) << d.gearing;
    }
    // A click, then a double click: the default, once one came from the plug-in, comes back.
    const struct {
        int n, x;
        double value, preset = -1;
    } radios[] = {{4, 35, 1.0}, {4, 12, 1.0 / 3}, {1, 5, 0.0}, {0, 5, 0.5}, {4, 35, 0.25, 0.25}};
    for (const auto& r : radios) {
        IRadioButtonsControl radio(&e.plug, IRECT(0, 0, 40, 10), 3, r.n, &dot, kHorizontal);
        if (r.preset >= 0) radio.SetValueFromPlug(r.preset);
        radio.SetValue(0.5);
        radio.OnMouseDown(r.x, 5, &kLeft);
        radio.OnMouseDblClick(r.x, 5, &kLeft);
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
    DrawBitmapedText(e.g, &fb, &r, &left, nullptr, std::string(20, 'A').c_str(), true, false, 10, 10);
    // y0 = 15, x0 = 10, ten characters a line: both lines drawn, nothing beyond.
    EXPECT_EQ(e.g->GetPoint(105, 20).R + e.g->GetPoint(105, 30).R, 2 * 255);
    EXPECT_EQ(e.g->GetPoint(115, 20).A + e.g->GetPoint(15, 40).A, 0);
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
    caption->OnMouseDown(1, 1, &kRight);
    EXPECT_EQ(e.g->menusShown, 0) << "the prompt stays disabled until the creator clears it";
    caption->DisablePrompt(false);
    caption->SetValueFromPlug(1.0);
    e.g->menuChoices = {0, -1};
    caption->OnMouseDown(1, 1, &kLeft);
    EXPECT_EQ(e.g->shownTitles, (std::vector<std::string>{"off", "on"}));
    EXPECT_EQ(e.g->shownChecks, (std::vector<bool>{false, true}));
    caption->OnMouseDblClick(1, 1, nullptr);
    ASSERT_EQ(e.plug.changes.size(), 1u) << "a dismissed menu changes nothing";
    EXPECT_EQ(e.plug.changes[0].value, 0.0) << "the chosen word reaches the change hook";
    auto* valueDisplay = e.Add(new ITextControl(&e.plug, IRECT(0, 20, 50, 40), nullptr));
    auto* nameDisplay = e.Add(new ITextControl(&e.plug, IRECT(0, 40, 50, 60), nullptr));
    auto* knob = e.Add(new IKnobLineControl(&e.plug, IRECT(60, 0, 80, 20), 1, nullptr));
    knob->SetValDisplayControl(valueDisplay);
    knob->SetNameDisplayControl(nameDisplay);
    knob->DisablePrompt(false);
    e.g->typed = {"5"};
    knob->OnMouseDown(70, 10, &kRight);
    EXPECT_EQ(e.g->lastPromptRect, IRECT(55, 2, 85, 18)) << "a 30 x 16 field centred on the control";
    EXPECT_EQ(count->Value(), 5.0);
    KIT_String shown, label;
    valueDisplay->GetTextCopy(&shown);
    nameDisplay->GetTextCopy(&label);
    EXPECT_EQ(std::string(shown.Get()) + "/" + label.Get(), "5/Count") << "displays refreshed on the push";
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
    // Item 1 of three is the middle of the range.
    IParam* wave = e.plug.GetParam(3);
    wave->InitEnum("Wave", 0, 3);
    const char* const shapes[] = {"saw", "pulse", "sine"};
    for (int i = 0; i < 3; ++i) wave->SetDisplayText(i, shapes[i]);
    auto* waves = e.Add(new ICaptionControl(&e.plug, IRECT(0, 80, 50, 100), 3, nullptr, false));
    waves->DisablePrompt(false);
    e.g->menuChoices = {1};
    waves->OnMouseDown(1, 81, &kLeft);
    EXPECT_EQ(e.g->shownTitles.size(), 3u);
    EXPECT_EQ(wave->Value(), 1.0);
    EXPECT_EQ(waves->GetValue(), 0.5);
}

TEST(ControlsClasses, PopupMenusClampIndexesAndNumberTheirTitles)
{
    IPopupMenu other;
    for (const char* t : {"a", "b", "c"}) other.AddItem(t);
    const struct { int index, at; } adds[] = {{10, 3}, {-5, 0}, {-1, 5}};
    for (const auto& a : adds) {
        other.AddItem("x", a.index, 0);
        EXPECT_STREQ(other.GetItemText(a.at), "x") << a.index;
    }
    IPopupMenu menu;
    menu.AddItem("A");
    menu.AddSeparator();
    menu.AddItem("B");
    menu.SetPrefix(2);
    menu.SetPrefix(4);
    EXPECT_EQ(menu.GetPrefix(), 2);
    EXPECT_EQ(menu.GetItemTitle(0) + menu.GetItemTitle(2), "01: A03: B");
    EXPECT_TRUE(menu.GetItem(1)->GetIsSeparator());
    EXPECT_STREQ(menu.GetItemText(99), "");
    menu.CheckItemAlone(2);
    EXPECT_TRUE(menu.IsItemChecked(2));
    menu.CheckItemAlone(-1);
    EXPECT_FALSE(menu.IsItemChecked(2) || menu.IsItemChecked(7));
}

namespace {

// Answers every file prompt with one path and keeps what it was asked.
class FilePanelGraphics : public OffscreenGraphics {
public:
    using OffscreenGraphics::OffscreenGraphics;
    std::string askedFolder, askedExtensions;
    EFileAction askedAction = kFileOpen;
    int prompts = 0;
    void PromptForFile(KIT_String* file, EFileAction action, KIT_String* dir, char* extensions) override
    {
        ++prompts;
        askedAction = action;
        askedFolder = dir->Get();
        askedExtensions = extensions;
        file->Set("/banks/a.fxb");
    }
};

} // namespace

TEST(ControlsClasses, AFileSelectorAsksForAFileTogglesItsValueAndIsDirtyOnceWhenDone)
{
    SurfacePlug plug{4};
    auto* g = new FilePanelGraphics(&plug, 40, 40);
    plug.AttachGraphics(g);
    auto* selector = new IFileSelectorControl(&plug, IRECT(0, 0, 10, 10), -1, nullptr, kFileSave, "/banks", "fxb");
    g->AttachControl(selector);
    selector->SetClean();
    const double values[] = {1.0, 0.0};
    for (double v : values) {
        selector->OnMouseDown(5, 5, &kLeft);
        EXPECT_EQ(selector->GetValue(), v);
        EXPECT_EQ(selector->GetState(), IFileSelectorControl::kFSDone);
        selector->SetClean();
        EXPECT_TRUE(selector->IsDirty()) << "once more for the finished selection";
        EXPECT_FALSE(selector->IsDirty());
        EXPECT_EQ(selector->GetState(), IFileSelectorControl::kFSNone);
    }
    EXPECT_EQ(g->prompts, 2);
    EXPECT_EQ(g->askedAction, kFileSave);
    EXPECT_EQ(g->askedFolder + " " + g->askedExtensions, "/banks fxb");
    KIT_String chosen;
    selector->GetLastSelectedFileForPlug(&chosen);
    EXPECT_STREQ(chosen.Get(), "/banks/a.fxb");
    selector->SetLastSelectedFileFromPlug("/other.fxp");
    selector->GetLastSelectedFileForPlug(&chosen);
    EXPECT_STREQ(chosen.Get(), "/other.fxp");
    selector->GrayOut(true);
    selector->OnMouseDown(5, 5, &kLeft);
    EXPECT_EQ(g->prompts, 2) << "a greyed selector asks nothing";
}
