#include "fit.h"

#include "Project_Source/src/ParamTable.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <sstream>

namespace makeconfig
{

namespace
{

const char* const kMenuFace = "NK57 Monospace"; // menus, drop-downs and name fields

std::string where(const Row& row)
{
    return "chart.tsv:" + std::to_string(row.line) + ": " + row.name + ": ";
}

int scaled(int v, double scale)
{
    return static_cast<int>(std::trunc(v * scale));
}

// The texts a control shows as its value, when the chart fixes them; its box in layout units and
// the pixel size of its text at size 1.0 (scaled and truncated as its creator does).
struct ValueTexts {
    std::vector<std::string> texts;
    int w = 0, h = 0, textSize = 0;
};

// Entry i of a menu or drop-down: the list's text when the list has one per entry, else the
// number the value display starts at plus i.
std::vector<std::string> entryTexts(const Chart& chart, const Row& row, int entries, bool threeDigits)
{
    std::vector<std::string> texts;
    auto it = chart.lists.find(row.list);
    if (it != chart.lists.end() && it->second.size() == static_cast<size_t>(entries)) return it->second;
    if (row.displayFirst == row.displayLast) return texts;
    for (int i = 0; i < entries; ++i) {
        char text[24];
        std::snprintf(text, sizeof text, threeDigits ? "%03d" : "%d", row.displayFirst + i);
        texts.push_back(text);
    }
    return texts;
}

bool valueTexts(const Chart& chart, const Element& e, ValueTexts* v)
{
    const Row& row = *e.row;
    const std::string& t = row.type;
    const std::vector<int>& b = row.bounds;
    if (t == "ccMenu" || t == "msbLsbMenu" || t == "seMenu") {
        int first = 0, last = 0;
        valueRange(row, &first, &last);
        v->texts = entryTexts(chart, row, last - first + 1, false);
        v->w = e.menuW, v->h = kMenuHeight, v->textSize = kMenuHeight;
    } else if ((t == "dropSelection" || t == "multiFxMenu") && b.size() >= 5) {
        const bool programs = e.id >= kMultiPartPatch && e.id < kMultiPartPatch + 8;
        v->texts = entryTexts(chart, row, b[4] - b[3], programs);
        v->w = b[0], v->h = b[1], v->textSize = b[1];
    } else if (t == "nameSelection" && b.size() >= 3) {
        // A name of the full length; the face is monospaced.
        v->texts = {std::string(static_cast<size_t>(std::max(b[2], 0)), 'W')};
        v->w = b[0], v->h = b[1], v->textSize = b[1];
    } else {
        return false; // device names, bank lists and read-outs are not known when the editor is built
    }
    return true;
}

// The lines a name is drawn in, wrapped at spaces into w pixels; empty when a word is wider.
std::vector<std::string> wrapped(const TextWidth& width, const TextFace& face, const std::string& text, int w)
{
    std::vector<std::string> lines;
    std::istringstream words(text);
    for (std::string word; words >> word;) {
        if (width(face, word) > w) return {};
        if (!lines.empty() && width(face, lines.back() + " " + word) <= w)
            lines.back() += " " + word;
        else
            lines.push_back(word);
    }
    return lines;
}

} // namespace

void checkTexts(const Chart& chart, const TextWidth& width, std::vector<std::string>* errors)
{
    // Two controls of one layer under one name cannot be told apart, on screen or in the host.
    std::map<std::pair<std::string, std::string>, const Row*> named;
    for (const Row& row : chart.rows) {
        if (row.label == "-" || row.type == "display") continue; // read-outs are all "Display"
        const Row*& first = named[{row.layer, row.label}];
        if (first && first != &row)
            errors->push_back(where(row) + "shares its name \"" + row.label + "\" with " + first->name);
        else
            first = &row;
    }
    const TextFace nameFace{kNameFontFace, kNameFontSize, false, false};
    for (const Element& e : chart.elements) {
        const Row& row = *e.row;
        if (e.part > 0 || e.partOfChannel > 0) continue; // copies are named and drawn alike
        // A name: written, or "-" for a control that goes without one on purpose.
        if (row.label.find_first_not_of(' ') == std::string::npos) {
            errors->push_back(where(row) + "has no name (write - for a control without one)");
            continue;
        }
        // The host's name: the label, with "[part] " before it on a per-part layer (read-outs and
        // device menus take fixed names of their own).
        const size_t hostLength = e.label.size() + (e.part >= 0 ? 4 : 0);
        const bool ownName = row.type == "display" || row.type == "deviceSelection";
        if (row.label != "-" && !ownName && hostLength > kHostNameLength)
            errors->push_back(where(row) + "its host name \"" + e.label + "\" is longer than " +
                              std::to_string(kHostNameLength) + " characters");
        // The drawn name: into a background, which the editor scales with its place.
        if (e.name.w > 0) {
            const std::vector<std::string> lines = wrapped(width, nameFace, e.name.text, e.name.w);
            if (lines.empty() || static_cast<int>(lines.size()) * kLabelLine > e.name.h)
                errors->push_back(where(row) + "its name \"" + e.name.text + "\" does not fit " +
                                  std::to_string(e.name.w) + "x" + std::to_string(e.name.h));
        }
        // The value texts, drawn by the control at each editor size.
        ValueTexts v;
        if (!valueTexts(chart, e, &v)) continue;
        for (double scale : kEditorScales) {
            const TextFace face{kMenuFace, std::max(scaled(v.textSize, scale), 2), false, true};
            const int box = scaled(v.w, scale);
            bool told = false;
            for (const std::string& text : v.texts) {
                // The caption draws the value, a blank and the parameter's empty unit.
                const int w = width(face, text + " ");
                if (w < 0) {
                    errors->push_back(where(row) + "no font " + face.name + " to measure with");
                    return;
                }
                if (w > box && !told) {
                    char at[8];
                    std::snprintf(at, sizeof at, "%.2f", scale);
                    errors->push_back(where(row) + "value \"" + text + "\" takes " + std::to_string(w) +
                                      " pixels, its box " + std::to_string(box) + " at size " + at);
                    told = true;
                }
            }
        }
    }
}

} // namespace makeconfig
