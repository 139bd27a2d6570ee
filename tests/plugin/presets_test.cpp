// Presets: the list, restoring by index and name, the list chunk, preset records for the host,
// and program and bank files written, read back, cut short or otherwise refused.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

#include "kit/plugin/auutil/au-utilities.h"
#include "support/tempdir.h"
#include "test_plug.h"

namespace {

constexpr int kAutomatable = 4;
constexpr int kTotal = 6;
using Bytes = std::vector<uint8_t>;

// Four published integer parameters 0..100, two more; state = the published values.
void InitPlug(RecordingPlug& p, int nPresets)
{
    p.initialize(kAutomatable, kTotal, "2-2", nPresets, "Test", "Test", "Maker", kQorVersion, kQorUniqueID,
                 kQorMfrID, 0, false, p.DoesStateChunks(), true);
    for (int i = 0; i < kTotal; ++i) p.GetParam(i)->InitInt("p", 0, 0, 100);
}

void SetValues(RecordingPlug& p, std::initializer_list<double> v)
{
    int i = 0;
    for (double x : v) p.GetParam(i++)->Set(x);
}

std::vector<double> Values(RecordingPlug& p)
{
    std::vector<double> v;
    for (int i = 0; i < kTotal; ++i) v.push_back(p.GetParam(i)->Value());
    return v;
}

Bytes Of(const ByteChunk& c) { return Bytes(c.GetBytes(), c.GetBytes() + c.Size()); }

// Fills preset i with the given published values under a name.
void FillPreset(RecordingPlug& p, int i, const char* name, std::initializer_list<double> v)
{
    SetValues(p, v);
    IPreset* preset = p.GetPreset(i);
    preset->mInitialized = true;
    std::snprintf(preset->mName, sizeof preset->mName, "%s", name);
    preset->mChunk.Clear();
    p.SerializeState(&preset->mChunk);
}

} // namespace

TEST(PresetList, RestoringByIndexOrNameAppliesTheStoredStateAndAnEmptySlotIsNamedAfterTheUserPresets)
{
    RecordingPlug p;
    InitPlug(p, 4);
    FillPreset(p, 0, "my user preset", {10, 20, 30, 40});
    FillPreset(p, 1, "user preset 7", {90, 80, 70, 60});
    p.GetPreset(2)->mInitialized = true; // filled, but with nothing in it
    EXPECT_TRUE(p.RestorePreset("my user preset"));
    EXPECT_EQ(p.GetParam(1)->Value(), 20.0);
    EXPECT_TRUE(p.RestorePreset(1));
    EXPECT_EQ(p.GetParam(3)->Value(), 60.0);
    for (const char* name : {"My user preset", "", (const char*)nullptr}) EXPECT_FALSE(p.RestorePreset(name)); // names compare exactly
    for (int idx : {2, 4, -1}) EXPECT_FALSE(p.RestorePreset(idx)) << idx;
    EXPECT_EQ(p.GetCurrentPresetIdx(), 1);
    int changed = p.presetsChanged;
    EXPECT_TRUE(p.RestorePreset(3));
    EXPECT_STREQ(p.GetPresetName(3), "user preset 3");
    EXPECT_TRUE(p.GetPreset(3)->mInitialized);
    EXPECT_EQ(p.presetsChanged, changed + 1);
    p.GetPreset(2)->mInitialized = false;
    p.PruneUninitializedPresets();
    ASSERT_EQ(p.NPresets(), 3);
    EXPECT_STREQ(p.GetPresetName(2), "user preset 3");
}

