#include "PatchManager.h"

#include <cstring>

#include "QOR.h"

void PatchManager::init()
{
    ByteChunk chunk;
    if (owner) owner->SerializeState2(&chunk, false);
    patch.data.Resize(0);
    int n = chunk.Size();
    // Out of memory leaves the blob empty rather than holding part of the snapshot.
    if (n > 0 && patch.data.Resize(n) && patch.data.GetSize() == n)
        std::memcpy(patch.data.Get(), chunk.GetBytes(), size_t(n));
}

void PatchManager::putStringToChunk(ByteChunk* chunk, std::string text, int maxLength)
{
    const size_t zero = text.find('\0');
    if (zero != std::string::npos) text.resize(zero);
    if (maxLength >= 0 && text.size() > size_t(maxLength)) text.resize(size_t(maxLength));
    const int32_t n = int32_t(text.size());
    chunk->Put(&n);
    chunk->PutBytes(text.data(), n);
}

void PatchManager::saveAllToChunk(ByteChunk* chunk)
{
    ByteChunk block;
    block.Put(&kTag);
    block.Put(&kTag);
    const int length = patch.data.GetSize();
    const uint8_t bigEndian[4] = {uint8_t(length >> 24), uint8_t(length >> 16), uint8_t(length >> 8), uint8_t(length)};
    block.PutBytes(bigEndian, 4);
    block.PutBytes(patch.data.Get(), length);
    {
        std::lock_guard<std::mutex> lock(namesLock);
        for (int i = 0; i < Patch::kNameCount; ++i)
            putStringToChunk(&block, patch.names[size_t(i)], i < kInputDeviceName ? kNameLength : kDeviceNameLength);
    }
    chunk->PutChunk(&block);
}

int PatchManager::readBlock(const ByteChunk& chunk, int pos, Block* out, std::string* why)
{
    auto refuse = [why](std::string reason) {
        if (why) *why = std::move(reason);
        return -1;
    };
    uint32_t tags[2] = {0, 0};
    uint8_t length[4] = {0, 0, 0, 0};
    if (chunk.GetBytes(length, 4, chunk.GetBytes(tags, 8, pos)) < 0) return refuse("patch block head cut short");
    if (tags[0] != kTag || tags[1] != kTag) return refuse("patch block tag is not 00 00 00 01");
    pos += 12;
    const int64_t blobLength =
        int64_t(length[0]) << 24 | int64_t(length[1]) << 16 | int64_t(length[2]) << 8 | int64_t(length[3]);
    if (blobLength > int64_t(chunk.Size()) - pos)
        return refuse("blob length " + std::to_string(blobLength) + " runs past the end");
    const uint8_t* bytes = chunk.GetBytes();
    out->blob.assign(bytes + pos, bytes + pos + blobLength);
    pos += int(blobLength);
    for (int i = 0; i < Patch::kNameCount; ++i) {
        int32_t n = 0;
        const int at = chunk.Get(&n, pos);
        if (at < 0 || n < 0 || int64_t(n) > int64_t(chunk.Size()) - at)
            return refuse("name " + std::to_string(i) + " cut short");
        std::string name(reinterpret_cast<const char*>(bytes + at), size_t(n));
        const size_t zero = name.find('\0');
        if (zero != std::string::npos) name.resize(zero);
        if (i < kInputDeviceName && name.size() > size_t(kNameLength)) name.resize(size_t(kNameLength));
        out->names[size_t(i)] = std::move(name);
        pos = at + n;
    }
    return pos;
}

int PatchManager::loadAllFromChunk(ByteChunk* chunk, int pos, std::string* why)
{
    Block block;
    const int next = readBlock(*chunk, pos, &block, why);
    if (next < 0) return -1;
    patch.data.Resize(0);
    const int n = int(block.blob.size());
    if (n > 0 && patch.data.Resize(n) && patch.data.GetSize() == n)
        std::memcpy(patch.data.Get(), block.blob.data(), size_t(n));
    std::lock_guard<std::mutex> lock(namesLock);
    for (int i = 0; i < Patch::kNameCount; ++i) patch.names[size_t(i)] = std::move(block.names[size_t(i)]);
    return next;
}

void PatchManager::getName(std::string* out, int index)
{
    if (index < 0 || index >= Patch::kNameCount || (index > 8 && index < kFirstPatternName)) {
        *out = "INIT";
        return;
    }
    std::lock_guard<std::mutex> lock(namesLock);
    *out = patch.names[size_t(index)];
}
