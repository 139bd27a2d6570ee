// The editor surface: dirty union, cleaning, redraw-again, draw and hit order, layers, the one
// path from parameter values to the controls; drawing with frames, blends, clipping, rotated
// masks, text styles and the process-wide bitmap and font caches.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "graphics_offscreen.h"
#include "kit/plugin/IGraphicsStorage.h"
#include "support/tempdir.h"

namespace {

// Draws nothing and logs its tag when drawn.
class CountingControl : public IControl {
public:
    CountingControl(IPluginBase* plug, IRECT r, int param, std::vector<int>* log, int tag)
        : IControl(plug, r, param), mLog(log), mTag(tag)
    {
    }
    bool Draw(IGraphics*) override
    {
        mLog->push_back(mTag);
        return true;
    }

private:
    std::vector<int>* mLog;
    int mTag;
};

struct Surface {
    SurfacePlug plug{8};
    OffscreenGraphics* g = new OffscreenGraphics(&plug, 200, 100);
    std::vector<int> drawn;
    IRECT all{0, 0, 200, 100};
    Surface()
    {
        plug.AttachGraphics(g);
        Add(all, 0); // background
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
        g->Draw(&all);
        g->Draw(&all); // a second pass takes the redraw-again frame
        drawn.clear();
    }
};

const IColor kRed(255, 255, 0, 0), kGreen(255, 0, 255, 0), kBlue(255, 0, 0, 255), kNone(0, 0, 0, 0);

struct Canvas {
    OffscreenGraphics g{nullptr, 40, 40};
    explicit Canvas(IRECT clip = IRECT(0, 0, 40, 40))
    {
        g.PrepDraw();
        g.AttachControl(new IPanelControl(nullptr, IRECT(0, 0, 40, 40), &COLOR_TRANSPARENT, kBlendCopy));
        g.Draw(&clip);
    }
};

} // namespace

TEST(GraphicsSurface, DirtyRectanglesUniteVisibleControlsAndDrawingCleansThem)
{
    // A dirty background alone reports nothing, a hidden control only with ignore-hidden, and an
    // all-zero rectangle widens nothing.
    const struct { IRECT rect; bool hidden, ignoreHidden; IRECT expect; } cases[] = {
        {IRECT(10, 10, 20, 20), false, false, IRECT(5, 5, 20, 20)},
        {IRECT(10, 10, 20, 20), true, false, IRECT(5, 5, 8, 8)},
        {IRECT(10, 10, 20, 20), true, true, IRECT(5, 5, 20, 20)},
        {IRECT(), false, false, IRECT(5, 5, 8, 8)},
    };
    for (const auto& c : cases) {
        Surface s;
        CountingControl* base = s.Add(IRECT(5, 5, 8, 8), 1);
        CountingControl* ctl = s.Add(c.rect, 2);
        s.CleanAll();
        IRECT r;
        s.g->GetControl(0)->SetDirty(false);
        EXPECT_FALSE(s.g->IsDirty(&r));
        s.CleanAll();
        base->SetDirty(false);
        ctl->SetDirty(false);
        ctl->Hide(c.hidden);
        ctl->SetIgnoreHidden(c.ignoreHidden);
        EXPECT_TRUE(s.g->IsDirty(&r));
        EXPECT_EQ(r, c.expect) << c.hidden << c.ignoreHidden;
        s.CleanAll();
        EXPECT_FALSE(ctl->IsDirty()) << "drawing cleans, hidden or not";
    }
}

