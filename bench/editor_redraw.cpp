// The editor surface's redraw at the editor's size, 1724 x 870: 2,000 controls on eight pages
// (layers) with one page, 250 controls, shown: 100 knobs, 50 switches, 50 captions, 25 faders,
// 25 radio groups. Timed: a full redraw with everything dirty, a one-knob redraw (at scale 1.0
// and 0.85) and the dirty walk alone. Beside them pixman makes the same composites (the
// background as SRC, one OVER per control) and cairo draws the same captions.
// Through the window (the Cocoa view in a host window on the AppKit stand-in, at the UI sizes
// 0.85 and 1.15 of 1500 x 757): a full and a one-knob redraw by timer, display pass and screen
// copy, the screen copy alone with the whole view and with one knob's clip, and beside them a
// memcpy and a pixman SRC of the same rows.
// The configured editor of the shipped bundle at the large size (1724 x 870), in a host window:
// a full redraw with every control dirty and a one-knob redraw, each by timer, display pass and
// screen copy.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <AppKit/AppKit.h>

#include <cstring>

#include "Project_Source/src/QOR.h"
#include "Project_Source/src/QORParams.h"
#include "bench_paths.h"
#include "bench_quiet.h"
#include "kit/plugin/IGraphicsCocoa.h"
#include "kit/plugin/IGraphicsMac.h"
#include "kit/raster/rast_rect.h"
#include "kit/wapi/wapi-gdi.h"
#include "tests/plugin/graphics_offscreen.h"

#ifdef QOR_HAVE_PIXMAN
#include <pixman.h>
#endif
#ifdef QOR_HAVE_CAIRO
#include <cairo.h>
#endif

namespace {

const int kW = 1724, kH = 870, kPages = 8, kPerPage = 250, kCellW = 86, kCellH = 58, kCols = 20;
enum { kKnob, kSwitch, kCaption, kFader, kRadio };

// The kind of the i-th control of a page: 100 knobs, 50 switches, 50 captions, 25 faders, 25 radios.
int KindOf(int i)
{
    return i < 100 ? kKnob : i < 150 ? kSwitch : i < 200 ? kCaption : i < 225 ? kFader : kRadio;
}

// Every parameter a MIDI value, 0 to 127.
struct BenchPlug : SurfacePlug {
    BenchPlug() : SurfacePlug(kPages * kPerPage)
    {
        for (int i = 0; i < kPages * kPerPage; ++i) GetParam(i)->InitInt("Param", 0, 0, 127, "");
    }
};

// Images made in memory, the way the bundle's PNGs would arrive from the back end.
RAST_IBitmap* MakeImage(const std::string& name)
{
    auto fill = [](RAST_IBitmap* bm, int x, int y, int w, int h, int a, int r, int g, int b) {
        RAST_FillRect(bm, x, y, w, h, RAST_MakePixel(r, g, b, a), 1.0f, 0);
    };
    if (name == "bg") {
        auto* bm = new RAST_MemBitmap(kW, kH, 4);
        for (int y = 0; y < kH; y += 10) fill(bm, 0, y, kW, 10, 255, 30 + y % 40, 34, 40 + y % 30);
        return bm;
    }
    if (name == "knob") {
        auto* bm = new RAST_MemBitmap(40, 40 * 31, 4);
        fill(bm, 0, 0, 40, 40 * 31, 0, 0, 0, 0);
        for (int f = 0; f < 31; ++f) fill(bm, 6, 40 * f + 6, 28, 28, 200, 120, 124, 132 + f);
        return bm;
    }
    if (name == "switch") {
        auto* bm = new RAST_MemBitmap(40, 40, 4);
        fill(bm, 0, 0, 40, 20, 220, 120, 124, 132);
        fill(bm, 0, 20, 40, 20, 220, 250, 170, 40);
        return bm;
    }
    if (name == "handle") {
        auto* bm = new RAST_MemBitmap(14, 24, 4);
        fill(bm, 0, 0, 14, 24, 230, 240, 240, 240);
        return bm;
    }
    auto* bm = new RAST_MemBitmap(14, 28, 4); // radio: two frames
    fill(bm, 0, 0, 14, 14, 180, 200, 200, 200);
    fill(bm, 0, 14, 14, 14, 255, 250, 170, 40);
    return bm;
}

class BenchGraphics : public IGraphics {
public:
    using IGraphics::IGraphics;
    RAST_IBitmap* OSLoadBitmap(int, const char* name) override { return MakeImage(name); }
};

// The macOS back end with the same images.
class ScreenGraphics : public IGraphicsMac {
public:
    using IGraphicsMac::IGraphicsMac;
    RAST_IBitmap* OSLoadBitmap(int, const char* name) override { return MakeImage(name); }
};

struct Editor {
    BenchPlug plug;
    IGraphics* g;
    IControl* firstKnob = nullptr;
    double scale;

