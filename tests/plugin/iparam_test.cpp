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

TEST(ParamInit, EnumWithZeroOrOneEntriesStillSpansZeroToOne)
{
    for (int n : {0, 1, 3}) {
        IParam p;
        p.InitEnum("e", n == 3 ? 2 : 0, n);
        EXPECT_EQ(p.GetMax(), n == 3 ? 2.0 : 1.0) << n;
        EXPECT_EQ(p.Type(), IParam::kTypeEnum);
    }
}

TEST(ParamInit, AnEmptyOrInvertedRangeIsWidenedToOneStepAndTheDefaultIsNotClamped)
{
    IParam p;
    p.InitInt("kInt", 5, 3, 3, "st", "grp", -1, -1);
    EXPECT_EQ(std::vector<double>({p.GetMin(), p.GetMax(), p.Value(), p.GetDefault()}), std::vector<double>({3, 4, 5, 5}));
    IParam d;
    d.InitDouble("d", 0.0, 2.0, 1.0, 0.5);
    EXPECT_EQ(d.GetMax(), 2.5);
}

TEST(ParamInit, StepGivesTheDecimalsNeededToShowIt)
{
    const struct { double step; int precision; } table[] = {{1.0, 0}, {5.0, 0}, {0.5, 1}, {0.25, 2}, {0.01, 2},
        {0.0001, 4}, {0.00001, 5}, {0.0000001, 6}, {1.0 / 3.0, 6}, {0.0, 0}};
    for (const auto& row : table) {
        IParam p;
        p.InitDouble("d", 0.0, 0.0, 100.0, row.step);
        EXPECT_EQ(p.GetPrecision(), row.precision) << "step " << row.step;
    }
}

TEST(ParamInit, TextKindSurvivesALaterRangeInitialisation)
{
    IParam p;
    p.InitText();
    p.InitInt("t", 0, 0, 15);
    EXPECT_EQ(p.Type(), IParam::kTypeText);
    EXPECT_EQ(p.GetMax(), 15.0);
    IParam q;
    q.InitInt("i", 0, 0, 15);
    q.InitText(); // InitText always wins
    EXPECT_EQ(q.Type(), IParam::kTypeText);
}

TEST(ParamInit, OverlongNamesLabelsAndGroupsAreCutToTheirFields)
{
    std::string longText(300, 'n');
    IParam p;
    p.InitInt(longText.c_str(), 0, 0, 1, longText.c_str(), longText.c_str());
    for (const char* cut : {p.GetNameForHost(), p.GetParamGroupForHost(), p.GetLabelForHost()}) EXPECT_EQ(std::strlen(cut), 54u);
    IParam q;
    q.InitDouble(nullptr, 0.0, 0.0, 1.0, 0.1, nullptr, nullptr);
    EXPECT_STREQ(q.GetNameForHost(), "");
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
}

TEST(ParamValues, IntegerRoundTripLandsOnEveryStep)
{
    IParam p;
    p.InitInt("i", 0, -64, 63);
    for (int v = -64; v <= 63; ++v) {
        p.SetNormalized(p.GetNormalized(double(v)));
        EXPECT_EQ(p.Value(), double(v));
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

TEST(ParamHostStrings, DisplayTruncatesWithoutDecimalsShowsTheStepsDecimalsAndPrefersANonEmptyWord)
{
    IParam whole; // precision 0
    IParam cents, shaped, words;
    cents.InitDouble("d", 0.0, -10.0, 10.0, 0.01);
    shaped.InitDouble("d", 0.0, 0.0, 10.0, 0.5);
    words.InitEnum("e", 0, 3);
    for (const char* w : {"low", "", "high"}) words.SetDisplayText(words.GetNDisplayTexts(), w);
    const struct { const IParam* p; double v; bool normalized, withText; const char* text; } table[] = {
        {&whole, 2.7, false, true, "2"},     {&whole, -2.7, false, true, "-2"},  {&whole, 3e9, false, true, "3000000000"},
        {&cents, 2.7, false, true, "2.70"},  {&cents, -2.7, false, true, "-2.70"}, {&shaped, 0.25, true, true, "2.5"},
        {&words, 2.9, false, true, "high"},  {&words, 1.0, false, true, "1"},    {&words, 2.0, false, false, "2"},
    };
    for (const auto& row : table) EXPECT_EQ(Display(*row.p, row.v, row.normalized, row.withText), row.text) << row.v;
    shaped.SetShape(2.0); // normalized values map through range and shape without rounding
    EXPECT_EQ(Display(shaped, 0.5, true), "2.5");
}

TEST(ParamHostStrings, HugeValuesStayInsideTheCallersBuffer)
{
    IParam p;
    p.InitDouble("d", 0.0, 0.0, 1.0, 0.000001);
    std::string s = Display(p, 1e300);
    EXPECT_LE(s.size(), 55u);
    IParam q;
    s = Display(q, -1e300);
    EXPECT_LE(s.size(), 55u);
    EXPECT_EQ(s[0], '-');
}

TEST(ParamHostStrings, LabelIsHiddenOnlyBehindANonEmptyWord)
{
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
