#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "kit/plugin/IPluginBase.h"

namespace {

void SetPresetName(IPreset* p, const char* name)
{
    std::snprintf(p->mName, sizeof p->mName, "%s", name ? name : "");
}

} // namespace

IPreset* GetNextUninitializedPreset(KIT_PtrList<IPreset>* presets)
{
    for (int i = 0, n = presets ? presets->GetSize() : 0; i < n; ++i)
        if (!presets->Get(i)->mInitialized) return presets->Get(i);
    return nullptr;
}

void IPluginBase::MakeDefaultPreset(const char* name, int count)
{
    for (int i = 0; i < count; ++i) {
        IPreset* p = GetNextUninitializedPreset(&presets);
        if (!p) return;
        p->mInitialized = true;
        SetPresetName(p, name ? name : "Empty");
        p->mChunk.Clear();
        SerializeState(&p->mChunk);
    }
}

bool IPluginBase::MakePresetFromChunk(const char* name, ByteChunk* chunk)
{
    IPreset* p = GetNextUninitializedPreset(&presets);
    if (!p) return false;
    p->mInitialized = true;
    SetPresetName(p, name);
    p->mChunk.PutChunk(chunk);
    return true;
}

void IPluginBase::EnsureDefaultPreset()
{
    for (int i = 0, n = presets.GetSize(); i < n; ++i) {
        IPreset* p = presets.Get(i);
        if (p->mInitialized) continue;
        p->mInitialized = true;
        SetPresetName(p, "Empty");
        p->mChunk.Clear();
        SerializeState(&p->mChunk);
    }
}

void IPluginBase::PruneUninitializedPresets()
{
    for (int i = presets.GetSize() - 1; i >= 0; --i)
        if (!presets.Get(i)->mInitialized) presets.Delete(i, true);
}

const char* IPluginBase::GetPresetName(int idx) const
{
    const IPreset* p = presets.Get(idx);
    return p ? p->mName : "";
}

void IPluginBase::MakeDefaultUserPresetName(KIT_PtrList<IPreset>* list, char* out)
{
    int n = 0;
    for (int i = 0, count = list ? list->GetSize() : 0; i < count; ++i) {
        const IPreset* p = list->Get(i);
        if (p && std::strstr(p->mName, "user preset")) ++n;
    }
    std::snprintf(out, 64, "%s %d", "user preset", n + 1);
}

bool IPluginBase::RestorePreset(int idx)
{
    IPreset* p = presets.Get(idx);
    if (!p) return false;
    if (p->mInitialized) {
        if (UnserializeState(&p->mChunk, 0) < 1) return false;
    } else {
        p->mInitialized = true;
        char name[64];
        MakeDefaultUserPresetName(&presets, name);
        SetPresetName(p, name);
        p->mChunk.Clear();
        if (!SerializeState(&p->mChunk)) return false;
    }
    currentPresetIdx = idx;
    PresetsChangedByHost();
    RedrawParamControls();
    return true;
}

bool IPluginBase::RestorePreset(const char* name)
{
    if (!name || !*name) return false;
    for (int i = 0, n = presets.GetSize(); i < n; ++i)
        if (std::strcmp(presets.Get(i)->mName, name) == 0) return RestorePreset(i);
    return false;
}

void IPluginBase::ModifyCurrentPreset(const char* name)
{
    IPreset* p = presets.Get(currentPresetIdx);
    if (!p) return;
    p->mChunk.Clear();
    SerializeState(&p->mChunk);
    if (name && *name) SetPresetName(p, name);
}

bool IPluginBase::SerializePresets(ByteChunk* chunk)
{
    bool ok = true;
    for (int i = 0, n = presets.GetSize(); i < n && ok; ++i) {
        IPreset* p = presets.Get(i);
        chunk->PutStr(p->mName);
        chunk->PutBool(p->mInitialized);
        if (p->mInitialized) chunk->PutChunk(&p->mChunk);
        ok = chunk->Size() >= 1;
    }
    return ok;
}

int IPluginBase::UnserializePresets(ByteChunk* chunk, int pos)
{
    // The name of the previous record stands in for one that cannot be read.
    char lastName[IPreset::kNameLen] = "";
    for (int i = 0, n = presets.GetSize(); i < n && pos >= 0; ++i) {
        IPreset* p = presets.Get(i);
        int32_t len = 0;
        int next = chunk->Get(&len, pos);
        if (next < 0) {
            pos = -1;
            break;
        }
        if (len > 0 && int64_t(next) + len <= chunk->Size()) {
            size_t keep = size_t(len) < sizeof lastName - 1 ? size_t(len) : sizeof lastName - 1;
            const uint8_t* text = chunk->GetBytes() + next;
            const void* zero = std::memchr(text, 0, keep);
            if (zero) keep = size_t(static_cast<const uint8_t*>(zero) - text);
            std::memcpy(lastName, text, keep);
            lastName[keep] = '\0';
        }
        SetPresetName(p, lastName);
        // A negative length, or one that runs past the end, ends the read.
        int64_t after = int64_t(next) + len;
        if (len < 0 || after > chunk->Size()) {
            pos = -1;
            break;
        }
        pos = int(after);
        bool init = p->mInitialized;
        pos = chunk->GetBool(&init, pos);
        if (pos < 0) break;
        p->mInitialized = init;
        if (init) {
            pos = UnserializeState(chunk, pos);
            if (pos > 0) {
                p->mChunk.Clear();
                SerializeState(&p->mChunk);
            }
        }
    }
    RestorePreset(currentPresetIdx);
    return pos;
}

