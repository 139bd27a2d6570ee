// Requests into library slots, in process: the library forms that received messages are brought
// into, what each receive buffer takes, and what the router's library path leaves in the slot.
#include "Project_Source/src/MIDIMessageManager.h"
#include "Project_Source/src/PatchFile.h"
#include "Project_Source/src/PatchLibrarian.h"
#include "support/bankgen.h"
#include "support/insynth.h"
#include "support/tempdir.h"
#include "support/testpaths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace
{

using Bytes = std::vector<uint8_t>;

// A message of the family: header, type, 7-bit filler from seed, F7 last.
Bytes message(size_t size, uint8_t type, uint8_t model = 0x21, uint32_t seed = 7)
{
    Bytes b(size);
    for (size_t i = 0; i < size; ++i) b[i] = uint8_t((seed = seed * 1103515245u + 12345u) >> 24) & 0x7F;
    const uint8_t head[8] = {0xF0, 0x00, 0x20, 0x29, 0x01, model, 0x09, type};
    for (size_t i = 0; i < 8 && i < size; ++i) b[i] = head[i];
    if (size) b.back() = 0xF7;
    return b;
}

Bytes named(Bytes b, size_t at, const std::string& name)
{
    for (size_t i = 0; i < 16; ++i) b[at + i] = i < name.size() ? uint8_t(name[i]) : ' ';
    return b;
}

Bytes reframed(const Bytes& in, bool program, bool pattern, int slot)
{
    PatchSysexMessage m;
    m.bytes = in;
    PatchSysexMessage::checkPatchDataSize(&m, program, pattern, slot);
    return m.bytes;
}

Bytes slice(const Bytes& b, size_t from, size_t to)
{
    return Bytes(b.begin() + long(from), b.begin() + long(to));
}

enum Kind { kProgram, kPerformance, kPattern };

struct Bench {
    Bench()
    {
        testsupport::writeFile(dir.file("QOR Editor LOG.txt"), "");
        setenv("QOR_DATA_FOLDER", dir.path.c_str(), 1);
        setenv("QOR_BUNDLE_PATH", (testsupport::binaryDir() + "/QOR.component").c_str(), 1);
        testing::internal::CaptureStdout();
        plug = std::make_unique<testsupport::RecordingQOR>();
        testing::internal::GetCapturedStdout();
        unsetenv("QOR_BUNDLE_PATH");
        PatchLibrarian& lib = *plug->patchLibrarian;
        for (auto* list : {&lib.singleFiles, &lib.multiFiles, &lib.patternFiles}) {
            auto* bank = new PatchFile;
            bank->patches.resize(100);
            list->push_back(lib.adoptBank(bank));
        }
    }
    MIDIMessageManager& m() { return *plug->midiManager; }
    PatchLibrarian& lib() { return *plug->patchLibrarian; }
    // Arms the buffer of kind with the librarian on that kind, as the controller does.
    void arm(Kind kind)
    {
        lib().currentKind = kind;
        m().armRequestBuffer(kind);
    }
    // The synthesizer's answer to a request that asked for it, in either form: the request is
    // due at the message's device (a follow-up comes with its performance).
    void send(const Bytes& b)
    {
        if (b.size() > 9 && b.size() != 25 && b.size() != 27) {
            if (!request) request = m().beginRequest();
            for (DueKind kind : {DueKind::EditBuffer, DueKind::StoredProgram, DueKind::StoredPerformance})
                m().noteSent(request, b[6] & 0x7F, MIDIMessageManager::storedAddress(b[8], b[9]), kind);
        }
        ISysEx msg(0, b.data(), int(b.size()));
        plug->ProcessSysEx(&msg, true);
    }
    PatchFile& bank(Kind kind)
    {
        return *(kind == kProgram       ? lib().singleFiles
                 : kind == kPerformance ? lib().multiFiles
                                        : lib().patternFiles)[0];
    }
    bool armed() const
    {
        MIDIMessageManager& mm = *plug->midiManager;
        return mm.libraryPatchRequest.active || mm.libraryPerformanceRequest.active || mm.libraryPatternRequest.active;
    }
    std::vector<std::string> log() const { return bankgen::logTexts(dir.file("QOR Editor LOG.txt")); }

    testsupport::TempDir dir;
    std::unique_ptr<testsupport::RecordingQOR> plug;
    uint64_t request = 0;
};

} // namespace

