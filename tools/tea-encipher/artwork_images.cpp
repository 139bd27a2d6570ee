// One drawing per row of the bitmap table. Sizes of images cut into frames keep whole pixels at
// the three editor scales (scalesWhole); every frame keeps a transparent pixel around it, so
// that the bilinear scaling of a strip never mixes one frame into the next.
#include "tools/tea-encipher/artwork.h"

#include "kit/raster/rast_png.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <functional>
#include <sstream>

#ifndef QOR_VERSION_TEXT
#define QOR_VERSION_TEXT "1.0.9"
#endif

namespace artwork
{

namespace
{

constexpr float kPi = 3.14159265358979f;
float rad(float deg)
{
    return deg * kPi / 180.0f;
}

// The palette: charcoal panels, light grey text and one pink accent for whatever is on.
const Rgba kClear{28, 29, 32, 0};
const Rgba kWindowTop{44, 46, 51, 255}, kWindowBottom{26, 27, 30, 255};
const Rgba kPanelTop{38, 40, 45, 255}, kPanelBottom{31, 33, 37, 255};
const Rgba kPanelEdge{68, 72, 79, 255}, kDarkEdge{14, 15, 17, 255};
const Rgba kTitleTop{58, 61, 67, 255}, kTitleBottom{45, 47, 52, 255};
const Rgba kText{222, 224, 228, 255}, kTextDim{148, 152, 159, 255};
const Rgba kButtonTop{74, 77, 84, 255}, kButtonBottom{49, 51, 56, 255};
const Rgba kAccent{255, 61, 139, 255}, kAccentTop{255, 96, 162, 255}, kAccentBottom{206, 36, 106, 255};
const Rgba kAccentDim{96, 32, 58, 255};
const Rgba kWhite{250, 250, 250, 255};
const Rgba kShade{0, 0, 0, 153};        // the progress overlay: 60 % black
const Rgba kProtector{62, 64, 69, 176}; // greys out what lies under it

const Font kLabel{11, true, false};
// The controls' names: small, one line kNameLine high (the generator places them by the same line).
const Font kName{10, false, false};
constexpr int kNameLine = 12;
const Rgba kNameColour{196, 200, 206, 255};
const Font kSmallText{10, false, false};
const Font kBody{12, false, false};

Rgba withAlpha(Rgba c, int a)
{
    return {c.r, c.g, c.b, a};
}

std::string upper(std::string s)
{
    for (char& ch : s) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    return s;
}

std::string lower(std::string s)
{
    for (char& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return s;
}

const std::vector<std::string>& list(const Inputs& in, const std::string& name)
{
    static const std::vector<std::string> none;
    auto it = in.lists.find(name);
    return it == in.lists.end() ? none : it->second;
}

bool namesImage(const SectionRow& r, const ImageTableRow& row)
{
    return r.kind != "section" && !r.image.empty() && (r.image == row.name || r.image == std::to_string(row.id));
}

// The layers of the layout whose background is this image.
std::vector<const SectionRow*> layoutRows(const Inputs& in, const ImageTableRow& row)
{
    std::vector<const SectionRow*> rows;
    for (const SectionRow& r : in.sections)
        if (namesImage(r, row)) rows.push_back(&r);
    return rows;
}

const SectionRow* layerNamed(const Inputs& in, const std::string& name)
{
    for (const SectionRow& r : in.sections)
        if (r.kind != "section" && r.name == name) return &r;
    return nullptr;
}

bool overlaps(const SectionRow& a, const SectionRow& b)
{
    return a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h;
}

// The backgrounds a section lands on: the nearest layer up its chain that has an image. A chain
// that reaches the top without one lies on the window (null), unless its top-level layer shows
// over the pages: then on the backgrounds of the pages it shows with.
std::vector<const SectionRow*> backgroundsOf(const Inputs& in, const SectionRow& section)
{
    const SectionRow* top = nullptr;
    std::string parent = section.parent;
    for (size_t depth = 0; depth <= in.sections.size() && !parent.empty() && parent != "-"; ++depth) {
        const SectionRow* layer = layerNamed(in, parent);
        if (!layer) return {};
        if (!layer->image.empty()) return {layer};
        top = layer;
        parent = layer->parent;
    }
    // The page pictures: on a page row, or on a panel of the page.
    std::vector<const SectionRow*> pages;
    for (const SectionRow& r : in.sections) {
        const SectionRow* page = r.kind == "page" ? &r : layerNamed(in, r.parent);
        if (r.kind == "section" || r.image.empty() || !page || page->kind != "page") continue;
        if (overlaps(r, top ? *top : section) && (!top || (page->id >= top->firstPage && page->id <= top->lastPage)))
            pages.push_back(&r);
    }
    if (pages.empty()) pages.push_back(nullptr);
    return pages;
}

// Larger than the loader decodes: the layout asked for something no editor could show.
std::string sizeTooLarge(const std::string& what, long long w, long long h)
{
    if (w <= RAST_PNG_MAX_SIDE && h <= RAST_PNG_MAX_SIDE && w * h <= RAST_PNG_MAX_PIXELS) return {};
    return what + ": " + std::to_string(w) + "x" + std::to_string(h) + " is larger than the loader reads";
}

Picture picture(int w, int h, int frameW, int frameH, int buttons = 0)
{
    Picture p;
    p.canvas = std::make_unique<Canvas>(w, h, kClear);
    p.frameW = frameW, p.frameH = frameH, p.buttons = buttons;
    return p;
}

// ---- knobs ----

// One knob frame: track and value arc, a dark skirt, a shaded cap and a white pointer at the
// angle (radians from twelve o'clock).
void knobFrame(Canvas& c, int x, int y, int knob, float angle)
{
    const float cx = x + knob / 2.0f, cy = y + knob / 2.0f, k = knob / 40.0f;
    const float arcR = 16.5f * k, arcW = knob >= 40 ? 3.0f : 1.5f;
    c.arc(cx, cy, arcR, rad(-135), rad(135), {58, 61, 67, 255}, arcW);
    c.arc(cx, cy, arcR, rad(-135), angle, kAccent, arcW);
    c.disc(cx, cy, 13.5f * k, kDarkEdge);
    c.shadedDisc(cx, cy, 12.5f * k, {112, 116, 124, 255}, {40, 42, 47, 255});
    c.shadedDisc(cx, cy, 10.5f * k, {60, 63, 69, 255}, {84, 88, 95, 255});
    const float s = std::sin(angle), co = -std::cos(angle);
    const float from = knob >= 40 ? 3.5f : 1.0f, to = 11.5f * k;
    c.line(cx + s * from, cy + co * from, cx + s * to, cy + co * to, kWhite, knob >= 40 ? 2.2f : 1.6f);
}

// The knob sits in the frame's top-left corner, where a control placed at a position draws it,
// so knobs of taller frames line up with the others.
Picture knobStrip(int frames, int frameH, int knob)
{
    Picture p = picture(knob, frameH * frames, knob, frameH);
    for (int i = 0; i < frames; ++i)
        knobFrame(*p.canvas, 0, i * frameH, knob, rad(-135.0f + 270.0f * i / (frames - 1)));
    return p;
}

// ---- buttons and lights ----

void buttonBody(Canvas& c, int x, int y, int w, int h, bool on, int radius = 3)
{
    c.roundFill(x + 1, y + 1, w - 2, h - 2, radius, kDarkEdge);
    c.roundGradient(x + 2, y + 2, w - 4, h - 4, radius - 1, on ? kAccentTop : kButtonTop,
                    on ? kAccentBottom : kButtonBottom);
    c.fill(x + 3, y + 2, w - 6, 1, {255, 255, 255, on ? 70 : 34});
}

// The font at the largest size up to f's that fits the text into the width.
Font fitting(Canvas& c, const std::string& text, Font f, int width)
{
    while (f.size > 8 && c.textWidth(text, f) > width) --f.size;
    return f;
}

void textButton(Canvas& c, int x, int y, int w, int h, bool on, const std::string& label)
{
    buttonBody(c, x, y, w, h, on);
    c.text(x, y, w, h, label, fitting(c, label, kLabel, w - 8), on ? kWhite : kText);
}

void led(Canvas& c, int x, int y, int w, int h, bool on, float r)
{
    const float cx = x + w / 2.0f, cy = y + h / 2.0f;
    c.set(x, y, w, h, withAlpha(on ? kAccent : kAccentDim, 0));
    if (on) {
        c.disc(cx, cy, r + 3.0f, withAlpha(kAccent, 60));
        c.disc(cx, cy, r + 1.5f, withAlpha(kAccent, 90));
    }
    c.disc(cx, cy, r + 0.8f, kDarkEdge);
    c.shadedDisc(cx, cy, r, on ? Rgba{255, 140, 190, 255} : Rgba{118, 44, 74, 255}, on ? kAccentBottom : kAccentDim);
    c.disc(cx - r * 0.3f, cy - r * 0.35f, r * 0.35f, {255, 255, 255, on ? 170 : 40});
}

void checkbox(Canvas& c, int x, int y, bool on)
{
    c.roundFill(x + 3, y + 3, 14, 14, 3, on ? kAccent : Rgba{110, 114, 121, 255});
    c.roundFill(x + 4, y + 4, 12, 12, 2, on ? kAccent : Rgba{30, 31, 34, 255});
    if (on) {
        c.line(x + 6.0f, y + 10.0f, x + 9.0f, y + 13.0f, kWhite, 2.0f);
        c.line(x + 9.0f, y + 13.0f, x + 14.5f, y + 6.5f, kWhite, 2.0f);
    }
}

void lockIcon(Canvas& c, int x, int y, bool locked)
{
    const Rgba metal = locked ? kAccent : Rgba{150, 154, 161, 255};
    const float sx = locked ? 10.0f : 12.5f, sy = locked ? 9.0f : 7.0f;
    c.arc(x + sx, y + sy, 3.3f, rad(-90), rad(90), metal, 1.6f);
    c.line(x + sx - 3.3f, y + sy, x + sx - 3.3f, y + 10.0f, metal, 1.6f);
    c.line(x + sx + 3.3f, y + sy, x + sx + 3.3f, y + 10.0f, metal, 1.6f);
    c.roundFill(x + 5, y + 9, 10, 8, 2, metal);
    c.fill(x + 9, y + 12, 2, 3, locked ? Rgba{120, 20, 60, 255} : Rgba{60, 62, 67, 255});
}

void arrowButton(Canvas& c, int x, int y, bool on, bool up)
{
    buttonBody(c, x, y, 20, 20, on);
    const Rgba ink = on ? kWhite : kText;
    if (up)
        c.polygon({x + 10, x + 15, x + 5}, {y + 6, y + 13, y + 13}, ink);
    else
        c.polygon({x + 5, x + 15, x + 10}, {y + 7, y + 7, y + 14}, ink);
}

void ledButton(Canvas& c, int x, int y, int w, int h, bool on)
{
    buttonBody(c, x, y, w, h, false);
    c.roundFill(x + 8, y + h / 2 - 2, w - 16, 4, 2, kDarkEdge);
    c.roundFill(x + 9, y + h / 2 - 1, w - 18, 2, 1, on ? kAccent : kAccentDim);
}

void powerButton(Canvas& c, int x, int y, int w, int h, bool on)
{
    buttonBody(c, x, y, w, h, on);
    const float cx = x + w / 2.0f, cy = y + h / 2.0f + 0.5f;
    const Rgba ink = on ? kWhite : kText;
    c.arc(cx, cy, 5.0f, rad(35), rad(325), ink, 1.6f);
    c.line(cx, cy - 7.0f, cx, cy - 1.0f, ink, 1.6f);
}

using FrameDrawer = std::function<void(Canvas&, int x, int y, bool on)>;

Picture twoFrames(int w, int h, const FrameDrawer& frame, bool inverted = false)
{
    Picture p = picture(w, 2 * h, w, h);
    frame(*p.canvas, 0, 0, inverted);
    frame(*p.canvas, 0, h, !inverted);
    return p;
}

// ---- radio strips ----

// A slice width near the preferred one that scales whole on its own and times the buttons.
int sliceWidth(int preferred, int buttons)
{
    for (int step = 0; step <= 8; ++step)
        for (int w : {preferred + 20 * step, preferred - 20 * step})
            if (w >= 20 && scalesWhole(w) && scalesWhole(w * buttons)) return w;
    return 0;
}

// Simple shapes for the waveform names; a name it does not know is written out.
void waveIcon(Canvas& c, int x, int y, int w, int h, const std::string& name, Rgba ink)
{
    const std::string n = lower(name);
    const float l = x + 8.0f, r = x + w - 8.0f, t = y + 5.5f, b = y + h - 5.5f, m = (t + b) / 2;
    auto poly = [&](std::vector<std::pair<float, float>> pts) {
        for (size_t i = 1; i < pts.size(); ++i)
            c.line(pts[i - 1].first, pts[i - 1].second, pts[i].first, pts[i].second, ink, 1.4f);
    };
    const float q = (r - l) / 4;
    if (n.find("down") != std::string::npos)
        poly({{l, b}, {l, t}, {l + 2 * q, b}, {l + 2 * q, t}, {r, b}});
    else if (n.find("saw") != std::string::npos || n.find("ramp") != std::string::npos)
        poly({{l, b}, {l + 2 * q, t}, {l + 2 * q, b}, {r, t}, {r, b}});
    else if (n.find("pulse") != std::string::npos)
        poly({{l, b},
              {l, t},
              {l + q, t},
              {l + q, b},
              {l + 2 * q, b},
              {l + 2 * q, t},
              {l + 3 * q, t},
              {l + 3 * q, b},
              {r, b}});
    else if (n.find("square") != std::string::npos)
        poly({{l, b}, {l, t}, {l + 2 * q, t}, {l + 2 * q, b}, {r, b}, {r, t}});
    else if (n.find("tri") != std::string::npos)
        poly({{l, m}, {l + q, t}, {l + 3 * q, b}, {r, m}});
    else if (n.find("sine") != std::string::npos || n.find("formant") != std::string::npos) {
        const bool formant = n.find("formant") != std::string::npos;
        std::vector<std::pair<float, float>> pts;
        for (int i = 0; i <= 32; ++i) {
            const float u = i / 32.0f;
            const float amp = formant ? (1.0f - std::fmod(u * 2, 1.0f)) : 1.0f;
            pts.emplace_back(l + (r - l) * u, m - (b - t) / 2 * amp * std::sin(u * 2 * kPi * (formant ? 4 : 1)));
        }
        poly(pts);
    } else if (n.find("noise") != std::string::npos || n.find("random") != std::string::npos ||
               n.find("s&h") != std::string::npos || n.find("sample") != std::string::npos) {
        static const float levels[] = {0.3f, 0.9f, 0.1f, 0.6f, 0.8f, 0.2f, 0.7f, 0.4f};
        std::vector<std::pair<float, float>> pts;
        for (int i = 0; i < 8; ++i) {
            const float y0 = t + (b - t) * levels[i];
            pts.emplace_back(l + (r - l) * i / 8, y0);
            pts.emplace_back(l + (r - l) * (i + 1) / 8, y0);
        }
        poly(pts);
    } else {
        c.text(x, y, w, h, name, kSmallText, ink);
    }
}

enum class Face { Text, Wave, Tab };

// One button of a strip, labelled in the strip's one font: text buttons and tabs share it.
void radioButton(Canvas& c, int x, int y, int w, int h, bool on, const std::string& label, Face face, Font font)
{
    if (face == Face::Tab) {
        c.set(x, y, w, h, withAlpha(kWindowTop, 0));
        c.roundFill(x + 1, y + 1, w - 2, h - 2, 4, kDarkEdge);
        c.roundGradient(x + 2, y + 2, w - 4, h - 4, 3, on ? Rgba{76, 80, 88, 255} : Rgba{50, 52, 58, 255},
                        on ? Rgba{54, 57, 63, 255} : Rgba{37, 39, 43, 255});
        const int bar = h >= 30 ? 3 : 2;
        if (on) c.fill(x + 8, y + h - 3 - bar, w - 16, bar, kAccent);
        c.text(x, y + 1, w, h - 3 - bar, label, font, on ? kWhite : kTextDim);
        return;
    }
    buttonBody(c, x, y, w, h, on);
    if (face == Face::Wave)
        waveIcon(c, x, y, w, h, label, on ? kWhite : kText);
    else
        c.text(x, y, w, h, label, font, on ? kWhite : kText);
}

// The labels of a strip as drawn: tabs in capitals when every one fits so, and one font size for
// all, the largest at which each fits its button.
Font stripLabels(Canvas& c, std::vector<std::string>& labels, int w, int h, Face face)
{
    Font font = face == Face::Tab ? Font{std::min(13, h / 2), true, false} : kLabel;
    if (face == Face::Tab) {
        std::vector<std::string> caps;
        bool fit = true;
        for (const std::string& l : labels) {
            caps.push_back(upper(l));
            fit = fit && c.textWidth(caps.back(), font) <= w - 10;
        }
        if (fit) labels = caps;
    }
    for (const std::string& l : labels) font.size = std::min(font.size, fitting(c, l, font, w - 10).size);
    return font;
}

// Where the layout puts a radio strip: the cell of the section that holds the chart's radio
// control of this image. False when the layout does not place it.
bool radioCell(const Inputs& in, const ImageTableRow& row, int* buttons, int* cellW, int* cellH)
{
    for (const RadioRow& r : in.radios) {
        if (r.image != row.name && r.image != std::to_string(row.id)) continue;
        for (const SectionRow& s : in.sections)
            if (s.kind == "section" && s.name == r.section && s.cellW > 0 && s.cellH > 0) {
                *buttons = r.buttons, *cellW = s.cellW, *cellH = s.cellH;
                return true;
            }
    }
    return false;
}

// The button size of a strip the layout places, cut from its cell: the strip fills the cell
// along its buttons (across), one frame fills it the other way. Empty fault when it fits.
std::string slotFault(const std::string& what, int labels, int buttons, int along, int* size)
{
    if (buttons != labels)
        return what + ": the layout gives " + std::to_string(buttons) + " buttons, the labels are " +
               std::to_string(labels);
    if (along % buttons)
        return what + ": the layout's " + std::to_string(along) + " pixels do not part into " +
               std::to_string(buttons) + " buttons";
    *size = along / buttons;
    return {};
}

// A strip cut from the layout's cell must still scale whole.
std::string cellFault(const std::string& what, int w, int h, int buttons, bool across)
{
    for (int v : {w, h, across ? w * buttons : h * buttons})
        if (!scalesWhole(v))
            return what + ": the layout's cell gives buttons of " + std::to_string(w) + "x" + std::to_string(h) + "; " +
                   std::to_string(v) + " pixels do not scale to whole pixels at 0.85 and 1.15";
    return {};
}

// Buttons side by side, the off frame above the on frame.
Picture radioRow(const ImageTableRow& row, const Inputs& in, const std::vector<std::string>& labels, int preferredW,
                 int h, Face face, std::string* fault)
{
    const std::string what = imageFileName(row);
    const int n = static_cast<int>(labels.size());
    int w = n ? sliceWidth(preferredW, n) : 0, buttons = 0, cellW = 0, cellH = 0;
    if (radioCell(in, row, &buttons, &cellW, &cellH)) {
        *fault = slotFault(what, n, buttons, cellW, &w);
        h = cellH;
        if (fault->empty()) *fault = cellFault(what, w, h, n, true);
        if (!fault->empty()) return {};
    }
    if (!w) {
        *fault = what + ": no button width scales whole for " + std::to_string(n) + " buttons";
        return {};
    }
    if (!(*fault = sizeTooLarge(what, 1LL * w * n, 2LL * h)).empty()) return {};
    Picture p = picture(w * n, 2 * h, w, h, n);
    std::vector<std::string> shown = labels;
    const Font font = stripLabels(*p.canvas, shown, w, h, face);
    for (int i = 0; i < n; ++i)
        for (int on = 0; on < 2; ++on) radioButton(*p.canvas, i * w, on * h, w, h, on, shown[i], face, font);
    return p;
}

// Buttons stacked, the off frame left of the on frame.
Picture radioColumn(const ImageTableRow& row, const Inputs& in, const std::vector<std::string>& labels, int w, int h,
                    std::string* fault)
{
    const int n = static_cast<int>(labels.size());
    int buttons = 0, cellW = 0, cellH = 0;
    if (radioCell(in, row, &buttons, &cellW, &cellH)) {
        *fault = slotFault(imageFileName(row), n, buttons, cellH, &h);
        w = cellW;
        if (fault->empty()) *fault = cellFault(imageFileName(row), w, h, n, false);
        if (!fault->empty()) return {};
    }
    if (!(*fault = sizeTooLarge(imageFileName(row), 2LL * w, 1LL * h * n)).empty()) return {};
    Picture p = picture(2 * w, h * n, w, h, n);
    Canvas& c = *p.canvas;
    for (int i = 0; i < n; ++i)
        for (int on = 0; on < 2; ++on) {
            const int x = on * w, y = i * h;
            c.roundFill(x + 1, y + 1, w - 2, h - 2, 4, kDarkEdge);
            c.roundGradient(x + 2, y + 2, w - 4, h - 4, 3, on ? kAccentTop : Rgba{58, 61, 67, 255},
                            on ? kAccentBottom : Rgba{40, 42, 47, 255});
            c.text(x, y, w, h, labels[i], {std::min(15, h / 2), true, false}, on ? kWhite : kTextDim);
        }
    return p;
}

// ---- faders ----

Picture faderHandle(int w, int h)
{
    Picture p = picture(w, h, w, h);
    Canvas& c = *p.canvas;
    c.roundFill(1, 1, w - 2, h - 2, 3, kDarkEdge);
    c.roundGradient(2, 2, w - 4, h - 4, 2, {196, 200, 206, 255}, {104, 108, 115, 255});
    if (w > h) {
        c.fill(3, h / 2 - 1, w - 6, 1, {40, 42, 46, 255});
        c.fill(3, h / 2, w - 6, 1, kAccent);
    } else {
        c.fill(w / 2 - 1, 3, 1, h - 6, {40, 42, 46, 255});
        c.fill(w / 2, 3, 1, h - 6, kAccent);
    }
    return p;
}

// ---- panels, windows and backgrounds ----

void sectionFrame(Canvas& c, int x, int y, int w, int h, const std::string& title)
{
    c.roundFill(x, y, w, h, 6, kPanelEdge);
    c.roundGradient(x + 1, y + 1, w - 2, h - 2, 5, kPanelTop, kPanelBottom);
    if (title.empty()) return;
    // A section of one line has no room for a title bar: its title is its face, as on a button
    // (the bank-edit menu is such a place, with no drawing of its own).
    if (h < 24) {
        c.text(x + 2, y, w - 4, h, upper(title), kLabel, kText, Align::Centre);
        return;
    }
    c.roundGradient(x + 1, y + 1, w - 2, 20, 5, kTitleTop, kTitleBottom);
    c.gradient(x + 1, y + 12, w - 2, 9, {50, 53, 58, 255}, kTitleBottom);
    c.fill(x + 1, y + 21, w - 2, 1, kDarkEdge);
    c.fill(x + 8, y + 6, 3, 10, kAccent);
    c.text(x + 16, y + 1, w - 24, 20, upper(title), kLabel, kText, Align::Left);
}

// Frames and titles of the sections the layout puts on these layers' backgrounds (the window's
// when owners holds null). Sections of layers that take turns in one place share a frame; their
// titles differ, so such a frame is drawn without one.
void drawSections(Canvas& c, const Inputs& in, const std::vector<const SectionRow*>& owners)
{
    struct Frame {
        int x, y, w, h;
        std::string title;
    };
    std::vector<Frame> frames;
    for (const SectionRow* owner : owners) {
        const int ox = owner ? owner->x : 0, oy = owner ? owner->y : 0;
        for (const SectionRow& s : in.sections)
            if (s.kind == "section") {
                const std::vector<const SectionRow*> on = backgroundsOf(in, s);
                // On a window an untitled section only places its buttons: a frame would box them
                // in with nothing to name.
                if (s.title.empty() && owner && owner->kind == "window") continue;
                if (std::find(on.begin(), on.end(), owner) != on.end())
                    frames.push_back({s.x - ox, s.y - oy, s.w, s.h, s.title});
            }
    }
    for (const Frame& f : frames) {
        const bool shared = std::any_of(frames.begin(), frames.end(), [&](const Frame& g) {
            return g.x == f.x && g.y == f.y && g.w == f.w && g.title != f.title;
        });
        sectionFrame(c, f.x, f.y, f.w, f.h, shared ? "" : f.title);
    }
}

void pageBackground(Canvas& c)
{
    c.gradient(0, 0, c.width(), c.height(), {36, 38, 42, 255}, {25, 26, 29, 255});
}

constexpr int kWindowTitleBar = 30;

void windowPanel(Canvas& c, const std::string& title)
{
    const int w = c.width(), h = c.height();
    c.set(0, 0, w, h, {90, 94, 101, 255});
    c.gradient(1, 1, w - 2, h - 2, kWindowTop, kWindowBottom);
    if (title.empty()) return;
    c.gradient(1, 1, w - 2, 28, kTitleTop, kTitleBottom);
    c.fill(1, 29, w - 2, 1, kAccent);
    c.text(14, 1, w - 28, 28, upper(title), {13, true, false}, kText, Align::Left);
}


void windowLines(Canvas& c, int top, const std::vector<std::string>& lines, Font f = kBody)
{
    for (size_t i = 0; i < lines.size(); ++i)
        c.text(20, top + static_cast<int>(i) * (f.size + 8), c.width() - 40, f.size + 8, lines[i], f, kText,
               Align::Left);
}

// The window: a header bar above the pages and a column left of them, where the layout puts the
// tabs, commands, read-outs and part selector, and the name in the corner they leave free.
// The logo in the corner above the part column; the about trigger that lies over it draws the same.
void cornerLogo(Canvas& c, int left, int top)
{
    c.text(0, 8, left, top / 2, "QOR", {std::min(24, left / 3), true, false}, kWhite);
    c.text(0, 8 + top / 2 - 6, left, 14, "EDITOR", {9, true, false}, kAccent);
}

void mainChrome(Canvas& c, const Inputs& in)
{
    const int w = c.width(), h = c.height();
    auto page =
        std::find_if(in.sections.begin(), in.sections.end(), [](const SectionRow& r) { return r.kind == "page"; });
    const int top = page == in.sections.end() ? 60 : std::clamp(page->y, 40, h);
    const int left = page == in.sections.end() ? 0 : std::clamp(page->x, 0, w / 4);
    pageBackground(c);
    c.gradient(0, 0, w, top, {54, 57, 63, 255}, {33, 35, 39, 255});
    c.fill(0, top - 2, w, 1, kDarkEdge);
    c.fill(0, top - 1, w, 1, {255, 61, 139, 120});
    if (left > 0) {
        c.gradient(0, top, left, h - top, {36, 38, 43, 255}, {30, 31, 35, 255});
        c.fill(left - 1, top, 1, h - top, kDarkEdge);
    }
    if (left >= 40) { // the corner above the column
        cornerLogo(c, left, top);
    } else {
        const Font logo{30, true, false};
        c.text(20, (top - 44) / 2, 120, 44, "QOR", logo, kWhite, Align::Left);
        c.text(20 + c.textWidth("QOR", logo) + 8, (top - 44) / 2 + 12, 120, 30, "EDITOR", {12, true, false}, kAccent,
               Align::Left);
    }
    c.roundFrame(0, 0, w, h, 0, {10, 10, 12, 255});
}

// The band between the librarian's panes, in the grid's rows, top and bottom colour.
constexpr int kBandTop = 226, kBandBottom = 273;
const Rgba kBandTopColour{30, 32, 36, 255}, kBandBottomColour{24, 25, 28, 255};

// The librarian's two panes of 8 columns by 16 rows, at the cell geometry of the slot view at
// full size: columns 133 apart and 105 wide, rows of 14 from y 1 and from y 274.
void browserGrid(Canvas& c)
{
    c.set(0, 0, c.width(), c.height(), {22, 23, 26, 255});
    for (int top : {1, 274}) {
        for (int col = 0; col < 8; ++col)
            for (int row = 0; row < 16; ++row)
                c.fill(col * 133, top + row * 14, 105, 14, row % 2 ? Rgba{33, 35, 39, 255} : Rgba{39, 41, 46, 255});
        for (int col = 0; col < 7; ++col)
            c.gradient(col * 133 + 105, top, 28, 16 * 14, {27, 28, 31, 255}, {24, 25, 28, 255});
    }
    c.gradient(0, kBandTop, c.width(), kBandBottom - kBandTop, kBandTopColour, kBandBottomColour);
    c.fill(0, 226, c.width(), 1, kPanelEdge);
    c.fill(0, 272, c.width(), 1, kPanelEdge);
}

// A caption alone, for a strip in the band between the librarian's panes: words on the band's
// own shade (the lower half of it, where such strips sit), with nothing around them that could
// pass for a button or a menu.
void caption(Canvas& c, const std::string& title)
{
    const Rgba middle{(kBandTopColour.r + kBandBottomColour.r) / 2, (kBandTopColour.g + kBandBottomColour.g) / 2,
                      (kBandTopColour.b + kBandBottomColour.b) / 2, 255};
    c.gradient(0, 0, c.width(), c.height(), middle, kBandBottomColour);
    c.text(4, 0, c.width() - 8, c.height(), title + ":", kBody, kTextDim, Align::Left);
}

void arrowHead(Canvas& c, float x, float y, Rgba ink)
{
    c.polygon({int(x), int(x - 7), int(x - 7)}, {int(y), int(y - 4), int(y + 4)}, ink);
}

// The routing of one effect configuration: stages left to right joined by arrows; a stage of
// "A + B" runs its effects side by side.
void routingDiagram(Canvas& c, const std::string& name)
{
    windowPanel(c, "");
    std::vector<std::vector<std::string>> stages;
    size_t pos = 0;
    while (pos <= name.size()) {
        size_t end = name.find(" > ", pos);
        if (end == std::string::npos) end = name.size();
        std::vector<std::string> boxes;
        const std::string stage = name.substr(pos, end - pos);
        size_t p2 = 0;
        while (p2 <= stage.size()) {
            size_t e2 = stage.find(" + ", p2);
            if (e2 == std::string::npos) e2 = stage.size();
            boxes.push_back(stage.substr(p2, e2 - p2));
            p2 = e2 + 3;
        }
        stages.push_back(boxes);
        pos = end + 3;
    }
    // Boxes as wide as the longest name; the chain turns into a second row (and more) when the
    // diagram is too narrow for it.
    const Font font{10, true, false};
    int widest = 0;
    for (const auto& stage : stages)
        for (const std::string& box : stage) widest = std::max(widest, c.textWidth(box, font));
    const int w = c.width(), h = c.height(), io = 44, n = static_cast<int>(stages.size());
    const int boxW = widest + 14, boxH = 22;
    const int perRow = std::clamp((w - 2 * io) / (boxW + 26), 1, std::max(n, 1));
    const int rows = (n + perRow - 1) / perRow;
    const float pitch = float(w - 2 * io) / perRow, rowH = float(h) / rows;
    const Rgba wire{170, 174, 181, 255};
    auto rowY = [&](int r) { return rowH * r + rowH / 2; };
    c.text(8, int(rowY(0)) - 10, io - 12, 20, "IN", kLabel, kTextDim);
    c.text(w - io + 4, int(rowY(rows - 1)) - 10, io - 12, 20, "OUT", kLabel, kTextDim);
    float prevRight = io - 4;
    for (int i = 0; i < n; ++i) {
        const int row = i / perRow, k = static_cast<int>(stages[i].size());
        const float cy = rowY(row), left = io + (i % perRow) * pitch + (pitch - boxW) / 2;
        if (i > 0 && i % perRow == 0) { // down to the next row and back to its start
            const float turnY = rowH * row, prevY = rowY(row - 1);
            c.line(prevRight, prevY, w - io + 8, prevY, wire, 1.5f);
            c.line(w - io + 8, prevY, w - io + 8, turnY, wire, 1.5f);
            c.line(w - io + 8, turnY, io - 4, turnY, wire, 1.5f);
            c.line(io - 4, turnY, io - 4, cy, wire, 1.5f);
            prevRight = io - 4;
        }
        const float spread = std::min(boxH + 6.0f, (rowH - 8) / std::max(k, 1));
        c.line(prevRight, cy, left - 10, cy, wire, 1.5f);
        for (int j = 0; j < k; ++j) {
            const float by = cy + (j - (k - 1) / 2.0f) * spread;
            if (k > 1) {
                c.line(left - 10, cy, left - 10, by, wire, 1.5f);
                c.line(left - 10, by, left - 1, by, wire, 1.5f);
                c.line(left + boxW, by, left + boxW + 10, by, wire, 1.5f);
                c.line(left + boxW + 10, by, left + boxW + 10, cy, wire, 1.5f);
            } else {
                c.line(left - 10, cy, left - 1, cy, wire, 1.5f);
            }
            arrowHead(c, left, by, wire);
            const int bx = static_cast<int>(left), byi = static_cast<int>(by) - boxH / 2;
            c.roundFill(bx, byi, boxW, boxH, 4, kPanelEdge);
            c.roundGradient(bx + 1, byi + 1, boxW - 2, boxH - 2, 3, kTitleTop, kTitleBottom);
            c.text(bx, byi, boxW, boxH, stages[i][j], font, kText);
        }
        prevRight = left + boxW + (k > 1 ? 10 : 0);
    }
    const float endY = rowY(rows - 1);
    c.line(prevRight, endY, w - io + 2, endY, wire, 1.5f);
    arrowHead(c, w - io + 4, endY, wire);
}

// Where one modulation source reaches: the oscillators, ring modulators, noise and filter by row,
// the amounts by column.
void destinationMap(Canvas& c, const std::string& source)
{
    windowPanel(c, source + " destinations");
    static const char* rows[] = {"OSC 1", "OSC 2", "OSC 3", "RING 1-3", "RING 2-3", "NOISE"};
    static const char* cols[] = {"SYNC", "LEVEL", "WIDTH", "SOFTEN", "PITCH"};
    const int left = 96, top = 36, colW = (c.width() - left - 12) / 5, rowH = (c.height() - top - 24) / 6;
    for (int i = 0; i < 5; ++i) c.text(left + i * colW, top, colW, 18, cols[i], kLabel, kTextDim);
    for (int j = 0; j < 6; ++j) {
        const int y = top + 20 + j * rowH;
        if (j % 2 == 0) c.fill(8, y, c.width() - 16, rowH, {255, 255, 255, 10});
        c.text(16, y, left - 20, rowH, rows[j], kLabel, kText, Align::Left);
    }
}

struct Single {
    int id, w, h;
};

// Sizes of the single images when the layout does not give one: backgrounds at the window's
// size, windows, overlays and buttons at the sizes the layout places them.
const Single kSingles[] = {
    {102, 1500, 757}, {103, 1064, 500}, {104, 1500, 757}, {117, 80, 20},    {118, 80, 20},    {122, 1724, 870},
    {123, 40, 320},   {131, 40, 160},   {257, 320, 100},  {258, 127, 18},   {302, 20, 20},    {303, 18, 18},
    {304, 20, 20},    {306, 80, 20},    {310, 600, 360},  {311, 80, 20},    {312, 70, 100},   {313, 600, 300},
    {314, 80, 20},    {316, 240, 60},   {317, 600, 400},  {320, 45, 35},    {322, 120, 60},   {324, 120, 20},
    {328, 600, 240},  {329, 600, 240},  {330, 600, 240},  {331, 600, 240},  {359, 240, 80},   {498, 160, 20},
    {500, 1500, 757}, {501, 1500, 757}, {502, 1500, 757}, {503, 1500, 757}, {504, 1500, 757}, {505, 1500, 757},
    {506, 1500, 757}, {507, 1500, 757}, {508, 1500, 757}, {996, 80, 20},    {997, 480, 180},  {998, 240, 20},
};

// Sizes that the system fixes: the layout may not choose others for them.
bool fixedSize(int id)
{
    return id == 103 || id == 104 || id == 122 || id == 258 || id == 303 || id == 320;
}

// The controls' names the generator placed on this image, in the label font, wrapped at spaces.
std::string drawLabels(Canvas& c, const Inputs& in, const ImageTableRow& row)
{
    for (const LabelRow& l : in.labels) {
        if (l.image != row.name && l.image != std::to_string(row.id)) continue;
        const std::vector<std::string> lines = labelLines(c, l);
        if (lines.empty() || l.x < 0 || l.y < 0 || l.x + l.w > c.width() || l.y + l.h > c.height())
            return imageFileName(row) + ": the name \"" + l.text + "\" does not fit its place " + std::to_string(l.w) +
                   "x" + std::to_string(l.h) + " at " + std::to_string(l.x) + "," + std::to_string(l.y);
        const int top = l.left ? l.y + (l.h - kNameLine * int(lines.size())) / 2 : l.y;
        for (size_t i = 0; i < lines.size(); ++i)
            c.text(l.x, top + kNameLine * int(i), l.w, kNameLine, lines[i], kName, kNameColour,
                   l.left ? Align::Left : Align::Centre);
    }
    return {};
}

// A window's own title, or none when a section on it carries the same title already.
std::string titleUnlessSectionHasIt(const Inputs& in, const std::vector<const SectionRow*>& owners,
                                    const std::string& title)
{
    for (const SectionRow& s : in.sections) {
        if (s.kind != "section" || upper(s.title) != upper(title)) continue;
        const std::vector<const SectionRow*> on = backgroundsOf(in, s);
        for (const SectionRow* owner : owners)
            if (std::find(on.begin(), on.end(), owner) != on.end()) return {};
    }
    return title;
}

Picture single(const ImageTableRow& row, const Inputs& in, std::string* fault)
{
    int w = 410, h = 200; // the effect routing diagrams
    for (const Single& s : kSingles)
        if (s.id == row.id) w = s.w, h = s.h;
    const std::vector<const SectionRow*> owners = layoutRows(in, row);
    if (!owners.empty() && !fixedSize(row.id)) w = owners[0]->w, h = owners[0]->h;
    if (!(*fault = sizeTooLarge(imageFileName(row), w, h)).empty()) return {};
    Picture p = picture(w, h, w, h);
    Canvas& c = *p.canvas;
    switch (row.id) {
    case 102:
    case 501:
    case 502:
    case 503:
    case 504:
    case 505:
    case 506:
    case 507:
    case 508: pageBackground(c); break;
    case 103: browserGrid(c); break;
    case 104: mainChrome(c, in); break;
    case 500: pageBackground(c); break;
    case 122: c.set(0, 0, w, h, kShade); break;
    case 123:
    case 302:
    case 359:
    case 498:
    case 324:
    case 320: c.set(0, 0, w, h, kProtector); break;
    case 131: c.set(0, 0, w, h, {20, 21, 24, 180}); break;
    case 117: textButton(c, 0, 0, w, h, false, "Discard"); break;
    case 118: textButton(c, 0, 0, w, h, false, "Cancel"); break;
    case 258:
    case 303: buttonBody(c, 0, 0, w, h, false, 2); break;
    case 304:
        c.disc(w / 2.0f, h / 2.0f, w / 2.0f - 1.5f, kDarkEdge);
        c.shadedDisc(w / 2.0f, h / 2.0f, w / 2.0f - 2.5f, kButtonTop, kButtonBottom);
        c.polygon({w / 2 - 2, w / 2 + 4, w / 2 - 2}, {h / 2 - 4, h / 2, h / 2 + 4}, kText);
        break;
    case 306: textButton(c, 0, 0, w, h, false, "Randomize"); break;
    case 310:
        windowPanel(c, "About");
        c.text(20, 50, w - 40, 50, "QOR Editor", {30, true, false}, kWhite, Align::Left);
        windowLines(c, 110,
                    {"Version " QOR_VERSION_TEXT,
                     "Editor and librarian for the Brixtane Ruvo and Tirravel synthesizers", "Tessmoor Audio"});
        break;
    case 311: textButton(c, 0, 0, w, h, false, "Close"); break;
    case 312: // the corner logo, where the layout puts the trigger over it
        c.set(0, 0, w, h, withAlpha(kWhite, 0));
        cornerLogo(c, w, h);
        break;
    case 313:
        windowPanel(c, "Welcome to QOR Editor");
        windowLines(
            c, 50,
            {"Select the MIDI output and input ports of your synthesizer", "in the device menus to start editing."});
        break;
    case 314: textButton(c, 0, 0, w, h, false, "OK"); break;
    case 316:
        // Where the layout makes it a strip, it is a caption bar the height of the strip.
        if (h < kWindowTitleBar)
            caption(c, "Category");
        else
            windowPanel(c, titleUnlessSectionHasIt(in, owners, "Category"));
        break;
    case 317: windowPanel(c, titleUnlessSectionHasIt(in, owners, "MIDI filters")); break;
    case 257:
        windowPanel(c, titleUnlessSectionHasIt(in, owners, "Rename"));
        // The name field takes the keys at once; the panel says which of them end it.
        c.text(20, h - 30, w - 40, 20, "Return: rename      Escape: cancel", kBody, kTextDim, Align::Left);
        break;
    case 322:
        c.set(0, 0, w, h, withAlpha(kPanelTop, 0));
        c.roundFrame(0, 0, w, h, 4, kPanelEdge);
        break;
    // A destination map the layout gives a layer carries that layer's section and names instead.
    case 328: owners.empty() ? destinationMap(c, "LFO") : pageBackground(c); break;
    case 329: owners.empty() ? destinationMap(c, "Envelope") : pageBackground(c); break;
    case 330: owners.empty() ? destinationMap(c, "Wheel") : pageBackground(c); break;
    case 331: owners.empty() ? destinationMap(c, "Ring") : pageBackground(c); break;
    case 996: textButton(c, 0, 0, w, h, false, "Overwrite"); break;
    case 997:
        windowPanel(c, "Bank conflict");
        windowLines(c, 50,
                    {"Another part already plays this bank and program.", "Choose another program for this part."});
        break;
    case 998:
        c.roundFill(0, 0, w, h, 3, kPanelEdge);
        c.roundFill(1, 1, w - 2, h - 2, 2, {18, 19, 21, 255});
        c.ring(w - 12.0f, h / 2.0f - 1.0f, 4.0f, kTextDim);
        c.line(w - 9.0f, h / 2.0f + 2.0f, w - 6.0f, h / 2.0f + 5.0f, kTextDim, 1.5f);
        break;
    default:
        if (row.id >= 332 && row.id <= 350) {
            const std::vector<std::string>& names = list(in, "fxRoutingChains");
            const size_t i = static_cast<size_t>(row.id - 332);
            if (i >= names.size()) {
                *fault = imageFileName(row) + ": the routing chains have no entry " + std::to_string(i + 1);
                return {};
            }
            routingDiagram(c, names[i]);
        }
        break;
    }
    if (row.id == 104)
        drawSections(c, in, {nullptr});
    else
        drawSections(c, in, owners);
    if (!(*fault = drawLabels(c, in, row)).empty()) return {};
    return p;
}

} // namespace

Picture draw(const ImageTableRow& row, const Inputs& in, std::string* fault)
{
    switch (row.id) {
    // Knobs: the normal knob is 40 pixels across. Strips of 5 and 21 frames 40 high would not
    // scale whole, so their frames are 60 high with the same knob at the top.
    case 110: return knobStrip(5, 60, 40);
    case 111: return knobStrip(128, 40, 40);
    case 112: return knobStrip(16, 40, 40);
    case 113: return knobStrip(21, 60, 40);
    case 114: return knobStrip(25, 40, 40);
    case 115: return knobStrip(49, 40, 40);
    case 169: return knobStrip(128, 20, 20);
    case 168: return faderHandle(40, 20);
    case 170: return faderHandle(20, 40);
    case 132: return radioRow(row, in, list(in, "mainTabs"), 140, 40, Face::Tab, fault);
    case 133: return radioColumn(row, in, list(in, "parts"), 40, 40, fault);
    case 321: return radioRow(row, in, list(in, "oscillatorShape"), 40, 20, Face::Wave, fault);
    case 323: return radioRow(row, in, list(in, "filterSlope"), 60, 20, Face::Text, fault);
    case 326: return radioRow(row, in, list(in, "lfoShape"), 40, 20, Face::Wave, fault);
    case 327: return radioRow(row, in, list(in, "matrixSelector"), 80, 20, Face::Text, fault);
    case 119: // the librarian's data type: one button per kind, the chosen one lit
        return radioRow(row, in, {"Programs", "Multis", "Patterns"}, 80, 20, Face::Text, fault);
    case 129:
        return twoFrames(80, 20, [](Canvas& c, int x, int y, bool on) { textButton(c, x, y, 80, 20, on, "Patterns"); });
    case 315: // the generic off/on switch
        return twoFrames(40, 20,
                         [](Canvas& c, int x, int y, bool on) { textButton(c, x, y, 40, 20, on, on ? "ON" : "OFF"); });
    case 161:
        return twoFrames(80, 20,
                         [](Canvas& c, int x, int y, bool on) { textButton(c, x, y, 80, 20, on, "Keep bank"); });
    case 999:
        return twoFrames(60, 20, [](Canvas& c, int x, int y, bool on) { textButton(c, x, y, 60, 20, on, "Search"); });
    case 184:
        return twoFrames(40, 20, [](Canvas& c, int x, int y, bool on) { textButton(c, x, y, 40, 20, on, "MUTE"); });
    case 301:
    case 325:
        return twoFrames(
            40, 20, [](Canvas& c, int x, int y, bool on) { buttonBody(c, x, y, 40, 20, on); }, row.id == 325);
    case 319: return twoFrames(40, 20, [](Canvas& c, int x, int y, bool on) { ledButton(c, x, y, 40, 20, on); });
    case 309: return twoFrames(40, 20, [](Canvas& c, int x, int y, bool on) { powerButton(c, x, y, 40, 20, on); });
    case 128: return twoFrames(20, 20, [](Canvas& c, int x, int y, bool on) { lockIcon(c, x, y, on); });
    case 318: return twoFrames(20, 20, [](Canvas& c, int x, int y, bool on) { checkbox(c, x, y, on); });
    case 202: return twoFrames(20, 20, [](Canvas& c, int x, int y, bool on) { arrowButton(c, x, y, on, true); });
    case 203: return twoFrames(20, 20, [](Canvas& c, int x, int y, bool on) { arrowButton(c, x, y, on, false); });
    case 300:
    case 305:
        return twoFrames(
            20, 20, [](Canvas& c, int x, int y, bool on) { led(c, x, y, 20, 20, on, 3.5f); }, row.id == 305);
    case 497: return twoFrames(20, 20, [](Canvas& c, int x, int y, bool on) { led(c, x, y, 20, 20, on, 5.5f); });
    default: break;
    }
    if (row.id >= 140 && row.id <= 147) {
        const std::string number = std::to_string(row.id - 139);
        return twoFrames(40, 20,
                         [number](Canvas& c, int x, int y, bool on) { textButton(c, x, y, 40, 20, on, number); });
    }
    return single(row, in, fault);
}

std::string radioNote(const ImageTableRow& row, const Inputs& in)
{
    // A radio control cuts its buttons from a strip of them: on a single button it shows slivers.
    const bool strip = row.id == 119 || row.id == 132 || row.id == 133 || row.id == 321 || row.id == 323 ||
                       row.id == 326 || row.id == 327;
    for (const RadioRow& r : in.radios)
        if (!strip && (r.image == row.name || r.image == std::to_string(row.id)))
            return imageFileName(row) + ": " + r.name + " is a radio of " + std::to_string(r.buttons) +
                   " buttons on it, but it is a single button, not a strip";
    return {};
}

namespace
{

// The text wrapped at spaces into w pixels and h of lines; empty when it does not fit.
std::vector<std::string> wrapped(Canvas& c, const std::string& text, int w, int h)
{
    std::vector<std::string> lines;
    std::istringstream words(text);
    for (std::string word; words >> word;) {
        if (c.textWidth(word, kName) > w) return {};
        if (!lines.empty() && c.textWidth(lines.back() + " " + word, kName) <= w)
            lines.back() += " " + word;
        else
            lines.push_back(word);
    }
    if (static_cast<int>(lines.size()) * kNameLine > h) return {};
    return lines;
}

// What a name under a control keeps clear on each side of its place where its lines allow, so that
// two names side by side do not run into each other.
constexpr int kNameInset = 4;

} // namespace

std::vector<std::string> labelLines(Canvas& c, const LabelRow& l)
{
    // A row's name stands alone before its row: only names under controls have neighbours.
    std::vector<std::string> inside = l.left ? std::vector<std::string>() : wrapped(c, l.text, l.w - 2 * kNameInset, l.h);
    return inside.empty() ? wrapped(c, l.text, l.w, l.h) : inside;
}

std::string imageFileName(const ImageTableRow& row)
{
    const std::string file = row.file;
    return file.substr(file.find_last_of('/') + 1);
}

std::string sizeFault(const ImageTableRow& row, const Picture& p, const Inputs& in)
{
    const std::string name = imageFileName(row);
    const int w = p.canvas->width(), h = p.canvas->height();
    if (row.frames > 1 || p.buttons > 1) {
        for (int v : {p.frameW, p.frameH, w, h})
            if (!scalesWhole(v))
                return name + ": " + std::to_string(v) + " pixels do not scale to whole pixels at 0.85 and 1.15";
        const int across = row.framesHorizontal ? row.frames : std::max(p.buttons, 1);
        const int down = row.framesHorizontal ? std::max(p.buttons, 1) : row.frames;
        if (p.frameW * across != w || p.frameH * down != h)
            return name + ": " + std::to_string(w) + "x" + std::to_string(h) + " is not a whole number of frames";
    }
    for (const SectionRow* owner : layoutRows(in, row))
        if (owner->w != w || owner->h != h)
            return name + ": the layout expects " + std::to_string(owner->w) + "x" + std::to_string(owner->h) +
                   " for " + owner->name + ", the image is " + std::to_string(w) + "x" + std::to_string(h);
    return {};
}

} // namespace artwork