TEST(GraphicsSurface, DrawMeetsInclusiveEdgesInOrderAndAValueFromThePlugInRedrawsOneFrameMore)
{
    Surface s;
    s.Add(IRECT(50, 0, 60, 10), 1); // left edge on the drawing rectangle's right edge: drawn
    s.Add(IRECT(30, 0, 40, 10), 2); // right edge on its left edge: not drawn
    s.Add(IRECT(45, 0, 48, 10), 3);
    ControlLayer* layer = new ControlLayer(0, "page");
    s.g->AttachLayer(layer);
    layer->Hide(false);
    s.Add(IRECT(41, 0, 44, 5), 4, -1, layer);
    IRECT r(40, 0, 50, 10);
    EXPECT_TRUE(s.g->Draw(&r));
    EXPECT_EQ(s.drawn, (std::vector<int>{0, 1, 3, 4}));
    CountingControl* c = s.Add(IRECT(10, 10, 20, 20), 5, 3);
    c->SetValueFromPlug(0.3);
    EXPECT_EQ(c->GetDefaultValue(), 0.3) << "the first value becomes the default";
    s.CleanAll();
    c->SetValueFromPlug(0.3);
    EXPECT_FALSE(c->IsDirty()) << "the same value changes nothing";
    // Either outside path: a value landing between Draw and SetClean survives the clean.
    const struct {
        void (IControl::*set)(double);
        const char* path;
    } paths[] = {{&IControl::SetValueFromPlug, "plug-in"}, {&IControl::SetValueFromHardware, "hardware"}};
    double v = 0.3;
    for (const auto& p : paths) {
        s.CleanAll();
        (c->*p.set)(v += 0.2);
        c->SetClean();
        EXPECT_TRUE(c->IsDirty()) << p.path << ": redraw-again keeps it for one more frame";
        c->SetClean();
        EXPECT_FALSE(c->IsDirty()) << p.path;
    }
}

TEST(GraphicsSurface, LayersHitChildrenFirstAndAHiddenLayerNeitherReportsNorDraws)
{
    Surface s;
    ControlLayer* root = new ControlLayer(0, "root");
    ControlLayer* child0 = new ControlLayer(0, "p0");
    root->childLayers.Add(child0);
    root->childLayers.Add(new ControlLayer(1, "p1"));
    s.g->AttachLayer(root);
    s.Add(IRECT(0, 0, 100, 100), 1);
    CountingControl* own = s.Add(IRECT(0, 0, 50, 50), 2, -1, root);
    CountingControl* inChild = s.Add(IRECT(0, 0, 50, 50), 3, -1, child0);
    root->selectedChildId = 7; // matches no child
    root->Hide(false);
    EXPECT_FALSE(child0->IsVisible());
    EXPECT_EQ(root->isHit(10, 10), own);
    root->selectedChildId = 0;
    root->Hide(false);
    inChild->GrayOut(true);
    EXPECT_EQ(root->isHit(10, 10), inChild) << "children before own controls, grayed ones too";
    EXPECT_EQ(root->getControlFromParam(-1), inChild);
    EXPECT_EQ(root->isHit(80, 80), nullptr);
    root->GrayOutCustomZone(true, 5);
    EXPECT_EQ(root->selectedChildId, 5);
    s.CleanAll();
    root->Hide(true);
    inChild->SetDirty(false);
    IRECT r;
    EXPECT_FALSE(s.g->IsDirty(&r)) << "a hidden layer reports nothing, children included";
    root->setIgnoreHiddenWhenUpdatingScreen(true);
    own->SetDirty(false);
    EXPECT_TRUE(s.g->IsDirty(&r)) << "its first control carries the flag now";
    s.drawn.clear();
    s.g->Draw(&s.all);
    EXPECT_EQ(s.drawn, (std::vector<int>{0, 1})) << "a hidden layer draws nothing";
    child0->Hide(false);
    s.drawn.clear();
    s.g->Draw(&s.all);
    EXPECT_EQ(s.drawn, (std::vector<int>{0, 1, 3})) << "a visible child of a hidden layer still draws";
    // Showing and ungraying bring back only the selected child; the other keeps its state.
    CountingControl* inOther = s.Add(IRECT(0, 0, 5, 5), 4, -1, root->childLayers.Get(1));
    root->Hide(true);
    root->GrayOut(true);
    root->selectedChildId = 1;
    root->Hide(false);
    root->GrayOut(false);
    EXPECT_EQ(std::vector<bool>({child0->IsVisible(), inChild->IsHidden(), inChild->IsGrayed()}),
              std::vector<bool>({false, true, true}));
    EXPECT_EQ(std::vector<bool>({root->childLayers.Get(1)->IsVisible(), inOther->IsHidden(), inOther->IsGrayed()}),
              std::vector<bool>({true, false, false}));
}

