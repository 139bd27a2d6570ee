// Presets: the list, restoring by index and name, the list chunk, preset records for the host,
// and program and bank files written, read back, cut short or otherwise refused.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "kit/plugin/auutil/au-utilities.h"
#include "support/tempdir.h"
#include "test_plug.h"

namespace {

constexpr int kAutomatable = 4;
constexpr int kTotal = 6;

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

TEST(PresetList, WithoutPresetsNothingIsNamedRestoredOrWritten)
{
    RecordingPlug p;
    InitPlug(p, 0);
    EXPECT_STREQ(p.GetPresetName(0), "");
    EXPECT_FALSE(p.RestorePreset(0));
    EXPECT_FALSE(p.RestorePreset("x"));
    ByteChunk c;
    EXPECT_TRUE(p.SerializePresets(&c));
    EXPECT_EQ(c.Size(), 0);
    p.MakeDefaultPreset("-", 64); // finds no slot
    EXPECT_EQ(p.NPresets(), 0);
}

TEST(PresetList, PruningKeepsFilledPresetsInTheirOrder)
{
    RecordingPlug p;
    InitPlug(p, 3);
    FillPreset(p, 0, "first", {1, 2, 3, 4});
    FillPreset(p, 2, "third", {5, 6, 7, 8});
    p.PruneUninitializedPresets();
    ASSERT_EQ(p.NPresets(), 2);
    EXPECT_STREQ(p.GetPresetName(0), "first");
    EXPECT_STREQ(p.GetPresetName(1), "third");
}

TEST(PresetList, RestoringAnEmptySlotNamesItAfterTheUserPresetsAlreadyThere)
{
    RecordingPlug p;
    InitPlug(p, 3);
    FillPreset(p, 0, "my user preset", {1, 1, 1, 1});
    FillPreset(p, 1, "user preset 7", {2, 2, 2, 2});
    SetValues(p, {9, 9, 9, 9});
    EXPECT_TRUE(p.RestorePreset(2));
    EXPECT_STREQ(p.GetPresetName(2), "user preset 3");
    EXPECT_TRUE(p.GetPreset(2)->mInitialized);
    EXPECT_EQ(p.GetCurrentPresetIdx(), 2);
    EXPECT_EQ(p.presetsChanged, 1);
}

TEST(PresetList, RestoringByIndexOrNameAppliesTheStoredState)
{
    RecordingPlug p;
    InitPlug(p, 2);
    FillPreset(p, 0, "soft", {10, 20, 30, 40});
    FillPreset(p, 1, "hard", {90, 80, 70, 60});
    EXPECT_TRUE(p.RestorePreset("soft"));
    EXPECT_EQ(p.GetParam(1)->Value(), 20.0);
    EXPECT_EQ(p.GetCurrentPresetIdx(), 0);
    EXPECT_TRUE(p.RestorePreset(1));
    EXPECT_EQ(p.GetParam(3)->Value(), 60.0);
    EXPECT_FALSE(p.RestorePreset("Soft")); // names compare exactly
    EXPECT_FALSE(p.RestorePreset(""));
    EXPECT_FALSE(p.RestorePreset(nullptr));
    EXPECT_FALSE(p.RestorePreset(2));
    EXPECT_FALSE(p.RestorePreset(-1));
    EXPECT_EQ(p.GetCurrentPresetIdx(), 1);
}

TEST(PresetList, AnEmptyStoredStateIsRefusedAndTheCurrentPresetStays)
{
    RecordingPlug p;
    InitPlug(p, 2);
    FillPreset(p, 0, "good", {1, 2, 3, 4});
    p.GetPreset(1)->mInitialized = true; // filled, but with nothing in it
    EXPECT_TRUE(p.RestorePreset(0));
    EXPECT_FALSE(p.RestorePreset(1));
    EXPECT_EQ(p.GetCurrentPresetIdx(), 0);
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
    // Preset 0 was current, so its values are now the plug-in's.
    EXPECT_EQ(b.GetParam(0)->Value(), 1.0);
}

TEST(PresetListChunk, NegativeOrOverlongNameLengthsEndTheRead)
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
}

