// Program (.fxp) and bank (.fxb) files: every 32-bit field big-endian. Readers treat every
// length, count and name in a file as untrusted, and a refused file leaves the plug-in as it was.
#include <cstdio>
#include <cstring>
#include <string>

#include "kit/plugin/IGraphics.h"
#include "kit/plugin/IPluginBase.h"
#include "kit/plugin/Log.h"
#include "kit/safefile.h"

namespace {

constexpr uint32_t Magic(const char (&s)[5])
{
    return (uint32_t(uint8_t(s[0])) << 24) | (uint32_t(uint8_t(s[1])) << 16) | (uint32_t(uint8_t(s[2])) << 8) |
           uint32_t(uint8_t(s[3]));
}

constexpr uint32_t kCcnK = Magic("CcnK");
constexpr uint32_t kFPCh = Magic("FPCh");
constexpr uint32_t kFxCk = Magic("FxCk");
constexpr uint32_t kFBCh = Magic("FBCh");
constexpr uint32_t kFxBk = Magic("FxBk");
constexpr uint32_t kStateChunkMagic = 0x70666674;
constexpr int32_t kStateChunkVersion = 0x10000;
constexpr int kProgNameLen = 28;
constexpr int kProgHeader = 56;  // up to and including the program name
constexpr int kBankHeader = 156; // up to and including the reserved bytes
constexpr int kMaxFileBytes = 64 << 20;

void PutBE(ByteChunk* c, uint32_t v)
{
    uint8_t b[4] = {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
    c->PutBytes(b, 4);
}

void PutBEFloat(ByteChunk* c, float f)
{
    uint32_t v;
    std::memcpy(&v, &f, 4);
    PutBE(c, v);
}

void PutName(ByteChunk* c, const char* name)
{
    char field[kProgNameLen] = {};
    // Names that do not fit are cut; the field keeps its terminator.
    size_t len = name ? strnlen(name, kProgNameLen - 1) : 0;
    if (len) std::memcpy(field, name, len);
    c->PutBytes(field, kProgNameLen);
}

// Bounds-checked big-endian reads over a byte range.
struct Reader {
    const uint8_t* data;
    int size;
    bool U32(int pos, uint32_t* v) const
    {
        if (pos < 0 || int64_t(pos) + 4 > size) return false;
        *v = (uint32_t(data[pos]) << 24) | (uint32_t(data[pos + 1]) << 16) | (uint32_t(data[pos + 2]) << 8) |
             uint32_t(data[pos + 3]);
        return true;
    }
    bool Float(int pos, float* f) const
    {
        uint32_t v;
        if (!U32(pos, &v)) return false;
        std::memcpy(f, &v, 4);
        return true;
    }
    void Name(int pos, char* out) const
    {
        std::memcpy(out, data + pos, kProgNameLen);
        out[kProgNameLen - 1] = '\0';
    }
};

bool ReadWholeFile(const char* path, ByteChunk* out)
{
    FILE* f = path ? std::fopen(path, "rb") : nullptr;
    if (!f) return false;
    bool ok = true;
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
        if (out->Size() + int64_t(n) > kMaxFileBytes) {
            ok = false;
            break;
        }
        out->PutBytes(buf, int(n));
    }
    if (std::ferror(f)) ok = false;
    std::fclose(f);
    return ok;
}

// Saving over an existing file keeps that file whole until the new bytes are safely on disk.
bool WriteWholeFile(const char* path, const ByteChunk& bytes)
{
    if (!path || !*path) return false;
    std::string error;
    if (kit::WriteFileReplacing(path, bytes.GetBytes(), size_t(bytes.Size()), &error)) return true;
    LogLine("PRESETS: could not write %s: %s", path, error.c_str());
    return false;
}

} // namespace

void IPluginBase::InitChunkWithIPluginVer(ByteChunk* chunk)
{
    chunk->Clear();
    int32_t magic = int32_t(kStateChunkMagic), ver = kStateChunkVersion;
    chunk->Put(&magic);
    chunk->Put(&ver);
}

int IPluginBase::GetIPluginVerFromChunk(ByteChunk* chunk, int* version)
{
    int32_t magic = 0, ver = 0;
    int pos = chunk->Get(&magic, 0);
    if (pos < 0 || uint32_t(magic) != kStateChunkMagic) return 0;
    pos = chunk->Get(&ver, pos);
    if (pos < 0) return 0;
    if (version) *version = ver;
    return pos;
}

// ---- programs ----