TEST(GraphicsSurface, ShowingOrHidingALayerMarksEveryControlBelowItOnce)
{
    // Counts the marks a control is given.
    struct Marked : CountingControl {
        using CountingControl::CountingControl;
        void SetDirty(bool push) override
        {
            ++marks;
            CountingControl::SetDirty(push);
        }
        int marks = 0;
    };
    Surface s;
    ControlLayer* root = new ControlLayer(0, "root");
    ControlLayer* shown = new ControlLayer(0, "shown");
    ControlLayer* left = new ControlLayer(1, "left");
    ControlLayer* deep = new ControlLayer(0, "deep");
    root->childLayers.Add(shown);
    root->childLayers.Add(left);
    left->childLayers.Add(deep);
    s.g->AttachLayer(root);
    root->selectedChildId = 0;
    const std::vector<std::pair<const char*, ControlLayer*>> where = {
        {"own", root}, {"selected child", shown}, {"child left as it is", left}, {"its child", deep}};
    std::vector<Marked*> controls;
    for (const auto& w : where) {
        auto* c = new Marked(&s.plug, IRECT(0, 0, 10, 10), -1, &s.drawn, 1);
        w.second->controls.Add(c);
        controls.push_back(c);
    }
    for (bool hide : {true, false}) {
        s.CleanAll();
        for (Marked* c : controls) c->marks = 0;
        root->Hide(hide);
        for (size_t i = 0; i < where.size(); ++i) {
            EXPECT_EQ(controls[i]->marks, 1) << where[i].first << (hide ? " hiding" : " showing");
            EXPECT_TRUE(controls[i]->IsDirty()) << where[i].first << (hide ? " hiding" : " showing");
        }
    }
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
    s.g->SetParameterFromPlug(2, 15.0, false);
    EXPECT_EQ(s.plug.GetParam(2)->Value(), 10.0) << "stored clamped to the maximum";
    EXPECT_EQ(top->GetValue() + onLayer->GetValue() + aux->GetAuxParam(0)->mValue, 3.0) << "hidden layers too";
    s.g->SetParameterFromPlug(2, std::nan(""), true);
    EXPECT_EQ(top->GetValue(), 1.0) << "a value that is not a number moves nothing";
    EXPECT_TRUE(s.plug.changes.empty());
    s.g->Resize(300, 120);
    EXPECT_EQ(s.g->NControls() * 10 + s.g->NLayers(), 1);
    EXPECT_EQ(s.g->GetDrawBitmap()->getWidth(), 300);
}

TEST(GraphicsDraw, FramesAndClippingPickTheSourceRectangle)
{
    const IColor colors[] = {kRed, kGreen, kBlue};
    IBitmap b = MakeStrip(3, 10, 30, [&](int f) { return colors[f - 1]; });
    // Frames 2 and 3 start at y 30 and 60; counts below 1 count as 1.
    const struct { int frame; IColor expect; } cases[] = {{2, kGreen}, {3, kBlue}, {0, kRed}};
    for (const auto& c : cases) {
        Canvas cv;
        IRECT d(0, 0, 10, 30);
        cv.g.DrawBitmap(&b, &d, c.frame);
        EXPECT_EQ(cv.g.GetPoint(5, 15), c.expect) << "frame " << c.frame;
    }
    Canvas clipped(IRECT(20, 20, 30, 30));
    IRECT d(0, 0, 20, 30), inside(15, 15, 25, 45);
    clipped.g.DrawBitmap(&b, &d, 1);
    EXPECT_EQ(clipped.g.GetPoint(19, 25), kNone) << "touching the right edge blits nothing";
    clipped.g.DrawBitmap(&b, &inside, 2);
    EXPECT_EQ(clipped.g.GetPoint(15, 15), kNone) << "outside the drawing rectangle";
    EXPECT_EQ(clipped.g.GetPoint(22, 22), kGreen);
    IBitmap empty;
    EXPECT_TRUE(clipped.g.DrawBitmap(&empty, nullptr, 1));
    delete b.mData;
}

TEST(GraphicsDraw, BlendMethodsMapToCopyAddAndSourceAlpha)
{
    const IColor half(128, 200, 100, 0), under(255, 0, 50, 100);
    // Weight 1: copy keeps the pixel whole, add and source alpha mix by its alpha.
    const struct { int method; IColor expect; } cases[] = {
        {kBlendCopy, half}, {kBlendSourceAlpha, IColor(255, 100, 75, 50)}, {kBlendAdd, IColor(255, 100, 100, 100)}};
    for (const auto& c : cases) {
        Canvas cv;
        IRECT r(0, 0, 4, 4);
        cv.g.FillIRect(&under, &r);
        IChannelBlend blend(c.method);
        cv.g.FillIRect(&half, &r, &blend);
        IColor got = cv.g.GetPoint(1, 1);
        EXPECT_LE(std::abs(got.R - c.expect.R) + std::abs(got.G - c.expect.G) + std::abs(got.B - c.expect.B), 3) << c.method;
    }
}

