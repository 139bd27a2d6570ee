// Draws the test bundle's editor bitmaps at build time: the background (1500 x 757) and the
// strips of the demo editor's knob, switch, radio buttons and fader, plus the progress overlay.
//
//   qor-standin-images FOLDER
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/pngwriter/png_writer.h"

namespace {

struct Canvas {
    int w, h;
    std::vector<uint32_t> px;
    Canvas(int width, int height) : w(width), h(height), px(size_t(width) * height, 0) {}
    // Bytes in memory: alpha, red, green, blue.
    static uint32_t Argb(int a, int r, int g, int b)
    {
        return uint32_t(a) | uint32_t(r) << 8 | uint32_t(g) << 16 | uint32_t(b) << 24;
    }
    void Set(int x, int y, uint32_t c)
    {
        if (x >= 0 && y >= 0 && x < w && y < h) px[size_t(y) * w + x] = c;
    }
    void Fill(int x0, int y0, int x1, int y1, uint32_t c)
    {
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) Set(x, y, c);
    }
    void Disc(double cx, double cy, double r, uint32_t c)
    {
        for (int y = int(cy - r); y <= int(cy + r); ++y)
            for (int x = int(cx - r); x <= int(cx + r); ++x)
                if ((x + 0.5 - cx) * (x + 0.5 - cx) + (y + 0.5 - cy) * (y + 0.5 - cy) <= r * r) Set(x, y, c);
    }
    bool Write(const std::string& path) const
    {
        return pngw::writeFile(pngw::encodeArgbWords(px.data(), w, h, w), path);
    }
};

Canvas Background()
{
    Canvas c(1500, 757);
    for (int y = 0; y < c.h; ++y)
        for (int x = 0; x < c.w; ++x) {
            // A slow gradient with a fine check, so that scaling shows.
            int r = 30 + x * 40 / c.w, g = 34 + y * 50 / c.h, b = 48 + ((x / 4 + y / 4) % 2) * 6;
            if (x % 50 == 0 || y % 50 == 0) r += 25;
            c.Set(x, y, Canvas::Argb(255, r, g, b));
        }
    c.Fill(80, 70, 1000, 270, Canvas::Argb(255, 58, 62, 74)); // the control panel
    c.Fill(80, 690, 760, 730, Canvas::Argb(255, 20, 22, 28)); // the status line
    return c;
}

Canvas Knob()
{
    const int n = 32, s = 60;
    Canvas c(s, s * n);
    for (int f = 0; f < n; ++f) {
        const double cy = f * s + s / 2.0, cx = s / 2.0;
        c.Disc(cx, cy, 27, Canvas::Argb(255, 200, 200, 210));
        c.Disc(cx, cy, 23, Canvas::Argb(255, 70, 72, 86));
        const double a = -2.356 + 4.712 * f / (n - 1);
        for (double t = 4; t < 22; t += 0.5) c.Disc(cx + t * std::sin(a), cy - t * std::cos(a), 2, Canvas::Argb(255, 255, 170, 40));
    }
    return c;
}

Canvas TwoFrames(int w, int h, uint32_t off, uint32_t on, bool round)
{
    Canvas c(w, h * 2);
    for (int f = 0; f < 2; ++f) {
        if (round) c.Disc(w / 2.0, f * h + h / 2.0, w / 2.0 - 1, f ? on : off);
        else c.Fill(0, f * h, w, f * h + h, f ? on : off);
        c.Fill(2, f * h + 2, w - 2, f * h + 4, Canvas::Argb(255, 240, 240, 240));
    }
    return c;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: qor-standin-images FOLDER\n");
        return 2;
    }
    const std::string dir = argv[1];
    bool ok = Background().Write(dir + "/main-bg.png");
    ok &= Knob().Write(dir + "/knob.png");
    ok &= TwoFrames(60, 30, Canvas::Argb(255, 90, 90, 96), Canvas::Argb(255, 60, 200, 90), false).Write(dir + "/switch.png");
    ok &= TwoFrames(24, 24, Canvas::Argb(255, 110, 110, 120), Canvas::Argb(255, 250, 200, 40), true).Write(dir + "/radio.png");
    Canvas handle(30, 16);
    handle.Fill(0, 0, 30, 16, Canvas::Argb(255, 180, 180, 190));
    handle.Fill(2, 7, 28, 9, Canvas::Argb(255, 40, 40, 40));
    ok &= handle.Write(dir + "/fader.png");
    Canvas progress(300, 60);
    progress.Fill(0, 0, 300, 60, Canvas::Argb(255, 10, 10, 10));
    progress.Fill(10, 25, 200, 35, Canvas::Argb(255, 60, 160, 250));
    ok &= progress.Write(dir + "/progress.png");
    if (!ok) std::fprintf(stderr, "qor-standin-images: cannot write into %s\n", dir.c_str());
    return ok ? 0 : 1;
}
