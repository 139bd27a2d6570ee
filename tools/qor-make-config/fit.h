#pragma once
// Checks of the texts the layout shows: every control has a name (or says it goes without one),
// no two controls of a layer share one, each name fits the place it is drawn in, each value text
// fits its control's box at every editor size, and each parameter name fits the host's name field.
#include "chart.h"

#include <functional>
#include <string>
#include <vector>

namespace makeconfig
{

// A text style: the face, its size in pixels, bold, and whether it is made as the editor surface
// makes it (asked once more to come out at the size's line height) or as the artwork draws it.
struct TextFace {
    std::string name;
    int size = 0;
    bool bold = false;
    bool asEditor = true;
};

// The width in pixels of a single line of text; -1 when the face cannot be made.
using TextWidth = std::function<int(const TextFace& face, const std::string& text)>;

// The editor's own glyph fonts (font.cpp; needs the raster library and the platform's fonts).
TextWidth editorTextWidth();

// The editor sizes and the label font the artwork draws the controls' names in.
constexpr double kEditorScales[] = {0.85, 1.0, 1.15};
constexpr int kNameFontSize = 10;
constexpr const char* kNameFontFace = "DejaVu Sans";
// The host's name field holds 54 characters, the part prefix "[8] " included.
constexpr size_t kHostNameLength = 54;

// Appends one error per failing row, as generate() does.
void checkTexts(const Chart& chart, const TextWidth& width, std::vector<std::string>* errors);

} // namespace makeconfig
