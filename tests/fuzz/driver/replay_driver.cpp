// Runs a fuzz target without libFuzzer: every file of the corpus folder given on the command
// line, then seeded random inputs (count from QOR_FUZZ_ITERS, default 3000) that are partly
// mutations of the corpus, so that the sanitizer builds exercise every reader on each run.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <random>
#include <string>
#include <vector>

#include "support/tempdir.h"

using testsupport::readFile;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv)
{
    std::vector<std::vector<uint8_t>> corpus;
    if (argc > 1) {
        if (DIR* d = opendir(argv[1])) {
            while (dirent* e = readdir(d)) {
                if (e->d_name[0] == '.') continue;
                corpus.push_back(readFile(std::string(argv[1]) + "/" + e->d_name));
            }
            closedir(d);
        }
    }
    for (auto& c : corpus) LLVMFuzzerTestOneInput(c.data(), c.size());

    long iters = 3000;
    if (const char* s = std::getenv("QOR_FUZZ_ITERS")) iters = std::atol(s);
    std::mt19937 rng(12345);
    std::vector<uint8_t> in;
    for (long i = 0; i < iters; ++i) {
        if (!corpus.empty() && (i & 1)) {
            in = corpus[rng() % corpus.size()];
            int edits = 1 + rng() % 8;
            for (int k = 0; k < edits && !in.empty(); ++k) {
                switch (rng() % 4) {
                case 0: in[rng() % in.size()] = uint8_t(rng()); break;
                case 1: in.resize(rng() % (in.size() + 1)); break;
                case 2: in.insert(in.begin() + rng() % (in.size() + 1), uint8_t(rng())); break;
                default: in.erase(in.begin() + rng() % in.size()); break;
                }
            }
        } else {
            in.resize(rng() % 4096);
            for (auto& b : in) b = uint8_t(rng());
        }
        LLVMFuzzerTestOneInput(in.data(), in.size());
    }
    std::printf("fuzz replay: %zu corpus files, %ld random inputs, no fault\n", corpus.size(), iters);
    return 0;
}
