// The attribute parsers, the buttons' keys and the radio buttons cut from one strip.
#include "Project_Source/src/ICustomRadioButtonsControl.h"
#include "config_creators_support.h"

#include <gtest/gtest.h>

using namespace creatortest;
using Ints = std::vector<int>;

TEST(Lookups, ListsFillOnlyTheirNumberedSlotsAndLinksAddThePartToRegisteredNames)
{
    Bench b;
    b.manager.initParams();
    const struct {
        const char* text;
        int count;
        Ints values;
    } lists[] = {{"10,20", 4, {10, 20, 9, 9}}, {"10,,20", 3, {10, 20, 9}}, {"x,5", 2, {9, 5}},
                 {" 7,12px", 2, {7, 12}},      {"1,2,3", 2, {1, 2}},       {"", 2, {9, 9}},
                 {"99999999999,4", 2, {9, 4}}};
    for (const auto& r : lists) {
        Ints v(size_t(r.count), 9);
        b.manager.getCSValues(r.text, v.data(), r.count);
        EXPECT_EQ(v, r.values) << r.text;
    }
    const struct {
        const char* text;
        int part;
        Ints link;
    } links[] = {{"kFilterCutoff", 3, {-1, -1, -1}},
                 {"kFilterCutoff,kFilterResonance", -1, {1504, 1520, -1}},
                 {"kFilterCutoff,kFilterResonance", 2, {1506, 1522, -1}},
                 {"kFilterCutoff,kFilterResonance,3", 0, {1504, 1520, 3}},
                 {"kFilterCutoff,kFilterResonance,3,4", 0, {1504, 1520, -1}},
                 {"kNoSuchName,kFilterResonance", 2, {-1, 1522, -1}}};
    for (const auto& r : links) {
        Ints link(3, 7);
        b.manager.getBiDirectLinkValues(r.text, link.data(), r.part);
        EXPECT_EQ(link, r.link) << r.text << " " << r.part;
    }
}

TEST(RadioButtons, ButtonsAreSlicesOfTheStripAndOnlyTheSelectedOneShowsFrameTwo)
{
    Bench b;
    // Button i of frame f is red 40 * (i + 1), green 100 * f.
    auto* strip = new RAST_MemBitmap(200, 60, 4);
    for (int f = 0; f < 2; ++f)
        for (int i = 0; i < 4; ++i)
            RAST_FillRect(strip, 50 * i, 30 * f, 50, 30, IColorToPixel(IColor(255, 40 * (i + 1), 100 * f, 0)), 1.0f, 0);
    IBitmap bitmap(strip, 200, 60, 2);
    auto* radio = new ICustomRadioButtonsControl(&b.plug, IRECT(10, 20, 210, 50), 1, 4, &bitmap, kHorizontal);
    b.surface->AttachControl(radio);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(*radio->ButtonRECT(i), IRECT(10 + 50 * i, 20, 60 + 50 * i, 50));
    radio->GrayOut(true);
    for (double v : {0.5, 0.49, -1.0, 2.0}) {
        radio->SetValue(v);
        b.surface->Draw(nullptr);
        const int selected = v == 0.5 ? 2 : v == 0.49 ? 1 : v < 0 ? 0 : 3;
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(b.surface->GetPoint(35 + 50 * i, 35), IColor(255, 40 * (i + 1), i == selected ? 100 : 0, 0)) << v;
    }
    const IMouseMod left(true), right(false, true);
    const struct {
        int x;
        const IMouseMod* mod;
        double value;
    } clicks[] = {{185, &left, 1.0}, {215, &left, 1.0}, {40, &right, 1.0}, {40, &left, 0.0}};
    radio->GrayOut(false);
    for (const auto& c : clicks) {
        radio->OnMouseDown(c.x, 30, const_cast<IMouseMod*>(c.mod));
        radio->OnMouseDblClick(c.x, 30, const_cast<IMouseMod*>(c.mod));
        EXPECT_EQ(radio->GetValue(), c.value) << c.x;
    }
    delete strip;
}
