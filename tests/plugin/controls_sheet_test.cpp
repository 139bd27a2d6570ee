// Control sheets: every stock control class in five states (value 0, 0.5, 1, grayed, hidden),
// from bitmaps drawn here, loaded at the three UI scales and written to controls-<scale>.png
// in the test's working folder, so that a person can look at what a user would see.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>

#include "graphics_offscreen.h"
#include "support/tempdir.h"

namespace {

const char* const kStates[] = {"value 0", "value 0.5", "value 1", "grayed", "hidden"};
const double kStateValues[] = {0.0, 0.5, 1.0, 0.5, 1.0};
const int kCellW = 130, kCellH = 64, kLabelW = 190, kHeaderH = 30;
const IColor kBack(255, 40, 44, 52), kPanel(255, 70, 150, 220), kInk(255, 230, 230, 230), kAccent(255, 250, 170, 40);
const IColor kGrey(255, 120, 124, 132), kDark(255, 25, 27, 30), kWhite(255, 255, 255, 255), kBlack(255, 0, 0, 0);
const char* const kWaves[] = {"Saw", "Square", "Triangle"};

// Draws a w x h image with draw() on a clear surface and saves it as a PNG.
void MakePNG(const std::string& path, int w, int h, const std::function<void(IGraphics&)>& draw)
{
    OffscreenGraphics g(nullptr, w, h);
    g.PrepDraw();
    IRECT all(0, 0, w, h);
    g.Draw(&all); // sets the drawing rectangle; nothing is attached
    draw(g);
    ASSERT_TRUE(g.WriteScreenshot(path)) << path;
}

void MakeBitmaps(const std::string& dir)
{
    MakePNG(dir + "/knob_strip.png", 40, 40 * 31, [&](IGraphics& g) {
        for (int f = 0; f < 31; ++f) {
            g.FillCircle(&kGrey, 20, 40 * f + 20, 17.0f, nullptr, true);
            float a = float((-0.75 + 1.5 * f / 30.0) * 3.141592653589793);
            g.DrawRadialLine(&kWhite, 20.0f, 40.0f * f + 20.0f, a, 4.0f, 16.0f, nullptr, true);
        }
    });
    MakePNG(dir + "/button.png", 60, 48, [&](IGraphics& g) {
        IRECT off(0, 0, 60, 24), on(0, 24, 60, 48), onInner(3, 27, 57, 45);
        g.FillRoundRect(&kGrey, &off, nullptr, 5, true);
        g.FillRoundRect(&kGrey, &on, nullptr, 5, true);
        g.FillRoundRect(&kAccent, &onInner, nullptr, 4, true);
    });
    MakePNG(dir + "/radio.png", 16, 32, [&](IGraphics& g) {
        g.DrawCircle(&kWhite, 8.0f, 8.0f, 6.0f, nullptr, true);
        g.DrawCircle(&kWhite, 8.0f, 24.0f, 6.0f, nullptr, true);
        g.FillCircle(&kAccent, 8, 24, 4.0f, nullptr, true);
    });
    MakePNG(dir + "/handle.png", 14, 26, [&](IGraphics& g) {
        IRECT r(0, 0, 14, 26), line(0, 12, 14, 14);
        g.FillRoundRect(&kWhite, &r, nullptr, 3, false);
        g.FillIRect(&kDark, &line);
    });
    MakePNG(dir + "/overlay.png", 110, 44, [&](IGraphics& g) {
        IRECT r(0, 0, 110, 44);
        IColor veil(200, 250, 170, 40);
        g.FillRoundRect(&veil, &r, nullptr, 6, true);
        IText t(14, &kDark, "DejaVu Sans", IText::kStyleBold);
        g.DrawIText(&t, "OVERLAY", &r);
    });
    // The printable characters 32..126, one 8 x 13 frame each, stacked vertically: drawn white
    // on black, then the brightness becomes the alpha of white.
    MakePNG(dir + "/font.png", 8, 13 * 95, [&](IGraphics& g) {
        IText t(12, &kWhite, "DejaVu Sans Mono");
        for (int c = 32; c < 127; ++c) {
            char s[2] = {char(c), 0};
            IRECT cell(0, 13 * (c - 32), 8, 13 * (c - 31));
            g.FillIRect(&kBlack, &cell);
            g.DrawIText(&t, s, &cell);
        }
        RAST_IBitmap* bm = g.GetDrawBitmap();
        for (int y = 0; y < bm->getHeight(); ++y)
            for (int x = 0; x < bm->getWidth(); ++x) {
                unsigned int& p = bm->getBits()[y * bm->getRowSpan() + x];
                p = IColorToPixel(IColor(IColorFromPixel(p).R, 255, 255, 255));
            }
    });
}

// Builds the sheet at one scale on g.
void BuildSheet(OffscreenGraphics& g, SurfacePlug& plug, double scale, int idBase)
{
    auto S = [scale](int v) { return int(v * scale); };
    auto load = [&](int id, const char* name, int frames) { return g.LoadIBitmap(idBase + id, name, scale, frames); };
    IBitmap knobStrip = load(1, "knob_strip.png", 31);
    IRECT middle(0, knobStrip.H * 15 / 31, knobStrip.W, knobStrip.H * 16 / 31); // the upright frame
    IBitmap knob = g.CropBitmap(&knobStrip, &middle);
    IBitmap button = load(6, "button.png", 2), radio = load(7, "radio.png", 2), handle = load(8, "handle.png", 1);
    IBitmap overlay = load(9, "overlay.png", 1), font = load(10, "font.png", 95);
    g.AttachPanelBackground(&kBack);
    IText label(S(13), &kInk, "DejaVu Sans", IText::kStyleNormal, IText::kAlignNear);
    IText header(S(13), &kAccent, "DejaVu Sans", IText::kStyleBold);
    IText small(S(12), &kInk, "DejaVu Sans");
    for (int c = 0; c < 5; ++c)
        g.AttachControl(new ITextControl(&plug, IRECT(S(kLabelW + c * kCellW), 0, S(kLabelW + (c + 1) * kCellW), S(kHeaderH)),
                                         &header, kStates[c]));
    ControlLayer* layer = new ControlLayer(0, "sheet");
    layer->visible = true;
    g.AttachLayer(layer);
    auto box = [&](int x, int y, int w, int h) { return IRECT(x, y, x + w, y + h); };
    IColor accent = kAccent;
    const struct { const char* name; std::function<IControl*(int x, int y, int col)> make; } rows[] = {
        {"IPanelControl", [&](int x, int y, int) { return new IPanelControl(&plug, box(x, y, S(100), S(40)), &kPanel); }},
        {"IBitmapControl", [&](int x, int y, int) { return new IBitmapControl(&plug, x, y, -1, &button); }},
        {"ISwitchControl", [&](int x, int y, int) { return new ISwitchControl(&plug, x, y, -1, &button); }},
        {"IContactControl", [&](int x, int y, int) { return new IContactControl(&plug, x, y, -1, &button); }},
        {"ISwitchPopUpControl", [&](int x, int y, int) { return new ISwitchPopUpControl(&plug, x, y, -1, &button); }},
        {"IInvisibleSwitch (none)", [&](int x, int y, int) { return new IInvisibleSwitchControl(&plug, box(x, y, S(60), S(24)), -1); }},
        {"IRadioButtonsControl", [&](int x, int y, int) { return new IRadioButtonsControl(&plug, box(x, y, S(100), radio.H / 2), -1, 4, &radio, kHorizontal); }},
        {"IFaderControl", [&](int x, int y, int) { return new IFaderControl(&plug, x, y, S(100), -1, &handle, kHorizontal); }},
        {"IKnobLineControl", [&](int x, int y, int) { return new IKnobLineControl(&plug, box(x, y, S(40), S(40)), -1, &accent, 4.0 * scale); }},
        {"IKnobRotaterControl", [&](int x, int y, int) { return new IKnobRotaterControl(&plug, x, y, -1, &knob); }},
        {"IKnobMultiControl", [&](int x, int y, int) { return new IKnobMultiControl(&plug, box(x, y, knobStrip.W, knobStrip.H / 31), -1, &knobStrip); }},
        {"IKnobRotatingMask", [&](int x, int y, int) { return new IKnobRotatingMaskControl(&plug, x, y, -1, &knob, &knob, &knob); }},
        {"IBitmapOverlayControl", [&](int x, int y, int) { return new IBitmapOverlayControl(&plug, x, y, -1, &overlay, box(x, y, 10, 10)); }},
        {"ITextControl", [&](int x, int y, int c) { return new ITextControl(&plug, box(x, y, S(110), S(40)), &small, kStates[c]); }},
        {"ICaptionControl", [&](int x, int y, int c) { return new ICaptionControl(&plug, box(x, y, S(110), S(40)), c, &small, true); }},
        {"IURLControl (none)", [&](int x, int y, int) { return new IURLControl(&plug, box(x, y, S(60), S(24)), "http://example.org"); }},
        {"IFileSelectorControl", [&](int x, int y, int) { return new IFileSelectorControl(&plug, box(x, y, button.W, button.H / 2), -1, &button, kFileOpen); }},
        {"IBitmapTextControl", [&](int x, int y, int c) { return new IBitmapTextControl(&plug, box(x, y, S(120), S(20)), &font, kStates[c], nullptr, font.W, font.H / 95); }},
        {"ProgressIndicator", [&](int x, int y, int) { return new ProgressIndicator(layer, &plug, x, y, S(110), S(44), -1, &overlay, IRECT()); }},
    };
    int r = 0;
    for (const auto& row : rows) {
        int y = S(kHeaderH + r++ * kCellH);
        g.AttachControl(new ITextControl(&plug, IRECT(S(8), y, S(kLabelW), y + S(kCellH)), &label, row.name));
        for (int c = 0; c < 5; ++c) {
            IControl* ctl = row.make(S(kLabelW + c * kCellW + 10), y + S(10), c);
            if (ctl->ParamIdx() >= 0) plug.GetParam(ctl->ParamIdx())->SetNormalized(kStateValues[c]);
            ctl->SetValue(kStateValues[c]);
            if (c >= 3) c == 3 ? ctl->GrayOut(true) : ctl->Hide(true);
            if (!dynamic_cast<ProgressIndicator*>(ctl)) g.AttachControl(ctl);
        }
    }
}

} // namespace