TEST(PresetListChunk, AZeroLengthNameTakesThePreviousName)
{
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

TEST(PresetRecords, RetainAndReleaseCountAndFreeOnTheLastRelease)
{
    CFStringRef name = CFStringCreateWithCString(nullptr, "p", kCFStringEncodingUTF8);
    CFAUPresetRef r = CFAUPresetCreate(nullptr, 3, name);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->retainCount, 1);
    EXPECT_EQ(CFGetRetainCount(name), 2);
    CFAUPresetRetain(r);
    EXPECT_EQ(r->retainCount, 2);
    CFAUPresetRelease(r);
    EXPECT_EQ(r->retainCount, 1);
    EXPECT_EQ(CFGetRetainCount(name), 2);
    CFAUPresetRelease(r); // frees; a sanitizer build checks nothing is touched after
    EXPECT_EQ(CFGetRetainCount(name), 1);
    CFRelease(name);
    EXPECT_EQ(CFAUPresetRetain(nullptr), nullptr);
}

TEST(PresetRecords, ArraysOfRecordsCompareAndDescribe)
{
    CFStringRef a = CFStringCreateWithCString(nullptr, "same", kCFStringEncodingUTF8);
    CFStringRef b = CFStringCreateWithCString(nullptr, "same", kCFStringEncodingUTF8);
    CFAUPresetRef x = CFAUPresetCreate(nullptr, 1, a), y = CFAUPresetCreate(nullptr, 1, b),
                  z = CFAUPresetCreate(nullptr, 2, b);
    EXPECT_TRUE(CFAUPresetArrayEqualCallBack(x, y));
    EXPECT_FALSE(CFAUPresetArrayEqualCallBack(x, z));
    CFStringRef d = CFAUPresetArrayCopyDescriptionCallBack(z);
    EXPECT_STREQ(CFStringGetCStringPtr(d, kCFStringEncodingUTF8), "AUPreset:\npreset number = 2\npreset name = same");
    CFMutableArrayRef arr = CFArrayCreateMutable(nullptr, 0, &kCFAUPresetArrayCallBacks);
    CFArrayAppendValue(arr, x);
    EXPECT_EQ(x->retainCount, 2);
    CFRelease(arr);
    EXPECT_EQ(x->retainCount, 1);
    for (CFAUPresetRef r : {x, y, z}) CFAUPresetRelease(r);
    CFRelease(d);
    CFRelease(a);
    CFRelease(b);
}

class ProgramAndBankFiles : public ::testing::TestWithParam<bool> {};

TEST_P(ProgramAndBankFiles, AProgramFileRoundTrips)
{
    RecordingPlug a(kAPIAU, kQorVersion, GetParam());
    InitPlug(a, 1);
    FillPreset(a, 0, "lead", {11, 22, 33, 44});
    ByteChunk file;
    ASSERT_TRUE(a.MakeProgramFile(&file));

    RecordingPlug c(kAPIAU, kQorVersion, GetParam());
    InitPlug(c, 1);
    ASSERT_TRUE(c.ApplyProgramFile(file.GetBytes(), file.Size()));
    for (int i = 0; i < kAutomatable; ++i) EXPECT_EQ(c.GetParam(i)->Value(), 11.0 * (i + 1)) << i;
    EXPECT_STREQ(c.GetPresetName(0), "lead"); // the file's name, not a made-up one
    EXPECT_TRUE(c.GetPreset(0)->mInitialized);
    EXPECT_EQ(c.programChanges, 1);
}

