// What the artwork takes from the layout (the section table) and from the chart (the label lists).
#include "tools/tea-encipher/artwork.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace artwork
{

namespace
{

std::vector<std::string> splitTabs(const std::string& line)
{
    std::vector<std::string> cells;
    std::string cell;
    std::istringstream in(line);
    while (std::getline(in, cell, '\t')) cells.push_back(cell);
    if (!line.empty() && line.back() == '\t') cells.emplace_back();
    return cells;
}

bool toInt(const std::string& s, int* out)
{
    if (s.empty()) return false;
    char* end = nullptr;
    const long v = std::strtol(s.c_str(), &end, 10);
    if (*end || v < -100000 || v > 100000) return false;
    *out = static_cast<int>(v);
    return true;
}

bool knownKind(const std::string& k)
{
    return k == "page" || k == "panel" || k == "window" || k == "strip" || k == "section";
}

} // namespace

std::vector<SectionRow> readSections(const std::string& path, std::vector<std::string>* skipped)
{
    std::vector<SectionRow> rows;
    std::ifstream file(path);
    std::string line;
    int number = 0;
    while (std::getline(file, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        const std::vector<std::string> c = splitTabs(line);
        SectionRow r;
        bool ok = c.size() >= 9 && knownKind(c[0]) && !c[1].empty();
        if (ok) {
            r.kind = c[0], r.name = c[1], r.parent = c[2], r.title = c[8] == "-" ? "" : c[8];
            r.image = c[3] == "-" ? "" : c[3];
            ok = toInt(c[4], &r.x) && toInt(c[5], &r.y) && toInt(c[6], &r.w) && toInt(c[7], &r.h) && r.w > 0 && r.h > 0;
        }
        if (ok && c.size() > 12 && c[9] != "-")
            ok = toInt(c[9], &r.cols) && toInt(c[10], &r.rows) && toInt(c[11], &r.cellW) && toInt(c[12], &r.cellH);
        // Two further columns: the layer id and flags, of which pages=A-B (or pages=A) matters here.
        if (ok && c.size() > 13 && c[13] != "-") ok = toInt(c[13], &r.id);
        if (ok && c.size() > 14) {
            const size_t at = c[14].find("pages=");
            if (at != std::string::npos) {
                std::string range = c[14].substr(at + 6);
                range = range.substr(0, range.find(','));
                const size_t dash = range.find('-');
                ok = toInt(range.substr(0, dash), &r.firstPage) &&
                     toInt(dash == std::string::npos ? range : range.substr(dash + 1), &r.lastPage);
            }
        }
        if (ok)
            rows.push_back(r);
        else if (skipped)
            skipped->push_back(path + ":" + std::to_string(number) + ": not a row of the section table, skipped");
    }
    return rows;
}

std::vector<LabelRow> readLabels(const std::string& path, std::vector<std::string>* skipped)
{
    std::vector<LabelRow> rows;
    std::ifstream file(path);
    std::string line;
    int number = 0;
    while (std::getline(file, line)) {
        ++number;
        if (line.empty() || line[0] == '#') continue;
        const std::vector<std::string> c = splitTabs(line);
        LabelRow r;
        const bool ok = c.size() >= 7 && !c[0].empty() && toInt(c[1], &r.x) && toInt(c[2], &r.y) && toInt(c[3], &r.w) &&
                        toInt(c[4], &r.h) && r.w > 0 && r.h > 0 && (c[5] == "left" || c[5] == "centre");
        if (!ok) {
            if (skipped) skipped->push_back(path + ":" + std::to_string(number) + ": not a placed name, skipped");
            continue;
        }
        r.image = c[0], r.left = c[5] == "left", r.text = c[6];
        rows.push_back(r);
    }
    return rows;
}

Inputs defaultInputs()
{
    Inputs in;
    // The main pages in the order of their ids, the part numbers and the matrix pages are the
    // editor's own. The others stand until the chart's value lists replace them.
    in.lists["mainTabs"] = {"Performance",  "Librarian", "Oscillators", "Filters & Env",
                            "LFO & Matrix", "Effects",   "Arpeggiator"};
    in.lists["parts"] = {"1", "2", "3", "4", "5", "6", "7", "8"};
    in.lists["oscillatorShape"] = {"Pulse", "Saw", "Triangle", "Sine", "Formant", "Noise"};
    in.lists["lfoShape"] = {"Triangle", "Saw Up", "Saw Down", "Square", "Random"};
    in.lists["filterSlope"] = {"12 dB", "24 dB"};
    in.lists["matrixSelector"] = {"LFO 1", "LFO 2", "Envelope", "Wheel"}; // the matrix pages' sources
    in.lists["dataType"] = {"Program", "Performance", "Pattern"};
    // The chain each of the 19 effect routings runs, for its diagram; the chart's list names them.
    in.lists["fxRoutingChains"] = {
        "Dist > Comb > EQ > Pan > Chorus > Delay > Reverb", "Dist > EQ > Comb > Pan > Chorus > Delay > Reverb",
        "Comb > Dist > EQ > Pan > Chorus > Delay > Reverb", "Dist > Comb > EQ > Chorus > Pan > Delay > Reverb",
        "Dist > Comb > EQ > Pan > Delay > Chorus > Reverb", "Dist > Comb > EQ > Pan > Reverb > Chorus > Delay",
        "Dist > Comb > EQ > Pan > Chorus > Delay + Reverb", "Dist > Comb > EQ > Pan > Chorus + Delay + Reverb",
        "Dist > Comb > EQ > Pan > Chorus + Delay > Reverb", "Dist > Comb > EQ > Pan > Delay > Chorus + Reverb",
        "Dist > Comb > EQ > Chorus > Delay > Reverb > Pan", "Dist > EQ > Chorus > Delay > Reverb > Comb > Pan",
        "EQ > Dist > Comb > Pan > Chorus > Delay > Reverb", "Dist + Comb > EQ > Pan > Chorus > Delay > Reverb",
        "Dist > Comb > EQ > Pan > Chorus > Reverb > Delay", "Comb > EQ > Dist > Pan > Delay > Chorus > Reverb",
        "Dist > Comb > EQ > Pan > Reverb + Delay > Chorus", "Dist > Comb > Pan > EQ > Chorus > Delay > Reverb",
        "Chorus > Delay > Reverb > Dist > Comb > EQ > Pan",
    };
    return in;
}

Inputs readInputs(const std::string& chartFolder, std::vector<std::string>* notes)
{
    Inputs in = defaultInputs();
    in.sections = readSections(chartFolder + "/sections.tsv", notes);
    // chart.tsv: the radio rows, with the image (column 4), the number of buttons (5) and the
    // section (11).
    std::ifstream chartFile(chartFolder + "/chart.tsv");
    for (std::string row; std::getline(chartFile, row);) {
        if (row.empty() || row[0] == '#') continue;
        if (row.back() == '\r') row.pop_back();
        const std::vector<std::string> c = splitTabs(row);
        RadioRow radio;
        if (c.size() < 11 || c[2] != "radio") continue;
        if (toInt(c[4], &radio.buttons) && radio.buttons > 0) {
            radio.name = c[0], radio.image = c[3], radio.section = c[10];
            in.radios.push_back(radio);
        } else if (notes) {
            notes->push_back(chartFolder + "/chart.tsv: " + c[0] + ": no button count");
        }
    }
    // lists.tsv: a list's name, then its texts, tab-separated; a line whose first field is empty
    // goes on with the list above it.
    std::map<std::string, std::vector<std::string>> chart;
    std::ifstream file(chartFolder + "/lists.tsv");
    std::string line, current;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> c = splitTabs(line);
        if (!c[0].empty()) current = c[0];
        if (current.empty()) continue;
        chart[current].insert(chart[current].end(), c.begin() + 1, c.end());
    }
    // The strips label their buttons with these lists.
    const std::pair<const char*, size_t> used[] = {
        {"oscillatorShape", 1}, {"lfoShape", 1}, {"filterSlope", 1}, {"dataType", 3}};
    for (auto [name, least] : used) {
        auto it = chart.find(name);
        if (it == chart.end()) continue;
        if (it->second.size() >= least)
            in.lists[name] = it->second;
        else if (notes)
            notes->push_back(chartFolder + "/lists.tsv: " + name + " has " + std::to_string(it->second.size()) +
                             " entries, the artwork needs " + std::to_string(least) + "; the tool's own are drawn");
    }
    return in;
}

} // namespace artwork
