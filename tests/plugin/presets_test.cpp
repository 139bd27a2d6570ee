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

TEST(PresetList, RestoringByIndexOrNameAppliesTheStoredStateAndRefusesAnythingElse)
{
    RecordingPlug p;
    InitPlug(p, 3);
    FillPreset(p, 0, "soft", {10, 20, 30, 40});
    FillPreset(p, 1, "hard", {90, 80, 70, 60});
    p.GetPreset(2)->mInitialized = true; // filled, but with nothing in it
    EXPECT_TRUE(p.RestorePreset("soft"));
    EXPECT_EQ(p.GetParam(1)->Value(), 20.0);
    EXPECT_TRUE(p.RestorePreset(1));
    EXPECT_EQ(p.GetParam(3)->Value(), 60.0);
    EXPECT_FALSE(p.RestorePreset("Soft")); // names compare exactly
    EXPECT_FALSE(p.RestorePreset(""));
    EXPECT_FALSE(p.RestorePreset(nullptr));
    EXPECT_FALSE(p.RestorePreset(2));
    EXPECT_FALSE(p.RestorePreset(3));
    EXPECT_FALSE(p.RestorePreset(-1));
    EXPECT_EQ(p.GetCurrentPresetIdx(), 1);

}

TEST(PresetList, AnEmptySlotIsNamedAfterTheUserPresetsThereAndPruningKeepsTheFilledOnes)
{
    RecordingPlug p;
    InitPlug(p, 4);
    FillPreset(p, 0, "my user preset", {1, 1, 1, 1});
    FillPreset(p, 1, "user preset 7", {2, 2, 2, 2});
    EXPECT_TRUE(p.RestorePreset(3));
    EXPECT_STREQ(p.GetPresetName(3), "user preset 3");
    EXPECT_TRUE(p.GetPreset(3)->mInitialized);
    EXPECT_EQ(p.GetCurrentPresetIdx(), 3);
    EXPECT_EQ(p.presetsChanged, 1);
    p.PruneUninitializedPresets();
    ASSERT_EQ(p.NPresets(), 3);
    EXPECT_STREQ(p.GetPresetName(1), "user preset 7");
    EXPECT_STREQ(p.GetPresetName(2), "user preset 3");
}

TEST(PresetListChunk, TheListRoundTripsThroughItsChunk)
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
    EXPECT_STREQ(b.GetPresetName(0), "alpha");
    EXPECT_STREQ(b.GetPresetName(1), "empty");
    EXPECT_STREQ(b.GetPresetName(2), "gamma");
    EXPECT_TRUE(b.GetPreset(2)->mChunk.IsEqual(a.GetPreset(2)->mChunk));
    EXPECT_FALSE(b.GetPreset(1)->mInitialized);
    EXPECT_EQ(b.GetParam(0)->Value(), 1.0); // preset 0 was current
}

TEST(PresetListChunk, BadNameLengthsEndTheReadAndAZeroLengthNameTakesThePreviousName)
{
    for (int32_t bad : {-1, -100000, 1000, INT32_MAX}) {
        RecordingPlug p;
        InitPlug(p, 2);
        ByteChunk c;
        c.Put(&bad);
        c.PutBytes("abcd", 4);
        EXPECT_EQ(p.UnserializePresets(&c, 0), -1) << bad;
        EXPECT_STREQ(p.GetPresetName(1), "empty") << bad;
    }
    RecordingPlug p;
    InitPlug(p, 2);
    ByteChunk c;
    c.PutStr("kept");
    c.PutBool(false);
    int32_t zero = 0;
    c.Put(&zero);
    c.PutBool(false);
    EXPECT_EQ(p.UnserializePresets(&c, 0), c.Size());
    EXPECT_STREQ(p.GetPresetName(1), "kept");
}

TEST(PresetRecords, RecordsCountReferencesCompareAndDescribeThemselves)
{
    CFStringRef a = CFStringCreateWithCString(nullptr, "same", kCFStringEncodingUTF8);
    CFStringRef b = CFStringCreateWithCString(nullptr, "same", kCFStringEncodingUTF8);
    CFAUPresetRef x = CFAUPresetCreate(nullptr, 1, a), y = CFAUPresetCreate(nullptr, 1, b),
                  z = CFAUPresetCreate(nullptr, 2, b);
    EXPECT_EQ(x->retainCount, 1);
    EXPECT_EQ(CFGetRetainCount(a), 2);
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
    for (CFStringRef s : {d, a, b}) CFRelease(s);
}

class ProgramAndBankFiles : public ::testing::TestWithParam<bool> {};

