// The dumps on their hot paths, each beside the floor of the same bytes moved and nothing else:
//  - a program dump (296 bytes), a performance dump with its follow-up (381 + 25) and the two
//    global dumps (281 + 297) written from the editor's values as the sender builds them, and
//    parsed back into the editor through the router;
//  - the router on a whole bank's answers (128 stored programs of 297 bytes, 128 stored
//    performances of 383 + 27, 128 patterns of 204) into the slots of a library bank;
//  - a bank file image built and read back, as raw SysEx (the .syx and .qor forms hold the same
//    bytes) and as a Standard MIDI File.
// Inputs are the seeded banks of the test-data generator; the editor is configured from the
// built bundle. No Standard MIDI File reader is installed here to compare with, so the floor is
// a copy of the same bytes.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Project_Source/src/GlobalDumps.h"
#include "Project_Source/src/MIDIMessageManager.h"
#include "Project_Source/src/PatchFile.h"
#include "Project_Source/src/PatchFileImage.h"
#include "Project_Source/src/PatchLibrarian.h"
#include "Project_Source/src/PerformanceDump.h"
#include "Project_Source/src/ProgramDump.h"
#include "Project_Source/src/QOR.h"
#include "Project_Source/src/SysexFamily.h"
#include "bench_paths.h"
#include "kit/plugin/IParam.h"
#include "support/bankgen.h"

namespace {

using Bytes = std::vector<uint8_t>;
namespace sx = SysexFamily;
using bankgen::Kind;

constexpr int kSlots = 128;

// The editor with no port: what it would send goes nowhere.
class Editor : public QOR {
 public:
  Editor() : QOR(IPluginInstanceInfo()) { midiIOSet = true; }
  ~Editor() override { midiManager->stopAndJoin(); }
  bool SendMidiMsg(IMidiMsg*) override { return true; }
  bool SendMidiSysex(unsigned char*, int) override { return true; }
  bool SendMidiSysex2(std::vector<unsigned char>) override { return true; }
};

// One editor for the whole run, its data folder in /tmp, one empty library bank of each kind in
// the upper pane's lists.
struct Rig {
  char folder[32] = "/tmp/qor_dumps_XXXXXX";
  std::unique_ptr<Editor> plug;
  std::string error;

