// The texts of the layout measured with the editor's own fonts: the shipped chart's names and
// values fit at every editor size, and a row broken in one text fails naming it.
#include "chart.h"
#include "fit.h"
#include "shipped_chart.h"

#include <gtest/gtest.h>

#include <string>

using namespace makeconfig;

namespace
{

using chartfiles::shipped;

std::string replaced(std::string text, const std::string& from, const std::string& to)
{
    const size_t at = text.find(from);
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

// Every error of the generator and of the text checks, one per line.
std::string problems(const Inputs& in)
{
    Chart chart;
    Outputs out;
    std::vector<std::string> errors;
    if (generate(in, &out, &errors, &chart)) checkTexts(chart, editorTextWidth(), &errors);
    std::string all;
    for (const std::string& e : errors) all += e + "\n";
    return all;
}

} // namespace

TEST(ChartTexts, EveryShippedNameAndValueFitsAtEverySize)
{
    EXPECT_EQ(problems(shipped()), "");
}

TEST(ChartTexts, ARowWhoseTextDoesNotFitFailsNamingIt)
{
    const Inputs good = shipped();
    const struct {
        const char* check;
        std::string chart, lists, error;
    } cases[] = {
        {"menu value wider than its box", good.chart, replaced(good.lists, "Leg. Exp.", "Legato Exponential"),
         "kGlideType: value \"Legato Exponential\" takes"},
        {"name field too small for a full name", replaced(good.chart, "86,10,16", "86,13,16"), "",
         "kMultiName: value \"WWWWWWWWWWWWWWWW\" takes"},
        {"drawn name of wide letters", replaced(good.chart, "\tOsc 1 Sync Skew\t", "\tOsc 1 WWWWWWWWWWWW\t"), "",
         "kOscillator1SyncSkew: its name \"WWWWWWWWWWWW\" does not fit 74x24"},
        {"host name past the field",
         replaced(good.chart, "\tPerformance Program\t", "\t" + std::string(55, 'x') + "\t"), "",
         "kMultiPatch: its host name"},
        {"no name", replaced(good.chart, "\tOsc 1 Sync Skew\t", "\t\t"), "", "kOscillator1SyncSkew: has no name"},
        {"two knobs under one name", replaced(good.chart, "\tArp Program\t", "\tArp Pattern\t"), "",
         "kArpPattern: shares its name \"Arp Pattern\" with kArpProgram"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.check);
        Inputs in = good;
        in.chart = c.chart;
        if (!c.lists.empty()) in.lists = c.lists;
        const std::string all = problems(in);
        EXPECT_NE(all.find(c.error), std::string::npos) << all;
    }
    // A control that goes without a name says so.
    EXPECT_EQ(problems(Inputs{replaced(good.chart, "\tOsc 1 Sync Skew\t", "\t-\t"), good.lists, good.sections}), "");
}