TEST(ControlSheets, EveryClassDrawsItsFiveStatesAtEachScale)
{
    testsupport::TempDir dir("qorsheet");
    MakeBitmaps(dir.path);
    const double scales[] = {0.85, 1.0, 1.15};
    for (int s = 0; s < 3; ++s) {
        const double scale = scales[s];
        SurfacePlug plug(8);
        for (int i = 0; i < 5; ++i) {
            IParam* p = plug.GetParam(i);
            p->InitEnum("Wave", 0, 3, "osc");
            for (int w = 0; w < 3; ++w) p->SetDisplayText(w, kWaves[w]);
        }
        auto* g = new OffscreenGraphics(&plug, int((kLabelW + 5 * kCellW) * scale), int((kHeaderH + 19 * kCellH) * scale),
                                        dir.path);
        plug.AttachGraphics(g);
        BuildSheet(*g, plug, scale, 1000 + 100 * s);
        IRECT all(0, 0, g->Width(), g->Height()), after;
        ASSERT_TRUE(g->IsDirty(&after));
        ASSERT_TRUE(g->Draw(&all));
        char name[32];
        std::snprintf(name, sizeof name, "controls-%.2f.png", scale);
        ASSERT_TRUE(g->WriteScreenshot(name));
        // Panel row: full colour, half weight when grayed, background when hidden; switch row:
        // the accent frame at value 1; overlay row: closed at value 0, open at value 1.
        auto cell = [&](int row, int col, int dx, int dy) {
            return g->GetPoint(int((kLabelW + col * kCellW + 10 + dx) * scale), int((kHeaderH + row * kCellH + 10 + dy) * scale));
        };
        EXPECT_EQ(cell(0, 1, 50, 20), kPanel);
        EXPECT_NE(cell(0, 3, 50, 20), kPanel);
        EXPECT_NE(cell(0, 3, 50, 20), kBack);
        EXPECT_EQ(cell(0, 4, 50, 20), kBack);
        EXPECT_EQ(cell(2, 2, 30, 18), kAccent);
        EXPECT_NE(cell(2, 0, 30, 18), kAccent);
        EXPECT_EQ(cell(12, 0, 8, 30), kBack);
        EXPECT_NE(cell(12, 2, 8, 30), kBack);
        EXPECT_FALSE(g->IsDirty(&after)) << "nothing stays dirty after a full draw";
    }
}