TEST(LibraryForm, OnlyTheFourDumpLengthsAreReframedAndNoOtherLengthChanges)
{
    const struct {
        Kind kind;
        size_t from, to;
    } reframes[] = {{kProgram, 296, 297}, {kPerformance, 381, 383}, {kPerformance, 25, 27}, {kPattern, 204, 220}};
    for (Kind kind : {kProgram, kPerformance, kPattern})
        for (size_t n = 0; n <= 400; ++n) {
            const Bytes in = message(n, 0x00, 0x21, uint32_t(n));
            const Bytes out = reframed(in, kind == kProgram, kind == kPattern, 9);
            size_t expected = n;
            for (const auto& r : reframes)
                if (r.kind == kind && r.from == n) expected = r.to;
            ASSERT_EQ(out.size(), expected) << "kind " << kind << " n " << n;
            if (expected == n) {
                EXPECT_EQ(out, in) << "kind " << kind << " n " << n;
            } else {
                EXPECT_EQ(out.back(), 0xF7);
                EXPECT_EQ(out[9], 9);
            }
        }
}

TEST(LibraryForm, DumpsMoveIntoTheirTemplatesWithTypeBankCodeAndSlot)
{
    // A program dump of part 3: its body from byte 9 (the name first) lands at 10.
    Bytes program = named(message(296, 0x00, 0x21), 9, "Init Program");
    program[8] = 3;
    Bytes out = reframed(program, true, false, 0x45);
    EXPECT_EQ(slice(out, 0, 10), (Bytes{0xF0, 0x00, 0x20, 0x29, 0x01, 0x20, 0x0F, 0x02, 0x05, 0x45}));
    EXPECT_EQ(slice(out, 10, 297), slice(program, 9, 296));

    const Bytes perf = message(381, 0x05, 0x20);
    out = reframed(perf, false, false, 127);
    EXPECT_EQ(slice(out, 0, 10), (Bytes{0xF0, 0x00, 0x20, 0x29, 0x01, 0x21, 0x0F, 0x05, 0x01, 0x7F}));
    EXPECT_EQ(slice(out, 10, 383), slice(perf, 8, 381));

    const Bytes follow = message(25, 0x1B, 0x20);
    out = reframed(follow, false, false, 200); // the slot byte stays a data byte
    EXPECT_EQ(slice(out, 0, 10), (Bytes{0xF0, 0x00, 0x20, 0x29, 0x01, 0x21, 0x0F, 0x1B, 0x01, 0x48}));
    EXPECT_EQ(slice(out, 10, 27), slice(follow, 8, 25));

    // The pattern keeps its own envelope; its name takes the place of the frame's F7.
    const Bytes frame = message(204, 0x0C, 0x20);
    out = reframed(frame, false, true, 2);
    EXPECT_EQ(slice(out, 0, 10), (Bytes{0xF0, 0x00, 0x20, 0x29, 0x01, 0x20, 0x09, 0x0C, 0x00, 0x02}));
    EXPECT_EQ(slice(out, 10, 203), slice(frame, 10, 203));
    EXPECT_EQ(std::string(out.begin() + 203, out.begin() + 219), "Requested Arp***");
    EXPECT_EQ(out.back(), 0xF7);
}

