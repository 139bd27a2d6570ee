// The configuration run, readUIConfig, from the two enciphered files to the last control, on a
// layout of the shipped size: 40 layers holding 600 single controls, and a multilayer of 8 copies
// of 300 per-part controls (3,000 controls in all: knobs, SysEx knobs, buttons, sliders, menus,
// switches, displays), at the three editor scales. The bitmaps are the bundle's PNGs when the
// build has them, else made in memory. Cold runs release the bitmap cache after every run, so
// each decodes them again as the editor's start-up does; warm runs keep it, which leaves the
// decipherment, the parse, the registry and the walk. Beside them: tinyxml2's parse of the same
// layout text alone. Counter maxrss_MB: the process's peak resident size so far; run one scale
// per process (--benchmark_filter=scale:85/cold:1) for the peak of that scale. With shipped:1 the
// run reads the bundle's own two documents, as the build made them from the project's chart.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <tinyxml2.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "kit/plugin/BundleResources.h"
#include "Project_Source/src/ParamTable.h"
#include "Project_Source/src/UIConfigManager.h"
#include "Project_Source/src/tea.h"
#include "tests/plugin/graphics_offscreen.h"
#include "bench_paths.h"

namespace {

const int kLayers = 40, kSingles = 600, kCopies = 8, kPerCopy = 300;

std::string Encipher(std::string plain) {
  while (plain.size() % 8 != 0) plain.push_back('\0');
  unsigned int key[4];
  Tea::configurationKey(key);
  for (size_t i = 0; i < plain.size(); i += 8) Tea().simpleencrypt(reinterpret_cast<unsigned char*>(&plain[i]), key);
  return plain;
}

const char* const kSysex =
    "<sysexlist><sysex><values><value>F0 00 20 29 01 11 0F 00 00 00 00 F7</value></values></sysex></sysexlist>";

// One control element of kind i % 10 for the parameter reference, at slot i of its page.
std::string Control(int i, const std::string& ref) {
  const std::string at = " position=\"" + std::to_string(10 + (i % 20) * 70) + "," + std::to_string(10 + (i / 20) * 45);
  const std::string common = " name=\"P" + std::to_string(i) + "\" paramId=\"" + ref + "\" paramGroup=\"Group\"";
  switch (i % 10) {
    case 0:
    case 1:
    case 2:
      return "<knobcontrol type=\"ccKnob\"" + common + at + "\" valueBounds=\"0,0,127,1\" ccNumber=\"" +
             std::to_string(i % 120) + "\" imageId=\"IKNOBROTATERCONTROL_ID2\"/>";
    case 3:
      return "<knobcontrol type=\"seKnob\"" + common + at +
             "\" valueBounds=\"0,0,127,0\" sysexIndex=\"0\" changingByte=\"10\" imageId=\"IKNOBROTATERCONTROL_ID3\"/>";
    case 4:
      return "<buttoncontrol type=\"ccButton\"" + common + at + "\" valueBounds=\"0,0,127\" ccNumber=\"" +
             std::to_string(i % 120) + "\" imageId=\"BTN_SMALL_ID\"/>";
    case 5:
      return "<slidercontrol type=\"seSliderVer\"" + common + at +
             "\" length=\"80\" valueBounds=\"0,0,127,0\" sysexIndex=\"0\" changingByte=\"10\" "
             "imageId=\"SLIDER_PYSTY\"/>";
    case 6:
      return "<menucontrol type=\"ccMenu\"" + common + at +
             ",60\" valueBounds=\"0,0,4\" valueList=\"waves\" ccNumber=\"" + std::to_string(i % 120) + "\"/>";
    case 7:
      return "<knobcontrol type=\"msbLsbKnob\"" + common + at +
             "\" valueBounds=\"0,0,127,1\" ccNumber=\"6\" msbValue=\"" + std::to_string(i % 4) + "\" lsbValue=\"" +
             std::to_string(i % 128) + "\" lsbControl=\"38\" imageId=\"IKNOBROTATERCONTROL_ID2\"/>";
    case 8: return "<switch" + common + at + "\" valueBounds=\"0\" imageId=\"BUTTON_LOCK_WHITE_ID\"/>";
    default:
      return "<display paramId=\"" + ref + "\" bounds=\"" + std::to_string(10 + (i % 20) * 70) + "," +
             std::to_string(10 + (i / 20) * 45) + ",60,13\" displaySize=\"16\"/>";
  }
}

// The generated layout: the value list, 40 pages of single controls, the per-part panel.
const std::string& Layout() {
  static const std::string text = [] {
    std::vector<std::string> singles, perPart;
    for (size_t i = 0; i < kParamTableSize; ++i)
      (kParamTable[i].parts == 1 ? singles : perPart).push_back(kParamTable[i].name);
    std::string xml =
        "<?xml version=\"1.0\"?><uiconfig><valueLists><list name=\"waves\"><value>Saw</value><value>Square</value>"
        "<value>Triangle</value><value>Sine</value></list></valueLists>";
    xml += "<background imageId=\"MAIN_BG_ID\" position=\"0,0\"/>";
    for (int l = 0; l < kLayers; ++l) {
      xml += "<layer name=\"page" + std::to_string(l) + "\" id=\"" + std::to_string(l) + "\">";
      for (int i = 0; i < kSingles / kLayers; ++i)
        xml += Control(i, singles[size_t(l * (kSingles / kLayers) + i) % singles.size()]);
      xml += "</layer>";
    }
    xml += "<multilayer name=\"oscillatorsPanel\" create=\"" + std::to_string(kCopies) + "\">";
    for (int i = 0; i < kPerCopy; ++i) xml += Control(i, perPart[size_t(i) % perPart.size()]);
    xml += "</multilayer></uiconfig>";
    return xml;
  }();
  return text;
}

// The build folder's bundle images, found from this program's place in the build.
std::string ImageFolder() { return BuildFolder() + "/QOR.component/Contents/Resources/img/"; }

std::string Slurp(const std::string& path) {
  std::string text;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    char chunk[65536];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, f)) > 0;) text.append(chunk, n);
    std::fclose(f);
  }
  return text;
}

