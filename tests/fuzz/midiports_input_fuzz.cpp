// Bytes from the external input port as the MIDI library hands them to the plug-in: the input is
// cut into messages (each led by a length byte) and fed to the input callback. Every message but
// timing clock, time code and active sensing must reach the plug-in unchanged, short ones as a
// short message and longer ones as one SysEx.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "plugin/midiports_test_plug.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static PortPlug* plug = [] {
        PortPlug* p = new PortPlug;
        p->SetDelivering(true);
        return p;
    }();
    plug->ClearSeen();

    size_t pos = 0;
    std::vector<std::vector<unsigned char>> sent;
    while (pos < size) {
        size_t len = data[pos++];
        if (len > size - pos) len = size - pos;
        std::vector<unsigned char> msg(data + pos, data + pos + len);
        pos += len;
        IPluginBase::MIDICallback(0.0, &msg, plug);
        const bool timing = !msg.empty() && (msg[0] == 0xF8 || msg[0] == 0xF1 || msg[0] == 0xFE);
        if (!msg.empty() && !timing) sent.push_back(msg);
    }
    // A null plug-in or message is ignored, whatever the bytes.
    std::vector<unsigned char> some(data, data + (size < 8 ? size : 8));
    IPluginBase::MIDICallback(0.0, &some, nullptr);
    IPluginBase::MIDICallback(0.0, nullptr, plug);

    std::vector<Delivered> seen = plug->Seen();
    if (seen.size() != sent.size()) std::abort();
    for (size_t i = 0; i < sent.size(); ++i) {
        const std::vector<unsigned char>& m = sent[i];
        const Delivered& d = seen[i];
        if (!d.fromExternalPort || d.offset != 0 || d.sysex != (m.size() > 3)) std::abort();
        std::vector<unsigned char> expect = m;
        if (!d.sysex) expect.resize(3, 0);
        if (std::vector<unsigned char>(d.bytes.begin(), d.bytes.end()) != expect) std::abort();
    }
    return 0;
}