TEST_P(ProgramAndBankFiles, ProgramAndBankFilesRoundTrip)
{
    RecordingPlug a(kAPIAU, kQorVersion, GetParam());
    InitPlug(a, 3);
    FillPreset(a, 0, "one", {1, 2, 3, 4});
    FillPreset(a, 1, "two", {5, 6, 7, 8});
    FillPreset(a, 2, "three", {9, 10, 11, 12});
    ASSERT_TRUE(a.RestorePreset(1));
    ByteChunk program, bank;
    ASSERT_TRUE(a.MakeProgramFile(&program));
    ASSERT_TRUE(a.MakeBankFile(&bank));

    RecordingPlug c(kAPIAU, kQorVersion, GetParam());
    InitPlug(c, 3);
    ASSERT_TRUE(c.ApplyProgramFile(program.GetBytes(), program.Size()));
    EXPECT_EQ(Values(c), (std::vector<double>{5, 6, 7, 8, 0, 0}));
    EXPECT_STREQ(c.GetPresetName(0), "two"); // the file's name, not a made-up one
    EXPECT_TRUE(c.GetPreset(0)->mInitialized);

    RecordingPlug d(kAPIAU, kQorVersion, GetParam());
    InitPlug(d, 3);
    ASSERT_TRUE(d.ApplyBankFile(bank.GetBytes(), bank.Size()));
    for (int i = 0; i < 3; ++i) {
        EXPECT_STREQ(d.GetPresetName(i), a.GetPresetName(i));
        EXPECT_TRUE(d.GetPreset(i)->mChunk.IsEqual(a.GetPreset(i)->mChunk)) << i;
    }
    // The parameter form restores the bank's current program; the chunk form the plug-in's own.
    int current = GetParam() ? 0 : 1;
    EXPECT_EQ(d.GetCurrentPresetIdx(), current);
    EXPECT_EQ(d.GetParam(0)->Value(), current ? 5.0 : 1.0);
    EXPECT_EQ(c.programChanges + d.programChanges, 2);
}

TEST_P(ProgramAndBankFiles, AFileCutAnywhereOrWithAWrongHeaderIsRefusedAndChangesNothing)
{
    RecordingPlug a(kAPIAU, kQorVersion, GetParam());
    InitPlug(a, 2);
    FillPreset(a, 0, "x", {1, 2, 3, 4});
    FillPreset(a, 1, "y", {5, 6, 7, 8});
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
        if (at != 15) {
            EXPECT_FALSE(c.ApplyBankFile(b.data(), int(b.size()))) << at;
        }
    }
    EXPECT_FALSE(c.ApplyProgramFile(nullptr, 100));
    EXPECT_EQ(Values(c), before);
    EXPECT_STREQ(c.GetPresetName(0), "keep0");
    EXPECT_STREQ(c.GetPresetName(1), "keep1");
    EXPECT_EQ(c.programChanges, 0);
}

INSTANTIATE_TEST_SUITE_P(ChunkAndParameterForms, ProgramAndBankFiles, ::testing::Values(true, false));