TEST_P(ProgramAndBankFiles, ABankFileRoundTrips)
{
    RecordingPlug a(kAPIAU, kQorVersion, GetParam());
    InitPlug(a, 3);
    FillPreset(a, 0, "one", {1, 2, 3, 4});
    FillPreset(a, 1, "two", {5, 6, 7, 8});
    FillPreset(a, 2, "three", {9, 10, 11, 12});
    ASSERT_TRUE(a.RestorePreset(1));
    ByteChunk file;
    ASSERT_TRUE(a.MakeBankFile(&file));

    RecordingPlug c(kAPIAU, kQorVersion, GetParam());
    InitPlug(c, 3);
    ASSERT_TRUE(c.ApplyBankFile(file.GetBytes(), file.Size()));
    const char* names[] = {"one", "two", "three"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_STREQ(c.GetPresetName(i), names[i]);
        EXPECT_TRUE(c.GetPreset(i)->mChunk.IsEqual(a.GetPreset(i)->mChunk)) << i;
    }
    // The parameter form restores the bank's current program; the chunk form restores the
    // plug-in's own current preset.
    int current = GetParam() ? 0 : 1;
    EXPECT_EQ(c.GetCurrentPresetIdx(), current);
    EXPECT_EQ(c.GetParam(0)->Value(), current ? 5.0 : 1.0);
    EXPECT_EQ(c.programChanges, 1);
}

TEST_P(ProgramAndBankFiles, AFileCutAnywhereIsRefusedAndChangesNothing)
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
    for (int len = 0; len < program.Size(); ++len)
        EXPECT_FALSE(c.ApplyProgramFile(program.GetBytes(), len)) << len;
    for (int len = 0; len < bank.Size(); ++len) EXPECT_FALSE(c.ApplyBankFile(bank.GetBytes(), len)) << len;
    EXPECT_EQ(Values(c), before);
    EXPECT_STREQ(c.GetPresetName(0), "keep0");
    EXPECT_STREQ(c.GetPresetName(1), "keep1");
    EXPECT_EQ(c.programChanges, 0);
}

TEST_P(ProgramAndBankFiles, WrongMagicPlugInOrVersionIsRefused)
{
    RecordingPlug a(kAPIAU, kQorVersion, GetParam());
    InitPlug(a, 1);
    ByteChunk program, bank;
    ASSERT_TRUE(a.MakeProgramFile(&program));
    ASSERT_TRUE(a.MakeBankFile(&bank));
    struct Patch {
        int offset;
        uint8_t byte;
    };
    // chunk magic, form magic, format version, plug-in id
    for (Patch pt : {Patch{0, 'X'}, Patch{8, 'X'}, Patch{15, 9}, Patch{19, 0}}) {
        std::vector<uint8_t> p(program.GetBytes(), program.GetBytes() + program.Size());
        p[size_t(pt.offset)] = pt.byte;
        EXPECT_FALSE(a.ApplyProgramFile(p.data(), int(p.size()))) << pt.offset;
    }
    for (Patch pt : {Patch{0, 'X'}, Patch{8, 'X'}, Patch{19, 0}}) {
        std::vector<uint8_t> b(bank.GetBytes(), bank.GetBytes() + bank.Size());
        b[size_t(pt.offset)] = pt.byte;
        EXPECT_FALSE(a.ApplyBankFile(b.data(), int(b.size()))) << pt.offset;
    }
    EXPECT_FALSE(a.ApplyProgramFile(nullptr, 100));
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
            std::vector<uint8_t> f(file.GetBytes(), file.GetBytes() + file.Size());
            for (int i = 0; i < 4; ++i) f[at + size_t(i)] = uint8_t(len >> (24 - 8 * i));
            EXPECT_FALSE(isBank ? a.ApplyBankFile(f.data(), int(f.size())) : a.ApplyProgramFile(f.data(), int(f.size())));
        }
    }
}