TEST(GraphicsDraw, RotatedMaskTurnsThePointerAndNullPartsSkipTheirStep)
{
    auto* base = new RAST_MemBitmap(21, 21, 4);
    auto* mask = new RAST_MemBitmap(21, 21, 4);
    RAST_FillRect(base, 0, 0, 21, 21, IColorToPixel(IColor(255, 0, 0, 90)), 1.0f, 0);
    RAST_FillRect(mask, 0, 0, 21, 21, 0, 1.0f, 0);
    RAST_FillRect(mask, 8, 1, 5, 8, IColorToPixel(IColor(255, 200, 0, 0)), 1.0f, 0); // pointer up
    IBitmap b(base, 21, 21), m(mask, 21, 21);
    const struct { double degrees; int px, py; } cases[] = {{0.0, 10, 3}, {90.0, 17, 10}};
    for (const auto& c : cases) {
        Canvas cv;
        cv.g.DrawRotatedMask(&b, &m, nullptr, 5, 5, c.degrees);
        EXPECT_GT(cv.g.GetPoint(5 + c.px, 5 + c.py).R, 150) << c.degrees;
        EXPECT_EQ(cv.g.GetPoint(5 + c.py, 5 + c.px).R, 0) << "where the pointer was not turned to";
        EXPECT_EQ(cv.g.GetPoint(5 + 10, 5 + 18).A, 0) << "the base shows only under the mask";
    }
    Canvas cv;
    EXPECT_TRUE(cv.g.DrawRotatedMask(nullptr, &m, nullptr, 0, 0, 10.0));
    EXPECT_TRUE(cv.g.DrawRotatedMask(&b, nullptr, nullptr, 0, 0, 10.0));
    delete base;
    delete mask;
}

TEST(GraphicsDraw, TextStylesShareFontsAndMeasureByAlignment)
{
    const IColor ink(255, 250, 250, 250), faint(128, 250, 250, 250), black(255, 0, 0, 0);
    IText a(14, &ink, "DejaVu Sans"), b(14, &faint, "DejaVu Sans");
    IRECT r(0, 0, 40, 40);
    int brightest[2] = {0, 0};
    IText* styles[2] = {&a, &b};
    for (int i = 0; i < 2; ++i) {
        Canvas one;
        one.g.FillIRect(&black, &r);
        ASSERT_TRUE(one.g.DrawIText(styles[i], "W", &r));
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x) brightest[i] = std::max(brightest[i], one.g.GetPoint(x, y).R);
    }
    EXPECT_GT(brightest[0], 200);
    EXPECT_NEAR(brightest[1], brightest[0] / 2, 20) << "alpha 128 draws at about half strength";
    EXPECT_NE(a.mCached, nullptr);
    EXPECT_EQ(a.mCached, b.mCached) << "styles that differ only in colour share one font";
    IText bigger(15, &ink, "DejaVu Sans"), bold(14, &ink, "DejaVu Sans", IText::kStyleBold);
    for (IText* other : {&bigger, &bold}) {
        Canvas one;
        ASSERT_TRUE(one.g.DrawIText(other, "W", &r));
        EXPECT_NE(other->mCached, a.mCached) << "size " << other->mSize << ", style " << other->mStyle;
    }
    EXPECT_NE(bigger.mCached, bold.mCached);
    // Top, middle and bottom: the ink's first row moves down the rectangle in that order.
    int firstRow[3] = {-1, -1, -1};
    const int vAligns[3] = {IText::kVAlignTop, IText::kVAlignMiddle, IText::kVAlignBottom};
    for (int i = 0; i < 3; ++i) {
        Canvas one;
        one.g.FillIRect(&black, &r);
        IText t(14, &ink, "DejaVu Sans", IText::kStyleNormal, IText::kAlignCenter, vAligns[i]);
        ASSERT_TRUE(one.g.DrawIText(&t, "W", &r));
        for (int y = 39; y >= 0; --y)
            for (int x = 0; x < 40; ++x)
                if (one.g.GetPoint(x, y).R > 128) firstRow[i] = y;
    }
    EXPECT_TRUE(firstRow[0] >= 0 && firstRow[0] < 6) << firstRow[0];
    EXPECT_NEAR(firstRow[1], firstRow[0] + 13, 3) << "middle of a 40-pixel rectangle";
    EXPECT_NEAR(firstRow[2], firstRow[0] + 26, 3);
    Canvas cv;
    int width = 0;
    for (int align : {IText::kAlignNear, IText::kAlignCenter, IText::kAlignFar}) {
        IText t(14, &ink, "DejaVu Sans", IText::kStyleNormal, align);
        IRECT m(10, 5, 90, 30);
        ASSERT_TRUE(cv.g.MeasureIText(&t, "Wave", &m));
        if (!width) width = m.W();
        EXPECT_EQ(m.W(), width) << align;
        EXPECT_EQ(m.L, align == IText::kAlignNear ? 10 : align == IText::kAlignFar ? 90 - width : 50 - width / 2);
    }
}

