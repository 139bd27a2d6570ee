#include <cstdio>
#include <cstring>

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
