// Scanning a library of 100 bank files (12,800 programs) and building its category banks,
// against reading the same bytes and nothing else.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <vector>

#include "Project_Source/src/DataFolder.h"
#include "Project_Source/src/PatchLibrarian.h"

namespace {

// Program dumps as the device sends them: 297 bytes, a name at 10..25, a category at 27.
std::vector<uint8_t> bankBytes(int bank)
{
    std::vector<uint8_t> out;
    uint32_t state = 0x9E3779B9u * static_cast<uint32_t>(bank + 1);
    for (int slot = 0; slot < 128; ++slot) {
        std::vector<uint8_t> m(297);
        for (auto& b : m) {
            state = state * 1664525u + 1013904223u;
            b = static_cast<uint8_t>((state >> 24) & 0x7F);
        }
        const uint8_t head[8] = {0xF0, 0x00, 0x20, 0x29, 0x01, 0x20, 0x7F, 0x00};
        std::copy(head, head + 8, m.begin());
        char name[17];
        std::snprintf(name, sizeof name, "Bench %03d %03d  ", bank, slot);
        std::copy(name, name + 16, m.begin() + 10);
        m[27] = static_cast<uint8_t>((bank + slot) % 20);
        m.back() = 0xF7;
        out.insert(out.end(), m.begin(), m.end());
    }
    return out;
}

struct GeneratedLibrary {
    std::string data;
    std::string root;
    std::vector<std::string> files;
    GeneratedLibrary()
    {
        char tmpl[] = "/tmp/qor_bench_library_XXXXXX";
        data = mkdtemp(tmpl);
        setenv("QOR_DATA_FOLDER", data.c_str(), 1);
        root = DataFolder::getPatchesFolderStr();
        mkdir(root.c_str(), 0755);
        for (int folder = 0; folder < 10; ++folder) {
            std::string dir = root + "/Folder " + std::to_string(folder);
            mkdir(dir.c_str(), 0755);
            for (int i = 0; i < 10; ++i) {
                std::string path = dir + "/Bank " + std::to_string(folder * 10 + i) + ".syx";
                std::vector<uint8_t> bytes = bankBytes(folder * 10 + i);
                FILE* f = std::fopen(path.c_str(), "wb");
                std::fwrite(bytes.data(), 1, bytes.size(), f);
                std::fclose(f);
                files.push_back(path);
            }
        }
        std::printf("library of %zu bank files in %s\n", files.size(), root.c_str());
    }
    ~GeneratedLibrary() { std::system(("rm -rf '" + data + "'").c_str()); }
};

GeneratedLibrary& library()
{
    static GeneratedLibrary lib;
    return lib;
}

double peakMegabytes()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_maxrss) / 1024.0;
}

void BM_ScanLibraryAndBuildCategories(benchmark::State& state)
{
    GeneratedLibrary& lib = library();
    size_t programs = 0;
    for (auto _ : state) {
        PatchLibrarian librarian;
        librarian.loadPatchesFromFilesystem(lib.root);
        programs = 0;
        for (PatchFile* bank : librarian.singleFiles) programs += bank->patches.size();
        benchmark::DoNotOptimize(librarian.categoryFiles.size());
    }
    state.counters["programs"] = static_cast<double>(programs);
    state.counters["peak_MB"] = peakMegabytes();
}
BENCHMARK(BM_ScanLibraryAndBuildCategories)->Unit(benchmark::kMillisecond);

// The floor: the same files read whole, as cat would, and nothing done with them.
void BM_ReadSameBytesOnly(benchmark::State& state)
{
    GeneratedLibrary& lib = library();
    std::vector<char> buffer(1 << 16);
    size_t total = 0;
    for (auto _ : state) {
        total = 0;
        for (const std::string& path : lib.files) {
            FILE* f = std::fopen(path.c_str(), "rb");
            size_t n;
            while ((n = std::fread(buffer.data(), 1, buffer.size(), f)) > 0) total += n;
            std::fclose(f);
        }
        benchmark::DoNotOptimize(total);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(total));
}
BENCHMARK(BM_ReadSameBytesOnly)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