class LoadSurface : public OffscreenGraphics {
 public:
  LoadSurface(IPluginBase* plug, std::string folder, bool shipped)
      : OffscreenGraphics(plug, 64, 64), mImages(std::move(folder)), mShipped(shipped) {}
  // The loader's buffer, as the bundle's loader makes it: zeroed, the file at its start.
  char* OSLoadFile(int id, const char*) override {
    static const std::string layout = Encipher(Layout()), sysex = Encipher(kSysex);
    static const std::string resources = mImages + "../";
    static const std::string shippedLayout = Slurp(resources + "uiconfig.tea"),
                             shippedSysex = Slurp(resources + "sysex.tea");
    const bool forSysex = id == UIConfigManager::kSysexResourceId;
    const std::string& file = mShipped ? (forSysex ? shippedSysex : shippedLayout) : forSysex ? sysex : layout;
    if (file.size() > size_t(kResourceBufferSize)) return nullptr;
    char* buffer = new char[kResourceBufferSize + 1]();
    std::memcpy(buffer, file.data(), file.size());
    loadedFileSize = int(file.size());
    return buffer;
  }
  RAST_IBitmap* OSLoadBitmap(int, const char* name) override {
    const std::string file = name;
    if (RAST_IBitmap* png = RAST_LoadPNG((mImages + file.substr(file.find_last_of('/') + 1)).c_str())) return png;
    return new RAST_MemBitmap(40, 40, 4);
  }

 private:
  std::string mImages;
  bool mShipped;
};

void BM_ConfigurationRun(benchmark::State& st) {
  const double scale = st.range(0) / 100.0;
  const bool cold = st.range(1) != 0;
  const bool shipped = st.range(2) != 0;
  const std::string images = ImageFolder();
  int controls = 0;
  for (auto _ : st) {
    st.PauseTiming();
    auto plug = std::make_unique<SurfacePlug>(kParameterCount);
    auto* surface = new LoadSurface(plug.get(), images, shipped);
    plug->AttachGraphics(surface);
    auto manager = std::make_unique<UIConfigManager>();
    st.ResumeTiming();
    manager->readUIConfig(surface, nullptr, nullptr, 0, scale);
    st.PauseTiming();
    controls = surface->NControls();
    std::function<int(ControlLayer*)> count = [&](ControlLayer* l) {
      int n = l->controls.GetSize();
      for (int c = 0; c < l->childLayers.GetSize(); ++c) n += count(l->childLayers.Get(c));
      return n;
    };
    for (int i = 0; i < surface->NLayers(); ++i) controls += count(surface->GetLayer(i));
    if (cold) manager->ClearImageCache();
    manager.reset();
    plug.reset();
    st.ResumeTiming();
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  st.counters["maxrss_MB"] = double(usage.ru_maxrss) / 1024.0;
  st.counters["controls"] = controls;
  st.counters["layout_kB"] = shipped ? 0.0 : double(Layout().size()) / 1024.0;
}
BENCHMARK(BM_ConfigurationRun)
    ->ArgNames({"scale", "cold", "shipped"})
    ->ArgsProduct({{85, 100, 115}, {1, 0}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

void BM_LayoutParseOnly(benchmark::State& st) {
  const std::string& text = Layout();
  for (auto _ : st) {
    tinyxml2::XMLDocument document(true, tinyxml2::PRESERVE_WHITESPACE);
    document.Parse(text.c_str());
    benchmark::DoNotOptimize(document.RootElement());
  }
  st.counters["layout_kB"] = double(text.size()) / 1024.0;
}
BENCHMARK(BM_LayoutParseOnly)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
