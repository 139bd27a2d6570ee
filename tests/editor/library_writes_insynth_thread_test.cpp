// Library writes against the in-process synthesizer: the init templates into the upper slot
// (jobs 15 to 17).
#include "Project_Source/src/PatchFileImage.h"
#include "Project_Source/src/PatchInitData.h"
#include "Project_Source/src/PatchLibrarian.h"
#include "insynth_bench.h"
#include "librarian_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace insynthtest;

namespace
{

using Bytes = std::vector<uint8_t>;

Bytes bytesOf(const PatchSysexMessage& m) { return Bytes(m.bytes.begin(), m.bytes.end()); }

// A bench whose librarian shows one bank of 100 entries of each kind in the upper pane.
struct Library : Bench {
    Library() : Bench(synthsim::Options())
    {
        PatchLibrarian& lib = *plug->patchLibrarian;
        std::lock_guard<std::recursive_mutex> hold(lib.mLock);
        for (auto* list : {&lib.singleFiles, &lib.multiFiles, &lib.patternFiles}) {
            auto* bank = new PatchFile;
            bank->patches.resize(100);
            bank->fileName = "Upper.syx";
            list->push_back(lib.adoptBank(bank));
        }
        lib.upperFileIndex = 0;
        // The pattern buffer numbers its frame with the router's drop slot; stored forms keep theirs.
        lib.dropSlot = 17;
    }
    void mode(int kind)
    {
        plug->performanceMode = kind == kPatchFilePerformances;
        plug->patternMode = kind == kPatchFilePatterns;
        std::lock_guard<std::recursive_mutex> hold(plug->patchLibrarian->mLock);
        plug->patchLibrarian->currentKind = kind;
    }
    LibrarianPatch slot(int kind, int s)
    {
        PatchLibrarian& lib = *plug->patchLibrarian;
        std::lock_guard<std::recursive_mutex> hold(lib.mLock);
        auto& list = kind == kPatchFilePerformances ? lib.multiFiles : kind == kPatchFilePatterns ? lib.patternFiles : lib.singleFiles;
        return list.at(0)->patches.at(size_t(s));
    }
};

} // namespace

TEST(InitTemplates, EachJobFillsTheUpperSlotThroughTheEditorsInput)
{
    const struct {
        const char* name;
        int job, kind, model, device, fromBank, slot;
        std::vector<size_t> sizes;
        // Expected bytes 5, 6, 8 and 9 of the first message; -1 where not tested.
        int b5, b6, b8, b9;
        std::string entryName;
    } cases[] = {
        {"performance, first model", kJobInitPerformance, kPatchFilePerformances, 0, 0x10, 0, 5, {383}, 0x20, 0x10, 0x01, 5, "Init Perf       "},
        {"performance, second model", kJobInitPerformance, kPatchFilePerformances, 1, 0x0F, 0, 99, {383, 27}, 0x21, 0x0F, 0x01, 99, "Init Perf       "},
        {"program, bank D", kJobInitClassicPatch, kPatchFilePrograms, 0, 0x0F, 3, 7, {297}, 0x20, 0x0F, 0x08, 7, "Init Program    "},
        {"program, second model", kJobInitClassicPatch, kPatchFilePrograms, 1, 0x03, 0, 0, {297}, 0x21, 0x03, 0x05, 0, "Init Program    "},
        {"pattern", kJobInitSequence, kPatchFilePatterns, 1, 0x0F, 0, 42, {220}, 0x21, 0x0F, 0x00, 17, "Requested Arp***"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Library b;
        b.mode(c.kind);
        b.plug->currentModel = c.model;
        b.plug->deviceId = c.device;
        b.plug->GetParam(kRequestFromBank)->Set(c.fromBank);
        {
            std::lock_guard<std::recursive_mutex> hold(b.plug->patchLibrarian->mLock);
            b.plug->patchLibrarian->upperSlot = c.slot;
        }
        b.run(c.job);

        const LibrarianPatch entry = b.slot(c.kind, c.slot);
        ASSERT_EQ(entry.messages.size(), c.sizes.size());
        for (size_t i = 0; i < c.sizes.size(); ++i) EXPECT_EQ(entry.messages[i].bytes.size(), c.sizes[i]) << i;
        const Bytes first = bytesOf(entry.messages[0]);
        EXPECT_EQ((std::vector<int>{first[5], first[6], first[8], first[9]}), (std::vector<int>{c.b5, c.b6, c.b8, c.b9}));
        EXPECT_EQ(entry.name, c.entryName);
        EXPECT_TRUE(b.slot(c.kind, c.slot + 1 < 100 ? c.slot + 1 : 0).messages.empty());

        // Apart from the bytes the job sets, the stored message is the template.
        Bytes templ = c.kind == kPatchFilePatterns ? PatchInitData::patternMessage()
                      : c.kind == kPatchFilePerformances ? PatchInitData::performanceMessage(1)
                                                         : PatchInitData::programMessage(0);
        Bytes body = first;
        body.resize(templ.size() - 1);
        templ.pop_back();
        for (size_t at : {5, 6, 8, 9}) body[at] = templ[at] = 0;
        if (c.kind == kPatchFilePatterns) body[203] = templ[203] = 0; // the frame's own F7 went
        EXPECT_EQ(body, templ);
        if (c.sizes.size() > 1) {
            Bytes followUp = bytesOf(entry.messages[1]);
            Bytes expected = PatchInitData::performanceSecondMessage(1);
            expected[6] = uint8_t(c.device);
            expected[9] = uint8_t(c.slot);
            EXPECT_EQ(followUp, expected);
        }

        // Saved and read back, the entry keeps its messages (the reader stores device 0F) and name.
        PatchFile bank;
        bank.kind = c.kind;
        bank.patches.push_back(entry);
        const PatchFile back = libtest::readBank(PatchFileImage::build(bank, false));
        ASSERT_GE(back.patches.size(), 1u);
        const LibrarianPatch& read = back.patches[0];
        ASSERT_EQ(read.messages.size(), entry.messages.size());
        for (size_t i = 0; i < entry.messages.size(); ++i) {
            Bytes a = bytesOf(entry.messages[i]), r = bytesOf(read.messages[i]);
            EXPECT_EQ(r[6], 0x0F) << i;
            a[6] = r[6] = 0;
            EXPECT_EQ(a, r) << i;
        }
        EXPECT_EQ(read.name, entry.name);
    }
}