TEST(PresetListChunk, TheListRoundTripsAndBadNameLengthsEndTheRead)
{
    RecordingPlug a;
    InitPlug(a, 3);
    FillPreset(a, 0, "alpha", {1, 2, 3, 4});
    FillPreset(a, 2, "gamma", {7, 8, 9, 10});
    ByteChunk c;
    ASSERT_TRUE(a.SerializePresets(&c));
    // name length + name + flag (+ 4 doubles when filled), per preset
    EXPECT_EQ(c.Size(), (4 + 5 + 1 + 32) + (4 + 5 + 1) + (4 + 5 + 1 + 32));
    RecordingPlug b;
    InitPlug(b, 3);
    EXPECT_EQ(b.UnserializePresets(&c, 0), c.Size());
    EXPECT_EQ(std::string(b.GetPresetName(0)) + b.GetPresetName(1) + b.GetPresetName(2), "alphaemptygamma");
    EXPECT_TRUE(b.GetPreset(2)->mChunk.IsEqual(a.GetPreset(2)->mChunk));
    EXPECT_FALSE(b.GetPreset(1)->mInitialized);
    EXPECT_EQ(b.GetParam(0)->Value(), 1.0); // preset 0 was current
    for (int32_t bad : {-1, 1000, INT32_MAX}) {
        RecordingPlug p;
        InitPlug(p, 2);
        ByteChunk bc;
        bc.Put(&bad);
        bc.PutBytes("abcd", 4);
        EXPECT_EQ(p.UnserializePresets(&bc, 0), -1) << bad;
    }
    // A zero-length name takes the previous name.
    ByteChunk z;
    z.PutStr("kept");
    z.PutBool(false);
    int32_t zero = 0;
    z.Put(&zero);
    z.PutBool(false);
    z.PutStr("x");
    z.PutBool(false);
    EXPECT_EQ(b.UnserializePresets(&z, 0), z.Size());
    EXPECT_STREQ(b.GetPresetName(1), "kept");
}

TEST(PresetRecords, RecordsCountReferencesCompareAndDescribeThemselves)
{
    CFStringRef a = CFStringCreateWithCString(nullptr, "same", kCFStringEncodingUTF8);
    CFAUPresetRef x = CFAUPresetCreate(nullptr, 1, a), y = CFAUPresetCreate(nullptr, 1, a), z = CFAUPresetCreate(nullptr, 2, a);
    EXPECT_EQ(CFGetRetainCount(a), 4);
    EXPECT_TRUE(CFAUPresetArrayEqualCallBack(x, y));
    EXPECT_FALSE(CFAUPresetArrayEqualCallBack(x, z));
    CFStringRef d = CFAUPresetArrayCopyDescriptionCallBack(z);
    EXPECT_STREQ(CFStringGetCStringPtr(d, kCFStringEncodingUTF8), "AUPreset:\npreset number = 2\npreset name = same");
    CFMutableArrayRef arr = CFArrayCreateMutable(nullptr, 0, &kCFAUPresetArrayCallBacks);
    CFArrayAppendValue(arr, x);
    EXPECT_EQ(x->retainCount, 2);
    CFRelease(arr);
    EXPECT_EQ(x->retainCount, 1);
    for (CFAUPresetRef r : {x, y, z}) CFAUPresetRelease(r); // a sanitizer build checks the frees
    EXPECT_EQ(CFGetRetainCount(a), 1);
    EXPECT_EQ(CFAUPresetRetain(nullptr), nullptr);
    for (CFStringRef s : {d, a}) CFRelease(s);
}

class ProgramAndBankFiles : public ::testing::TestWithParam<bool> {};

TEST_P(ProgramAndBankFiles, FilesRoundTripAndAFileCutAnywhereOrWithAWrongHeaderChangesNothing)
{
    RecordingPlug a(kAPIAU, kQorVersion, GetParam());
    InitPlug(a, 2);
    FillPreset(a, 0, "one", {1, 2, 3, 4});
    FillPreset(a, 1, "two", {5, 6, 7, 8});
    ASSERT_TRUE(a.RestorePreset(1));
    ByteChunk program, bank;
    ASSERT_TRUE(a.MakeProgramFile(&program));
    ASSERT_TRUE(a.MakeBankFile(&bank));
    RecordingPlug c(kAPIAU, kQorVersion, GetParam());
    InitPlug(c, 2);
    FillPreset(c, 0, "keep0", {50, 50, 50, 50});
    FillPreset(c, 1, "keep1", {60, 60, 60, 60});
    std::vector<double> before = Values(c);
    for (int len = 0; len < program.Size(); ++len) EXPECT_FALSE(c.ApplyProgramFile(program.GetBytes(), len)) << len;
    for (int len = 0; len < bank.Size(); ++len) EXPECT_FALSE(c.ApplyBankFile(bank.GetBytes(), len)) << len;
    // chunk magic, form magic, format version (programs only), plug-in id
    for (int at : {0, 8, 15, 19}) {
        Bytes p = Of(program), b = Of(bank);
        p[size_t(at)] ^= 0x55;
        b[size_t(at)] ^= 0x55;
        EXPECT_FALSE(c.ApplyProgramFile(p.data(), int(p.size()))) << at;
        EXPECT_TRUE(at == 15 || !c.ApplyBankFile(b.data(), int(b.size()))) << at;
    }
    EXPECT_FALSE(c.ApplyProgramFile(nullptr, 100));
    EXPECT_EQ(Values(c), before);
    EXPECT_STREQ(c.GetPresetName(1), "keep1");
    EXPECT_EQ(c.programChanges, 0);
    ASSERT_TRUE(c.ApplyProgramFile(program.GetBytes(), program.Size()));
    EXPECT_EQ(Values(c), (std::vector<double>{5, 6, 7, 8, 0, 0}));
    EXPECT_STREQ(c.GetPresetName(0), "two"); // the file's name, not a made-up one
    EXPECT_TRUE(c.GetPreset(0)->mInitialized);
    RecordingPlug d(kAPIAU, kQorVersion, GetParam());
    InitPlug(d, 2);
    ASSERT_TRUE(d.ApplyBankFile(bank.GetBytes(), bank.Size()));
    for (int i = 0; i < 2; ++i) {
        EXPECT_STREQ(d.GetPresetName(i), a.GetPresetName(i));
        EXPECT_TRUE(d.GetPreset(i)->mChunk.IsEqual(a.GetPreset(i)->mChunk)) << i;
    }
    // The parameter form restores the bank's current program; the chunk form the plug-in's own.
    EXPECT_EQ(d.GetParam(0)->Value(), GetParam() ? 1.0 : 5.0);
    EXPECT_EQ(c.programChanges + d.programChanges, 2);
}