TEST(ProgramFilesOnDisk, SavedFilesLoadBackAndAFailedWriteLeavesNoFile)
{
    char dir[] = "/tmp/qor_presets_XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string prog = std::string(dir) + "/a.fxp", bank = std::string(dir) + "/a.fxb";
    RecordingPlug a;
    InitPlug(a, 1);
    FillPreset(a, 0, "disk", {3, 1, 4, 1});
    ASSERT_TRUE(a.SaveProgramToPath(prog.c_str()));
    ASSERT_TRUE(a.SaveBankToPath(bank.c_str()));
    RecordingPlug b;
    InitPlug(b, 1);
    EXPECT_TRUE(b.LoadProgramFromPath(prog.c_str()));
    EXPECT_EQ(b.GetParam(2)->Value(), 4.0);
    EXPECT_TRUE(b.LoadBankFromPath(bank.c_str()));
    EXPECT_FALSE(b.LoadProgramFromPath((std::string(dir) + "/missing.fxp").c_str()));
    std::string nowhere = std::string(dir) + "/no/such/folder/x.fxp";
    EXPECT_FALSE(a.SaveProgramToPath(nowhere.c_str()));
    struct stat st;
    EXPECT_NE(stat(nowhere.c_str(), &st), 0);
    // Without an editor nobody can be asked for a file.
    EXPECT_FALSE(a.SaveProgramAsFXP("x"));
    EXPECT_FALSE(a.LoadBankFromFXB());
    unlink(prog.c_str());
    unlink(bank.c_str());
    rmdir(dir);
}