// ---- presets from values and text ----

namespace {

constexpr double kUnsetValue = 99.99e-9;
const char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

bool TakesInt(const IParam* p)
{
    return p->Type() == IParam::kTypeBool || p->Type() == IParam::kTypeInt || p->Type() == IParam::kTypeEnum;
}

int Base64Value(char c)
{
    const char* at = c ? std::strchr(kBase64, c) : nullptr;
    return at ? int(at - kBase64) : -1;
}

} // namespace

bool IPluginBase::MakePreset(const char* name, ...)
{
    IPreset* p = GetNextUninitializedPreset(&presets);
    if (!p) return false;
    p->mInitialized = true;
    SetPresetName(p, name);
    p->mChunk.Clear();
    va_list args;
    va_start(args, name);
    for (int i = 0, n = NAutomatedParams(); i < n; ++i) {
        double v = TakesInt(params.Get(i)) ? double(va_arg(args, int)) : va_arg(args, double);
        p->mChunk.Put(&v);
    }
    va_end(args);
    return true;
}

bool IPluginBase::MakePresetFromNamedParams(const char* name, int count, ...)
{
    IPreset* p = GetNextUninitializedPreset(&presets);
    if (!p) return false;
    int n = NAutomatedParams();
    std::vector<double> values(size_t(n), kUnsetValue);
    va_list args;
    va_start(args, count);
    for (int k = 0; k < count; ++k) {
        int id = va_arg(args, int);
        if (id < 0 || id >= n) break;
        values[size_t(id)] = TakesInt(params.Get(id)) ? double(va_arg(args, int)) : va_arg(args, double);
    }
    va_end(args);
    p->mInitialized = true;
    SetPresetName(p, name);
    p->mChunk.Clear();
    for (int i = 0; i < n; ++i) {
        double v = values[size_t(i)] == kUnsetValue ? params.Get(i)->value : values[size_t(i)];
        p->mChunk.Put(&v);
    }
    return true;
}

bool IPluginBase::MakePresetFromBlob(const char* name, const char* base64, int size)
{
    if (size < 0 || !base64) return false;
    std::vector<uint8_t> bytes(size_t(size), 0);
    int written = 0, bits = 0;
    uint32_t acc = 0;
    for (const char* c = base64; *c && written < size; ++c) {
        int v = Base64Value(*c);
        if (v < 0) break; // "=" and anything outside the alphabet end the text
        acc = (acc << 6) | uint32_t(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            bytes[size_t(written++)] = uint8_t(acc >> bits);
        }
    }
    ByteChunk chunk;
    chunk.PutBytes(bytes.data(), size);
    return MakePresetFromChunk(name, &chunk);
}

bool IPluginBase::DumpPresetSrcCode(const char* path, const char* paramEnumNames[])
{
    FILE* f = path ? std::fopen(path, "w") : nullptr;
    if (!f) return false;
    int n = NAutomatedParams();
    std::fprintf(f, "  MakePresetFromNamedParams(\"name\", %d", n);
    for (int i = 0; i < n; ++i) {
        const IParam* p = params.Get(i);
        const char* id = paramEnumNames && paramEnumNames[i] ? paramEnumNames[i] : "";
        std::fprintf(f, ",\n    %s, ", id);
        if (p->Type() == IParam::kTypeBool) std::fputs(p->value >= 0.5 ? "true" : "false", f);
        else if (p->Type() == IParam::kTypeInt || p->Type() == IParam::kTypeEnum) std::fprintf(f, "%d", p->Int());
        else std::fprintf(f, "%.6f", p->Value());
    }
    std::fputs(");\n", f);
    return std::fclose(f) == 0;
}

bool IPluginBase::DumpPresetBlob(const char* path)
{
    IPreset* p = presets.Get(currentPresetIdx);
    FILE* f = path ? std::fopen(path, "w") : nullptr;
    if (!f) return false;
    const uint8_t* b = p ? p->mChunk.GetBytes() : nullptr;
    int size = p ? p->mChunk.Size() : 0;
    std::string text;
    for (int i = 0; i < size; i += 3) {
        uint32_t v = uint32_t(b[i]) << 16;
        if (i + 1 < size) v |= uint32_t(b[i + 1]) << 8;
        if (i + 2 < size) v |= b[i + 2];
        text += kBase64[(v >> 18) & 63];
        text += kBase64[(v >> 12) & 63];
        text += i + 1 < size ? kBase64[(v >> 6) & 63] : '=';
        text += i + 2 < size ? kBase64[v & 63] : '=';
    }
    std::fprintf(f, "MakePresetFromBlob(\"name\", \"%s\", %d);\n", text.c_str(), size);
    return std::fclose(f) == 0;
}