INSTANTIATE_TEST_SUITE_P(ChunkAndParameterForms, ProgramAndBankFiles, ::testing::Values(true, false));

TEST(ProgramAndBankFiles, AChunkLengthPastTheEndIsRefused)
{
    // Only the chunk form carries a length: at byte 56 of a program file, 156 of a bank file.
    RecordingPlug a;
    InitPlug(a, 1);
    ByteChunk program, bank;
    ASSERT_TRUE(a.MakeProgramFile(&program));
    ASSERT_TRUE(a.MakeBankFile(&bank));
    for (bool isBank : {false, true}) {
        for (uint32_t len : {0xFFFFFFFFu, uint32_t((isBank ? bank : program).Size())}) {
            Bytes f = Of(isBank ? bank : program);
            for (int i = 0; i < 4; ++i) f[(isBank ? 156 : 56) + size_t(i)] = uint8_t(len >> (24 - 8 * i));
            EXPECT_FALSE(isBank ? a.ApplyBankFile(f.data(), int(f.size())) : a.ApplyProgramFile(f.data(), int(f.size())))
                << isBank << " " << len;
        }
    }
}

TEST(ProgramFilesOnDisk, SavedFilesLoadBackKeepTheOldModeAndAFailedWriteLeavesNoFile)
{
    testsupport::TempDir dir;
    RecordingPlug a;
    InitPlug(a, 1);
    FillPreset(a, 0, "disk", {3, 1, 4, 1});
    std::string prog = dir.file("a.fxp"), bank = dir.file("a.fxb");
    testsupport::writeFile(prog, std::string("old"));
    ASSERT_EQ(chmod(prog.c_str(), 0640), 0);
    mode_t oldMask = umask(022);
    bool saved = a.SaveProgramToPath(prog.c_str()) && a.SaveBankToPath(bank.c_str());
    umask(oldMask);
    ASSERT_TRUE(saved);
    struct stat st, sb;
    ASSERT_EQ(stat(prog.c_str(), &st) + stat(bank.c_str(), &sb), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u) << "an overwritten file keeps its mode";
    EXPECT_EQ(sb.st_mode & 07777, 0644u) << "a new file gets the umask";
    RecordingPlug b;
    InitPlug(b, 1);
    EXPECT_TRUE(b.LoadProgramFromPath(prog.c_str()));
    EXPECT_EQ(b.GetParam(2)->Value(), 4.0);
    EXPECT_TRUE(b.LoadBankFromPath(bank.c_str()));
    EXPECT_FALSE(b.LoadProgramFromPath(dir.file("missing.fxp").c_str()));
    EXPECT_FALSE(a.SaveProgramToPath(dir.file("no/such/folder/x.fxp").c_str()));
    EXPECT_EQ(dir.list(), (std::vector<std::string>{"a.fxb", "a.fxp"})) << "no temporary file left";
    // Without an editor nobody can be asked for a file.
    EXPECT_FALSE(a.SaveProgramAsFXP("x"));
    EXPECT_FALSE(a.LoadBankFromFXB());
}

