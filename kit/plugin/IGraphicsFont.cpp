#include "kit/plugin/IGraphicsFont.h"

#include "kit/raster/rast_font.h"
#include "kit/wapi/wapi-gdi.h"

namespace plugdraw
{

RAST_CachedFont* MakeTextFont(const IText& text, bool fitLineHeight)
{
    static const char kQuality[] = {0, 3, 4, 4};
    const char quality =
        text.mQuality >= 0 && text.mQuality < 4 ? kQuality[text.mQuality] : (text.mQuality < 0 ? 0 : 3);
    const int turn = TruncInt(text.mOrientation * 10.0);
    const int weight = text.mStyle == IText::kStyleBold ? 700 : 400;
    const char italic = text.mStyle == IText::kStyleItalic ? 1 : 0;
    auto makeFont = [&](int height) {
        return CreateFont(height, 0, turn, turn, weight, italic, 0, 0, 0, 0, 0, quality, 0, text.mFont);
    };

    int height = text.mSize < 2 ? 2 : text.mSize;
    HGDIOBJ system = makeFont(height);
    if (!system) return nullptr;
    RAST_CachedFont* font = new RAST_CachedFont();
    font->SetFromHFont(system, RAST_FONT_OWNS_HFONT | RAST_FONT_PREFER_NATIVE);
    // The face may come out taller or shorter than asked: ask once more in proportion.
    const int lineHeight = font->GetLineHeight();
    if (fitLineHeight && lineHeight > 0 && lineHeight != height) {
        int again = TruncInt(double(height) * height / lineHeight + 0.5);
        system = makeFont(again < 2 ? 2 : again);
        if (!system) {
            delete font;
            return nullptr;
        }
        font->SetFromHFont(system, RAST_FONT_OWNS_HFONT | RAST_FONT_PREFER_NATIVE);
    }
    return font;
}

} // namespace plugdraw