bool IPluginBase::MakeProgramFile(ByteChunk* out)
{
    int n = NAutomatedParams();
    ByteChunk state;
    if (stateChunks) {
        InitChunkWithIPluginVer(&state);
        if (!SerializeState(&state)) return false;
    }
    out->Clear();
    PutBE(out, kCcnK);
    PutBE(out, stateChunks ? uint32_t(state.Size() + 60) : 0);
    PutBE(out, stateChunks ? kFPCh : kFxCk);
    PutBE(out, 1);
    PutBE(out, uint32_t(uniqueID));
    PutBE(out, uint32_t(GetEffectVersion(true)));
    PutBE(out, uint32_t(n));
    PutName(out, GetPresetName(currentPresetIdx));
    if (stateChunks) {
        PutBE(out, uint32_t(state.Size()));
        out->PutChunk(&state);
    } else {
        for (int i = 0; i < n; ++i) PutBEFloat(out, float(params.Get(i)->GetNormalized()));
    }
    return true;
}

bool IPluginBase::ApplyProgramFile(const uint8_t* data, int size)
{
    Reader r{data, size};
    uint32_t magic, version, id, form;
    if (!data || size < kProgHeader || !r.U32(0, &magic) || magic != kCcnK) return false;
    if (!r.U32(12, &version) || version != 1 || !r.U32(16, &id) || id != uint32_t(uniqueID)) return false;
    r.U32(8, &form);
    char name[kProgNameLen];
    r.Name(28, name);
    int n = NAutomatedParams();

    if (form == kFPCh) {
        uint32_t chunkSize;
        if (!stateChunks || !r.U32(kProgHeader, &chunkSize)) return false;
        if (int64_t(chunkSize) > int64_t(size) - (kProgHeader + 4)) return false;
        ByteChunk chunk;
        chunk.PutBytes(data + kProgHeader + 4, int(chunkSize));
        int pos = GetIPluginVerFromChunk(&chunk, nullptr);
        if (pos <= 0) return false;
        ByteChunk backup;
        bool haveBackup = SerializeState(&backup);
        if (UnserializeState(&chunk, pos) < 1) {
            if (haveBackup) UnserializeState(&backup, 0);
            LogLine("PRESETS: program state refused");
            return false;
        }
    } else if (form == kFxCk) {
        // The header's count is not checked: reading stops at our own count, and the size check
        // keeps that inside the data.
        if (int64_t(size) < kProgHeader + 4 * int64_t(n)) return false;
        for (int i = 0; i < n; ++i) {
            float v = 0.0f;
            r.Float(kProgHeader + 4 * i, &v);
            params.Get(i)->SetNormalized(double(v));
        }
    } else {
        return false;
    }
    ModifyCurrentPreset(name);
    // The slot now holds this state; restoring a never-filled slot would rename it and take
    // the state anew.
    if (IPreset* cur = presets.Get(currentPresetIdx)) cur->mInitialized = true;
    RestorePreset(currentPresetIdx);
    InformHostOfProgramChange();
    return true;
}

// ---- banks ----

bool IPluginBase::MakeBankFile(ByteChunk* out)
{
    int n = NAutomatedParams();
    ByteChunk state;
    if (stateChunks) {
        InitChunkWithIPluginVer(&state);
        if (!SerializePresets(&state)) return false;
    }
    out->Clear();
    PutBE(out, kCcnK);
    PutBE(out, stateChunks ? uint32_t(state.Size() + 160) : 0);
    PutBE(out, stateChunks ? kFBCh : kFxBk);
    PutBE(out, 2);
    PutBE(out, uint32_t(uniqueID));
    PutBE(out, uint32_t(GetEffectVersion(true)));
    PutBE(out, uint32_t(NPresets()));
    PutBE(out, uint32_t(currentPresetIdx));
    uint8_t reserved[124] = {};
    out->PutBytes(reserved, sizeof reserved);
    if (stateChunks) {
        PutBE(out, uint32_t(state.Size()));
        out->PutChunk(&state);
        return true;
    }
    for (int p = 0, np = NPresets(); p < np; ++p) {
        IPreset* preset = presets.Get(p);
        PutBE(out, kCcnK);
        PutBE(out, 0);
        PutBE(out, kFxCk);
        PutBE(out, 1);
        PutBE(out, uint32_t(uniqueID));
        PutBE(out, uint32_t(GetEffectVersion(true)));
        PutBE(out, uint32_t(n));
        PutName(out, preset->mName);
        for (int i = 0; i < n; ++i) {
            double v = 0.0;
            if (preset->mChunk.Get(&v, 8 * i) < 0) v = 0.0;
            PutBEFloat(out, float(params.Get(i)->GetNormalized(v)));
        }
    }
    return true;
}