  Rig() {
    if (!mkdtemp(folder)) {
      error = "no temporary folder";
      return;
    }
    UseEditorFolders(folder);
    plug.reset(Quietly([] { return new Editor; }));
    plug->startupComplete = true;
    PatchLibrarian& lib = *plug->patchLibrarian;
    for (auto* list : {&lib.singleFiles, &lib.multiFiles, &lib.patternFiles}) {
      auto* bank = new PatchFile;
      bank->patches.resize(kSlots);
      list->insert(list->begin(), lib.adoptBank(bank));
    }
    lib.upperFileIndex = 0;
  }
  ~Rig() {
    plug.reset();
    std::system(("rm -rf '" + std::string(folder) + "'").c_str());
  }
  MIDIMessageManager& manager() { return *plug->midiManager; }
  PatchLibrarian& librarian() { return *plug->patchLibrarian; }
  void receive(const Bytes& b) {
    ISysEx msg(0, b.data(), int(b.size()));
    plug->ProcessSysEx(&msg, true);
  }
  double value(int id) const {
    const IParam* p = plug->GetParam(id);
    return p ? p->Value() : 0.0;
  }
};

Rig* gRig = nullptr;

Bytes programDump(int part, uint32_t seed);
Bytes wireDump(Kind kind, int messageIndex, size_t size, uint8_t type, uint32_t seed);

// The editor holds a seeded program in every part and a seeded performance, so that the writers
// meet the values a real session has rather than the defaults.
void seed(Rig& r) {
  for (int part = 0; part < ProgramDump::kParts; ++part) {
    r.manager().expectingEditDump = true;
    r.receive(programDump(part, uint32_t(100 + part)));
  }
  r.manager().expectingEditDump = true;
  r.receive(wireDump(Kind::Performances, 0, sx::kPerformanceDumpSize, sx::kTypePerformanceDump, 11));
  r.receive(wireDump(Kind::Performances, 1, sx::kFollowUpSize, sx::kTypePerformanceFollowUp, 11));
  r.plug->selectedPart = 0;
}

Rig* rigOrSkip(benchmark::State& st) {
  if (!gRig) {
    gRig = new Rig;
    if (gRig->error.empty()) seed(*gRig);
  }
  if (!gRig->error.empty()) {
    st.SkipWithError(gRig->error.c_str());
    return nullptr;
  }
  return gRig;
}

// A wire dump with the generator's seeded body: a program of part, a performance, its follow-up.
Bytes wireDump(Kind kind, int messageIndex, size_t size, uint8_t type, uint32_t seed) {
  bankgen::DumpOptions options;
  options.type = type;
  options.size = size;
  Bytes b = bankgen::makeDump(kind, sx::kModelSecond, messageIndex, "Seeded " + std::to_string(seed), 3, seed, options);
  b[sx::kDeviceAt] = 0x09;
  return b;
}

Bytes programDump(int part, uint32_t seed) {
  Bytes b = wireDump(Kind::Programs, 0, sx::kProgramDumpSize, sx::kTypeProgramDump, seed);
  b[ProgramDump::kPartAt] = uint8_t(part);
  return b;
}

// The editor's values as the senders read them.
auto editorValues(Rig& r) {
  return [&r](int id) { return r.value(id); };
}

// ---- program dump --------------------------------------------------------------------------

void BM_ProgramDumpWrite(benchmark::State& st) {
  Rig* r = rigOrSkip(st);
  if (!r) return;
  std::array<uint8_t, ProgramDump::kSize> dump;
  const ProgramDump::ValueOf value = editorValues(*r);
  int part = 0;
  for (auto _ : st) {
    ProgramDump::write(value, part, sx::kModelSecond, "Bench Program", dump.data());
    benchmark::DoNotOptimize(dump.data());
    part = (part + 1) % ProgramDump::kParts;
  }
  st.SetBytesProcessed(int64_t(st.iterations()) * int64_t(dump.size()));
}
BENCHMARK(BM_ProgramDumpWrite)->MinTime(0.2);

// A received program dump through the router into the editor's parameters of its part.
void BM_ProgramDumpParse(benchmark::State& st) {
  Rig* r = rigOrSkip(st);
  if (!r) return;
  std::vector<Bytes> dumps;
  for (int part = 0; part < ProgramDump::kParts; ++part) dumps.push_back(programDump(part, uint32_t(100 + part)));
  size_t k = 0;
  for (auto _ : st) {
    r->manager().expectingEditDump = true;
    r->receive(dumps[k]);
    k = (k + 1) % dumps.size();
  }
  st.SetBytesProcessed(int64_t(st.iterations()) * int64_t(sx::kProgramDumpSize));
}
BENCHMARK(BM_ProgramDumpParse)->MinTime(0.2);

// The layout walk alone: every field into a plain array, no editor.
void BM_ProgramDumpReadFields(benchmark::State& st) {
  const Bytes dump = programDump(2, 7);
  std::vector<double> values(20000);
  const ProgramDump::Locks locks([](int) { return 0.0; }, 2);
  const ProgramDump::SetValue set = [&values](int id, double v) { values[size_t(id) % values.size()] = v; };
  for (auto _ : st) {
    ProgramDump::readParameters(dump.data(), 2, locks, set);
    benchmark::DoNotOptimize(values.data());
  }
  st.SetBytesProcessed(int64_t(st.iterations()) * int64_t(dump.size()));
}
BENCHMARK(BM_ProgramDumpReadFields)->MinTime(0.2);

// ---- performance dump ----------------------------------------------------------------------

// A dump and its second message written from the editor's values, again and again.
template <class Write>
void writeTwo(benchmark::State& st, size_t firstSize, size_t secondSize, Write write) {
  Rig* r = rigOrSkip(st);
  if (!r) return;
  Bytes first(firstSize), second(secondSize);
  const std::function<double(int)> value = editorValues(*r);
  for (auto _ : st) {
    write(value, first.data(), second.data());
    benchmark::DoNotOptimize(first.data());
    benchmark::DoNotOptimize(second.data());
  }
  st.SetBytesProcessed(int64_t(st.iterations()) * int64_t(firstSize + secondSize));
}

void BM_PerformanceDumpWrite(benchmark::State& st) {
  writeTwo(st, sx::kPerformanceDumpSize, sx::kFollowUpSize,
           [](const PerformanceDump::ValueOf& value, uint8_t* dump, uint8_t* followUp) {
             PerformanceDump::writeDump(value, sx::kModelSecond, "Bench Performance", dump);
             PerformanceDump::writeFollowUp(value, sx::kModelSecond, followUp);
           });
}
BENCHMARK(BM_PerformanceDumpWrite)->MinTime(0.2);

void BM_PerformanceDumpParse(benchmark::State& st) {
  Rig* r = rigOrSkip(st);
  if (!r) return;
  const Bytes dump = wireDump(Kind::Performances, 0, sx::kPerformanceDumpSize, sx::kTypePerformanceDump, 11);
  const Bytes followUp = wireDump(Kind::Performances, 1, sx::kFollowUpSize, sx::kTypePerformanceFollowUp, 11);
  r->plug->currentModel = 1;
  for (auto _ : st) {
    r->manager().expectingEditDump = true;
    r->receive(dump);
    r->receive(followUp);
  }
  r->plug->currentModel = 0;
  r->plug->selectedPart = 0;
  st.SetBytesProcessed(int64_t(st.iterations()) * int64_t(dump.size() + followUp.size()));
}
BENCHMARK(BM_PerformanceDumpParse)->MinTime(0.2);

// ---- global dumps --------------------------------------------------------------------------

void BM_GlobalDumpsWrite(benchmark::State& st) {
  writeTwo(st, sx::kGlobalFirstSize, sx::kGlobalSecondSize,
           [](const GlobalDumps::ValueOf& value, uint8_t* first, uint8_t* second) {
             GlobalDumps::writeFirst(value, sx::kModelSecond, first);
             GlobalDumps::writeSecond(value, sx::kModelSecond, second);
           });
}
BENCHMARK(BM_GlobalDumpsWrite)->MinTime(0.2);

// The editor's own global dumps back through the router, as the answer to its enquiry.
void BM_GlobalDumpsParse(benchmark::State& st) {
  Rig* r = rigOrSkip(st);
  if (!r) return;
  Bytes first(sx::kGlobalFirstSize), second(sx::kGlobalSecondSize);
  GlobalDumps::writeFirst(editorValues(*r), sx::kModelSecond, first.data());
  GlobalDumps::writeSecond(editorValues(*r), sx::kModelSecond, second.data());
  for (auto _ : st) {
    r->manager().expectingEditDump = false;
    r->plug->expectGlobalDump = true;
    r->receive(first);
    r->receive(second);
  }
  st.SetBytesProcessed(int64_t(st.iterations()) * int64_t(first.size() + second.size()));
}
BENCHMARK(BM_GlobalDumpsParse)->MinTime(0.2);

// The floor of every dump above: its bytes copied once.
void BM_DumpBytesCopyFloor(benchmark::State& st) {
  const size_t size = size_t(st.range(0));
  Bytes from(size, 0x41), to(size);
  for (auto _ : st) {
    std::memcpy(to.data(), from.data(), size);
    benchmark::ClobberMemory();
  }
  st.SetBytesProcessed(int64_t(st.iterations()) * int64_t(size));
}
BENCHMARK(BM_DumpBytesCopyFloor)->Arg(296)->Arg(381 + 25)->Arg(281 + 297)->MinTime(0.2);

// ---- a bank's answers through the router into library slots --------------------------------

struct BankStream {
  int kind;   // SysexFamily kind
  int model;  // the controller's model setting
  std::vector<Bytes> messages;
  int perSlot;
};

BankStream bankStream(int arg) {
  switch (arg) {
    case 0: return {sx::kKindPrograms, 0, bankgen::synthBanks(Kind::Programs, 1), 1};
    case 1: {
      // The second model sends a follow-up after every stored performance.
      std::vector<Bytes> m = bankgen::synthBanks(Kind::Performances, 1);
      for (Bytes& b : m) b[sx::kModelAt] = sx::kModelSecond;
      return {sx::kKindPerformances, 1, m, 2};
    }
    default:
      return {sx::kKindPatterns, 0, bankgen::messagesOf(bankgen::makeBank(Kind::Patterns, sx::kModelFirst, kSlots, 5)),
              1};
  }
}

const char* kStreamNames[] = {"programs", "performances", "patterns"};

// Per slot as the bank request does it: the slot selected, the buffer armed, the answer routed.
void BM_RouterBankIntoLibrary(benchmark::State& st) {
  Rig* r = rigOrSkip(st);
  if (!r) return;
  const BankStream s = bankStream(int(st.range(0)));
  st.SetLabel(kStreamNames[st.range(0)]);
  PatchLibrarian& lib = r->librarian();
  lib.currentKind = s.kind;
  r->plug->currentModel = s.model;
  size_t bytes = 0;
  for (const Bytes& m : s.messages) bytes += m.size();
  for (auto _ : st) {
    for (int slot = 0; slot < kSlots; ++slot) {
      {
        std::lock_guard<std::recursive_mutex> hold(lib.mLock);
        lib.upperSlot = slot;
      }
      r->manager().armRequestBuffer(s.kind);
      for (int m = 0; m < s.perSlot; ++m) r->receive(s.messages[size_t(slot * s.perSlot + m)]);
    }
  }
  r->manager().disarmRequestBuffers();
  r->plug->currentModel = 0;
  const PatchFile& bank = *(s.kind == sx::kKindPrograms       ? lib.singleFiles
                            : s.kind == sx::kKindPerformances ? lib.multiFiles
                                                              : lib.patternFiles)[0];
  int filled = 0;
  for (const LibrarianPatch& e : bank.patches) filled += int(e.messages.size()) == s.perSlot;
  st.counters["slots_filled"] = filled;
  st.SetBytesProcessed(int64_t(st.iterations()) * int64_t(bytes));
}
BENCHMARK(BM_RouterBankIntoLibrary)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond)->MinTime(0.2);