TEST(PresetMaking, BlobsValuesByKindAndDeveloperDumps)
{
    RecordingPlug p;
    InitPlug(p, 4);
    p.GetParam(0)->type = IParam::kTypeNone; // the kind is set only once; give these new kinds
    p.GetParam(2)->type = IParam::kTypeNone;
    p.GetParam(0)->InitBool("b", true);
    p.GetParam(2)->InitDouble("d", 0.0, -1.0, 1.0, 0.001);
    // "AAEC" is the Base64 text of 00 01 02; "=" ends the text; the size given is exact.
    const struct { const char* text; int size; Bytes bytes; } blobs[] = {{"AAEC", 2, {0, 1}}, {"AA==AAAA", 3, {0, 0, 0}}};
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(p.MakePresetFromBlob("blob", blobs[i].text, blobs[i].size));
        EXPECT_EQ(Of(p.GetPreset(i)->mChunk), blobs[i].bytes) << i;
    }
    testsupport::TempDir dir;
    std::string path = dir.file("dump.txt");
    SetValues(p, {1, 42, 0.125, 7});
    const char* names[] = {"kOn", "kCount", "kLevel", "kOther"};
    ASSERT_TRUE(p.DumpPresetSrcCode(path.c_str(), names));
    EXPECT_EQ(testsupport::readText(path), "  MakePresetFromNamedParams(\"name\", 4,\n    kOn, true,\n    kCount, 42,\n"
                                           "    kLevel, 0.125000,\n    kOther, 7);\n");
    ASSERT_TRUE(p.DumpPresetBlob(path.c_str())); // the current preset, the first blob
    EXPECT_EQ(testsupport::readText(path), "MakePresetFromBlob(\"name\", \"AAE=\", 2);\n");
    EXPECT_FALSE(p.DumpPresetBlob("/nonexistent/folder/x"));
    ASSERT_TRUE(p.MakePreset("all", 1, 2, 0.25, 4));
    SetValues(p, {0, 8, 0.5, 9});
    ASSERT_TRUE(p.MakePresetFromNamedParams("some", 2, 3, 42, 2, -0.75)); // unnamed ones keep their value
    const double expected[2][4] = {{1, 2, 0.25, 4}, {0, 8, -0.75, 42}};
    for (int k = 0; k < 2; ++k)
        for (int i = 0; i < 4; ++i) {
            double v = -1;
            p.GetPreset(2 + k)->mChunk.Get(&v, 8 * i);
            EXPECT_EQ(v, expected[k][i]) << k << " " << i;
        }
    EXPECT_FALSE(p.MakePresetFromBlob("none left", "AAEC", 3));
}

TEST(PresetMaking, DefaultPresetsFillFreeSlotsInOrderAndTheCurrentOneTakesTheStateNow)
{
    RecordingPlug p;
    InitPlug(p, 4);
    SetValues(p, {5, 6, 7, 8});
    p.MakeDefaultPreset(nullptr, 2);
    ByteChunk fromChunk;
    p.SerializeState(&fromChunk);
    ASSERT_TRUE(p.MakePresetFromChunk("chunk", &fromChunk));
    p.MakeDefaultPreset("more", 5); // one slot is left: it is filled and the rest asked for is not
    EXPECT_EQ(std::string(p.GetPresetName(0)) + "|" + p.GetPresetName(1) + "|" + p.GetPresetName(2) + "|" +
                  p.GetPresetName(3),
              "Empty|Empty|chunk|more");
    EXPECT_FALSE(p.MakePresetFromChunk("none left", &fromChunk));
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(p.GetPreset(i)->mChunk.IsEqual(fromChunk)) << i;

    RecordingPlug q;
    InitPlug(q, 3);
    FillPreset(q, 1, "kept", {1, 1, 1, 1});
    q.EnsureDefaultPreset();
    EXPECT_EQ(std::string(q.GetPresetName(0)) + "|" + q.GetPresetName(1) + "|" + q.GetPresetName(2), "Empty|kept|Empty");
    EXPECT_TRUE(q.GetPreset(0)->mInitialized && q.GetPreset(2)->mInitialized);
    ASSERT_TRUE(q.RestorePreset(1));
    SetValues(q, {9, 9, 9, 9});
    q.ModifyCurrentPreset("");
    EXPECT_STREQ(q.GetPresetName(1), "kept") << "an empty name keeps the old one";
    q.ModifyCurrentPreset("changed");
    EXPECT_STREQ(q.GetPresetName(1), "changed");
    SetValues(q, {0, 0, 0, 0});
    ASSERT_TRUE(q.RestorePreset(1));
    EXPECT_EQ(Values(q), (std::vector<double>{9, 9, 9, 9, 0, 0}));
}
