// The librarian's bank edit menu and the header's bank-name menus in performance mode, the editor
// built in process with its window open, against one synthesizer simulator at the second model on
// the private JACK server: whole performance banks stored and fetched with their follow-ups, the
// current performance synced and pushed, and library banks chosen by name sent to the synthesizer.
#include "Project_Source/src/LibrarianBankEditMenu.h"
#include "Project_Source/src/LibrarianBankNameMenus.h"
#include "Project_Source/src/LibrarianNumberMenus.h"
#include "Project_Source/src/LibrarianViewControl.h"
#include "sim_editor_rig.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <mutex>

using namespace qorid;
using Bytes = std::vector<uint8_t>;

namespace
{

constexpr int kPerformanceBanks = 6;

// Bank b of the synthesizer's performance memory at the second model: entries "A0".."F127", each
// a stored performance and its follow-up.
Bytes performanceBankFile(int b)
{
    const std::vector<Bytes> all = bankgen::synthBanks(bankgen::Kind::Performances, kPerformanceBanks);
    std::vector<Bytes> bank(all.begin() + 256 * b, all.begin() + 256 * (b + 1));
    for (Bytes& m : bank) m[5] = 0x21;
    return bankgen::rawFile(bank);
}

// The six performance banks, and program banks "A0".."D127".
std::vector<std::pair<std::string, bankgen::Bytes>> libraryFiles()
{
    std::vector<std::pair<std::string, bankgen::Bytes>> files;
    for (int b = 0; b < kPerformanceBanks; ++b)
        files.push_back({"Perf" + std::to_string(b) + ".syx", performanceBankFile(b)});
    const std::vector<Bytes> programs = bankgen::synthBanks(bankgen::Kind::Programs, 4);
    for (int b = 0; b < 4; ++b)
        files.push_back(
            {"Prog" + std::to_string(b) + ".syx",
             bankgen::rawFile(std::vector<Bytes>(programs.begin() + 128 * b, programs.begin() + 128 * (b + 1)))});
    return files;
}

// The simulator's performance edit buffer at start: a dump and follow-up of the second model with
// every value in its parameter's range.
constexpr size_t kPartsAt = 28, kPartBlock = 44;
Bytes seededPerformance()
{
    Bytes d(381, 0x00);
    const Bytes head = {0xF0, 0x00, 0x20, 0x29, 0x01, 0x21, 0x0F, 0x05};
    std::copy(head.begin(), head.end(), d.begin());
    const std::string name = "Synced Perf 21  ";
    std::copy(name.begin(), name.end(), d.begin() + 8);
    d[24] = 0x05; // the first flag 1, the second set; part 8 on
    d[25] = 77;   // tempo
    d[26] = 3;    // the selected part
    d[27] = 0x2A; // parts 2, 4 and 6 off
    for (size_t k = 0; k < 8; ++k) {
        uint8_t* p = &d[kPartsAt + kPartBlock * k];
        p[0] = uint8_t(20 + 3 * k); // program
        p[1] = uint8_t(5 + k % 4);  // bank
        p[2] = uint8_t(k);          // channel
        p[3] = 98;                  // output 0
        p[4] = 77;                  // sustain 0
        p[5] = uint8_t(40 + k);     // transpose
        p[6] = 64;                  // detune
        p[7] = 80;                  // velocity curve 0
        p[9] = 127;                 // key high
        p[10] = 0x0D;               // polyphony 1, program and control changes received
        p[11] = uint8_t(100 - k);   // level
        p[22] = 55;                 // pan type 0
        p[33] = 32;                 // routing 0
        p[39] = 96;                 // delay ratio 0
        p[43] = 64;                 // morph
    }
    d.back() = 0xF7;
    return d;
}

// The two flags on, vocoder input 4, insert 2, width 9, balance 70, sibilance 7 of the noise type.
const Bytes kSeededFollowUp = {0xF0, 0x00, 0x20, 0x29, 0x01, 0x21, 0x0F, 0x1B, 1, 22, 30, 120, 70,
                               1,    103,  1,    0,    0,    0,    0,    0,    0, 0,  0,  0xF7};

std::string seedFile(testsupport::TempDir& dir)
{
    testsupport::writeFile(dir.file("seed.syx"), bankgen::rawFile({seededPerformance(), kSeededFollowUp}));
    return dir.file("seed.syx");
}

Bytes bytesOf(const SysexBytes& b)
{
    return Bytes(b.begin(), b.end());
}

// The seed file's folder, made before the simulator starts.
struct SeedFolder {
    testsupport::TempDir seedDir;
};

// One simulator and one editor for every case: the simulator at the second model, answering
// edit-buffer requests with its performance.
struct Rig : SeedFolder, simjack::EditorRig {
    Rig()
        : simjack::EditorRig("bankperf",
                             {"--model", "0x21", "--edit-reply", "performance", "--load", seedFile(seedDir)},
                             libraryFiles(), [](QOR& q) { q.currentModel = 1; })
    {
        if (e) q().GetParam(kLibSyncTimer)->Set(0); // 50 ms
    }
    QOR& q() { return *e->plug; }
    PatchLibrarian& lib() { return *e->plug->patchLibrarian; }
    // The bank edit menu clicked and answered along path; the job it started ended.
    void bankEdit(std::vector<int> path, int seconds = 10)
    {
        editor->answer(std::move(path));
        testing::internal::CaptureStdout();
        q().bankEditMenu->OnMouseDown(0, 0, nullptr);
        EXPECT_TRUE(simjack::waitIdle(q(), seconds));
        testing::internal::GetCapturedStdout();
    }
    // The SysEx messages that reached the simulator since the last call.
    std::vector<Bytes> sysexIn()
    {
        std::vector<Bytes> out;
        for (const auto& line : simjack::arrived(record, seen))
            if (!line.bytes.empty() && line.bytes[0] == 0xF0) out.push_back(line.bytes);
        return out;
    }
    std::vector<Bytes> memory(const std::string& file) { return simjack::memoryFile(sim, simDir.file("memory"), file); }
    int multiFileIndex(const std::string& name) { return fileIndex(lib().multiFiles, name); }
    int fileIndex(const std::vector<PatchFile*>& files, const std::string& name)
    {
        std::lock_guard<std::recursive_mutex> hold(lib().mLock);
        for (size_t i = 0; i < files.size(); ++i)
            if (files[i]->fileName == name) return int(i);
        return -1;
    }
    // The upper bank's entry slot, message m, as the library holds it.
    Bytes entry(int slot, size_t m)
    {
        std::lock_guard<std::recursive_mutex> hold(lib().mLock);
        const PatchFile* bank = lib().upperBank();
        if (!bank || size_t(slot) >= bank->patches.size() || m >= bank->patches[size_t(slot)].messages.size())
            return {};
        return bytesOf(bank->patches[size_t(slot)].messages[m].bytes);
    }
    // The bank-name menu clicked and answered along path (empty dismisses).
    void bankName(BankNamePopupMenu& menu, std::vector<int> path)
    {
        editor->answer(std::move(path));
        testing::internal::CaptureStdout();
        menu.OnMouseDown(0, 0, nullptr);
        EXPECT_TRUE(simjack::waitIdle(q()));
        testing::internal::GetCapturedStdout();
    }
};

class BankPerfJack : public testing::Test
{
protected:
    static void SetUpTestSuite() { rig = new Rig; }
    static void TearDownTestSuite()
    {
        delete rig;
        rig = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(rig && rig->started && rig->q().midiIOSet); }
    static Rig* rig;
};
Rig* BankPerfJack::rig = nullptr;

// A 16-character name field.
std::string field(const std::string& name)
{
    return name + std::string(16 - name.size(), ' ');
}
// "07/0 1C/0 07/1 ..": what arrived, for a message count that is off.
std::string typesAndSlots(const std::vector<Bytes>& messages)
{
    std::string out;
    char one[16];
    for (const Bytes& m : messages) {
        std::snprintf(one, sizeof one, "%02X/%d ", m.size() > 9 ? m[7] : 0, m.size() > 9 ? m[9] : -1);
        out += one;
    }
    return out;
}
Bytes from(const Bytes& b, size_t at)
{
    return Bytes(b.begin() + long(at), b.end());
}

} // namespace