// The floor: each answer copied into a slot's own buffer.
void BM_BankStreamCopyFloor(benchmark::State& st) {
  const BankStream s = bankStream(int(st.range(0)));
  st.SetLabel(kStreamNames[st.range(0)]);
  std::vector<Bytes> slots(s.messages.size());
  size_t bytes = 0;
  for (size_t k = 0; k < s.messages.size(); ++k) {
    slots[k].resize(s.messages[k].size());
    bytes += s.messages[k].size();
  }
  for (auto _ : st) {
    for (size_t k = 0; k < s.messages.size(); ++k)
      std::memcpy(slots[k].data(), s.messages[k].data(), s.messages[k].size());
    benchmark::ClobberMemory();
  }
  st.SetBytesProcessed(int64_t(st.iterations()) * int64_t(bytes));
}
BENCHMARK(BM_BankStreamCopyFloor)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond)->MinTime(0.2);

// ---- bank file images ----------------------------------------------------------------------

// A library bank of kind (0 programs, 1 performances of the second model, 2 patterns) as the
// reader keeps it, read from the generator's raw file.
struct LoadedBank {
  PatchLibrarian librarian;
  PatchFile bank;
  explicit LoadedBank(int kind) {
    const bankgen::Bank b = bankgen::makeBank(kind == 0   ? Kind::Programs
                                              : kind == 1 ? Kind::Performances
                                                          : Kind::Patterns,
                                              kind == 1 ? sx::kModelSecond : sx::kModelFirst, kSlots, 9);
    const Bytes raw = bankgen::rawFile(bankgen::messagesOf(b));
    librarian.loadFromChunk(raw.data(), int(raw.size()), &bank, 0);
  }
};

