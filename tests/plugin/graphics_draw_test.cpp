// Drawing through the surface: frame offsets, blends, clipping, rotated masks, text styles and
// the process-wide bitmap and font caches.
#include <gtest/gtest.h>

#include <algorithm>

#include "graphics_offscreen.h"
#include "kit/plugin/IGraphicsStorage.h"
#include "kit/raster/rast_rect.h"
#include "support/tempdir.h"

namespace {

const IColor kRed(255, 255, 0, 0), kGreen(255, 0, 255, 0), kBlue(255, 0, 0, 255);

struct Canvas {
    OffscreenGraphics g{nullptr, 40, 40};
    Canvas(IRECT clip = IRECT(0, 0, 40, 40))
    {
        g.PrepDraw();
        g.AttachControl(new IPanelControl(nullptr, IRECT(0, 0, 40, 40), &COLOR_TRANSPARENT, kBlendCopy));
        g.Draw(&clip);
    }
};

} // namespace

TEST(GraphicsDraw, FramesAndClippingPickTheSourceRectangle)
{
    const IColor colors[] = {kRed, kGreen, kBlue};
    IBitmap b = MakeStrip(3, 10, 30, [&](int f) { return colors[f - 1]; });
    struct Case {
        int frame;
        IColor expect;
    };
    for (Case c : {Case{1, kRed}, Case{2, kGreen}, Case{3, kBlue}, Case{0, kRed}, Case{-4, kRed}}) {
        Canvas cv;
        IRECT d(0, 0, 10, 30);
        cv.g.DrawBitmap(&b, &d, c.frame);
        EXPECT_EQ(cv.g.GetPoint(5, 15), c.expect) << "frame " << c.frame;
    }
    Canvas clipped(IRECT(20, 20, 30, 30));
    IRECT d(0, 0, 20, 30);
    clipped.g.DrawBitmap(&b, &d, 1);
    EXPECT_EQ(clipped.g.GetPoint(19, 25), IColor(0, 0, 0, 0)) << "touching the right edge blits nothing";
    IRECT inside(15, 15, 25, 45);
    clipped.g.DrawBitmap(&b, &inside, 2);
    EXPECT_EQ(clipped.g.GetPoint(15, 15), IColor(0, 0, 0, 0)) << "outside the drawing rectangle";
    EXPECT_EQ(clipped.g.GetPoint(22, 22), kGreen);
    delete b.mData;
}

TEST(GraphicsDraw, BlendMethodsMapToCopyAddAndSourceAlpha)
{
    const IColor half(128, 200, 100, 0), under(255, 0, 50, 100);
    struct Case {
        int method;
        IColor expect;
    };
    // Weight 1: copy keeps the pixel whole, add and source alpha mix by its alpha.
    const Case cases[] = {{kBlendCopy, half}, {kBlendSourceAlpha, IColor(255, 100, 75, 50)},
                          {kBlendAdd, IColor(255, 100, 100, 100)}};
    for (const Case& c : cases) {
        Canvas cv;
        IRECT r(0, 0, 4, 4);
        cv.g.FillIRect(&under, &r);
        IChannelBlend blend(c.method);
        cv.g.FillIRect(&half, &r, &blend);
        IColor got = cv.g.GetPoint(1, 1);
        EXPECT_NEAR(got.R, c.expect.R, 1) << c.method;
        EXPECT_NEAR(got.G, c.expect.G, 1) << c.method;
        EXPECT_NEAR(got.B, c.expect.B, 1) << c.method;
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
    struct Case {
        double degrees;
        int px, py;
    };
    for (const Case& c : {Case{0.0, 10, 3}, Case{90.0, 17, 10}}) {
        Canvas cv;
        cv.g.DrawRotatedMask(&b, &m, nullptr, 5, 5, c.degrees);
        IColor tip = cv.g.GetPoint(5 + c.px, 5 + c.py);
        EXPECT_GT(tip.R, 150) << c.degrees;
        EXPECT_EQ(cv.g.GetPoint(5 + c.py, 5 + c.px).R, 0) << "where the pointer was not turned to";
        EXPECT_EQ(cv.g.GetPoint(5 + 10, 5 + 18).A, 0) << "the base shows only under the mask";
    }
    Canvas cv;
    EXPECT_TRUE(cv.g.DrawRotatedMask(nullptr, &m, nullptr, 0, 0, 10.0));
    EXPECT_TRUE(cv.g.DrawRotatedMask(&b, nullptr, nullptr, 0, 0, 10.0));
    IBitmap empty;
    EXPECT_TRUE(cv.g.DrawBitmap(&empty, nullptr, 1));
    delete base;
    delete mask;
}

TEST(GraphicsDraw, TextStylesShareFontsAndMeasureByAlignment)
{
    Canvas cv;
    const IColor ink(255, 250, 250, 250), faint(128, 250, 250, 250);
    IText a(14, &ink, "DejaVu Sans"), b(14, &faint, "DejaVu Sans");
    IRECT r(0, 0, 40, 40);
    int brightest[2] = {0, 0};
    IText* styles[2] = {&a, &b};
    for (int i = 0; i < 2; ++i) {
        Canvas one;
        const IColor black(255, 0, 0, 0);
        one.g.FillIRect(&black, &r);
        ASSERT_TRUE(one.g.DrawIText(styles[i], "W", &r));
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x) brightest[i] = std::max(brightest[i], one.g.GetPoint(x, y).R);
    }
    EXPECT_GT(brightest[0], 200);
    EXPECT_NEAR(brightest[1], brightest[0] / 2, 20) << "alpha 128 draws at about half strength";
    EXPECT_NE(a.mCached, nullptr);
    EXPECT_EQ(a.mCached, b.mCached) << "styles that differ only in colour share one font";
    EXPECT_TRUE(cv.g.DrawIText(&a, "", &r));

    struct Case {
        int align;
        IRECT in;
    };
    int width = 0;
    for (Case c : {Case{IText::kAlignNear, IRECT(10, 5, 90, 30)}, Case{IText::kAlignCenter, IRECT(10, 5, 90, 30)},
                   Case{IText::kAlignFar, IRECT(10, 5, 90, 30)}}) {
        IText t(14, &ink, "DejaVu Sans", IText::kStyleNormal, c.align);
        IRECT m = c.in;
        ASSERT_TRUE(cv.g.MeasureIText(&t, "Wave", &m));
        if (!width) width = m.W();
        EXPECT_EQ(m.W(), width) << c.align;
        EXPECT_GT(m.H(), 0);
        EXPECT_EQ(m.L, c.align == IText::kAlignNear ? 10 : c.align == IText::kAlignFar ? 90 - width : 50 - width / 2);
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
    EXPECT_EQ(first.W, 8);
    EXPECT_EQ(first.H, 12);
    IBitmap again = g.LoadIBitmap(77001, "other.png", 0.5, 1);
    EXPECT_EQ(again.mData, first.mData) << "a cached id ignores scale and name";
    EXPECT_EQ(g.getImageById(77001, 3).H, 12);

    int before = BitmapStorage::Instance().Count();
    IBitmap scaled = g.ScaleBitmap(&first, 3, 3);
    EXPECT_EQ(BitmapStorage::Instance().Count(), before + 1);
    g.ReleaseBitmap(&scaled);
    g.ReleaseBitmap(&first);
    EXPECT_EQ(BitmapStorage::Instance().Count(), before - 1);
    EXPECT_EQ(g.getImageById(77001).mData, nullptr);
    g.ReleaseBitmap(&missing); // not cached: nothing happens
}