// A short library bank goes into bank A with its follow-ups and ends at its last entry; the whole
// bank A then comes back into another library bank, two messages a slot.
TEST_F(BankPerfJack, PerformanceBankAStoredAndFetchedWithTheirFollowUps)
{
    Rig& r = *rig;
    QOR& q = r.q();
    simjack::edit(q, kDatatype, 1);
    ASSERT_TRUE(q.performanceMode);
    const std::vector<Bytes> before = r.memory("performances-A.syx");
    ASSERT_EQ(before.size(), 256u);

    // 40 entries of the library form; entry 7 without its follow-up.
    const bankgen::Bank made = bankgen::makeBank(bankgen::Kind::Performances, 0x21, 40, 52);
    {
        std::lock_guard<std::recursive_mutex> hold(r.lib().mLock);
        auto* bank = new PatchFile;
        bank->kind = kPatchFilePerformances;
        bank->modelCode = 1;
        bank->patches.resize(made.entries.size());
        for (size_t s = 0; s < made.entries.size(); ++s)
            for (size_t m = 0; m < (s == 7 ? 1u : 2u); ++m)
                bank->patches[s].messages.push_back(PatchSysexMessage{made.entries[s][m]});
        r.lib().multiFiles.push_back(r.lib().adoptBank(bank));
        r.lib().upperFileIndex = int(r.lib().multiFiles.size()) - 1;
        r.lib().upperSlot = 12;
    }
    q.librarianView->upperSelection = 0;
    r.sysexIn();
    r.bankEdit({2, 1});
    EXPECT_EQ(r.e->text(q.statusDisplay), "Data write completed!");
    EXPECT_EQ(r.e->text(q.valueDisplay), "Processed 39/127");
    EXPECT_EQ(r.lib().upperSlot, 0);
    const std::vector<Bytes> sent = r.sysexIn();
    ASSERT_EQ(sent.size(), 80u) << typesAndSlots(sent);
    const std::vector<Bytes> stored = r.memory("performances-A.syx");
    ASSERT_EQ(stored.size(), 256u);
    for (size_t s = 0; s < 128; ++s) {
        SCOPED_TRACE(s);
        if (s >= 40) {
            EXPECT_EQ(stored[2 * s], before[2 * s]);
            EXPECT_EQ(stored[2 * s + 1], before[2 * s + 1]);
            continue;
        }
        // Stored forms of this model and device, bank A, slot s: the library's bytes after them.
        EXPECT_EQ(sent[2 * s], stored[2 * s]);
        EXPECT_EQ(Bytes(stored[2 * s].begin() + 5, stored[2 * s].begin() + 10),
                  (Bytes{0x21, 0x0F, 0x07, 0x01, uint8_t(s)}));
        EXPECT_EQ(from(stored[2 * s], 10), from(made.entries[s][0], 10));
        EXPECT_EQ(sent[2 * s + 1], stored[2 * s + 1]);
        EXPECT_EQ(Bytes(stored[2 * s + 1].begin() + 5, stored[2 * s + 1].begin() + 10),
                  (Bytes{0x21, 0x0F, 0x1C, 0x01, uint8_t(s)}));
        // The entry without a follow-up sends the default one.
        if (s != 7) {
            EXPECT_EQ(from(stored[2 * s + 1], 10), from(made.entries[s][1], 10));
        } else {
            EXPECT_EQ(from(stored[2 * s + 1], 10),
                      (Bytes{0x25, 0x12, 0x21, 0x70, 0x00, 0x04, 0x60, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xF7}));
        }
    }

    // Into the first file's bank: every slot the simulator's two messages as they came.
    const int into = r.multiFileIndex("Perf0.syx");
    ASSERT_GE(into, 0);
    {
        std::lock_guard<std::recursive_mutex> hold(r.lib().mLock);
        r.lib().upperFileIndex = into;
    }
    q.GetParam(kBankEditUnsaved)->Set(0.0);
    r.bankEdit({0, 4}, 40);
    EXPECT_EQ(r.e->text(q.statusDisplay), "Data request completed!");
    EXPECT_EQ(r.e->text(q.valueDisplay), "Processed 127/127");
    EXPECT_EQ(r.lib().upperSlot, 0);
    EXPECT_EQ(q.GetParam(kBankEditUnsaved)->Value(), 1.0) << "the save and discard choices are offered";
    std::lock_guard<std::recursive_mutex> hold(r.lib().mLock);
    const PatchFile& fetched = *r.lib().multiFiles[size_t(into)];
    ASSERT_EQ(fetched.patches.size(), 128u);
    for (size_t s = 0; s < 128; ++s) {
        SCOPED_TRACE(s);
        const LibrarianPatch& entry = fetched.patches[s];
        ASSERT_EQ(entry.messages.size(), 2u);
        EXPECT_EQ(bytesOf(entry.messages[0].bytes), stored[2 * s]);
        EXPECT_EQ(bytesOf(entry.messages[1].bytes), stored[2 * s + 1]);
        if (s < 40) {
            EXPECT_EQ(entry.name.substr(0, 11), made.names[s].substr(0, 11));
        }
    }
}