bool IPluginBase::ApplyBankFile(const uint8_t* data, int size)
{
    Reader r{data, size};
    uint32_t magic, id, form, nPrograms, current;
    if (!data || size < kBankHeader || !r.U32(0, &magic) || magic != kCcnK) return false;
    if (!r.U32(16, &id) || id != uint32_t(uniqueID)) return false;
    r.U32(8, &form);
    r.U32(24, &nPrograms);
    r.U32(28, &current);

    if (form == kFBCh) {
        uint32_t chunkSize;
        if (!stateChunks || !r.U32(kBankHeader, &chunkSize)) return false;
        if (int64_t(chunkSize) > int64_t(size) - (kBankHeader + 4)) return false;
        ByteChunk chunk;
        chunk.PutBytes(data + kBankHeader + 4, int(chunkSize));
        int pos = GetIPluginVerFromChunk(&chunk, nullptr);
        if (pos <= 0) return false;
        ByteChunk state, list;
        bool haveState = SerializeState(&state);
        bool haveList = SerializePresets(&list);
        int keepIdx = currentPresetIdx;
        if (UnserializePresets(&chunk, pos) < 0) {
            // Put back what was there before the partial read.
            if (haveList) UnserializePresets(&list, 0);
            if (haveState) UnserializeState(&state, 0);
            currentPresetIdx = keepIdx;
            LogLine("PRESETS: bank refused: its preset list ended early");
            return false;
        }
        InformHostOfProgramChange();
        return true;
    }
    if (form != kFxBk) return false;

    int n = NAutomatedParams();
    int64_t recordSize = kProgHeader + 4 * int64_t(n);
    if (int64_t(nPrograms) > NPresets()) return false;
    if (int64_t(size) < kBankHeader + recordSize * int64_t(nPrograms)) return false;
    // Every record is checked before any is applied.
    for (uint32_t p = 0; p < nPrograms; ++p) {
        int at = int(kBankHeader + recordSize * p);
        uint32_t m, f, v, np;
        if (!r.U32(at, &m) || m != kCcnK || !r.U32(at + 8, &f) || f != kFxCk || !r.U32(at + 12, &v) || v != 1 ||
            !r.U32(at + 24, &np) || int64_t(np) != n)
            return false;
    }
    for (uint32_t p = 0; p < nPrograms; ++p) {
        int at = int(kBankHeader + recordSize * p);
        RestorePreset(int(p));
        for (int i = 0; i < n; ++i) {
            float v = 0.0f;
            r.Float(at + kProgHeader + 4 * i, &v);
            params.Get(i)->SetNormalized(double(v));
        }
        char name[kProgNameLen];
        r.Name(at + 28, name);
        ModifyCurrentPreset(name);
        if (IPreset* cur = presets.Get(currentPresetIdx)) cur->mInitialized = true;
    }
    RestorePreset(current < uint32_t(NPresets()) ? int(current) : currentPresetIdx);
    InformHostOfProgramChange();
    return true;
}

// ---- on disk ----

bool IPluginBase::SaveProgramToPath(const char* path)
{
    ByteChunk bytes;
    return MakeProgramFile(&bytes) && WriteWholeFile(path, bytes);
}

bool IPluginBase::LoadProgramFromPath(const char* path)
{
    ByteChunk bytes;
    return ReadWholeFile(path, &bytes) && ApplyProgramFile(bytes.GetBytes(), bytes.Size());
}

bool IPluginBase::SaveBankToPath(const char* path)
{
    ByteChunk bytes;
    return MakeBankFile(&bytes) && WriteWholeFile(path, bytes);
}

bool IPluginBase::LoadBankFromPath(const char* path)
{
    ByteChunk bytes;
    return ReadWholeFile(path, &bytes) && ApplyBankFile(bytes.GetBytes(), bytes.Size());
}

namespace {

// The editor's answer to a file prompt, or an empty string.
std::string Prompt(IGraphics* graphics, KIT_String* previousPath, EFileAction action, const char* defaultName,
                   const char* extension)
{
    if (!graphics) return {};
    KIT_String file(defaultName ? defaultName : "");
    char ext[8];
    std::snprintf(ext, sizeof ext, "%s", extension);
    graphics->PromptForFile(&file, action, previousPath, ext);
    return file.Get();
}

} // namespace

bool IPluginBase::SaveProgramAsFXP(const char* defaultFileName)
{
    std::string path = Prompt(graphics, &previousPath, kFileSave, defaultFileName, "fxp");
    return !path.empty() && SaveProgramToPath(path.c_str());
}

bool IPluginBase::SaveBankAsFXB(const char* defaultFileName)
{
    std::string path = Prompt(graphics, &previousPath, kFileSave, defaultFileName, "fxb");
    return !path.empty() && SaveBankToPath(path.c_str());
}

bool IPluginBase::LoadProgramFromFXP()
{
    std::string path = Prompt(graphics, &previousPath, kFileOpen, "", "fxp");
    return !path.empty() && LoadProgramFromPath(path.c_str());
}

bool IPluginBase::LoadBankFromFXB()
{
    std::string path = Prompt(graphics, &previousPath, kFileOpen, "", "fxb");
    return !path.empty() && LoadBankFromPath(path.c_str());
}