TEST(ProgramAndBankChunkLength, AChunkLengthPastTheEndIsRefused)
{
    // Only the chunk form carries a length: at byte 56 of a program file, 156 of a bank file.
    RecordingPlug a;
    InitPlug(a, 1);
    ByteChunk program, bank;
    ASSERT_TRUE(a.MakeProgramFile(&program));
    ASSERT_TRUE(a.MakeBankFile(&bank));
    for (bool isBank : {false, true}) {
        const ByteChunk& file = isBank ? bank : program;
        const size_t at = isBank ? 156 : 56;
        for (uint32_t len : {0x7FFFFFFFu, 0xFFFFFFFFu, uint32_t(file.Size())}) {
            SCOPED_TRACE(std::to_string(isBank) + " " + std::to_string(len));
            Bytes f = Of(file);
            for (int i = 0; i < 4; ++i) f[at + size_t(i)] = uint8_t(len >> (24 - 8 * i));
            EXPECT_FALSE(isBank ? a.ApplyBankFile(f.data(), int(f.size())) : a.ApplyProgramFile(f.data(), int(f.size())));
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
    struct stat st;
    ASSERT_EQ(stat(prog.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u) << "an overwritten file keeps its mode";
    ASSERT_EQ(stat(bank.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u) << "a new file gets the umask";
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
    InitPlug(p, 5);
    p.GetParam(0)->type = IParam::kTypeNone; // the kind is set only once; give these new kinds
    p.GetParam(2)->type = IParam::kTypeNone;
    p.GetParam(0)->InitBool("b", true);
    p.GetParam(2)->InitDouble("d", 0.0, -1.0, 1.0, 0.001);
    // "AAEC" is the Base64 text of 00 01 02; "=" ends the text; the size given is exact.
    const struct { const char* text; int size; Bytes bytes; } blobs[] = {
        {"AAEC", 2, {0, 1}}, {"AAEC", 4, {0, 1, 2, 0}}, {"AA==AAAA", 3, {0, 0, 0}}};
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(p.MakePresetFromBlob("blob", blobs[i].text, blobs[i].size));
        EXPECT_EQ(Of(p.GetPreset(i)->mChunk), blobs[i].bytes) << i;
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
}
    ASSERT_TRUE(p.MakePreset("all", 1, 2, 0.25, 4));
    SetValues(p, {0, 8, 0.5, 9});
    ASSERT_TRUE(p.MakePresetFromNamedParams("some", 2, 3, 42, 2, -0.75)); // unnamed ones keep their value
    const double expected[2][4] = {{1, 2, 0.25, 4}, {0, 8, -0.75, 42}};
    for (int k = 0; k < 2; ++k)
        for (int i = 0; i < 4; ++i) {
            double v = -1;
            p.GetPreset(3 + k)->mChunk.Get(&v, 8 * i);
            EXPECT_EQ(v, expected[k][i]) << k << " " << i;
        }
    EXPECT_FALSE(p.MakePresetFromBlob("none left", "AAEC", 3));

}

namespace {

// One field of a file: big-endian word, little-endian word, 4-byte tag, 28-byte name, big-endian
// float, little-endian double, or zeros up to the given offset.
struct Field {
    int at;
    char kind;
    double value;
    const char* text;
};

void ExpectField(const Bytes& b, const Field& f)
{
    SCOPED_TRACE(std::string(1, f.kind) + " at " + std::to_string(f.at));
    const uint8_t* p = b.data() + f.at;
    uint32_t be = uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
    uint32_t le = uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
    float fl;
    double d = 0;
    std::memcpy(&fl, &be, 4);
    if (f.kind == 'D') std::memcpy(&d, p, 8); // this machine is little-endian
    switch (f.kind) {
    case 'B': EXPECT_EQ(be, uint32_t(f.value)); break;
    case 'L': EXPECT_EQ(le, uint32_t(f.value)); break;
    case 'S': EXPECT_EQ(std::string(reinterpret_cast<const char*>(p), 4), f.text); break;
    case 'N': EXPECT_EQ(std::string(reinterpret_cast<const char*>(p), 28), std::string(f.text) + std::string(28 - std::strlen(f.text), '\0')); break;
    case 'F': EXPECT_FLOAT_EQ(fl, float(f.value)); break;
    case 'D': EXPECT_EQ(d, f.value); break;
    case 'Z': EXPECT_EQ(Bytes(p, b.data() + int(f.value)), Bytes(size_t(int(f.value) - f.at), 0)); break;
    }
}

} // namespace

TEST(ProgramAndBankLayout, FilesCarryTheirFieldsAtFixedOffsets)
{
    // Program header: chunk magic, byte count, form, format version 1, plug-in id, decimal
    // version, parameter count, 28-byte name. Chunk form: state size, framework header, doubles.
    const std::vector<Field> header = {{0, 'S', 0, "CcnK"}, {12, 'B', 1, nullptr}, {16, 'B', 0x616E6E71, nullptr},
                                       {20, 'B', 10009, nullptr}, {24, 'B', kAutomatable, nullptr}};
    const struct { bool chunks, bank; int size; std::vector<Field> fields; } table[] = {
        {true, false, 100, {{4, 'B', 100, nullptr}, {8, 'S', 0, "FPCh"}, {28, 'N', 0, "one"}, {56, 'B', 40, nullptr},
                            {60, 'L', 0x70666674, nullptr}, {64, 'L', 0x10000, nullptr}, {68, 'D', 10, nullptr},
                            {92, 'D', 40, nullptr}}},
        {false, false, 72, {{4, 'B', 0, nullptr}, {8, 'S', 0, "FxCk"}, {28, 'N', 0, "one"}, {56, 'F', 0.1, nullptr},
                            {68, 'F', 0.4, nullptr}}},
        {false, true, 300, {{0, 'S', 0, "CcnK"}, {4, 'B', 0, nullptr}, {16, 'B', 0x616E6E71, nullptr}, {8, 'S', 0, "FxBk"}, {12, 'B', 2, nullptr}, {24, 'B', 2, nullptr},
                            {32, 'Z', 156, nullptr}, {156 + 8, 'S', 0, "FxCk"}, {156 + 28, 'N', 0, "one"},
                            {156 + 56, 'F', 0.1, nullptr}, {228 + 28, 'N', 0, "two"}, {228 + 68, 'F', 0.8, nullptr}}},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(std::to_string(row.chunks) + std::to_string(row.bank));
        RecordingPlug a(kAPIAU, kQorVersion, row.chunks);
        InitPlug(a, 2);
        FillPreset(a, 1, "two", {50, 60, 70, 80});
        FillPreset(a, 0, "one", {10, 20, 30, 40});
        ByteChunk file;
        ASSERT_TRUE(row.bank ? a.MakeBankFile(&file) : a.MakeProgramFile(&file));
        ASSERT_EQ(file.Size(), row.size);
        Bytes b = Of(file);
        for (const Field& f : header)
            for (int record : row.bank ? std::vector<int>{156, 228} : std::vector<int>{0})
                ExpectField(b, {record + f.at, f.kind, f.value, f.text});
        for (const Field& f : row.fields) ExpectField(b, f);
    }
}