// range(0): kind; range(1): 0 raw SysEx (.syx, .qor), 1 Standard MIDI File (.mid).
void BM_BankImageBuild(benchmark::State& st) {
  LoadedBank loaded(int(st.range(0)));
  const bool midi = st.range(1) == 1;
  st.SetLabel(std::string(kStreamNames[st.range(0)]) + (midi ? " mid" : " syx"));
  size_t size = 0;
  for (auto _ : st) {
    std::vector<uint8_t> image = PatchFileImage::build(loaded.bank, midi);
    size = image.size();
    benchmark::DoNotOptimize(image.data());
  }
  st.counters["entries"] = double(loaded.bank.patches.size());
  st.SetBytesProcessed(int64_t(st.iterations()) * int64_t(size));
}
BENCHMARK(BM_BankImageBuild)->ArgsProduct({{0, 1, 2}, {0, 1}})->Unit(benchmark::kMicrosecond)->MinTime(0.2);

void BM_BankImageRead(benchmark::State& st) {
  LoadedBank loaded(int(st.range(0)));
  const bool midi = st.range(1) == 1;
  st.SetLabel(std::string(kStreamNames[st.range(0)]) + (midi ? " mid" : " syx"));
  const std::vector<uint8_t> image = PatchFileImage::build(loaded.bank, midi);
  PatchLibrarian librarian;
  size_t entries = 0;
  for (auto _ : st) {
    PatchFile bank;
    librarian.loadFromChunk(image.data(), int(image.size()), &bank, midi ? 1 : 0);
    entries = bank.patches.size();
    benchmark::DoNotOptimize(bank.patches.data());
  }
  st.counters["entries"] = double(entries);
  st.SetBytesProcessed(int64_t(st.iterations()) * int64_t(image.size()));
}
BENCHMARK(BM_BankImageRead)->ArgsProduct({{0, 1, 2}, {0, 1}})->Unit(benchmark::kMicrosecond)->MinTime(0.2);

// The floor of both: the image's bytes copied once into a fresh buffer.
void BM_BankImageCopyFloor(benchmark::State& st) {
  LoadedBank loaded(int(st.range(0)));
  st.SetLabel(std::string(kStreamNames[st.range(0)]) + " mid");
  const std::vector<uint8_t> image = PatchFileImage::build(loaded.bank, true);
  for (auto _ : st) {
    std::vector<uint8_t> copy(image.begin(), image.end());
    benchmark::DoNotOptimize(copy.data());
  }
  st.SetBytesProcessed(int64_t(st.iterations()) * int64_t(image.size()));
}
BENCHMARK(BM_BankImageCopyFloor)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond)->MinTime(0.2);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  // The editor goes before the process does: its workers must stop while it is whole.
  delete gRig;
  benchmark::Shutdown();
  return 0;
}
