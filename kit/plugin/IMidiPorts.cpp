// The two external MIDI ports of the plug-in base: name lists, opening and closing by name, the
// input callback and the send operations, over the MIDI library.
#include "kit/plugin/IMidiPorts.h"

#include <cctype>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "kit/plugin/IPluginBase.h"
#include "kit/plugin/Log.h"

namespace {

const char* const kOutClientName = "RtMidi Output Client";
const char* const kOutPortName = "RtMidi Output";
const char* const kInClientName = "RtMidi Input Client";
const char* const kInPortName = "RtMidi Input";
const unsigned kInQueueLimit = 100;
// The JACK interface passes each message through a 16 KB transfer buffer that also holds the
// message's length; a larger message would be dropped there without a word.
const size_t kJackLargestMessage = 16379;
// How long a JACK output client is kept after its port closed; see DeleteOutputClient.
const std::chrono::milliseconds kJackLastCycleGrace(10);

// The library's errors go to the framework log like every other framework line.
void Report(const RtMidiError& e)
{
    LogLine("MIDI: %s", e.getMessage().c_str());
}

// With an error hook installed the library reports instead of throwing: the message is logged,
// and the flag tells the caller that its last call failed.
void OnLibraryError(RtMidiError::Type type, const std::string& text, void* flag)
{
    Report(RtMidiError(text, type));
    if (flag) static_cast<std::atomic<bool>*>(flag)->store(true);
}

// Tries the interfaces in turn and keeps the first whose client can be made and reaches its
// MIDI system: JACK makes a client even with no server and only says so when asked for ports.
template <class Client, class Make>
Client* MakeClient(std::atomic<bool>* failed, Make make)
{
    for (RtMidi::Api api : IMidiPortApis(std::getenv("QOR_MIDI_API"))) {
        Client* client = nullptr;
        try {
            client = make(api);
        } catch (const RtMidiError& e) {
            Report(e);
            continue;
        } catch (const std::exception&) {
            continue;
        }
        failed->store(false);
        client->setErrorCallback(OnLibraryError, failed);
        try {
            client->getPortCount();
        } catch (const RtMidiError& e) {
            Report(e);
            failed->store(true);
        }
        if (failed->load()) {
            delete client;
            continue;
        }
        return client;
    }
    return nullptr;
}

void AppendPortNames(RtMidi* client, std::vector<std::string>* names)
{
    try {
        unsigned n = client->getPortCount();
        // A name the library cannot give stays empty so that list index = port number + 1 holds.
        for (unsigned i = 0; i < n; ++i) names->push_back(client->getPortName(i));
    } catch (const RtMidiError& e) {
        Report(e);
    }
}

void ClosePort(RtMidi* client)
{
    try {
        if (client->isPortOpen()) client->closePort();
    } catch (const RtMidiError& e) {
        Report(e);
    }
}

// The library's JACK output frees its transfer buffer before it stops the client's process
// thread. Once the port is closed every new cycle returns at once, but a cycle that began just
// before may still be reading that buffer: the client is kept a few periods so that cycle ends
// first.
void DeleteOutputClient(RtMidiOut*& client)
{
    bool jackPortWasOpen = client->getCurrentApi() == RtMidi::UNIX_JACK && client->isPortOpen();
    ClosePort(client);
    if (jackPortWasOpen) std::this_thread::sleep_for(kJackLastCycleGrace);
    delete client;
    client = nullptr;
}

int ListIndexOf(const std::vector<std::string>& names, const char* name)
{
    if (!name) return -1;
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i] == name) return int(i);
    return -1;
}

// The library's current number of the port called name. The list may be stale: the number the
// list suggests is used only while the name there is still the same.
int CurrentPortNumber(RtMidi* client, int listIndex, const std::string& name)
{
    try {
        unsigned n = client->getPortCount();
        if (listIndex >= 1 && unsigned(listIndex - 1) < n && client->getPortName(unsigned(listIndex - 1)) == name)
            return listIndex - 1;
        for (unsigned i = 0; i < n; ++i)
            if (client->getPortName(i) == name) return int(i);
    } catch (const RtMidiError& e) {
        Report(e);
    }
    return -1;
}

bool OpenPort(RtMidi* client, int number, const char* portName, std::atomic<bool>* failed)
{
    failed->store(false);
    try {
        client->openPort(unsigned(number), portName);
    } catch (const RtMidiError& e) {
        Report(e);
        failed->store(true);
    }
    if (!failed->load() && client->isPortOpen()) return true;
    ClosePort(client);
    return false;
}

