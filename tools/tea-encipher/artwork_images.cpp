// One drawing per row of the bitmap table. Sizes of images cut into frames keep whole pixels at
// the three editor scales (scalesWhole); every frame keeps a transparent pixel around it, so
// that the bilinear scaling of a strip never mixes one frame into the next.
#include "tools/tea-encipher/artwork.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <functional>

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
const Font kSmallText{10, false, false};
const Font kBody{12, false, false};
const Font kTitle{12, true, false};

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

// The page, panel or window row of the layout whose background is this image.
const SectionRow* layoutRow(const Inputs& in, int id)
{
    for (const SectionRow& r : in.sections)
        if (r.kind != "section" && r.kind != "strip" && r.image == id) return &r;
    return nullptr;
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
void knobFrame(Canvas& c, int x, int y, int size, int knob, float angle)
{
    const float cx = x + size / 2.0f, cy = y + size / 2.0f, k = knob / 40.0f;
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

Picture knobStrip(int frames, int size, int knob)
{
    Picture p = picture(size, size * frames, size, size);
    for (int i = 0; i < frames; ++i)
        knobFrame(*p.canvas, 0, i * size, size, knob, rad(-135.0f + 270.0f * i / (frames - 1)));
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

void textButton(Canvas& c, int x, int y, int w, int h, bool on, const std::string& label)
{
    buttonBody(c, x, y, w, h, on);
    c.text(x, y, w, h, label, kLabel, on ? kWhite : kText);
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

void radioButton(Canvas& c, int x, int y, int w, int h, bool on, const std::string& label, Face face)
{
    if (face == Face::Tab) {
        c.set(x, y, w, h, withAlpha(kWindowTop, 0));
        c.roundFill(x + 1, y + 1, w - 2, h - 2, 4, kDarkEdge);
        c.roundGradient(x + 2, y + 2, w - 4, h - 4, 3, on ? Rgba{76, 80, 88, 255} : Rgba{50, 52, 58, 255},
                        on ? Rgba{54, 57, 63, 255} : Rgba{37, 39, 43, 255});
        if (on) c.roundFill(x + 8, y + h - 6, w - 16, 3, 1, kAccent);
        c.text(x, y, w, h - 2, upper(label), {13, true, false}, on ? kWhite : kTextDim);
        return;
    }
    buttonBody(c, x, y, w, h, on);
    if (face == Face::Wave)
        waveIcon(c, x, y, w, h, label, on ? kWhite : kText);
    else
        c.text(x, y, w, h, label, kLabel, on ? kWhite : kText);
}

// Buttons side by side, the off frame above the on frame.
Picture radioRow(const std::vector<std::string>& labels, int preferredW, int h, Face face, std::string* fault,
                 const std::string& what)
{
    const int n = static_cast<int>(labels.size());
    const int w = n ? sliceWidth(preferredW, n) : 0;
    if (!w) {
        *fault = what + ": no button width scales whole for " + std::to_string(n) + " buttons";
        return {};
    }
    Picture p = picture(w * n, 2 * h, w, h, n);
    for (int i = 0; i < n; ++i)
        for (int on = 0; on < 2; ++on) radioButton(*p.canvas, i * w, on * h, w, h, on, labels[i], face);
    return p;
}

// Buttons stacked, the off frame left of the on frame.
Picture radioColumn(const std::vector<std::string>& labels, int w, int h)
{
    const int n = static_cast<int>(labels.size());
    Picture p = picture(2 * w, h * n, w, h, n);
    Canvas& c = *p.canvas;
    for (int i = 0; i < n; ++i)
        for (int on = 0; on < 2; ++on) {
            const int x = on * w, y = i * h;
            c.roundFill(x + 1, y + 1, w - 2, h - 2, 4, kDarkEdge);
            c.roundGradient(x + 2, y + 2, w - 4, h - 4, 3, on ? kAccentTop : Rgba{58, 61, 67, 255},
                            on ? kAccentBottom : Rgba{40, 42, 47, 255});
            c.text(x, y, w, h, labels[i], {15, true, false}, on ? kWhite : kTextDim);
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
    if (title.empty() || h < 24) return;
    c.roundGradient(x + 1, y + 1, w - 2, 20, 5, kTitleTop, kTitleBottom);
    c.gradient(x + 1, y + 12, w - 2, 9, {50, 53, 58, 255}, kTitleBottom);
    c.fill(x + 1, y + 21, w - 2, 1, kDarkEdge);
    c.fill(x + 8, y + 6, 3, 10, kAccent);
    c.text(x + 16, y + 1, w - 24, 20, upper(title), kLabel, kText, Align::Left);
}

// Frames and titles of the sections the layout puts on this background.
void drawSections(Canvas& c, const Inputs& in, const SectionRow* owner)
{
    if (!owner) return;
    for (const SectionRow& s : in.sections)
        if (s.kind == "section" && s.parent == owner->name)
            sectionFrame(c, s.x - owner->x, s.y - owner->y, s.w, s.h, s.title);
}

void pageBackground(Canvas& c)
{
    c.gradient(0, 0, c.width(), c.height(), {36, 38, 42, 255}, {25, 26, 29, 255});
}

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

void mainChrome(Canvas& c)
{
    const int w = c.width(), h = c.height();
    pageBackground(c);
    c.gradient(0, 0, w, 56, {54, 57, 63, 255}, {33, 35, 39, 255});
    c.fill(0, 56, w, 1, kDarkEdge);
    c.fill(0, 57, w, 1, {255, 61, 139, 120});
    const Font logo{30, true, false};
    c.text(20, 6, 120, 44, "QOR", logo, kWhite, Align::Left);
    c.text(20 + c.textWidth("QOR", logo) + 8, 18, 120, 30, "EDITOR", {12, true, false}, kAccent, Align::Left);
    c.gradient(0, h - 24, w, 24, {40, 42, 46, 255}, {30, 31, 35, 255});
    c.fill(0, h - 25, w, 1, kDarkEdge);
    c.text(w - 220, h - 24, 204, 24, "TESSMOOR AUDIO", kSmallText, kTextDim, Align::Right);
    c.roundFrame(0, 0, w, h, 0, {10, 10, 12, 255});
}

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
    c.gradient(0, 226, c.width(), 47, {30, 32, 36, 255}, {24, 25, 28, 255});
    c.fill(0, 226, c.width(), 1, kPanelEdge);
    c.fill(0, 272, c.width(), 1, kPanelEdge);
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
    const int w = c.width(), h = c.height(), cy = h / 2;
    const int io = 44, n = static_cast<int>(stages.size());
    const float pitch = float(w - 2 * io) / std::max(n, 1);
    const int boxW = std::max(20, std::min(84, static_cast<int>(pitch) - 18)), boxH = 24;
    const Rgba wire{170, 174, 181, 255};
    c.text(8, cy - 10, io - 12, 20, "IN", kLabel, kTextDim);
    c.text(w - io + 4, cy - 10, io - 12, 20, "OUT", kLabel, kTextDim);
    float prevRight = io - 4;
    for (int i = 0; i < n; ++i) {
        const int k = static_cast<int>(stages[i].size());
        const float left = io + i * pitch + (pitch - boxW) / 2;
        const float spread = std::min(boxH + 8.0f, float(h - 16) / std::max(k, 1));
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
            c.text(bx, byi, boxW, boxH, stages[i][j], {10, true, false}, kText);
        }
        prevRight = left + boxW + (k > 1 ? 10 : 0);
    }
    c.line(prevRight, cy, w - io + 2, cy, wire, 1.5f);
    arrowHead(c, w - io + 4, cy, wire);
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
    {304, 20, 20},    {306, 80, 20},    {310, 600, 360},  {311, 80, 20},    {312, 120, 40},   {313, 600, 300},
    {314, 80, 20},    {316, 240, 60},   {317, 600, 400},  {320, 45, 35},    {322, 120, 60},   {324, 120, 20},
    {328, 600, 240},  {329, 600, 240},  {330, 600, 240},  {331, 600, 240},  {359, 240, 80},   {498, 160, 20},
    {500, 1500, 757}, {501, 1500, 757}, {502, 1500, 757}, {503, 1500, 757}, {504, 1500, 757}, {505, 1500, 757},
    {506, 1500, 757}, {507, 1500, 757}, {508, 1500, 757}, {996, 80, 20},    {997, 480, 180},  {998, 240, 20},
};

// Sizes that the system fixes: the layout may not choose others for them.
bool fixedSize(int id)
{
    return id == 103 || id == 104 || id == 122 || id == 258 || id == 303 || id == 320 || id == 500;
}

Picture single(const ImageTableRow& row, const Inputs& in, std::string* fault)
{
    int w = 600, h = 120; // the effect routing diagrams
    for (const Single& s : kSingles)
        if (s.id == row.id) w = s.w, h = s.h;
    const SectionRow* owner = layoutRow(in, row.id);
    if (owner && !fixedSize(row.id)) w = owner->w, h = owner->h;
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
    case 104: mainChrome(c); break;
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
    case 312:
        c.set(0, 0, w, h, withAlpha(kWhite, 0));
        c.text(0, 0, w, h, "QOR", {30, true, false}, kWhite, Align::Left);
        break;
    case 313:
        windowPanel(c, "Welcome to QOR Editor");
        windowLines(
            c, 50,
            {"Select the MIDI output and input ports of your synthesizer", "in the device menus to start editing."});
        break;
    case 314: textButton(c, 0, 0, w, h, false, "OK"); break;
    case 316: windowPanel(c, "Category"); break;
    case 317: windowPanel(c, "MIDI filters"); break;
    case 257: windowPanel(c, "Rename"); break;
    case 322:
        c.set(0, 0, w, h, withAlpha(kPanelTop, 0));
        c.roundFrame(0, 0, w, h, 4, kPanelEdge);
        break;
    case 328: destinationMap(c, "LFO"); break;
    case 329: destinationMap(c, "Envelope"); break;
    case 330: destinationMap(c, "Wheel"); break;
    case 331: destinationMap(c, "Ring"); break;
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
            const std::vector<std::string>& names = list(in, "fxRouting");
            const size_t i = static_cast<size_t>(row.id - 332);
            if (i >= names.size()) {
                *fault = imageFileName(row) + ": the fxRouting list has no entry " + std::to_string(i + 1);
                return {};
            }
            routingDiagram(c, names[i]);
        }
        break;
    }
    drawSections(c, in, owner);
    return p;
}

} // namespace