TEST(LibraryBuffers, EachTakesOnlyWholeMessagesOfItsOwnLengthsAndTypes)
{
    auto with = [](Bytes b, size_t at, uint8_t v) {
        b[at] = v;
        return b;
    };
    const Bytes foreign{0xF0, 0x7D, 0x01, 0x02, 0xF7};
    const struct {
        const char* name;
        Kind kind;
        Bytes message;
        bool taken;
    } cases[] = {
        {"program dump", kProgram, message(296, 0x00), true},
        {"writer's library form, bank code 07", kProgram, message(296, 0x07), true},
        {"296 bytes of type 15", kProgram, message(296, 0x15), false},
        {"stored program", kProgram, message(297, 0x02), true},
        {"global settings 2", kProgram, message(297, 0x15), false},
        {"truncated program", kProgram, message(290, 0x02), false},
        {"overlong program", kProgram, message(300, 0x02), false},
        {"foreign SysEx", kProgram, foreign, false},
        {"byte 4 not 01", kProgram, with(message(297, 0x02), 4, 0x02), false},
        {"unknown model byte", kProgram, with(message(297, 0x02), 5, 0x30), false},
        {"no F7", kProgram, with(message(297, 0x02), 296, 0x00), false},
        {"status byte inside", kProgram, with(message(297, 0x02), 100, 0x90), false},
        {"performance dump", kPerformance, message(381, 0x05), true},
        {"writer's performance, slot 17", kPerformance, message(381, 0x11), true},
        {"stored performance", kPerformance, message(383, 0x07), true},
        {"library performance", kPerformance, message(383, 0x05), true},
        {"383 bytes of type 02", kPerformance, message(383, 0x02), false},
        {"follow-up before its performance", kPerformance, message(25, 0x1B), false},
        {"global settings 1", kPerformance, message(281, 0x0F), false},
        {"pattern frame", kPattern, message(204, 0x0C), true},
        {"library pattern", kPattern, message(220, 0x0C), true},
        {"221-byte pattern", kPattern, message(221, 0x0C), false},
        {"204 bytes of type 0D", kPattern, message(204, 0x0D), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bench b;
        b.arm(c.kind);
        const LibrarianPatch before = b.bank(c.kind).patches[0];
        b.send(c.message);
        EXPECT_EQ(b.armed(), !c.taken);
        EXPECT_EQ(bool(b.plug->replyArrived), c.taken);
        EXPECT_EQ(b.bank(c.kind).patches[0].messages.size(), c.taken ? 1u : 0u);
        // Refused by the buffer, or (a follow-up with no performance before it) by the router.
        EXPECT_EQ(bankgen::hasLineStarting(b.log(), "SYSEX ROUTER: "), !c.taken);
    }
}

TEST(LibraryRouter, AProgramLandsInTheUpperSlotOfABankPaddedTo128)
{
    Bench b;
    b.arm(kProgram);
    b.lib().upperSlot = 120;
    b.lib().dropSlot = 5;
    Bytes dump = named(message(296, 0x00, 0x21), 9, "Init Program");
    dump[8] = 3;
    dump[12] = 0x00; // a control character in the name
    b.send(dump);
    const PatchFile& bank = b.bank(kProgram);
    ASSERT_EQ(bank.patches.size(), 128u);
    for (size_t s = 100; s < 128; ++s)
        if (s != 120) {
            EXPECT_TRUE(bank.patches[s].messages.empty()) << s;
        }
    const LibrarianPatch& e = bank.patches[120];
    ASSERT_EQ(e.messages.size(), 1u);
    const SysexBytes& m = e.messages[0].bytes;
    ASSERT_EQ(m.size(), 297u);
    EXPECT_EQ(slice(m, 7, 10), (Bytes{0x02, 0x05, 0x05}));
    EXPECT_EQ(e.name, "Ini  Program    ");
    EXPECT_EQ(e.patchType, 0); // the template's model byte 20
    EXPECT_TRUE(b.m().requestComplete);
    EXPECT_FALSE(b.armed());

    // Disarmed, the next program reaches the editor's side of the router, not the slot.
    b.send(named(message(296, 0x00), 9, "Second"));
    EXPECT_EQ(bank.patches[120].name, "Ini  Program    ");
}

TEST(LibraryRouter, AModelOnePerformanceIsStoredOnlyWithItsFollowUp)
{
    for (int model : {0, 1}) {
        SCOPED_TRACE(model);
        Bench b;
        b.plug->currentModel = model;
        b.arm(kPerformance);
        b.lib().upperSlot = 2;
        b.m().expectingEditDump = true;
        b.send(named(message(381, 0x05, 0x20), 8, "Night Drive"));
        if (model == 1) {
            EXPECT_TRUE(b.bank(kPerformance).patches[2].messages.empty());
            EXPECT_FALSE(b.m().requestComplete);
            EXPECT_TRUE(b.armed());
            b.send(message(25, 0x1B, 0x20));
        }
        const LibrarianPatch& e = b.bank(kPerformance).patches[2];
        ASSERT_EQ(e.messages.size(), size_t(model + 1));
        EXPECT_EQ(e.messages[0].bytes.size(), 383u);
        if (model == 1) {
            EXPECT_EQ(slice(e.messages[1].bytes, 7, 10), (Bytes{0x1B, 0x01, 0x00}));
        }
        EXPECT_EQ(e.name, "Night Drive     ");
        EXPECT_EQ(e.patchType, 7);
        EXPECT_TRUE(b.m().requestComplete);
        EXPECT_FALSE(b.m().expectingEditDump);
        // A follow-up after the entry is complete is not the buffer's.
        b.send(message(25, 0x1B, 0x20));
        EXPECT_EQ(e.messages.size(), size_t(model + 1));
    }
    // Nor another unit's, when a sweep asked both and their replies interleave.
    MIDIMessageManager::LibraryPerformanceRequest r;
    Bytes other = message(25, 0x1B, 0x20);
    other[6] = 0x03;
    for (const Bytes& m : {message(381, 0x05, 0x20), other, message(25, 0x1B, 0x20)})
        EXPECT_EQ(r.addMessageData(m.data(), int(m.size()), true, 2), m.size() == 25 && m[6] == 0x09);
    EXPECT_EQ(r.patch.messages.size(), 2u);
}

TEST(LibraryRouter, APatternFrameIsNamedFromAfterItsFrameAndNoBankDropsTheEntry)
{
    Bench b;
    b.arm(kPattern);
    b.send(message(204, 0x0C));
    const LibrarianPatch& e = b.bank(kPattern).patches[0];
    ASSERT_EQ(e.messages.size(), 1u);
    EXPECT_EQ(e.messages[0].bytes.size(), 220u);
    EXPECT_EQ(e.name, "Requested Arp***");

    // A pane index past the list: nothing is stored, and the request is not answered, so that
    // no job reports it done.
    b.lib().upperFileIndex = 3;
    b.arm(kPattern);
    b.m().requestComplete = false;
    b.send(named(message(220, 0x0C), 203, "Kept"));
    EXPECT_FALSE(b.armed());
    EXPECT_FALSE(b.m().requestComplete);
    EXPECT_TRUE(bankgen::hasLineStarting(b.log(), "PATCH LIBRARIAN: received entry dropped"));
}

TEST(LibraryRouter, AnArmedBufferKeepsADumpFromTheEditorEvenWhenAnEditDumpIsExpected)
{
    for (bool armed : {true, false}) {
        SCOPED_TRACE(armed);
        Bench b;
        auto values = [&b] {
            std::vector<double> v;
            for (int id = 0; id < b.plug->NParams(); ++id) v.push_back(b.plug->GetParam(id)->Value());
            return v;
        };
        const std::vector<double> before = values();
        if (armed) b.arm(kProgram);
        b.m().expectingEditDump = true;
        Bytes dump = named(message(296, 0x00, 0x20, 99), 9, "Armed");
        dump[8] = 0;
        b.send(dump);
        EXPECT_EQ(values() == before, armed);
        EXPECT_EQ(b.bank(kProgram).patches.size(), armed ? 128u : 100u);
    }
}