// Opens the library's port for the list entry called name; port and the result become that
// list index, or 0 when no client, no such entry, the "no port" entry or a failed open.
int OpenByName(RtMidi* client, const std::vector<std::string>& names, int& port, const char* name,
               const char* portName, std::atomic<bool>* failed)
{
    int idx = port == 0 || !client ? -1 : ListIndexOf(names, name);
    port = 0;
    // An empty entry stands for a name the library could not give; it names no port.
    if (idx <= 0 || names[size_t(idx)].empty()) return 0;
    const std::string& want = names[size_t(idx)];
    // Other programs add and remove ports at any time, and the library opens by number: a
    // number is trusted only if it still names the port once that is open.
    for (int attempt = 0; attempt < 3; ++attempt) {
        int number = CurrentPortNumber(client, idx, want);
        if (number < 0 || !OpenPort(client, number, portName, failed)) continue;
        std::string opened;
        try {
            opened = client->getPortName(unsigned(number));
        } catch (const RtMidiError& e) {
            Report(e);
        }
        if (opened == want) {
            port = idx;
            return idx;
        }
        ClosePort(client);
    }
    return 0;
}

// Current port number + 1 of name, 0 for the "no port" entry, `virtualIndex` for the virtual
// port's name, -1 when absent.
int PortNumberByName(RtMidi* client, const char* name, const char* virtualName)
{
    if (!name) return -1;
    if (std::string(name) == QOR_SELECT_MIDI_DEVICE) return 0;
    if (std::string(name) == virtualName) return 1;
    if (!client) return -1;
    int n = CurrentPortNumber(client, 0, name);
    return n < 0 ? -1 : n + 1;
}

} // namespace

std::vector<RtMidi::Api> IMidiPortApis(const char* forced)
{
    std::vector<RtMidi::Api> order = {RtMidi::LINUX_ALSA, RtMidi::UNIX_JACK};
    std::string want = forced ? forced : "";
    for (char& c : want) c = char(std::tolower(static_cast<unsigned char>(c)));
    if (want == "alsa") order = {RtMidi::LINUX_ALSA};
    else if (want == "jack") order = {RtMidi::UNIX_JACK};

    std::vector<RtMidi::Api> compiled;
    RtMidi::getCompiledApi(compiled);
    std::vector<RtMidi::Api> result;
    for (RtMidi::Api api : order)
        for (RtMidi::Api c : compiled)
            if (c == api) result.push_back(api);
    return result;
}

// ---- name lists ----

std::vector<std::string>* IPluginBase::getExternalMIDIOutNames()
{
    std::lock_guard<std::mutex> lock(midiOutLock);
    if (!midiOutNames.empty()) return &midiOutNames;
    midiOutPort = 0;
    if (!midiOut)
        midiOut = MakeClient<RtMidiOut>(&midiOutFailed, [](RtMidi::Api api) { return new RtMidiOut(api, kOutClientName); });
    midiOutNames.push_back(QOR_SELECT_MIDI_DEVICE);
    if (midiOut) AppendPortNames(midiOut, &midiOutNames);
    return &midiOutNames;
}

std::vector<std::string>* IPluginBase::getExternalMIDIInNames()
{
    if (!midiInNames.empty()) return &midiInNames;
    midiInPort = 0;
    if (!midiIn) {
        midiIn = MakeClient<RtMidiIn>(&midiInFailed, [](RtMidi::Api api) {
            return new RtMidiIn(api, kInClientName, kInQueueLimit);
        });
        if (midiIn) {
            try {
                // Installed once and kept; delivery is switched by the input gate.
                midiIn->setCallback(MIDICallback, this);
                midiIn->ignoreTypes(false, true, true);
            } catch (const RtMidiError& e) {
                Report(e);
            }
        }
    }
    midiInNames.push_back(QOR_SELECT_MIDI_DEVICE);
    if (midiIn) AppendPortNames(midiIn, &midiInNames);
    return &midiInNames;
}

int IPluginBase::getExternalMIDIOutDevice(const char* name)
{
    std::lock_guard<std::mutex> lock(midiOutLock);
    return ListIndexOf(midiOutNames, name);
}

int IPluginBase::getExternalMIDIInDevice(const char* name)
{
    return ListIndexOf(midiInNames, name);
}

int IPluginBase::GetMIDIOutPortNumber(const char* name)
{
    std::lock_guard<std::mutex> lock(midiOutLock);
    return PortNumberByName(midiOut, name, "virtual output");
}

int IPluginBase::GetMIDIInPortNumber(const char* name)
{
    return PortNumberByName(midiIn, name, "virtual input");
}

// ---- opening and closing ----

int IPluginBase::setExternalMIDIOut(int& port, const char* name)
{
    std::lock_guard<std::mutex> lock(midiOutLock);
    if (midiOut) ClosePort(midiOut);
    midiOutPort = port;
    return OpenByName(midiOut, midiOutNames, port, name, kOutPortName, &midiOutFailed);
}

int IPluginBase::setExternalMIDIIn(int& port, const char* name)
{
    {
        std::lock_guard<std::mutex> gate(midiInGate);
        midiInDelivering = false;
    }
    if (midiIn) ClosePort(midiIn);
    midiInPort = port;
    int idx = OpenByName(midiIn, midiInNames, port, name, kInPortName, &midiInFailed);
    if (idx == 0) return 0;
    try {
        midiIn->cancelCallback();
        midiInFailed.store(false); // only the installing calls below decide
        midiIn->setCallback(MIDICallback, this);
        midiIn->ignoreTypes(false, true, true);
    } catch (const RtMidiError& e) {
        Report(e);
        midiInFailed.store(true);
    }
    if (midiInFailed.load()) {
        ClosePort(midiIn);
        port = 0;
        return 0;
    }
    {
        std::lock_guard<std::mutex> gate(midiInGate);
        midiInDelivering = true;
    }
    return idx;
}

