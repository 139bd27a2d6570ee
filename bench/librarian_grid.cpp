// The librarian's slot grid on the shipped editor at each UI size: a whole draw of both panes
// (256 names, a highlighted slot in each), one frame of a drag (the marker moved and the grid
// drawn), and a reload of both panes from the library; each beside the redraw timer's 40 ms
// frame ("per_40ms_frame": how many fit into one). The peer draws the same 256 names and two
// highlights with cairo into a surface of the grid's size.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "Project_Source/src/LibrarianViewControl.h"
#include "Project_Source/src/PatchLibrarian.h"
#include "Project_Source/src/QOR.h"
#include "bench_paths.h"
#include "kit/plugin/IGraphics.h"

#ifdef QOR_HAVE_CAIRO
#include <cairo.h>
#endif

namespace {

const char* const kSizes[] = {"small", "normal", "large"};

// A 16-character name for slot i of a bank.
std::string NameFor(char bank, int i) {
  char name[17];
  std::snprintf(name, sizeof name, "%c Bank Slot %03d ", bank, i);
  return name;
}

// Two named banks of 128 entries in each of the three lists, both panes shown.
void FillLibrary(QOR& q) {
  PatchLibrarian& lib = *q.patchLibrarian;
  std::lock_guard<std::recursive_mutex> hold(lib.mLock);
  for (char bank : {'A', 'B'}) {
    auto* file = new PatchFile;
    for (int i = 0; i < LibrarianViewControl::kCells; ++i) {
      LibrarianPatch entry;
      entry.name = NameFor(bank, i);
      file->patches.push_back(entry);
    }
    lib.singleFiles.push_back(lib.adoptBank(file));
  }
  lib.upperFileIndex = 0;
  lib.lowerFileIndex = 1;
}

// One editor per UI size for the whole run, closed before main returns: the editor's shared
// image cache is a static of its own and may already be gone during exit.
std::map<int, std::unique_ptr<QOR>> gEditors;

// Opened quietly in a data folder of its own.
QOR& Editor(int size) {
  std::unique_ptr<QOR>& plug = gEditors[size];
  if (plug) return *plug;
  char folder[] = "/tmp/qor_grid_XXXXXX";
  if (!mkdtemp(folder)) std::abort();
  const std::string ui = std::string(folder) + "/QOR Editor UI.txt";
  if (FILE* f = std::fopen(ui.c_str(), "w")) {
    std::fprintf(f, "size\n%s\nyes\n", kSizes[size]);
    std::fclose(f);
  }
  UseEditorFolders(folder);
  plug = Quietly([] { return std::make_unique<QOR>(IPluginInstanceInfo()); });
  if (!plug->librarianView || !plug->GetGUI()) std::abort();
  FillLibrary(*plug);
  plug->librarianView->patchSelectionUpperChanged();
  plug->librarianView->patchSelectionLowerChanged();
  plug->GetGUI()->PrepDraw();
  return *plug;
}

void PerFrame(benchmark::State& st, double scale) {
  st.counters["per_40ms_frame"] = benchmark::Counter(0.040, benchmark::Counter::kIsIterationInvariantRate);
  st.counters["scale"] = scale;
}

void BM_GridDraw(benchmark::State& st) {
  QOR& q = Editor(int(st.range(0)));
  LibrarianViewControl& grid = *q.librarianView;
  grid.upperSelection = 5;
  grid.lowerSelection = 17;
  for (auto _ : st) benchmark::DoNotOptimize(grid.Draw(q.GetGUI()));
  PerFrame(st, grid.scale);
}
BENCHMARK(BM_GridDraw)->DenseRange(0, 2)->ArgName("size");

void BM_GridDragFrame(benchmark::State& st) {
  QOR& q = Editor(int(st.range(0)));
  LibrarianViewControl& grid = *q.librarianView;
  grid.mDragEnabled = true;
  const IRECT from = grid.cellRect(LibrarianViewControl::kLowerPane, 17);
  IMouseMod mod(true);
  grid.OnMouseDrag(from.L + 2, from.T + 2, 0, 0, &mod);
  int step = 0;
  for (auto _ : st) {
    step = (step + 1) % 200;
    grid.OnMouseDrag(from.L + step, from.T - step, 1, -1, &mod);
    benchmark::DoNotOptimize(grid.Draw(q.GetGUI()));
  }
  grid.dragging = false;
  PerFrame(st, grid.scale);
}
BENCHMARK(BM_GridDragFrame)->DenseRange(0, 2)->ArgName("size");

// Both panes, the lower one switching banks so that every name changes.
void BM_GridReload(benchmark::State& st) {
  QOR& q = Editor(int(st.range(0)));
  LibrarianViewControl& grid = *q.librarianView;
  int lower = 0;
  for (auto _ : st) {
    lower ^= 1;
    {
      std::lock_guard<std::recursive_mutex> hold(q.patchLibrarian->mLock);
      q.patchLibrarian->lowerFileIndex = lower;
    }
    grid.patchSelectionUpperChanged();
    grid.patchSelectionLowerChanged();
  }
  PerFrame(st, grid.scale);
}
BENCHMARK(BM_GridReload)->DenseRange(0, 2)->ArgName("size");

#ifdef QOR_HAVE_CAIRO
// The peer: the same names and highlights with cairo's text on a surface of the grid's size.
void BM_CairoGridDraw(benchmark::State& st) {
  QOR& q = Editor(int(st.range(0)));
  LibrarianViewControl& grid = *q.librarianView;
  const IRECT area = *grid.GetRECT();
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, area.W(), area.H());
  cairo_t* cr = cairo_create(surface);
  cairo_select_font_face(cr, "DejaVu Sans Mono", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, int(13 * grid.scale));
  std::string names[2][LibrarianViewControl::kCells];
  for (int i = 0; i < LibrarianViewControl::kCells; ++i) names[0][i] = NameFor('A', i), names[1][i] = NameFor('B', i);
  for (auto _ : st) {
    cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
    cairo_paint(cr);
    for (int pane = 0; pane < 2; ++pane) {
      const auto p = LibrarianViewControl::Pane(pane);
      const IRECT hi = grid.cellRect(p, pane ? 17 : 5);
      cairo_set_source_rgb(cr, 225 / 255.0, 225 / 255.0, 225 / 255.0);
      cairo_rectangle(cr, hi.L - area.L, hi.T - area.T, hi.W(), hi.H());
      cairo_fill(cr);
      cairo_set_source_rgb(cr, 1, 1, 1);
      for (int i = 0; i < LibrarianViewControl::kCells; ++i) {
        const IRECT r = grid.cellRect(p, i);
        cairo_move_to(cr, r.L - area.L, r.B - area.T - 3);
        cairo_show_text(cr, names[pane][i].c_str());
      }
    }
    cairo_surface_flush(surface);
  }
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
  PerFrame(st, grid.scale);
}
BENCHMARK(BM_CairoGridDraw)->DenseRange(0, 2)->ArgName("size");
#endif

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  gEditors.clear();
  return 0;
}
