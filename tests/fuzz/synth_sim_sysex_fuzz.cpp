// The synthesizer simulator's readers of outside bytes: the SysEx file splitter, the memory
// loader and the MIDI input, fed the same bytes; none may crash or accept a damaged message,
// and no controller, NRPN or parameter SysEx may leave anything but data bytes in memory.
#include "memory.h"
#include "midi_stream.h"
#include "synth.h"
#include "syxfile.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// Every byte memory holds must be a data byte. Checked without coverage tracing: traced, the
// half megabyte of memory costs more than the input does.
#if defined(__clang__)
#define UNTRACED __attribute__((no_sanitize("coverage", "address"), noinline))
#else
#define UNTRACED
#endif

UNTRACED bool all7Bit(const uint8_t* p, size_t n)
{
    uint64_t any = 0;
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t w;
        std::memcpy(&w, p + i, 8);
        any |= w;
    }
    for (; i < n; ++i) any |= p[i];
    return (any & 0x8080808080808080ull) == 0;
}

template <class Array>
bool all7Bit(const Array& a)
{
    return all7Bit(reinterpret_cast<const uint8_t*>(a.data()), sizeof(a[0]) * a.size());
}

UNTRACED bool memoryIs7Bit(const synthsim::SynthMemory& m)
{
    bool ok = all7Bit(m.global1) && all7Bit(m.global2) && all7Bit(m.partEdit) &&
              all7Bit(m.performanceEdit) && all7Bit(m.followUpEdit) && all7Bit(m.patterns);
    for (const auto& bank : m.programs) ok = ok && all7Bit(bank);
    for (const auto& bank : m.performances) ok = ok && all7Bit(bank);
    for (const auto& bank : m.followUps) ok = ok && all7Bit(bank);
    return ok;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    synthsim::SplitResult split = synthsim::splitSysEx(data, size);
    size_t kept = 0;
    for (const synthsim::Bytes& m : split.messages) {
        if (m.size() < 2 || m.front() != 0xF0 || m.back() != 0xF7) std::abort();
        if (!synthsim::dataBytesAre7Bit(m)) std::abort(); // a status byte breaks a message off
        kept += m.size();
    }
    if (kept + split.skippedBytes != size) std::abort();

    // One synthesizer for the process, back at power-on for every input.
    synthsim::Options o;
    o.deviceId = size ? data[0] & 15 : 9;
    o.model = size > 1 && (data[1] & 1) ? 0x21 : 0x20;
    static synthsim::Synth synth(o);
    synth.reset(o);
    std::vector<std::string> notes;
    const int loaded = synth.load(split.messages, notes);

    // The same bytes as one delivery of the MIDI input, cut into messages as the input does,
    // and whole as one message, which the input never makes but callers of receive may.
    const std::vector<synthsim::Bytes> input = synthsim::splitMidiInput(data, size);
    size_t inputBytes = 0;
    for (const synthsim::Bytes& m : input) {
        if (m.empty()) std::abort();
        inputBytes += m.size();
        synth.receive(m, 0);
    }
    if (inputBytes != size) std::abort();
    synth.receive(synthsim::Bytes(data, data + size), 0);
    const synthsim::Counters c = synth.counters();
    if (loaded == 0 && c.stores == 0 && c.paramsApplied == 0) return 0;
    if (synth.options().deviceId < 0 || synth.options().deviceId > 15) std::abort();
    static synthsim::SynthMemory mem;
    synth.copyMemory(mem);
    if (!memoryIs7Bit(mem)) std::abort();
    return 0;
}
