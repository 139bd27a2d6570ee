// Drawing for the build-time artwork: every pixel goes through the raster library's fills,
// gradients, lines, circles, arcs, rounded rectangles and cached fonts. Filled shapes are cut
// into rows; each row's inside is one rectangle fill and its two edges get partial pixels from
// four sub-rows, so curved edges come out smooth at any size.
#include "tools/tea-encipher/artwork.h"

#include "kit/raster/rast_arc.h"
#include "kit/raster/rast_blit.h"
#include "kit/raster/rast_circle.h"
#include "kit/raster/rast_font.h"
#include "kit/raster/rast_line.h"
#include "kit/raster/rast_rect.h"
#include "kit/raster/rast_roundrect.h"
#include "kit/wapi/wapi-gdi.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <tuple>

namespace artwork
{

namespace
{

RAST_PixelValue pixel(Rgba c, int alpha)
{
    return RAST_MakePixel(c.r, c.g, c.b, alpha);
}
float opacity(Rgba c)
{
    return c.a / 255.0f;
}

Rgba mix(Rgba a, Rgba b, float t)
{
    auto m = [t](int x, int y) { return static_cast<int>(std::lround(x + (y - x) * t)); };
    return {m(a.r, b.r), m(a.g, b.g), m(a.b, b.b), m(a.a, b.a)};
}

constexpr int kSubRows = 4;

// The span [x0, x1) a shape covers on the horizontal line at y; false when it misses the line.
using SpanAt = std::function<bool(float y, float& x0, float& x1)>;

void fillSpans(RAST_IBitmap* bm, int top, int bottom, const SpanAt& span, const std::function<Rgba(int)>& colourAt)
{
    top = std::max(top, 0);
    bottom = std::min(bottom, bm->getHeight());
    std::vector<float> x0s(kSubRows), x1s(kSubRows);
    for (int y = top; y < bottom; ++y) {
        int hits = 0;
        float lo0 = 1e9f, hi0 = -1e9f, lo1 = 1e9f, hi1 = -1e9f;
        for (int k = 0; k < kSubRows; ++k) {
            float a = 0, b = 0;
            if (!span(y + (k + 0.5f) / kSubRows, a, b) || b <= a)
                a = b = 0;
            else
                ++hits;
            x0s[k] = a;
            x1s[k] = b;
            if (b > a) {
                lo0 = std::min(lo0, a), hi0 = std::max(hi0, a);
                lo1 = std::min(lo1, b), hi1 = std::max(hi1, b);
            }
        }
        if (!hits) continue;
        const Rgba c = colourAt(y);
        const float alpha = opacity(c);
        // Pixels every sub-row covers whole are filled at once.
        const int inL = static_cast<int>(std::ceil(hi0)), inR = static_cast<int>(std::floor(lo1));
        const bool solid = hits == kSubRows && inR > inL;
        if (solid) RAST_FillRect(bm, inL, y, inR - inL, 1, pixel(c, 255), alpha, 0);
        const int from = static_cast<int>(std::floor(lo0)), to = static_cast<int>(std::ceil(hi1));
        for (int x = from; x < to; ++x) {
            if (solid && x >= inL && x < inR) continue;
            float cover = 0;
            for (int k = 0; k < kSubRows; ++k)
                cover += std::max(0.0f, std::min(x + 1.0f, x1s[k]) - std::max(static_cast<float>(x), x0s[k]));
            cover /= kSubRows;
            if (cover > 0.002f) RAST_PutPixel(bm, x, y, pixel(c, 255), alpha * std::min(cover, 1.0f), 0);
        }
    }
}

SpanAt roundRectSpan(float x, float y, float w, float h, float r)
{
    r = std::min({r, w / 2, h / 2});
    return [=](float yy, float& x0, float& x1) {
        if (yy < y || yy > y + h) return false;
        float d = 0;
        if (yy < y + r)
            d = y + r - yy;
        else if (yy > y + h - r)
            d = yy - (y + h - r);
        const float inset = d > 0 ? r - std::sqrt(std::max(0.0f, r * r - d * d)) : 0;
        x0 = x + inset;
        x1 = x + w - inset;
        return true;
    };
}

SpanAt discSpan(float cx, float cy, float r)
{
    return [=](float yy, float& x0, float& x1) {
        const float d = yy - cy;
        if (d * d >= r * r) return false;
        const float half = std::sqrt(r * r - d * d);
        x0 = cx - half;
        x1 = cx + half;
        return true;
    };
}

// Convex polygons: the span is the range of the edges' crossings of the line.
SpanAt polygonSpan(std::vector<std::pair<float, float>> pts)
{
    return [pts](float yy, float& x0, float& x1) {
        bool any = false;
        const size_t n = pts.size();
        for (size_t i = 0; i < n; ++i) {
            auto [ax, ay] = pts[i];
            auto [bx, by] = pts[(i + 1) % n];
            if ((yy < ay && yy < by) || (yy > ay && yy > by) || ay == by) continue;
            const float x = ax + (bx - ax) * (yy - ay) / (by - ay);
            if (!any) x0 = x1 = x;
            x0 = std::min(x0, x), x1 = std::max(x1, x);
            any = true;
        }
        return any;
    };
}

using FontKey = std::tuple<int, bool, bool>;

// Fonts live as long as the process, like the framework's font cache: the text layer beneath
// them may be gone before static destructors would run.
std::map<FontKey, std::unique_ptr<RAST_CachedFont>>& fontCache()
{
    static auto* fonts = new std::map<FontKey, std::unique_ptr<RAST_CachedFont>>;
    return *fonts;
}

} // namespace

Canvas::Canvas(int w, int h, Rgba clear) : mBitmap(new RAST_MemBitmap(w, h, 1)), mWidth(w), mHeight(h)
{
    RAST_Clear(mBitmap.get(), pixel(clear, clear.a));
}

Canvas::~Canvas() = default;

void Canvas::set(int x, int y, int w, int h, Rgba c)
{
    RAST_FillRect(bitmap(), x, y, w, h, pixel(c, c.a), 1.0f, 0);
}

void Canvas::fill(int x, int y, int w, int h, Rgba c)
{
    RAST_FillRect(bitmap(), x, y, w, h, pixel(c, 255), opacity(c), 0);
}

void Canvas::gradient(int x, int y, int w, int h, Rgba top, Rgba bottom)
{
    fillSpans(
        bitmap(), y, y + h, [=](float, float& x0, float& x1) { return x0 = x, x1 = x + w, true; },
        [=](int yy) { return mix(top, bottom, h > 1 ? float(yy - y) / (h - 1) : 0.0f); });
}

void Canvas::roundFill(int x, int y, int w, int h, int radius, Rgba c)
{
    roundGradient(x, y, w, h, radius, c, c);
}

void Canvas::roundGradient(int x, int y, int w, int h, int radius, Rgba top, Rgba bottom)
{
    fillSpans(bitmap(), y, y + h, roundRectSpan(x, y, w, h, radius),
              [=](int yy) { return mix(top, bottom, h > 1 ? float(yy - y) / (h - 1) : 0.0f); });
}

void Canvas::roundFrame(int x, int y, int w, int h, int radius, Rgba c)
{
    RAST_RoundRect(bitmap(), x, y, w - 1, h - 1, radius, pixel(c, 255), opacity(c), 0, true);
}

void Canvas::line(float x1, float y1, float x2, float y2, Rgba c, float width)
{
    if (width <= 1.0f) {
        RAST_FLine(bitmap(), x1, y1, x2, y2, pixel(c, 255), opacity(c), 0, true);
        return;
    }
    const float len = std::hypot(x2 - x1, y2 - y1);
    if (len <= 0) return;
    const float nx = -(y2 - y1) / len * width / 2, ny = (x2 - x1) / len * width / 2;
    const float top = std::min({y1 + ny, y1 - ny, y2 + ny, y2 - ny});
    const float bottom = std::max({y1 + ny, y1 - ny, y2 + ny, y2 - ny});
    fillSpans(bitmap(), static_cast<int>(std::floor(top)), static_cast<int>(std::ceil(bottom)),
              polygonSpan({{x1 + nx, y1 + ny}, {x2 + nx, y2 + ny}, {x2 - nx, y2 - ny}, {x1 - nx, y1 - ny}}),
              [c](int) { return c; });
}

void Canvas::disc(float cx, float cy, float r, Rgba c)
{
    shadedDisc(cx, cy, r, c, c);
}

void Canvas::shadedDisc(float cx, float cy, float r, Rgba top, Rgba bottom)
{
    fillSpans(bitmap(), static_cast<int>(std::floor(cy - r)), static_cast<int>(std::ceil(cy + r)), discSpan(cx, cy, r),
              [=](int yy) { return mix(top, bottom, std::clamp((yy + 0.5f - (cy - r)) / (2 * r), 0.0f, 1.0f)); });
}

void Canvas::ring(float cx, float cy, float r, Rgba c)
{
    RAST_Circle(bitmap(), cx, cy, r, pixel(c, 255), opacity(c), 0, true);
}

void Canvas::arc(float cx, float cy, float r, float from, float to, Rgba c, float width)
{
    if (std::fabs(to - from) < 1e-4f) return;
    for (float d = -(width - 1) / 2; d <= (width - 1) / 2 + 1e-3f; d += 0.5f)
        RAST_Arc(bitmap(), cx, cy, r + d, from, to, pixel(c, 255), opacity(c), 0, true);
}

void Canvas::polygon(const std::vector<int>& xs, const std::vector<int>& ys, Rgba c)
{
    std::vector<std::pair<float, float>> pts;
    for (size_t i = 0; i < xs.size() && i < ys.size(); ++i) pts.emplace_back(float(xs[i]), float(ys[i]));
    if (pts.size() < 3) return;
    const auto [lo, hi] = std::minmax_element(ys.begin(), ys.end());
    fillSpans(bitmap(), *lo, *hi + 1, polygonSpan(pts), [c](int) { return c; });
}

RAST_CachedFont* Canvas::font(Font f)
{
    auto& cache = fontCache();
    const FontKey key{f.size, f.bold, f.mono};
    auto it = cache.find(key);
    if (it != cache.end()) return it->second.get();
    // The monospace name falls back to the stand-in's monospace face, so that every machine with
    // the packages draws the same pixels.
    HGDIOBJ system = CreateFont(f.size, 0, 0, 0, f.bold ? 700 : 400, 0, 0, 0, 0, 0, 0, 4, 0,
                                f.mono ? "NK57 Monospace" : "DejaVu Sans");
    if (!system) return nullptr;
    auto* made = new RAST_CachedFont();
    made->SetFromHFont(system, RAST_FONT_OWNS_HFONT | RAST_FONT_PREFER_NATIVE);
    cache[key].reset(made);
    return made;
}

void Canvas::text(int x, int y, int w, int h, const std::string& s, Font f, Rgba c, Align a)
{
    RAST_CachedFont* rf = font(f);
    if (!rf || s.empty()) return;
    rf->SetTextColor(pixel(c, 255));
    RECT r = {x, y, x + w, y + h};
    unsigned int flags = DT_SINGLELINE | DT_VCENTER | DT_NOCLIP;
    if (a == Align::Centre)
        flags |= DT_CENTER;
    else if (a == Align::Right)
        flags |= DT_RIGHT;
    rf->DrawText(bitmap(), s.c_str(), -1, &r, flags);
}

int Canvas::textWidth(const std::string& s, Font f)
{
    RAST_CachedFont* rf = font(f);
    if (!rf || s.empty()) return 0;
    RECT r = {0, 0, 0, 0};
    rf->DrawText(bitmap(), s.c_str(), -1, &r, DT_SINGLELINE | DT_CALCRECT);
    return r.right - r.left;
}

bool scalesWhole(int v)
{
    return v > 0 && static_cast<long long>(std::trunc(v * 0.85)) * 20 == 17LL * v &&
           static_cast<long long>(std::trunc(v * 1.15)) * 20 == 23LL * v;
}

} // namespace artwork
