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
