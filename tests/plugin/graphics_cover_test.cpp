// A page image that covers most of the surface lets the background leave out what the page's
// opaque pixels will hide. Every redraw must still equal the same scene drawn without that
// shortcut, pixel for pixel, whatever the surface held before.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "graphics_offscreen.h"
#include "kit/plugin/IGraphicsStorage.h"

namespace {

// Large enough for the surface to look for a cover at all.
const int kW = 200, kH = 120, kPageX = 6, kPageY = 7, kPageW = 150, kPageH = 90;

// The page's pattern, with holes of its own: a clear pixel, a half-clear one, a row of 200 and
// a clear column inside row 11, all where the background must show through.
void PaintPage(RAST_IBitmap* bm, int w, int h, int holeColumn)
{
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            int a = 255;
            if ((x == 3 && y == 2) || (x == holeColumn && y > 3)) a = 0;
            if (x == 20 && y == 5) a = 128;
            if (y == 9) a = 200;
            if (y == 11 && x > 12) a = 0;
            bm->getBits()[y * bm->getRowSpan() + x] = RAST_MakePixel(x, 50 + y, 7 * x + y, a);
        }
}

class SceneGraphics : public OffscreenGraphics {
public:
    using OffscreenGraphics::OffscreenGraphics;
    RAST_IBitmap* OSLoadBitmap(int, const char* name) override
    {
        if (std::string(name) == "page") {
            auto* bm = new RAST_MemBitmap(kPageW, kPageH, 4);
            PaintPage(bm, kPageW, kPageH, 100);
            return bm;
        }
        auto* bm = new RAST_MemBitmap(kW, kH, 4);
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) bm->getBits()[y * bm->getRowSpan() + x] = RAST_MakePixel(x, 2 * y, 100, 255);
        return bm;
    }
};

// The background, a half-clear panel on top, then the page layer: the page image first, a
// panel over it. Without the shortcut a hidden control stands before the page image, which is
// then not the layer's first.
struct Scene {
    SceneGraphics g{nullptr, kW, kH};
    ControlLayer* page = new ControlLayer(0, "page");
    IControl* screen = nullptr;
    Scene(int ids, bool shortcut)
    {
        g.PrepDraw();
        IColor tint(120, 250, 10, 10), ink(255, 10, 240, 10);
        g.AttachControl(new IPanelControl(nullptr, IRECT(2, 2, 130, 40), &tint));
        ControlLayer* root = new ControlLayer(0, "root");
        root->childLayers.Add(page);
        if (!shortcut) page->controls.Add(screen = new IPanelControl(nullptr, IRECT(0, 0, 1, 1), &ink));
        IBitmap image = g.LoadIBitmap(ids + 1, "page", 1.0);
        page->controls.Add(new IBitmapControl(nullptr, kPageX, kPageY, -1, &image));
        page->controls.Add(new IPanelControl(nullptr, IRECT(8, 9, 60, 50), &ink));
        g.AttachLayer(root);
        g.AttachBackground(ids, "bg", 1.0);
        root->Hide(false);
        if (screen) screen->Hide(true);
    }
    // The page image control, replaced by one over image.
    void SetPage(IBitmap* image)
    {
        const int at = screen ? 1 : 0;
        page->controls.Delete(at, true);
        page->controls.Insert(at, new IBitmapControl(nullptr, kPageX, kPageY, -1, image));
    }
    IControl* Page() { return page->controls.Get(screen ? 1 : 0); }
    // Draws r over a surface filled with a colour no scene has.
    void Redraw(IRECT r)
    {
        RAST_FillRect(g.GetDrawBitmap(), 0, 0, kW, kH, RAST_MakePixel(1, 2, 3, 4), 1.0f, 0);
        g.Draw(&r);
    }
};

// Hides a layer while it is drawn, once: as another thread switching pages in the middle of a
// redraw would, after the background but before the layers.
class Hider : public IControl {
public:
    Hider(ControlLayer* layer) : IControl(nullptr, IRECT(0, 0, 1, 1)), mLayer(layer) {}
    bool Draw(IGraphics*) override
    {
        if (mLayer) mLayer->Hide(true);
        mLayer = nullptr;
        return true;
    }

private:
    ControlLayer* mLayer;
};

// The first pixel where the two surfaces differ, or "" when none does.
std::string FirstDifference(Scene& a, Scene& b)
{
    RAST_IBitmap *x = a.g.GetDrawBitmap(), *y = b.g.GetDrawBitmap();
    for (int row = 0; row < kH; ++row)
        for (int col = 0; col < kW; ++col) {
            const unsigned p = x->getBits()[row * x->getRowSpan() + col], q = y->getBits()[row * y->getRowSpan() + col];
            if (p != q) return "at " + std::to_string(col) + "," + std::to_string(row);
        }
    return "";
}

} // namespace

TEST(GraphicsCover, ABackgroundLeftOutUnderAPageImageGivesTheSamePixelsAsOneDrawnWhole)
{
    const struct {
        const char* what;
        IRECT rect;
        bool grayed;
    } cases[] = {
        {"the whole surface", IRECT(0, 0, kW, kH), false},
        {"a rectangle across the page's edge", IRECT(40, 4, 190, 100), false},
        {"a rectangle around the page's clear column", IRECT(60, 20, 200, 90), false},
        {"a grayed page, drawn at half weight", IRECT(0, 0, kW, kH), true},
    };
    int ids = 78100;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Scene fast(ids, true), whole(ids, false);
        ids += 10;
        for (Scene* s : {&fast, &whole}) {
            s->Page()->GrayOut(c.grayed);
            s->Redraw(c.rect);
        }
        EXPECT_EQ(FirstDifference(fast, whole), "");
    }
}

TEST(GraphicsCover, APageImageOfAnotherSizeIsScannedAgain)
{
    // The held image grows and is painted anew, its clear column where it was opaque before.
    Scene fast(78200, true), whole(78200, false);
    for (Scene* s : {&fast, &whole}) s->Redraw(IRECT(0, 0, kW, kH));
    ASSERT_EQ(FirstDifference(fast, whole), "");
    RAST_IBitmap* held = BitmapStorage::Instance().Find(78201);
    ASSERT_NE(held, nullptr);
    held->resize(kPageW + 10, kPageH);
    PaintPage(held, kPageW + 10, kPageH, 40);
    IBitmap image(held, kPageW + 10, kPageH);
    for (Scene* s : {&fast, &whole}) {
        s->SetPage(&image);
        s->Redraw(IRECT(0, 0, kW, kH));
    }
    EXPECT_EQ(FirstDifference(fast, whole), "");
}

TEST(GraphicsCover, APageHiddenDuringARedrawLeavesNoHoleInTheBackground)
{
    // The background was left out beneath the page: the page is drawn as it was then, and the
    // next redraw shows the page gone.
    Scene fast(78300, true), whole(78300, false);
    fast.g.AttachControl(new Hider(fast.page));
    fast.Redraw(IRECT(0, 0, kW, kH));
    const RAST_PixelValue fill = RAST_MakePixel(1, 2, 3, 4);
    RAST_IBitmap* bm = fast.g.GetDrawBitmap();
    int holes = 0;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) holes += bm->getBits()[y * bm->getRowSpan() + x] == fill;
    EXPECT_EQ(holes, 0);
    whole.page->Hide(true);
    for (Scene* s : {&fast, &whole}) s->Redraw(IRECT(0, 0, kW, kH));
    EXPECT_EQ(FirstDifference(fast, whole), "");
}
