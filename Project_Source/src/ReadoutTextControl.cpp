#include "ReadoutTextControl.h"

#include "kit/plugin/IGraphics.h"

namespace
{

constexpr int kMargin = 2;

// The text's width and height in the style.
IRECT extent(IGraphics* g, IText* style, const std::string& text)
{
    IRECT r(0, 0, 0, 0);
    g->MeasureIText(style, text.c_str(), &r);
    return r;
}

// The text cut at the blank nearest its middle; empty when it has none.
std::vector<std::string> halves(const std::string& text)
{
    const size_t middle = text.size() / 2;
    size_t best = std::string::npos;
    for (size_t i = 0; i < text.size(); ++i)
        if (text[i] == ' ' && (best == std::string::npos || (i > middle ? i - middle : middle - i) <
                                                                (best > middle ? best - middle : middle - best)))
            best = i;
    if (best == std::string::npos) return {};
    return {text.substr(0, best), text.substr(best + 1)};
}

} // namespace

ReadoutTextControl::Fit ReadoutTextControl::fit(IGraphics* g, const std::string& text)
{
    // Glyphs reach a pixel past their measured extent: a margin keeps them in the field.
    const int width = mRECT.W() - 2 * kMargin, height = mRECT.H();
    const std::vector<std::string> two = halves(text);
    IText style = mText;
    Fit f;
    for (int size = mText.mSize; size >= 1 && size * 2 >= mText.mSize; --size) {
        style.mSize = size;
        style.mCached = nullptr;
        const IRECT one = extent(g, &style, text);
        f = {size, {text}, one.H()};
        if (one.W() <= width && one.H() <= height) return f;
        if (two.empty()) continue;
        const IRECT a = extent(g, &style, two[0]), b = extent(g, &style, two[1]);
        if (a.W() <= width && b.W() <= width && a.H() + b.H() <= height) return {size, two, a.H()};
    }
    return f;
}

bool ReadoutTextControl::Draw(IGraphics* g)
{
    KIT_String copy;
    GetTextCopy(&copy);
    const std::string text = copy.Get();
    if (text.empty()) return true;
    const Fit f = fit(g, text);
    IText style = mText;
    style.mSize = f.size;
    style.mCached = nullptr;
    const int lines = int(f.lines.size());
    const int top = mRECT.T + (mRECT.H() - lines * f.lineHeight) / 2;
    for (int i = 0; i < lines; ++i) {
        IRECT r(mRECT.L, top + i * f.lineHeight, mRECT.R, top + (i + 1) * f.lineHeight);
        g->DrawIText(&style, f.lines[size_t(i)].c_str(), &r);
    }
    return true;
}