// The synthesizer's performance comes into the editor's parameters; pushed back, it leaves as the
// synthesizer holds it, after the global settings and the eight parts' programs.
TEST_F(BankPerfJack, SyncedPerformanceLoadsItsValuesAndThePushSendsGlobalsProgramsThenIt)
{
    Rig& r = *rig;
    QOR& q = r.q();
    simjack::edit(q, kDatatype, 1);
    r.bankEdit({4});
    EXPECT_EQ(r.e->text(q.statusDisplay), "Data request completed!");
    EXPECT_EQ(q.GetParam(kMultiName)->CopyDisplayText(0), "Synced Perf 21  ");
    EXPECT_EQ(r.e->value(kGlobalTempo), 77.0);
    EXPECT_EQ(r.e->value(kQuickTab), 3.0);
    EXPECT_EQ(r.e->value(kMultiLargeCase24Param1), 1.0);
    EXPECT_EQ(r.e->value(kMultiLargeCase24Param3), 1.0);
    EXPECT_EQ(r.e->value(kVocoderInput), 4.0);
    EXPECT_EQ(r.e->value(kVocoderWidth), 9.0);
    EXPECT_EQ(r.e->value(kVocoderSibilanceLevel), 7.0);
    for (int k = 0; k < 8; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(r.e->value(kMultiPartStatus + k), k == 1 || k == 3 || k == 5 ? 0.0 : 1.0);
        EXPECT_EQ(r.e->value(kMultiPartPatch + k), 20 + 3 * k);
        EXPECT_EQ(r.e->value(kMultiPartBank + k), k % 4);
        EXPECT_EQ(r.e->value(kMultiPartMIDICh + k), k);
        EXPECT_EQ(r.e->value(kMultiPartTranspose + k), k);
        EXPECT_EQ(r.e->value(kMultiPartLevel + k), 100 - k);
        EXPECT_EQ(r.e->value(kMultiPartPolyphony + k), 1.0);
    }

    r.sysexIn();
    r.bankEdit({5});
    const std::vector<Bytes> pushed = r.sysexIn();
    std::vector<std::pair<uint8_t, size_t>> kinds;
    for (const Bytes& m : pushed) kinds.push_back({m[7], m.size()});
    std::vector<std::pair<uint8_t, size_t>> expected = {{0x0F, 281}, {0x15, 297}};
    for (int k = 0; k < 8; ++k) expected.push_back({0x00, 296});
    expected.insert(expected.end(), {{0x05, 381}, {0x1B, 25}});
    ASSERT_EQ(kinds, expected);
    for (size_t k = 0; k < 8; ++k) EXPECT_EQ(pushed[2 + k][8], k) << "the programs in part order";
    EXPECT_EQ(pushed[10], seededPerformance());
    EXPECT_EQ(pushed[11], kSeededFollowUp);
    EXPECT_FALSE(q.incomingMidiBlocked);
    EXPECT_FALSE(q.deviceTransferActive);
    EXPECT_FALSE(q.sendingAllParts);
}

