// Library writes against the in-process synthesizer: a library bank into a memory bank (job 5)
// and the init templates into the upper slot (jobs 15 to 17).
#include "Project_Source/src/PatchFileImage.h"
#include "Project_Source/src/PatchInitData.h"
#include "Project_Source/src/PatchLibrarian.h"
#include "insynth_bench.h"
#include "librarian_support.h"
#include "support/bankgen.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace insynthtest;

namespace
{

using Bytes = std::vector<uint8_t>;

Bytes bytesOf(const PatchSysexMessage& m) { return Bytes(m.bytes.begin(), m.bytes.end()); }

// A bench whose librarian shows one bank of 100 entries of each kind in the upper pane.
struct Library : Bench {
    explicit Library(const synthsim::Options& options = synthsim::Options()) : Bench(onDevice15(options))
    {
        // The texts as the job ends, before its last one.
        plug->onIndicator = [this](bool on) {
            if (!on) lastTexts = {status(), progress()};
        };
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
    static synthsim::Options onDevice15(synthsim::Options o)
    {
        o.deviceId = 15;
        return o;
    }
    std::pair<std::string, std::string> lastTexts;
    // The upper bank of kind, filled with the given entries.
    void fill(int kind, const std::vector<std::vector<Bytes>>& entries)
    {
        mode(kind);
        PatchLibrarian& lib = *plug->patchLibrarian;
        std::lock_guard<std::recursive_mutex> hold(lib.mLock);
        auto& list = kind == kPatchFilePerformances ? lib.multiFiles : kind == kPatchFilePatterns ? lib.patternFiles : lib.singleFiles;
        PatchFile& bank = *list.at(0);
        bank.patches.assign(entries.size(), LibrarianPatch());
        for (size_t e = 0; e < entries.size(); ++e)
            for (const Bytes& m : entries[e]) bank.patches[e].messages.push_back(PatchSysexMessage{m});
    }
    // Job 5 as its starter hands it over (upper pane, from entry 0); what reached the output.
    std::vector<Bytes> write(int bank)
    {
        SenderJobRecord r;
        r.job = kJobStoreAllPatches;
        r.storeBank = bank;
        run(r);
        return plug->copy(plug->handed);
    }
    std::string progress() const
    {
        KIT_String s("", 0, 256);
        if (plug->valueDisplay) plug->valueDisplay->GetTextCopy(&s);
        return s.Get();
    }
    std::vector<Bytes> synthFile(const std::string& file) { return synthMemoryFile(*plug, dir, file); }
    // Job 2 in its library form: part into slot of the upper program bank; the slot's messages.
    EntryMessages storePart(int part, int s)
    {
        {
            std::lock_guard<std::recursive_mutex> hold(plug->patchLibrarian->mLock);
            plug->patchLibrarian->upperSlot = s;
        }
        SenderJobRecord r;
        r.job = kJobSendPart;
        r.part = part;
        r.storeIntoLibrary = true;
        run(r);
        return slot(kPatchFilePrograms, s).messages;
    }
};

std::vector<std::vector<Bytes>> entriesOf(const std::vector<Bytes>& messages, size_t per)
{
    std::vector<std::vector<Bytes>> out;
    for (size_t i = 0; i + per <= messages.size(); i += per) out.emplace_back(messages.begin() + long(i), messages.begin() + long(i + per));
    return out;
}

Bytes tail(const Bytes& b, size_t from) { return Bytes(b.begin() + long(from), b.end()); }

using bankgen::programBody;

} // namespace

TEST(BankWrite, AProgramBankLandsInTheSynthesizersBankWithItsTextsAndPacing)
{
    Library b;
    const auto entries = entriesOf(bankgen::synthBanks(bankgen::Kind::Programs, 1), 1);
    b.fill(kPatchFilePrograms, entries);
    b.plug->patchLibrarian->upperSlot = 9;
    const auto sent = b.write(2);

    ASSERT_EQ(sent.size(), 128u);
    for (size_t s = 0; s < sent.size(); ++s) {
        ASSERT_EQ(sent[s].size(), 297u) << s;
        EXPECT_EQ((Bytes{sent[s][5], sent[s][6], sent[s][7], sent[s][8], sent[s][9]}), (Bytes{0x20, 0x0F, 0x02, 0x07, uint8_t(s)})) << s;
        EXPECT_EQ(tail(sent[s], 10), tail(entries[s][0], 10)) << s;
    }
    const auto memory = b.synthFile("programs-C.syx");
    ASSERT_EQ(memory.size(), 128u);
    for (size_t s = 0; s < memory.size(); ++s) EXPECT_EQ(tail(memory[s], 10), tail(entries[s][0], 10)) << s;

    // All Notes Off's settle, then one period after every message.
    std::vector<int> expected(129, kPeriod);
    expected[0] = 50;
    EXPECT_EQ(b.pauses, expected);
    EXPECT_EQ(b.lastTexts, std::make_pair(std::string("Writing 99%, please wait.."), std::string("Processed 127/127")));
    EXPECT_EQ(b.status(), "Data write completed!");
    std::lock_guard<std::recursive_mutex> hold(b.plug->patchLibrarian->mLock);
    EXPECT_EQ(b.plug->patchLibrarian->upperSlot, 0);
}

TEST(BankWrite, ACancelEndsWithTheSlotReachedAndAnEmptyEntryEndsTheWrite)
{
    const struct {
        const char* name;
        int cancelAtPause, emptyAt;
        size_t sent;
        std::string lastWriting, lastProcessed, end;
    } cases[] = {
        // Pause 42 follows slot 40's message.
        {"cancel during slot 40", 42, -1, 41, "Writing 31%, please wait..", "Processed 40/127", "Data write CANCELLED!"},
        {"empty entry at slot 10", -1, 10, 10, "Writing 7%, please wait..", "Processed 9/127", "Data write completed!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Library b;
        auto entries = entriesOf(bankgen::synthBanks(bankgen::Kind::Programs, 1), 1);
        if (c.emptyAt >= 0) entries[size_t(c.emptyAt)].clear();
        b.fill(kPatchFilePrograms, entries);
        const auto before = b.synthFile("programs-C.syx");
        b.onPause = [&](int count, int) {
            if (count == c.cancelAtPause) b.plug->midiManager->sender->cancelRequested = true;
        };
        EXPECT_EQ(b.write(2).size(), c.sent);
        EXPECT_EQ(b.lastTexts, std::make_pair(c.lastWriting, c.lastProcessed));
        EXPECT_EQ(b.status(), c.end);
        const auto after = b.synthFile("programs-C.syx");
        ASSERT_EQ(after.size(), 128u);
        for (size_t s = 0; s < 128; ++s)
            EXPECT_EQ(tail(after[s], 10), s < c.sent ? tail(entries[s][0], 10) : tail(before[s], 10)) << s;
    }
}

TEST(BankWrite, ASlotTheOutputRefusesIsTriedAgainAndNeverReportedWritten)
{
    const struct {
        const char* name;
        int refusals; // of slot 5's message
        size_t written;
        std::string end;
    } cases[] = {
        {"refused once", 1, 128, "Data write completed!"},
        {"refused twice", 2, 128, "Data write completed!"},
        {"refused for good", 1000, 5, "Data write FAILED!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Library b;
        const auto entries = entriesOf(bankgen::synthBanks(bankgen::Kind::Programs, 1), 1);
        b.fill(kPatchFilePrograms, entries);
        const auto before = b.synthFile("programs-C.syx");
        int refused = 0;
        b.plug->refuseSend = [&](const Bytes& m) { return m.size() > 9 && m[9] == 5 && refused++ < c.refusals; };
        EXPECT_EQ(b.write(2).size(), c.written);
        EXPECT_EQ(b.status(), c.end);
        const auto after = b.synthFile("programs-C.syx");
        ASSERT_EQ(after.size(), 128u);
        for (size_t s = 0; s < 128; ++s)
            EXPECT_EQ(tail(after[s], 10), s < c.written ? tail(entries[s][0], 10) : tail(before[s], 10)) << s;
        if (c.written < 128) {
            EXPECT_EQ(refused, 3) << "three attempts";
            EXPECT_EQ(b.lastTexts.second, "Processed 4/127") << "the slot reached is the last one written";
            EXPECT_NE(b.logText().find("LIBRARY WRITE: slot 5 message 1 refused by the MIDI output"), std::string::npos);
        }
    }
}

TEST(BankWrite, PerformancesAndPatternsTakeTheirSlotForms)
{
    // Model 21: each performance with its follow-up; a short follow-up and a missing one become the default.
    Library p([] {
        synthsim::Options o;
        o.model = 0x21;
        return o;
    }());
    p.plug->currentModel = 1;
    auto perfs = entriesOf(bankgen::synthBanks(bankgen::Kind::Performances, 1), 2);
    perfs.resize(4);
    perfs[1][1].resize(25);
    perfs[1][1].back() = 0xF7;
    perfs[2].pop_back();
    p.fill(kPatchFilePerformances, perfs);
    const auto sent = p.write(1);
    ASSERT_EQ(sent.size(), 8u);
    Bytes standIn = PatchInitData::performanceSecondMessage(1);
    for (size_t s = 0; s < 4; ++s) {
        const Bytes& perf = sent[2 * s];
        const Bytes& follow = sent[2 * s + 1];
        EXPECT_EQ((Bytes{perf[5], perf[6], perf[7], perf[8], perf[9]}), (Bytes{0x21, 0x0F, 0x07, 0x02, uint8_t(s)})) << s;
        EXPECT_EQ(perf.size(), 383u);
        EXPECT_EQ(tail(perf, 10), tail(perfs[s][0], 10)) << s;
        ASSERT_EQ(follow.size(), 27u) << s;
        EXPECT_EQ((Bytes{follow[7], follow[8], follow[9]}), (Bytes{0x1C, 0x02, uint8_t(s)})) << s;
        EXPECT_EQ(tail(follow, 10), s == 1 || s == 2 ? tail(standIn, 10) : tail(perfs[s][1], 10)) << s;
    }

    // Patterns: the 220-byte library form goes as the 204-byte frame.
    Library t;
    std::vector<std::vector<Bytes>> patterns(3);
    for (size_t s = 0; s < patterns.size(); ++s) {
        Bytes b(220, uint8_t(s + 1));
        const uint8_t head[] = {0xF0, 0x00, 0x20, 0x29, 0x01, 0x20, 0x0F, 0x0C, 0x00, uint8_t(s)};
        std::copy(std::begin(head), std::end(head), b.begin());
        const char name[] = "Requested Arp***";
        std::copy(name, name + 16, b.begin() + 203);
        b.back() = 0xF7;
        patterns[s] = {b};
    }
    t.fill(kPatchFilePatterns, patterns);
    const auto frames = t.write(0);
    ASSERT_EQ(frames.size(), 3u);
    for (size_t s = 0; s < 3; ++s) {
        ASSERT_EQ(frames[s].size(), 204u);
        EXPECT_EQ((Bytes{frames[s][7], frames[s][8], frames[s][9], frames[s][203]}), (Bytes{0x0C, 0x00, uint8_t(s), 0xF7}));
        EXPECT_EQ(Bytes(frames[s].begin() + 10, frames[s].begin() + 203), Bytes(193, uint8_t(s + 1)));
    }
}

TEST(BankWrite, DamagedMessagesAreSkippedAndNamesMended)
{
    Library b;
    auto entries = entriesOf(bankgen::synthBanks(bankgen::Kind::Programs, 1), 1);
    entries.resize(4);
    entries[0][0][12] = 0x85;            // a name byte: becomes a space
    entries[1][0][100] = 0x90;           // a data byte: the message is not sent
    entries[2][0].resize(9);             // too short to carry bank and slot
    b.fill(kPatchFilePrograms, entries);
    const auto sent = b.write(0);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0][9], 0);
    EXPECT_EQ(sent[0][12], ' ');
    EXPECT_EQ(sent[1][9], 3);
    EXPECT_EQ(b.status(), "Data write completed!");
}

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
        // The part an earlier request waited for does not hold an init entry back.
        b.plug->pendingRequestPart = 6;
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

// Job 4 for an entry of the upper bank's slot 0, for part.
std::vector<Bytes> sendEntry(Library& b, int kind, const std::vector<Bytes>& messages, int part)
{
    b.fill(kind, {messages});
    SenderJobRecord r;
    r.job = kJobSendPatchFromLibrarian;
    r.part = part;
    {
        PatchLibrarian& lib = *b.plug->patchLibrarian;
        std::lock_guard<std::recursive_mutex> hold(lib.mLock);
        auto& list = kind == kPatchFilePerformances ? lib.multiFiles : kind == kPatchFilePatterns ? lib.patternFiles : lib.singleFiles;
        r.patch = &list.at(0)->patches.at(0);
    }
    b.run(r);
    return b.plug->copy(b.plug->handed);
}

TEST(LibrarySend, AProgramIsLoadedIntoTheEditorAndSentFromItsParameters)
{
    Library b;
    Bytes entry = PatchInitData::programMessage(0);
    const char name[] = "Library Sound 12";
    std::copy(name, name + 16, entry.begin() + 10);
    entry[9] = 44;
    // Category 8 and the plain bytes 27, 28 and 30 (one later in the stored form).
    entry[27] = 8, entry[28] = entry[29] = entry[31] = 0x23;
    const auto sent = sendEntry(b, kPatchFilePrograms, {entry}, 3);

    EXPECT_STREQ(b.plug->GetParam(kPatchName + 3)->GetDisplayText(0), name);
    ASSERT_FALSE(sent.empty());
    const Bytes& dump = sent.back();
    ASSERT_EQ(dump.size(), 296u);
    EXPECT_EQ((Bytes{dump[7], dump[8], dump.back()}), (Bytes{0x00, 0x03, 0xF7}));
    // The editor's dump carries the entry's name and every byte of it.
    EXPECT_EQ(programBody(dump), programBody(entry));
    ASSERT_FALSE(b.pauses.empty());
    EXPECT_EQ(b.pauses[0], 100);
    EXPECT_FALSE(b.plug->midiManager->expectingEditDump);

    // Job 2 stores the part into another slot of the library as the entry held it.
    const auto stored = b.storePart(3, 5);
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(programBody(bytesOf(stored[0])), programBody(entry));
}

TEST(LibrarySend, APerformanceLoadsOnThePartsChannelsAndKeepsTheEntrysOwn)
{
    synthsim::Options o;
    o.model = 0x21;
    Library b(o);
    b.plug->currentModel = 1;
    b.plug->libraryPerformanceTransfer = true; // as the transfer's starter sets it
    auto entry = entriesOf(bankgen::synthBanks(bankgen::Kind::Performances, 1), 2).at(0);
    for (size_t k = 0; k < 8; ++k) entry[0][32 + 44 * k] = uint8_t(15 - k);
    const auto sent = sendEntry(b, kPatchFilePerformances, entry, 0);

    for (size_t k = 0; k < 8; ++k) {
        EXPECT_EQ(b.plug->savedPartChannels[k], int(15 - k)) << k;
        EXPECT_EQ(b.value(kMultiPartMIDICh + int(k)), double(15 - k)) << k;
    }
    const Bytes* perf = nullptr;
    for (const Bytes& m : sent)
        if (m.size() == 381) perf = &m;
    ASSERT_NE(perf, nullptr);
    for (size_t k = 0; k < 8; ++k) EXPECT_EQ((*perf)[30 + 44 * k], k) << k;
    EXPECT_EQ(std::string(perf->begin() + 8, perf->begin() + 24), std::string(entry[0].begin() + 10, entry[0].begin() + 26));
}

TEST(LibrarySend, NeitherTheRequestGateNorTheSysExFilterRefusesTheEditorsOwnLoad)
{
    const struct {
        const char* name;
        int kind, part, awaited;
        bool filtered;
    } cases[] = {
        {"program for a part other than the awaited one", kPatchFilePrograms, 3, 2, false},
        {"performance, whose byte 8 is a name character", kPatchFilePerformances, 0, 0, false},
        {"program with the synthesizer's SysEx filtered out", kPatchFilePrograms, 3, -1, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Library b;
        b.plug->pendingRequestPart = c.awaited;
        b.plug->midiFilterSwitches[13] = c.filtered;
        Bytes entry = c.kind == kPatchFilePrograms
                          ? PatchInitData::programMessage(0)
                          : entriesOf(bankgen::synthBanks(bankgen::Kind::Performances, 1), 2).at(5).at(0);
        const char name[] = "Library Sound 12";
        std::copy(name, name + 16, entry.begin() + 10);
        const auto sent = sendEntry(b, c.kind, {entry}, c.part);
        const size_t size = c.kind == kPatchFilePrograms ? 296 : 381, nameAt = c.kind == kPatchFilePrograms ? 9 : 8;
        const auto dump = std::find_if(sent.rbegin(), sent.rend(), [&](const Bytes& m) { return m.size() == size; });
        ASSERT_NE(dump, sent.rend());
        EXPECT_EQ(std::string(dump->begin() + long(nameAt), dump->begin() + long(nameAt) + 16), name);
    }
}

// A program change on the global channel in library performance mode: the library's entry
// reaches the synthesizer, with every part made to follow it.
TEST(LibrarySend, AProgramChangeInLibraryPerformanceModeSendsTheLibrarysPerformance)
{
    Library b;
    auto entries = entriesOf(bankgen::synthBanks(bankgen::Kind::Performances, 1), 2);
    entries.resize(4);
    for (auto& e : entries) e.resize(1);
    b.fill(kPatchFilePerformances, entries);
    b.plug->GetParam(kControlLibrary)->Set(1);
    IMidiMsg change(0, 0xCF, 2, 0);
    testing::internal::CaptureStdout();
    b.plug->midiManager->MakeProgramChangeMessages(0, &change, true);
    while (!b.plug->midiManager->threadIdle(kJobThread)) usleep(1000);
    testing::internal::GetCapturedStdout();
    size_t dumps = 0;
    for (const Bytes& m : b.plug->copy(b.plug->handed))
        if (m.size() == 381) {
            ++dumps;
            EXPECT_EQ(Bytes(m.begin() + 8, m.begin() + 24),
                      Bytes(entries[2][0].begin() + 10, entries[2][0].begin() + 26));
        }
    // The job's send, then the performance sent back once the parts have followed it.
    EXPECT_EQ(dumps, 2u);
}

TEST(LibrarySend, APatternSendsNothingAndOnlyShowsTheOverlay)
{
    Library b;
    Bytes frame = PatchInitData::patternMessage();
    const auto sent = sendEntry(b, kPatchFilePatterns, {frame}, 2);
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(b.plug->copy(b.plug->indicator), (std::vector<Bytes>{Bytes{1}, Bytes{0}}));
}

// What the synthesizer holds in part 1's edit buffer, as a dump.
Bytes synthPartOne(Library& b)
{
    const auto mem = b.plug->session.synth().memory();
    Bytes dump = {0xF0, 0x00, 0x20, 0x29, 0x01, 0x20, 0x0F, 0x00, 0x00};
    dump.insert(dump.end(), mem.partEdit[0].begin(), mem.partEdit[0].end());
    dump.push_back(0xF7);
    return dump;
}

// A program the synthesizer holds comes back whole: requested into the editor, stored into a
// library slot, sent back by job 4 and by job 2, and read back.
TEST(LibraryRoundTrip, AProgramOfTheSynthesizerComesBackWholeThroughTheLibraryAndBothSends)
{
    Library b;
    const Bytes init = PatchInitData::programMessage(0);
    Bytes neutral(init.begin(), init.begin() + 9); // the init program as part 1's edit buffer
    neutral[7] = 0x00, neutral[8] = 0x00;
    neutral.insert(neutral.end(), init.begin() + 10, init.end());
    ASSERT_EQ(neutral.size(), 296u);
    // Category 8, and 23 hex in the plain bytes 27, 28 and 30.
    Bytes original = neutral;
    original[26] = 8, original[27] = original[28] = original[30] = 0x23;
    b.plug->session.onMessage(original);
    ASSERT_EQ(programBody(synthPartOne(b)), programBody(original));

    SenderJobRecord request;
    request.job = kJobRequestPart;
    request.part = 0;
    request.toEditor = true;
    b.run(request);
    ASSERT_EQ(b.status(), "Data request completed!");
    EXPECT_EQ(b.value(kCategoryName), 8);

    b.mode(kPatchFilePrograms);
    const auto stored = b.storePart(0, 7);
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(programBody(bytesOf(stored[0])), programBody(original)) << "stored";

    // Job 4 from the slot, then job 2 from the editor, each over a neutral edit buffer.
    b.plug->session.onMessage(neutral);
    for (int id : {kCategoryName, kUnusedParam01, kUnusedParam02, kUnusedParam03}) b.plug->GetParam(id)->Set(0);
    SenderJobRecord fromLibrary;
    fromLibrary.job = kJobSendPatchFromLibrarian;
    fromLibrary.part = 0;
    {
        PatchLibrarian& lib = *b.plug->patchLibrarian;
        std::lock_guard<std::recursive_mutex> hold(lib.mLock);
        fromLibrary.patch = &lib.singleFiles.at(0)->patches.at(7);
    }
    b.run(fromLibrary);
    EXPECT_EQ(programBody(synthPartOne(b)), programBody(original)) << "sent by job 4";

    b.plug->session.onMessage(neutral);
    SenderJobRecord send;
    send.job = kJobSendPart;
    send.part = 0;
    b.run(send);
    EXPECT_EQ(programBody(synthPartOne(b)), programBody(original)) << "sent by job 2";

    const size_t before = b.plug->copy(b.plug->received).size();
    b.run(request);
    EXPECT_EQ(b.status(), "Data request completed!");
    const auto received = b.plug->copy(b.plug->received);
    ASSERT_GT(received.size(), before);
    EXPECT_EQ(programBody(received.back()), programBody(original)) << "read back";
}
