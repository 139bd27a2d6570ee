// The synthesizer simulator's readers of outside bytes: the SysEx file splitter, the memory
// loader and the MIDI input, fed the same bytes; none may crash or accept a damaged message.
#include "memory.h"
#include "synth.h"
#include "syxfile.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    synthsim::SplitResult split = synthsim::splitSysEx(data, size);
    size_t kept = 0;
    for (const synthsim::Bytes& m : split.messages) {
        if (m.size() < 2 || m.front() != 0xF0 || m.back() != 0xF7) std::abort();
        kept += m.size();
    }
    if (kept + split.skippedBytes != size) std::abort();

    synthsim::Options o;
    o.deviceId = size ? data[0] & 15 : 3;
    o.model = size > 1 && (data[1] & 1) ? 0x21 : 0x20;
    synthsim::Synth synth(o);
    std::vector<std::string> notes;
    const int loaded = synth.load(split.messages, notes);
    for (const synthsim::Bytes& m : split.messages) synth.receive(m, 0);

    // The same bytes as a stream of short messages and odd lengths from the MIDI input.
    for (size_t i = 0; i < size; i += 3) {
        const size_t n = size - i < 3 ? size - i : 3;
        synth.receive(synthsim::Bytes(data + i, data + i + n), double(i));
    }
    // Whatever was stored can be dumped whole again.
    if (loaded == 0 && synth.counters().stores == 0) return 0;
    for (const synthsim::MemoryFile& f : synthsim::memoryAsFiles(synth.memory(), o.model, uint8_t(o.deviceId)))
        for (const synthsim::Bytes& m : f.messages)
            if (m.front() != 0xF0 || m.back() != 0xF7 || !synthsim::dataBytesAre7Bit(m)) std::abort();
    return 0;
}
