// Parameter values: kinds and ranges, step rounding, shapes, display words and host strings.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "kit/plugin/IParam.h"

namespace {

std::string Display(const IParam& p, double v, bool normalized = false, bool withText = true)
{
    char out[IParam::kDisplayTextLen];
    std::memset(out, 'x', sizeof out);
    p.GetDisplayForHost(v, normalized, out, withText);
    return out;
}

} // namespace

TEST(ParamInit, RangesKindsAndNamesAreSetUpWithinTheirFields)
{
    for (int n : {0, 1}) {
        IParam p;
        p.InitEnum("e", 0, n);
        EXPECT_EQ(p.GetMax(), 1.0) << "an enum of " << n << " entries still spans 0..1";
    }
    // An empty or inverted range is widened to one step; the default is not clamped.
    IParam p, d;
    p.InitInt("kInt", 5, 3, 3, "st", "grp", -1, -1);
    EXPECT_EQ(std::vector<double>({p.GetMin(), p.GetMax(), p.Value(), p.GetDefault()}), std::vector<double>({3, 4, 5, 5}));
    d.InitDouble("d", 0.0, 2.0, 1.0, 0.5);
    EXPECT_EQ(d.GetMax(), 2.5);
    // The text kind survives a later range, and always wins.
    IParam t, u;
    t.InitText();
    t.InitInt("t", 0, 0, 15);
    u.InitInt("i", 0, 0, 15);
    u.InitText();
    EXPECT_TRUE(t.Type() == IParam::kTypeText && u.Type() == IParam::kTypeText && t.GetMax() == 15.0);
    std::string longText(300, 'n');
    IParam l, e;
    l.InitInt(longText.c_str(), 0, 0, 1, longText.c_str(), longText.c_str());
    for (const char* cut : {l.GetNameForHost(), l.GetParamGroupForHost(), l.GetLabelForHost()}) EXPECT_EQ(std::strlen(cut), 54u);
    e.InitDouble(nullptr, 0.0, 0.0, 1.0, 0.1, nullptr, nullptr);
    EXPECT_STREQ(e.GetNameForHost(), "");
}

TEST(ParamValues, SetNormalizedRoundsIntegersOnlyClampsAboveButNotBelowAndMapsNotANumberToTheMaximum)
{
    // Both run 0..10; a negative base with a fractional shape gives not-a-number.
    const struct { bool integer; double shape, x, value; } table[] = {
        {true, 1.0, 0.54, 5.0},   {true, 1.0, 0.96, 10.0}, {true, 1.0, 1.2, 10.0},
        {true, 1.0, -0.2, -2.0},  {false, 1.0, 0.54, 5.4}, {false, 0.5, -0.5, 10.0},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(std::to_string(row.integer) + " " + std::to_string(row.shape) + " " + std::to_string(row.x));
        IParam p;
        if (row.integer)
            p.InitInt("i", 0, 0, 10);
        else
            p.InitDouble("d", 0.0, 0.0, 10.0, row.shape == 1.0 ? 1.0 : 0.1);
        p.SetShape(row.shape);
        p.SetNormalized(row.x);
        EXPECT_DOUBLE_EQ(p.Value(), row.value);
    }
}

TEST(ParamValues, AnEmptyRangeNormalizesToZeroInsteadOfDividingByZero)
{
    IParam p;
    p.InitDouble("flat", 3.0, 3.0, 3.0, 0.0);
    ASSERT_EQ(p.GetMin(), p.GetMax());
    EXPECT_EQ(p.GetNormalized(), 0.0);
    EXPECT_EQ(p.GetNormalized(7.0), 0.0);
    p.SetShape(3.0);
    EXPECT_FALSE(std::isnan(p.GetNormalized(1.0)));
    p.SetNormalized(0.7);
    EXPECT_EQ(p.Value(), 3.0);
    IParam i; // integers land on every step of a normalized round trip
    i.InitInt("i", 0, -64, 63);
    for (int v = -64; v <= 63; ++v) {
        i.SetNormalized(i.GetNormalized(double(v)));
        EXPECT_EQ(i.Value(), double(v));
    }
}

TEST(ParamDisplayTexts, NewWordsRaiseTheMaximumAndLookupsGoByValueIndexAndExactText)
{
    IParam p;
    p.InitEnum("e", 0, 4);
    p.SetDisplayText(-1, "neg");
    p.SetDisplayText(5, "far"); // negative or skipped indices are ignored
    EXPECT_EQ(p.GetNDisplayTexts(), 0);
    EXPECT_EQ(p.GetMax(), 3.0);
    for (const char* w : {"Saw", "Square", "", "d", "e"}) p.SetDisplayText(p.GetNDisplayTexts(), w);
    EXPECT_EQ(p.GetMax(), 4.0);
    p.SetDisplayText(0, "z");
    EXPECT_EQ(p.GetMax(), 4.0) << "a replaced word keeps the maximum";
    EXPECT_EQ(p.GetNDisplayTexts(), 5);
    EXPECT_STREQ(p.GetDisplayText(1), "Square");
    EXPECT_STREQ(p.GetDisplayText(9), "");
    int v = 77;
    EXPECT_STREQ(p.GetDisplayTextAtIdx(1, &v), "Square");
    EXPECT_EQ(v, 1);
    v = 77;
    EXPECT_STREQ(p.GetDisplayTextAtIdx(5, &v), "");
    EXPECT_STREQ(p.GetDisplayTextAtIdx(-1, &v), "");
    EXPECT_EQ(v, 77);
    EXPECT_TRUE(p.MapDisplayText("Square", &v));
    EXPECT_EQ(v, 1);
    v = 77;
    EXPECT_FALSE(p.MapDisplayText("square", &v)); // case counts
    EXPECT_EQ(v, 77);
    p.ResetDisplayTexts();
    EXPECT_EQ(p.GetNDisplayTexts(), 0);
}

TEST(ParamHostStrings, HugeValuesStayInsideTheCallersBufferAndTheLabelIsHiddenOnlyBehindANonEmptyWord)
{
    IParam fine, whole;
    fine.InitDouble("d", 0.0, 0.0, 1.0, 0.000001);
    EXPECT_LE(Display(fine, 1e300).size(), 55u);
    EXPECT_EQ(Display(whole, 3e9), "3000000000");
    std::string s = Display(whole, -1e300);
    EXPECT_TRUE(s.size() <= 55u && s[0] == '-') << s;
    IParam p;
    p.InitEnum("e", 0, 2, "Hz");
    p.SetDisplayText(0, "");
    p.SetDisplayText(1, "one");
    p.Set(0.0);
    EXPECT_STREQ(p.GetLabelForHost(), "Hz");
    p.Set(1.6); // truncated to 1
    EXPECT_STREQ(p.GetLabelForHost(), "");
    p.Set(5.0);
    EXPECT_STREQ(p.GetLabelForHost(), "Hz");
}
