// The host's project state: the chunk the controller writes and reads.
#include <cstdint>

#include "QORParams.h"
#include "QOR.h"

namespace {

// The editor's own parameters at the end of the table travel as the head and as names, not as
// values.
constexpr int kEditorOwnParams = 148;

} // namespace

bool QOR::SerializeState2(ByteChunk* chunk, bool full)
{
    const uint32_t tag = 0x01000000; // the bytes 00 00 00 01
    chunk->Put(&tag);
    double quickTab = GetParam(qorid::kQuickTab)->Value();
    double model = GetParam(qorid::kCurrentModel)->Value();
    chunk->Put(&quickTab);
    chunk->Put(&model);
    SerializeParams(chunk);
    (void)full; // the patch manager block and the selections follow with the project recall
    SerializeNonAutomatedParams(chunk, NNonAutomatedParams() - kEditorOwnParams);
    return true;
}

// Until the project form is written, the framework's own state is saved and restored.
bool QOR::SerializeState(ByteChunk* chunk) { return IPluginAU::SerializeState(chunk); }

int QOR::UnserializeState(ByteChunk* chunk, int startPos) { return IPluginAU::UnserializeState(chunk, startPos); }