    // With w and h given, the surface is the macOS back end of that size.
    Editor(double s, int idBase, int w = 0, int h = 0) : scale(s)
    {
        if (w > 0) g = new ScreenGraphics(&plug, w, h, 25);
        else g = new BenchGraphics(&plug, int(kW * s), int(kH * s), 0);
        plug.AttachGraphics(g);
        auto S = [s](int v) { return int(v * s); };
        IBitmap knob = g->LoadIBitmap(idBase + 1, "knob", s, 31), sw = g->LoadIBitmap(idBase + 2, "switch", s, 2);
        IBitmap handle = g->LoadIBitmap(idBase + 3, "handle", s, 1), radio = g->LoadIBitmap(idBase + 4, "radio", s, 2);
        IColor ink(255, 230, 230, 230);
        IText text(S(12), &ink, "DejaVu Sans");
        ControlLayer* root = new ControlLayer(0, "root");
        for (int p = 0; p < kPages; ++p) {
            ControlLayer* page = new ControlLayer(p, "page");
            root->childLayers.Add(page);
            for (int i = 0; i < kPerPage; ++i) {
                const int x = S(4 + (i % kCols) * kCellW), y = S(4 + (i / kCols) * kCellH), param = p * kPerPage + i;
                IControl* c = nullptr;
                switch (KindOf(i)) {
                case kKnob: c = new IKnobMultiControl(&plug, IRECT(x, y, x + knob.W, y + knob.H / 31), param, &knob); break;
                case kSwitch: c = new ISwitchControl(&plug, x, y, param, &sw); break;
                case kCaption: c = new ICaptionControl(&plug, IRECT(x, y, x + S(80), y + S(20)), param, &text, false); break;
                case kFader: c = new IFaderControl(&plug, x, y, S(80), param, &handle, kHorizontal); break;
                default: c = new IRadioButtonsControl(&plug, IRECT(x, y, x + S(80), y + radio.H / 2), param, 4, &radio, kHorizontal);
                }
                page->controls.Add(c);
                if (p == 0 && i == 0) firstKnob = c;
            }
        }
        g->AttachLayer(root);
        g->AttachBackground(idBase, "bg", s);
        root->Hide(false);
        RedrawAll(); // every glyph and bitmap warm
    }
    void RedrawAll()
    {
        IRECT r;
        g->IsDirty(&r);
        IRECT all(0, 0, g->Width(), g->Height());
        g->Draw(&all);
        g->Draw(&all);
    }
};

Editor& EditorAt(double scale)
{
    static std::unique_ptr<Editor> full, small;
    std::unique_ptr<Editor>& e = scale == 1.0 ? full : small;
    if (!e) e.reset(new Editor(scale, scale == 1.0 ? 90000 : 90100));
    return *e;
}

void BM_FullRedrawAllDirty(benchmark::State& st)
{
    Editor& e = EditorAt(1.0);
    for (auto _ : st) {
        e.g->GetLayer(0)->setControlsDirty();
        IRECT r;
        e.g->IsDirty(&r);
        e.g->Draw(&r);
    }
}
BENCHMARK(BM_FullRedrawAllDirty)->Unit(benchmark::kMicrosecond);

void BM_OneKnobRedraw(benchmark::State& st)
{
    Editor& e = EditorAt(st.range(0) / 100.0);
    int v = 0;
    for (auto _ : st) {
        e.g->SetParameterFromPlug(e.firstKnob->ParamIdx(), double(v = (v + 7) % 128), false);
        IRECT r;
        e.g->IsDirty(&r);
        e.g->Draw(&r);
    }
}
BENCHMARK(BM_OneKnobRedraw)->Arg(100)->Arg(85)->Unit(benchmark::kMicrosecond);

void BM_IsDirtyWalkNothingDirty(benchmark::State& st)
{
    Editor& e = EditorAt(1.0);
    for (auto _ : st) {
        IRECT r;
        benchmark::DoNotOptimize(e.g->IsDirty(&r));
    }
}
BENCHMARK(BM_IsDirtyWalkNothingDirty)->Unit(benchmark::kMicrosecond);

// The editor view of a UI size (85 or 115 percent of 1500 x 757) in a host window.
struct Screen {
    std::unique_ptr<Editor> e;
    NSWindow* window;
    IGraphicsCocoa_vQOR_au* view;
    explicit Screen(int percent)
    {
        const int w = int(1500 * percent / 100.0), h = int(757 * percent / 100.0);
        e.reset(new Editor(percent / 115.0, 90200 + percent * 10, w, h));
        window = static_cast<NSWindow*>(NSWindow::class_()->alloc());
        window->initWithContentRect(NSMakeRect(0, 0, w, h), NSTitledWindowMask, NSBackingStoreBuffered, false);
        view = static_cast<IGraphicsCocoa_vQOR_au*>(e->g->OpenWindow(window->contentView()));
        ns_standin::runFor(0.04); // the first pass draws the whole view
    }
};

Screen& ScreenAt(int percent)
{
    static std::unique_ptr<Screen> small, large;
    std::unique_ptr<Screen>& s = percent == 85 ? small : large;
    if (!s) s.reset(new Screen(percent));
    return *s;
}

void BM_ScreenFullRedraw(benchmark::State& st)
{
    Screen& s = ScreenAt(int(st.range(0)));
    for (auto _ : st) {
        s.e->g->GetLayer(0)->setControlsDirty();
        s.e->g->GetControl(0)->SetDirty(false);
        ns_standin::runFor(0.04); // timer, display pass, screen copy
    }
}
BENCHMARK(BM_ScreenFullRedraw)->Arg(85)->Arg(115)->Unit(benchmark::kMicrosecond);

void BM_ScreenOneKnob(benchmark::State& st)
{
    Screen& s = ScreenAt(int(st.range(0)));
    int v = 0;
    for (auto _ : st) {
        s.e->g->SetParameterFromPlug(s.e->firstKnob->ParamIdx(), double(v = (v + 7) % 128), false);
        ns_standin::runFor(0.04);
    }
}
BENCHMARK(BM_ScreenOneKnob)->Arg(85)->Arg(115)->Unit(benchmark::kMicrosecond);

// The screen copy alone: the surface's image into the window, clipped to the whole view or to
// the first knob.
void BM_ScreenCopy(benchmark::State& st)
{
    Screen& s = ScreenAt(int(st.range(0)));
    const bool whole = st.range(1) != 0;
    IRECT* k = s.e->firstKnob->GetRECT();
    const int h = s.e->g->Height();
    CGContextRef store = s.window->backingStore();
    CGContextRef source = WAPI_GetCtxGC(s.e->g->GetDrawBitmap()->getDC());
    const int span = s.e->g->GetDrawBitmap()->getRowSpan();
    for (auto _ : st) {
        CGContextSaveGState(store);
        if (!whole) CGContextClipToRect(store, CGRectMake(k->L, h - k->B, k->W(), k->H()));
        CGImageRef image = CGBitmapContextCreateImage(source);
        CGContextDrawImage(store, CGRectMake(0, 0, span, h), image);
        CGImageRelease(image);
        CGContextRestoreGState(store);
    }
}
BENCHMARK(BM_ScreenCopy)->Args({85, 1})->Args({85, 0})->Args({115, 1})->Args({115, 0})->Unit(benchmark::kMicrosecond);

// The peers of the whole screen copy: the same rows by memcpy.
void BM_ScreenRowsMemcpy(benchmark::State& st)
{
    Screen& s = ScreenAt(int(st.range(0)));
    RAST_IBitmap* bm = s.e->g->GetDrawBitmap();
    const size_t row = size_t(s.e->g->Width()) * 4;
    std::vector<uint8_t> dst(row * size_t(s.e->g->Height()));
    for (auto _ : st) {
        for (int y = 0; y < s.e->g->Height(); ++y)
            std::memcpy(dst.data() + size_t(y) * row, bm->getBits() + size_t(y) * bm->getRowSpan(), row);
        benchmark::DoNotOptimize(dst.data());
    }
}
BENCHMARK(BM_ScreenRowsMemcpy)->Arg(85)->Arg(115)->Unit(benchmark::kMicrosecond);

// The 50 captions of the shown page drawn straight into the surface.
void BM_CaptionsOurText(benchmark::State& st)
{
    Editor& e = EditorAt(1.0);
    ControlLayer* page = e.g->GetLayer(0)->childLayers.Get(0);
    IRECT all(0, 0, kW, kH);
    e.g->Draw(&all);
    for (auto _ : st)
        for (int i = 150; i < 200; ++i) page->controls.Get(i)->Draw(e.g);
}
BENCHMARK(BM_CaptionsOurText)->Unit(benchmark::kMicrosecond);

#ifdef QOR_HAVE_PIXMAN
struct PixmanScene {
    std::vector<uint32_t> dst, bg, knob, sw, handle, radio;
    pixman_image_t *iDst, *iBg, *iKnob, *iSw, *iHandle, *iRadio;
    PixmanScene()
        : dst(kW * kH), bg(kW * kH, 0xFF202830u), knob(40 * 40 * 31, 0xC0787C84u), sw(40 * 40, 0xDC787C84u),
          handle(14 * 24, 0xE6F0F0F0u), radio(14 * 28, 0xB4C8C8C8u)
    {
        auto make = [](std::vector<uint32_t>& px, int w, int h) {
            return pixman_image_create_bits(PIXMAN_a8r8g8b8, w, h, px.data(), w * 4);
        };
        iDst = make(dst, kW, kH);
        iBg = make(bg, kW, kH);
        iKnob = make(knob, 40, 40 * 31);
        iSw = make(sw, 40, 40);
        iHandle = make(handle, 14, 24);
        iRadio = make(radio, 14, 28);
    }
    ~PixmanScene()
    {
        for (auto* i : {iDst, iBg, iKnob, iSw, iHandle, iRadio}) pixman_image_unref(i);
    }
    // One OVER per control, at the control's place and size (radio groups: four buttons).
    void Controls()
    {
        for (int i = 0; i < kPerPage; ++i) {
            const int x = 4 + (i % kCols) * kCellW, y = 4 + (i / kCols) * kCellH;
            switch (KindOf(i)) {
            case kKnob: pixman_image_composite32(PIXMAN_OP_OVER, iKnob, nullptr, iDst, 0, 400, 0, 0, x, y, 40, 40); break;
            case kSwitch: pixman_image_composite32(PIXMAN_OP_OVER, iSw, nullptr, iDst, 0, 20, 0, 0, x, y, 40, 20); break;
            case kCaption: break; // text: cairo's part
            case kFader: pixman_image_composite32(PIXMAN_OP_OVER, iHandle, nullptr, iDst, 0, 0, 0, 0, x + 33, y, 14, 24); break;
            default:
                for (int b = 0; b < 4; ++b)
                    pixman_image_composite32(PIXMAN_OP_OVER, iRadio, nullptr, iDst, 0, b ? 0 : 14, 0, 0, x + b * 22, y, 14, 14);
            }
        }
    }
};

void BM_PixmanFullComposite(benchmark::State& st)
{
    PixmanScene s;
    for (auto _ : st) {
        pixman_image_composite32(PIXMAN_OP_SRC, s.iBg, nullptr, s.iDst, 0, 0, 0, 0, 0, 0, kW, kH);
        s.Controls();
    }
}
BENCHMARK(BM_PixmanFullComposite)->Unit(benchmark::kMicrosecond);

void BM_PixmanOneKnob(benchmark::State& st)
{
    PixmanScene s;
    for (auto _ : st) {
        pixman_image_composite32(PIXMAN_OP_SRC, s.iBg, nullptr, s.iDst, 4, 4, 0, 0, 4, 4, 40, 40);
        pixman_image_composite32(PIXMAN_OP_OVER, s.iKnob, nullptr, s.iDst, 0, 400, 0, 0, 4, 4, 40, 40);
    }
}
BENCHMARK(BM_PixmanOneKnob)->Unit(benchmark::kMicrosecond);

// The same rows as the whole screen copy, as a pixman SRC.
void BM_ScreenRowsPixmanSrc(benchmark::State& st)
{
    Screen& s = ScreenAt(int(st.range(0)));
    RAST_IBitmap* bm = s.e->g->GetDrawBitmap();
    const int w = s.e->g->Width(), h = s.e->g->Height();
    std::vector<uint32_t> dst(size_t(w) * size_t(h));
    pixman_image_t* src = pixman_image_create_bits(PIXMAN_x8r8g8b8, w, h, reinterpret_cast<uint32_t*>(bm->getBits()),
                                                   bm->getRowSpan() * 4);
    pixman_image_t* out = pixman_image_create_bits(PIXMAN_x8r8g8b8, w, h, dst.data(), w * 4);
    for (auto _ : st) pixman_image_composite32(PIXMAN_OP_SRC, src, nullptr, out, 0, 0, 0, 0, 0, 0, w, h);
    pixman_image_unref(src);
    pixman_image_unref(out);
}
BENCHMARK(BM_ScreenRowsPixmanSrc)->Arg(85)->Arg(115)->Unit(benchmark::kMicrosecond);
#endif

#ifdef QOR_HAVE_CAIRO
void BM_CaptionsCairo(benchmark::State& st)
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kW, kH);
    cairo_t* cr = cairo_create(surface);
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, 12);
    cairo_set_source_rgb(cr, 0.9, 0.9, 0.9);
    for (auto _ : st) {
        for (int i = 150; i < 200; ++i) {
            char text[8];
            std::snprintf(text, sizeof text, "%d", i % 128);
            cairo_move_to(cr, 4 + (i % kCols) * kCellW + 36, 4 + (i / kCols) * kCellH + 14);
            cairo_show_text(cr, text);
        }
        cairo_surface_flush(surface);
    }
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}
BENCHMARK(BM_CaptionsCairo)->Unit(benchmark::kMicrosecond);
#endif