Picture draw(const ImageTableRow& row, const Inputs& in, std::string* fault)
{
    switch (row.id) {
    // Knobs: the normal knob is 40 pixels across. Strips of 5 and 21 frames of 40 would not scale
    // whole, so their frames are 60 with the same knob in the middle.
    case 110: return knobStrip(5, 60, 40);
    case 111: return knobStrip(128, 40, 40);
    case 112: return knobStrip(16, 40, 40);
    case 113: return knobStrip(21, 60, 40);
    case 114: return knobStrip(25, 40, 40);
    case 115: return knobStrip(49, 40, 40);
    case 169: return knobStrip(128, 20, 20);
    case 168: return faderHandle(40, 20);
    case 170: return faderHandle(20, 40);
    case 132: return radioRow(list(in, "mainTabs"), 140, 40, Face::Tab, fault, imageFileName(row));
    case 133: return radioColumn(list(in, "parts"), 40, 40);
    case 321: return radioRow(list(in, "oscillatorShape"), 40, 20, Face::Wave, fault, imageFileName(row));
    case 323: return radioRow(list(in, "filterSlope"), 60, 20, Face::Text, fault, imageFileName(row));
    case 326: return radioRow(list(in, "lfoShape"), 40, 20, Face::Wave, fault, imageFileName(row));
    case 327: return radioRow(list(in, "matrixSelector"), 80, 20, Face::Text, fault, imageFileName(row));
    case 119:
        return twoFrames(80, 20, [](Canvas& c, int x, int y, bool on) { textButton(c, x, y, 80, 20, on, "Multis"); });
    case 129:
        return twoFrames(80, 20, [](Canvas& c, int x, int y, bool on) { textButton(c, x, y, 80, 20, on, "Patterns"); });
    case 315:
        return twoFrames(80, 20,
                         [](Canvas& c, int x, int y, bool on) { textButton(c, x, y, 80, 20, on, "Categories"); });
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
    if (const SectionRow* owner = layoutRow(in, row.id))
        if (owner->w != w || owner->h != h)
            return name + ": the layout expects " + std::to_string(owner->w) + "x" + std::to_string(owner->h) +
                   ", the image is " + std::to_string(w) + "x" + std::to_string(h);
    return {};
}

} // namespace artwork