// Library-control performance mode: the sixth performance bank file becomes the upper bank and the
// performance number, slot 5 is highlighted, and entry 5 goes to the synthesizer, whose parts then
// load its programs before the editor asks for the performance back.
TEST_F(BankPerfJack, TheSixthPerformanceBankFileSendsItsEntry5)
{
    Rig& r = *rig;
    QOR& q = r.q();
    simjack::edit(q, kDatatype, 1);
    simjack::edit(q, kControlLibrary, 1);
    q.GetParam(kMainTab)->Set(1.0);
    // The bank fetched by the first case is left unsaved: the user discards it first.
    simjack::edit(q, kDiscardBankData, 1);
    ASSERT_TRUE(q.libraryControlMode);
    ASSERT_EQ(r.multiFileIndex("Perf5.syx"), 5);
    r.sysexIn();
    r.bankName(*q.perfBankNameMenu, {5});
    EXPECT_EQ(r.editor->lastMenu(), "*Perf0.syx | Perf1.syx | Perf2.syx | Perf3.syx | Perf4.syx | Perf5.syx");
    EXPECT_EQ(r.e->value(kMultiPatch), 5.0);
    EXPECT_EQ(r.lib().upperFileIndex, 5);
    EXPECT_EQ(r.e->value(kPatchSelectionListUpper), 5.0);
    EXPECT_EQ(q.librarianView->upperSelection.load(), 5);
    EXPECT_EQ(q.librarianView->currentSlot.load(), 5);
    EXPECT_EQ(r.lib().upperSlot, 5);
    EXPECT_EQ(q.librarianView->cellText(LibrarianViewControl::kUpperPane, 5), field("F5"));
    const Bytes entry = r.entry(5, 0);
    ASSERT_EQ(entry.size(), 383u);

    // The entry, and after the parts' programs the performance again, then the request for it.
    std::vector<Bytes> sysex;
    int program[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
    for (const auto& l : simjack::arrived(r.record, r.seen)) {
        if (l.bytes.size() == 2 && (l.bytes[0] & 0xF0) == 0xC0 && (l.bytes[0] & 0x0F) < 8)
            program[l.bytes[0] & 0x0F] = l.bytes[1];
        if (!l.bytes.empty() && l.bytes[0] == 0xF0) sysex.push_back(l.bytes);
    }
    std::vector<std::pair<uint8_t, size_t>> kinds;
    for (const Bytes& m : sysex) kinds.push_back({m[7], m.size()});
    ASSERT_EQ(kinds,
              (std::vector<std::pair<uint8_t, size_t>>{{0x05, 381}, {0x1B, 25}, {0x05, 381}, {0x1B, 25}, {0x08, 9}}));
    for (const Bytes& dump : {sysex[0], sysex[2]})
        EXPECT_EQ(std::string(dump.begin() + 8, dump.begin() + 24),
                  std::string(entry.begin() + 10, entry.begin() + 26));
    for (size_t k = 0; k < 8; ++k) {
        SCOPED_TRACE(k);
        const uint8_t entryProgram = entry[2 + kPartsAt + kPartBlock * k];
        EXPECT_EQ(sysex[0][kPartsAt + kPartBlock * k], entryProgram);
        EXPECT_EQ(program[k], entryProgram) << "the part loads the entry's program last";
    }
    EXPECT_EQ(q.GetParam(kMultiName)->CopyDisplayText(0), std::string(entry.begin() + 10, entry.begin() + 26));
}

// Library-control program mode: a program bank file becomes the upper bank without touching the
// bank-number menu, and the slot the header names goes to the part; off the librarian page the
// pane keeps its names.
TEST_F(BankPerfJack, AProgramBankFileSendsTheHeadersSlotAndOffTheLibrarianPageLeavesThePane)
{
    Rig& r = *rig;
    QOR& q = r.q();
    simjack::edit(q, kDatatype, 0);
    simjack::edit(q, kControlLibrary, 1);
    simjack::edit(q, kQuickTab, 2);
    ASSERT_EQ(q.selectedPart.load(), 2);
    const struct {
        double mainTab;
        int file;          // Prog0..Prog3
        const char* cell7; // upper cell 7 after the click
    } cases[] = {{1.0, 3, "D7"}, {0.0, 1, "D7"}, {2.0, 2, "D7"}, {1.0, 2, "C7"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.mainTab) + " file " + std::to_string(c.file));
        ASSERT_EQ(r.fileIndex(r.lib().singleFiles, "Prog" + std::to_string(c.file) + ".syx"), c.file);
        q.GetParam(kMainTab)->Set(c.mainTab);
        q.GetParam(kMultiPartPatch + 2)->Set(7.0);
        const auto numberMenus = q.bankNumberMenu->menus();
        r.sysexIn();
        r.bankName(*q.progBankNameMenu, {c.file});
        EXPECT_EQ(r.lib().upperFileIndex, c.file);
        EXPECT_EQ(q.bankNumberMenu->menus(), numberMenus);
        EXPECT_EQ(q.librarianView->currentSlot.load(), 7);
        EXPECT_EQ(q.librarianView->cellText(LibrarianViewControl::kUpperPane, 7), field(c.cell7));
        // Part 3's edit buffer takes program 7 of the chosen bank.
        const std::vector<Bytes> sent = r.sysexIn();
        ASSERT_EQ(sent.size(), 1u);
        ASSERT_EQ(sent[0].size(), 296u);
        EXPECT_EQ(Bytes(sent[0].begin() + 7, sent[0].begin() + 9), (Bytes{0x00, 0x02}));
        const std::string name = field(std::string(1, char('A' + c.file)) + "7");
        EXPECT_EQ(std::string(sent[0].begin() + 9, sent[0].begin() + 25), name);
    }
}