bool IPluginBase::initializeVirtualOutput(std::string)
{
    std::lock_guard<std::mutex> lock(midiOutLock);
    if (midiOut) DeleteOutputClient(midiOut);
    midiOut = MakeClient<RtMidiOut>(&midiOutFailed, [](RtMidi::Api api) { return new RtMidiOut(api, kOutClientName); });
    return midiOut != nullptr;
}

void IPluginBase::CloseExternalMIDIPorts()
{
    // Input first: once the gate is shut no delivery is running or can start, so whatever a
    // delivery would touch (the output, the plug-in itself) may go.
    {
        std::lock_guard<std::mutex> gate(midiInGate);
        midiInDelivering = false;
    }
    {
        std::lock_guard<std::mutex> lock(midiOutLock);
        if (midiOut) DeleteOutputClient(midiOut);
    }
    if (midiIn) {
        ClosePort(midiIn);
        delete midiIn;
        midiIn = nullptr;
    }
}

// ---- input ----

void IPluginBase::MIDICallback(double deltaTime, std::vector<unsigned char>* message, void* userData)
{
    processMIDIInput(deltaTime, message, userData);
}

void IPluginBase::processMIDIInput(double, std::vector<unsigned char>* message, void* userData)
{
    IPluginBase* plug = static_cast<IPluginBase*>(userData);
    if (!plug || !message || message->empty() || message->size() > size_t(INT_MAX)) return;
    std::lock_guard<std::mutex> gate(plug->midiInGate);
    if (!plug->midiInDelivering) return;
    const std::vector<unsigned char>& m = *message;
    // Nothing may leave this thread by an exception: the library calls us from its own thread.
    try {
        if (m.size() <= 3) {
            IMidiMsg msg(0, m[0], m.size() > 1 ? m[1] : 0, m.size() > 2 ? m[2] : 0);
            plug->ProcessMidiMsg(&msg, true);
        } else {
            // The library keeps the bytes alive for the length of this call.
            ISysEx sysex(0, m.data(), int(m.size()));
            plug->ProcessSysEx(&sysex, true);
        }
    } catch (...) {
    }
}

// ---- output ----

bool IPluginBase::SendExternalBytes(const unsigned char* data, size_t size)
{
    // A negative count handed on as a size shows up as a huge one.
    if (!data || size == 0 || size > size_t(INT_MAX)) return false;
    std::lock_guard<std::mutex> lock(midiOutLock);
    if (!midiOut || !midiOut->isPortOpen()) return false;
    if (size > kJackLargestMessage && midiOut->getCurrentApi() == RtMidi::UNIX_JACK) {
        LogLine("MIDI output: a message of %zu bytes is more than JACK carries at once; not sent", size);
        return false;
    }
    midiOutFailed.store(false);
    try {
        midiOut->sendMessage(data, size);
    } catch (const RtMidiError& e) {
        Report(e);
        return false;
    }
    return !midiOutFailed.load();
}

bool IPluginBase::SendExternalMidiMsg(const IMidiMsg* msg)
{
    if (!msg) return false;
    unsigned char status = msg->mStatus;
    size_t count;
    if (status < 0x80) return false; // no status byte: nothing a receiver could read
    if (status < 0xF0) {
        int kind = status >> 4;
        count = kind == IMidiMsg::kProgramChange || kind == IMidiMsg::kChannelAftertouch ? 2 : 3;
    } else if (status == 0xF1 || status == 0xF3) {
        count = 2;
    } else if (status == 0xF2) {
        count = 3;
    } else if (status == 0xF0 || status == 0xF7) {
        return false; // SysEx goes through the SysEx senders
    } else {
        count = 1;
    }
    // Data bytes are 7-bit: a high bit would read as a new status at the synthesizer.
    const unsigned char bytes[3] = {status, (unsigned char)(msg->mData1 & 0x7F), (unsigned char)(msg->mData2 & 0x7F)};
    return SendExternalBytes(bytes, count);
}

bool IPluginBase::SendExternalSysex(const unsigned char* data, int size)
{
    if (!data || size <= 0) return false;
    if (data[0] == 0xF0) return SendExternalBytes(data, size_t(size));
    std::vector<unsigned char> framed;
    framed.reserve(size_t(size) + 2);
    framed.push_back(0xF0);
    framed.insert(framed.end(), data, data + size);
    framed.push_back(0xF7);
    return SendExternalBytes(framed.data(), framed.size());
}

bool IPluginBase::SendMidiMsgs(KIT_TypedBuf<IMidiMsg>* msgs)
{
    bool all = true;
    int n = msgs ? msgs->GetSize() : 0;
    for (int i = 0; i < n; ++i) all = SendMidiMsg(msgs->Get() + i) && all;
    return all;
}
