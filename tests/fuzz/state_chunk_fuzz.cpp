// The controller's project recall with outside bytes: either the input itself as the chunk, or a
// real saved chunk with the input's byte edits and an optional cut. Nothing may crash, the
// answer is -1 or a position inside the chunk, and a refused chunk changes nothing a save
// would show.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <unistd.h>

#include "Project_Source/src/MIDIMessageManager.h"
#include "Project_Source/src/PatchManager.h"
#include "Project_Source/src/QOR.h"
#include "Project_Source/src/QORParams.h"
#include "portless_qor.h"

namespace
{

using fuzzsupport::PortlessQOR;

PortlessQOR& controller()
{
    PortlessQOR& q = fuzzsupport::controller("qor_state_chunk_fuzz");
    // A job the recall started (this controller opens no port, so none should) takes no time
    // in its pauses.
    static const bool quick = (q.midiManager->sender->onPause = [](int& ms) { ms = 0; }, true);
    (void)quick;
    return q;
}

// Waits until the job thread has ended its job. An input returns only then: the leak check that
// follows an input cannot always see a running thread's stack (once the system reuses its
// thread ids), and would take the job's strings in flight for leaks.
void settle(PortlessQOR& q)
{
    while (!q.midiManager->threadIdle(kJobThread)) usleep(100);
}

// A project chunk as a save writes it, with names of every length class.
const ByteChunk& realChunk()
{
    static ByteChunk chunk = [] {
        QOR& q = controller();
        q.patchManager->patch.names[0] = "A Multi Name Too Long";
        q.patchManager->patch.names[3] = "";
        ByteChunk c;
        q.SerializeState(&c);
        return c;
    }();
    return chunk;
}

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "state_chunk_fuzz: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > (1u << 18)) return 0;
    PortlessQOR& q = controller();
    const uint8_t mode = data[0];
    ByteChunk chunk;
    if (mode & 1) {
        chunk.PutBytes(data + 1, int(size - 1));
    } else {
        chunk.PutChunk(&realChunk());
        const int n = chunk.Size();
        size_t i = 1;
        if ((mode & 4) && size >= 4) { // a cut at a 24-bit offset
            chunk.Resize(int((data[1] | data[2] << 8 | data[3] << 16) % uint32_t(n)));
            i = 4;
        }
        // Then edits: a 24-bit offset and the byte to put there.
        for (; i + 4 <= size && chunk.Size() > 0; i += 4)
            chunk.GetBytes()[(data[i] | data[i + 1] << 8 | data[i + 2] << 16) % uint32_t(chunk.Size())] = data[i + 3];
    }
    // An output chosen before or not; the stored device is never found here, so nothing is sent.
    q.GetParam(qorid::kDeviceOutSelection)->Set((mode & 2) ? 1.0 : 0.0);
    q.midiIOSet = false;
    ByteChunk before;
    q.SerializeState2(&before, true);
    const int pos = q.UnserializeState2(&chunk, 0, true);
    settle(q);
    if (pos < -1 || pos > chunk.Size()) fail("the position lies outside the chunk");
    if (pos == -1) {
        ByteChunk after;
        q.SerializeState2(&after, true);
        if (!after.IsEqual(before)) fail("a refused chunk changed the state");
    }
    return 0;
}