TEST(ProgramFilesOnDisk, AnOverwrittenFileKeepsItsModeAndANewFileGetsTheUmasks)
{
    testsupport::TempDir dir;
    RecordingPlug a;
    InitPlug(a, 1);
    mode_t oldMask = umask(022);
    std::string kept = dir.file("kept.fxp"), fresh = dir.file("fresh.fxb");
    testsupport::writeFile(kept, std::string("old"));
    ASSERT_EQ(chmod(kept.c_str(), 0640), 0);
    bool savedProgram = a.SaveProgramToPath(kept.c_str()), savedBank = a.SaveBankToPath(fresh.c_str());
    umask(oldMask);
    ASSERT_TRUE(savedProgram && savedBank);
    struct stat st;
    ASSERT_EQ(stat(kept.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    ASSERT_EQ(stat(fresh.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
    EXPECT_EQ(dir.list(), (std::vector<std::string>{"fresh.fxb", "kept.fxp"})) << "no temporary file left";
}

TEST(ProgramAndBankFiles, AParameterProgramIsReadWhateverCountItsHeaderGives)
{
    // Our own count decides how many values are read; the file must only be long enough.
    RecordingPlug a(kAPIAU, kQorVersion, false);
    InitPlug(a, 1);
    FillPreset(a, 0, "count", {10, 20, 30, 40});
    ByteChunk file;
    ASSERT_TRUE(a.MakeProgramFile(&file));
    for (uint8_t count : {0, 1, 3, 5, 200}) {
        SCOPED_TRACE(int(count));
        std::vector<uint8_t> f(file.GetBytes(), file.GetBytes() + file.Size());
        f[27] = count;
        RecordingPlug c(kAPIAU, kQorVersion, false);
        InitPlug(c, 1);
        ASSERT_TRUE(c.ApplyProgramFile(f.data(), int(f.size())));
        EXPECT_EQ(Values(c), (std::vector<double>{10, 20, 30, 40, 0, 0}));
        EXPECT_FALSE(c.ApplyProgramFile(f.data(), int(f.size()) - 1));
    }
}

TEST(PresetMaking, ABlobIsDecodedIntoExactlyTheGivenSize)
{
    // "AAEC" is the Base64 text of 00 01 02; "=" ends the text.
    const struct { const char* text; int size; std::vector<uint8_t> bytes; } table[] = {
        {"AAEC", 2, {0, 1}}, {"AAEC", 4, {0, 1, 2, 0}}, {"AA==AAAA", 3, {0, 0, 0}}};
    RecordingPlug p;
    InitPlug(p, 3);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(p.MakePresetFromBlob("blob", table[i].text, table[i].size));
        const ByteChunk& c = p.GetPreset(i)->mChunk;
        EXPECT_EQ(std::vector<uint8_t>(c.GetBytes(), c.GetBytes() + c.Size()), table[i].bytes);
    }
    EXPECT_FALSE(p.MakePresetFromBlob("none left", "AAEC", 3));
}

TEST(PresetMaking, ValuesAreTakenByKindAndUnnamedOnesKeepTheCurrentValue)
{
    RecordingPlug p;
    InitPlug(p, 2);
    p.GetParam(2)->type = IParam::kTypeNone; // the kind is set only once; make it a double
    p.GetParam(2)->InitDouble("d", 0.0, -1.0, 1.0, 0.01);
    ASSERT_TRUE(p.MakePreset("all", 1, 2, 0.25, 4));
    double v[4];
    for (int i = 0; i < 4; ++i) p.GetPreset(0)->mChunk.Get(&v[i], 8 * i);
    EXPECT_EQ(v[0], 1.0);
    EXPECT_EQ(v[1], 2.0);
    EXPECT_EQ(v[2], 0.25);
    EXPECT_EQ(v[3], 4.0);
    SetValues(p, {7, 8, 0.5, 9});
    ASSERT_TRUE(p.MakePresetFromNamedParams("some", 2, 3, 42, 2, -0.75));
    for (int i = 0; i < 4; ++i) p.GetPreset(1)->mChunk.Get(&v[i], 8 * i);
    EXPECT_EQ(v[0], 7.0);
    EXPECT_EQ(v[1], 8.0);
    EXPECT_EQ(v[2], -0.75);
    EXPECT_EQ(v[3], 42.0);
}

TEST(PresetMaking, DeveloperDumpsWriteSourceLines)
{
    RecordingPlug p;
    InitPlug(p, 1);
    p.GetParam(0)->type = IParam::kTypeNone; // the kind is set only once; give these new kinds
    p.GetParam(2)->type = IParam::kTypeNone;
    p.GetParam(0)->InitBool("b", true);
    p.GetParam(2)->InitDouble("d", 0.125, -1.0, 1.0, 0.001);
    SetValues(p, {1, 42, 0.125, 7});
    ASSERT_TRUE(p.MakePresetFromBlob("blob", "AAEC", 3));
    char path[] = "/tmp/qor_dump_XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    const char* names[] = {"kOn", "kCount", "kLevel", "kOther"};
    ASSERT_TRUE(p.DumpPresetSrcCode(path, names));
    auto read = [&] {
        std::string s;
        FILE* f = std::fopen(path, "r");
        char buf[512];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
        std::fclose(f);
        return s;
    };
    EXPECT_EQ(read(), "  MakePresetFromNamedParams(\"name\", 4,\n    kOn, true,\n    kCount, 42,\n"
                      "    kLevel, 0.125000,\n    kOther, 7);\n");
    ASSERT_TRUE(p.DumpPresetBlob(path));
    EXPECT_EQ(read(), "MakePresetFromBlob(\"name\", \"AAEC\", 3);\n");
    unlink(path);
    EXPECT_FALSE(p.DumpPresetBlob("/nonexistent/folder/x"));
}

namespace {

uint32_t BE32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }
uint32_t LE32(const uint8_t* p) { return uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]; }
float BEFloat(const uint8_t* p)
{
    uint32_t u = BE32(p);
    float f;
    std::memcpy(&f, &u, 4);
    return f;
}
double LEDouble(const uint8_t* p)
{
    uint64_t u = uint64_t(LE32(p + 4)) << 32 | LE32(p);
    double d;
    std::memcpy(&d, &u, 8);
    return d;
}
// The program name field: 28 bytes, the name then zeros.
void ExpectName28(const uint8_t* p, const char* name)
{
    size_t n = std::strlen(name);
    EXPECT_EQ(std::memcmp(p, name, n), 0);
    for (size_t i = n; i < 28; ++i) EXPECT_EQ(p[i], 0) << "name byte " << i;
}

// The 28-byte program header: chunk magic, byte count, form magic, format version 1, plug-in id,
// decimal version, parameter count, then the name field.
void ExpectProgramHeader(const uint8_t* b, uint32_t byteCount, const char* form, const char* name)
{
    EXPECT_EQ(std::memcmp(b, "CcnK", 4), 0);
    EXPECT_EQ(BE32(b + 4), byteCount);
    EXPECT_EQ(std::memcmp(b + 8, form, 4), 0);
    EXPECT_EQ(BE32(b + 12), 1u);
    EXPECT_EQ(BE32(b + 16), 0x616E6E71u);
    EXPECT_EQ(BE32(b + 20), 10009u);
    EXPECT_EQ(BE32(b + 24), uint32_t(kAutomatable));
    ExpectName28(b + 28, name);
}

} // namespace

TEST(ProgramAndBankLayout, AChunkProgramFileCarriesBigEndianFieldsThenTheFrameworkHeaderAndState)
{
    RecordingPlug a(kAPIAU, kQorVersion, true);
    InitPlug(a, 1);
    FillPreset(a, 0, "lead", {11, 22, 33, 44});
    ByteChunk file;
    ASSERT_TRUE(a.MakeProgramFile(&file));
    // State chunk: 8-byte framework header and four doubles.
    const uint32_t stateSize = 8 + 4 * 8;
    ASSERT_EQ(file.Size(), int(60 + stateSize));
    const uint8_t* b = file.GetBytes();
    ExpectProgramHeader(b, stateSize + 60, "FPCh", "lead");
    EXPECT_EQ(BE32(b + 56), stateSize);
    EXPECT_EQ(LE32(b + 60), 0x70666674u);
    EXPECT_EQ(LE32(b + 64), 0x10000u);
    for (int i = 0; i < kAutomatable; ++i) EXPECT_EQ(LEDouble(b + 68 + 8 * i), 11.0 * (i + 1)) << i;
}

TEST(ProgramAndBankLayout, AParameterProgramFileCarriesOneNormalizedBigEndianFloatPerPublishedParameter)
{
    RecordingPlug a(kAPIAU, kQorVersion, false);
    InitPlug(a, 1);
    FillPreset(a, 0, "pad", {10, 25, 50, 100});
    ByteChunk file;
    ASSERT_TRUE(a.MakeProgramFile(&file));
    ASSERT_EQ(file.Size(), 56 + 4 * kAutomatable);
    const uint8_t* b = file.GetBytes();
    ExpectProgramHeader(b, 0, "FxCk", "pad");
    const float expected[] = {0.10f, 0.25f, 0.50f, 1.0f};
    for (int i = 0; i < kAutomatable; ++i) EXPECT_FLOAT_EQ(BEFloat(b + 56 + 4 * i), expected[i]) << i;
}

TEST(ProgramAndBankLayout, AParameterBankFileHoldsOneProgramRecordPerPreset)
{
    RecordingPlug a(kAPIAU, kQorVersion, false);
    InitPlug(a, 2);
    FillPreset(a, 0, "x", {10, 20, 30, 40});
    FillPreset(a, 1, "y", {50, 60, 70, 80});
    ByteChunk file;
    ASSERT_TRUE(a.MakeBankFile(&file));
    const int record = 56 + 4 * kAutomatable;
    ASSERT_EQ(file.Size(), 156 + 2 * record);
    const uint8_t* b = file.GetBytes();
    EXPECT_EQ(BE32(b + 4), 0u);
    EXPECT_EQ(std::memcmp(b + 8, "FxBk", 4), 0);
    EXPECT_EQ(BE32(b + 12), 2u);
    EXPECT_EQ(BE32(b + 24), 2u);
    for (int i = 32; i < 156; ++i) EXPECT_EQ(b[i], 0) << "reserved byte " << i;
    for (int p = 0; p < 2; ++p) {
        const uint8_t* r = b + 156 + p * record;
        ExpectProgramHeader(r, 0, "FxCk", p ? "y" : "x");
        for (int i = 0; i < kAutomatable; ++i)
            EXPECT_FLOAT_EQ(BEFloat(r + 56 + 4 * i), float(0.1 * (4 * p + i + 1))) << p << " " << i;
    }
}
