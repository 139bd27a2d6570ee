#include "kit/plugin/IBitmapMonoText.h"

#include <cstring>

#include "kit/plugin/IGraphics.h"

void DrawBitmapedText(IGraphics* g, IBitmap* font, IRECT* r, IText* style, const IChannelBlend* blend,
                      const char* text, bool vCenter, bool multiline, int charWidth, int charHeight)
{
    if (!g || !font || !r || !text || !text[0]) return;
    // A character without width or height has no place to go.
    if (charWidth <= 0 || charHeight <= 0) return;
    const long long len = (long long)std::strlen(text);
    const long long textWidth = len * charWidth;

    const long long y0 = vCenter ? r->T + (r->B - ((long long)r->T + charHeight)) / 2 : r->T;
    const bool centred = style && style->mAlign == IText::kAlignCenter;
    const long long x0 = centred ? r->L + (r->R - (r->L + textWidth)) / 2 : (long long)r->L + charWidth;
    const long long available = ((long long)r->R - r->L) - 2LL * charWidth;

    long long perLine = available / charWidth, count = 1;
    if (multiline) {
        if (textWidth > available) {
            if (available <= 0) return;
            count = textWidth / available;
        } else {
            perLine = len;
        }
    }
    if (perLine < 1) return;

    long long pos = 0;
    for (long long line = 0; line <= count && pos < len; ++line) {
        long long y = y0 + line * charHeight;
        long long x = x0;
        for (long long i = 0; i < perLine && pos < len; ++i, ++pos, x += charWidth) {
            IRECT cell(int(x), int(y), int(x + charWidth), int(y + charHeight));
            g->DrawBitmap(font, &cell, int((unsigned char)text[pos]) - 31, blend);
        }
    }
}