TEST(GraphicsDraw, BitmapsLoadOnceRetryWhenMissingAndReleaseFromTheCache)
{
    testsupport::TempDir dir("qorbm");
    OffscreenGraphics g(nullptr, 10, 10, dir.path);
    IBitmap missing = g.LoadIBitmap(77001, "later.png", 1.0, 0);
    EXPECT_EQ(missing.mData, nullptr);
    EXPECT_EQ(missing.N, 1) << "frame counts below 1 count as 1";
    pngw::Image im;
    im.width = 4;
    im.height = 6;
    im.pixels.assign(24, {10, 20, 30, 255});
    pngw::writeFile(pngw::encode(im), dir.file("later.png"));
    IBitmap first = g.LoadIBitmap(77001, "later.png", 2.0, 3);
    ASSERT_NE(first.mData, nullptr) << "a missing image was not cached";
    EXPECT_EQ(first.W * 100 + first.H, 812);
    EXPECT_EQ(g.LoadIBitmap(77001, "other.png", 0.5, 1).mData, first.mData) << "a cached id ignores scale and name";
    EXPECT_EQ(g.getImageById(77001, 3).H, 12);
    int before = BitmapStorage::Instance().Count();
    IBitmap scaled = g.ScaleBitmap(&first, 3, 3);
    EXPECT_EQ(BitmapStorage::Instance().Count(), before + 1);
    for (IBitmap* held : {&first, &scaled, &scaled}) g.RetainBitmap(held);
    EXPECT_EQ(BitmapStorage::Instance().Count(), before + 1) << "one entry per bitmap, cached or retained twice";
    g.ReleaseBitmap(&scaled);
    g.ReleaseBitmap(&first);
    EXPECT_EQ(BitmapStorage::Instance().Count(), before - 1);
    EXPECT_EQ(g.getImageById(77001).mData, nullptr);
    g.ReleaseBitmap(&missing); // not cached: nothing happens
    // The background goes in front of what was attached, one frame of its image, copied.
    pngw::writeFile(pngw::encode(im), dir.file("back.png"));
    IColor clear(0, 0, 0, 0);
    g.AttachControl(new IPanelControl(nullptr, IRECT(0, 0, 1, 1), &clear));
    g.AttachBackground(77002, "back.png", 3.0);
    ASSERT_EQ(g.NControls(), 2);
    EXPECT_EQ(*g.GetControl(0)->GetRECT(), IRECT(0, 0, 12, 18));
    EXPECT_EQ(g.GetControl(0)->GetBlend()->mMethod, kBlendCopy);
    EXPECT_NE(dynamic_cast<IPanelControl*>(g.GetControl(1)), nullptr);
}