// The shipped editor at the large size, its view in a host window, built once.
struct Configured {
  std::unique_ptr<QOR> plug;
  NSWindow* window = nullptr;
  Configured()
  {
    char folder[] = "/tmp/qor_redraw_XXXXXX";
    if (!mkdtemp(folder)) return;
    const std::string ui = std::string(folder) + "/QOR Editor UI.txt";
    if (FILE* f = std::fopen(ui.c_str(), "wb")) {
      std::fputs("\nlarge\nyes\n", f);
      std::fclose(f);
    }
    UseEditorFolders(folder);
    {
      QuietStdout quiet;
      plug.reset(new QOR(IPluginInstanceInfo()));
    }
    std::remove(ui.c_str());
    IGraphics* g = plug->GetGUI();
    if (!g) return;
    window = static_cast<NSWindow*>(NSWindow::class_()->alloc());
    window->initWithContentRect(NSMakeRect(0, 0, g->Width(), g->Height()), NSTitledWindowMask, NSBackingStoreBuffered,
                                false);
    g->OpenWindow(window->contentView());
    // The filter page, where the turned knob is shown.
    plug->GetParam(qorid::kMainTab)->Set(kFilterPage);
    plug->OnParamChange(qorid::kMainTab);
    ns_standin::runFor(0.04);
  }
  static constexpr int kFilterPage = 3;
};

