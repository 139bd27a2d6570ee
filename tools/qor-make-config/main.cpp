// qor-make-config <chart folder> <output folder>
// Reads chart.tsv, lists.tsv and (when present) sections.tsv from the chart folder and writes
// uiconfig.xml, sysex.xml, midi-chart.md and labels.tsv (where qor-make-images draws the controls'
// names) into the output folder. A chart that fails a check
// writes nothing and names every failing row.
#include "chart.h"
#include "fit.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

bool readFile(const std::string& path, std::string* text)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream s;
    s << in.rdbuf();
    *text = s.str();
    return true;
}

bool writeFile(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out.flush());
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: qor-make-config <chart folder> <output folder>\n");
        return 2;
    }
    const std::string from = argv[1], to = argv[2];
    makeconfig::Inputs in;
    if (!readFile(from + "/chart.tsv", &in.chart) || !readFile(from + "/lists.tsv", &in.lists)) {
        std::fprintf(stderr, "qor-make-config: cannot read %s/chart.tsv or lists.tsv\n", from.c_str());
        return 1;
    }
    readFile(from + "/sections.tsv", &in.sections); // the layout may not have one yet
    makeconfig::Outputs out;
    std::vector<std::string> errors;
    makeconfig::Chart chart;
    bool ok = makeconfig::generate(in, &out, &errors, &chart);
    // The texts are checked on a chart that passed the others: they need its placement.
    if (ok) makeconfig::checkTexts(chart, makeconfig::editorTextWidth(), &errors);
    if (!ok || !errors.empty()) {
        for (const std::string& e : errors) std::fprintf(stderr, "%s/%s\n", from.c_str(), e.c_str());
        return 1;
    }
    if (!writeFile(to + "/uiconfig.xml", out.uiconfig) || !writeFile(to + "/sysex.xml", out.sysex) ||
        !writeFile(to + "/midi-chart.md", out.listing) || !writeFile(to + "/labels.tsv", out.labels)) {
        std::fprintf(stderr, "qor-make-config: cannot write into %s\n", to.c_str());
        return 1;
    }
    return 0;
}