TEST(GraphicsDraw, TheOtherPrimitivesPutTheirPixelsWhereTheirCoordinatesSay)
{
    Canvas cv;
    IGraphics& g = cv.g;
    g.DrawPoint(&kRed, 2.4f, 3.6f);
    g.ForcePixel(&kGreen, 39, 39);
    g.ForcePixel(&kGreen, 40, 0); // off the surface: nothing
    IRECT frame(5, 5, 15, 10), box(20, 20, 30, 30);
    g.DrawRect(&kBlue, &frame);
    g.DrawVerticalLine(&kRed, &box, 0.25f);   // x = 20 + trunc(10 x 0.25)
    g.DrawHorizontalLine(&kGreen, &box, 0.25f); // y = 30 - trunc(10 x 0.25)
    g.DrawVerticalLine(&kBlue, &box, 7.0f);   // held to the right edge
    g.FillTriangle(&kRed, 0, 20, 8, 20, 0, 28);
    int xs[] = {10, 16, 16, 10}, ys[] = {32, 32, 38, 38};
    g.FillIConvexPolygon(&kGreen, xs, ys, 4);
    const struct { int x, y; IColor expect; } pixels[] = {
        {2, 4, kRed},    {2, 3, kNone},   {39, 39, kGreen}, {5, 5, kBlue},    {15, 10, kBlue},  {15, 5, kBlue},
        {5, 10, kBlue},  {10, 7, kNone},  {22, 21, kRed},   {21, 21, kNone},  {25, 28, kGreen}, {25, 27, kNone},
        {30, 25, kBlue}, {1, 21, kRed},   {7, 27, kNone},   {13, 35, kGreen}, {9, 35, kNone}};
    for (const auto& p : pixels) EXPECT_EQ(g.GetPoint(p.x, p.y), p.expect) << p.x << "," << p.y;

    // A rotated bitmap is centred on the point at its own size; the angle is in radians.
    auto* bar = new RAST_MemBitmap(10, 4, 4);
    RAST_FillRect(bar, 0, 0, 10, 4, IColorToPixel(kRed), 1.0f, 0);
    IBitmap b(bar, 10, 4);
    const struct { double angle; bool endsShown; } turns[] = {{0.0, true}, {1.5707963267948966, false}};
    for (const auto& t : turns) {
        Canvas turned;
        turned.g.DrawRotatedBitmap(&b, 20, 20, t.angle, 0);
        EXPECT_EQ(turned.g.GetPoint(20, 20), kRed) << t.angle;
        EXPECT_EQ(turned.g.GetPoint(16, 20) == kRed, t.endsShown) << t.angle;
        EXPECT_EQ(turned.g.GetPoint(14, 20), kNone) << t.angle;
    }
    delete bar;
}

TEST(GraphicsSurface, TopLevelControlsAreReachedByParameterAndTheArpeggiatorZonesGreyAboveTheLimit)
{
    Surface s;
    s.plug.GetParam(2)->InitInt("steps", 0, 0, 10);
    CountingControl* a = s.Add(IRECT(0, 0, 10, 10), 1, 2);
    CountingControl* b = s.Add(IRECT(10, 0, 20, 10), 2, 2);
    CountingControl* other = s.Add(IRECT(20, 0, 30, 10), 3, 3);
    auto* layer = new ControlLayer(9, "layer");
    s.g->AttachLayer(layer);
    CountingControl* onLayer = s.Add(IRECT(30, 0, 40, 10), 4, 2, layer);
    s.g->HideControl(2, true);
    s.g->GrayOutControl(3, true);
    EXPECT_TRUE(a->IsHidden() && b->IsHidden() && !other->IsHidden());
    EXPECT_TRUE(other->IsGrayed() && !a->IsGrayed());
    EXPECT_FALSE(onLayer->IsHidden()) << "layers are not visited";
    s.g->ClampControl(2, 2.0, 4.0, false); // plain values of the parameter's range
    a->SetValue(0.9);
    a->SetDirty(false);
    EXPECT_DOUBLE_EQ(a->GetValue(), 0.4);
    s.g->SetControlFromPlug(2, 0.7); // by position in the list: b, after the background and a
    s.g->SetControlFromPlug(99, 0.7);
    EXPECT_DOUBLE_EQ(b->GetValue(), 0.7);
    EXPECT_DOUBLE_EQ(other->GetValue(), 0.0);

    // Each step zone holds one probe control, which shows the zone's grey state.
    ControlLayer arp(0, "arp");
    std::vector<CountingControl*> probes;
    for (int id : {120, 130, 140, 152, 153}) {
        auto* zone = new ControlLayer(id, "step");
        probes.push_back(new CountingControl(&s.plug, IRECT(0, 0, 1, 1), -1, &s.drawn, id));
        zone->controls.Add(probes.back());
        arp.childLayers.Add(zone);
    }
    auto grayed = [&probes] {
        std::vector<bool> g;
        for (CountingControl* c : probes) g.push_back(c->IsGrayed());
        return g;
    };
    arp.GrayOutUserArp(true, 125, 130);
    EXPECT_EQ(arp.selectedChildId, 125);
    EXPECT_EQ(grayed(), (std::vector<bool>{false, false, true, true, false})) << "above 130, up to 152";
    arp.GrayOutUserArp(false, 119, 0);
    EXPECT_EQ(arp.selectedChildId, 119);
    EXPECT_EQ(grayed(), (std::vector<bool>{false, false, true, true, false})) << "an id outside 120..152 greys nothing";
}