Configured& ConfiguredEditor()
{
  static Configured c;
  return c;
}

void BM_ConfiguredLargeFullRedraw(benchmark::State& st)
{
  Configured& c = ConfiguredEditor();
  if (!c.window) return st.SkipWithError("no editor");
  IGraphics* g = c.plug->GetGUI();
  for (auto _ : st) {
    g->SetAllControlsDirty();
    ns_standin::runFor(0.04);
  }
  st.counters["width"] = g->Width();
  st.counters["height"] = g->Height();
}
BENCHMARK(BM_ConfiguredLargeFullRedraw)->Unit(benchmark::kMicrosecond);

// Part 1's filter cutoff turned, as a dump or the synthesizer moves it.
void BM_ConfiguredLargeOneKnob(benchmark::State& st)
{
  Configured& c = ConfiguredEditor();
  if (!c.window) return st.SkipWithError("no editor");
  IGraphics* g = c.plug->GetGUI();
  const int cutoff = qorid::kFilterCutoff;
  const double lo = c.plug->GetParam(cutoff)->GetMin(), span = c.plug->GetParam(cutoff)->GetMax() - lo;
  int v = 0;
  const long drawn = ns_standin::drawCount();
  for (auto _ : st) {
    v = (v + 7) % 128;
    g->SetParameterFromPlug(cutoff, lo + span * v / 127.0, false);
    ns_standin::runFor(0.04);
  }
  // One display pass a turn: the knob was drawn each time.
  st.counters["passes/turn"] = double(ns_standin::drawCount() - drawn) / double(st.iterations());
}
BENCHMARK(BM_ConfiguredLargeOneKnob)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
