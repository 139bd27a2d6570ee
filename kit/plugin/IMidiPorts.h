#pragma once
// The external MIDI port layer: one client per direction over a MIDI system, and which systems
// the two clients try. The port operations themselves are members of IPluginBase
// (IMidiPorts.cpp); JACK is reached through a client of our own (IMidiJack.cpp), every other
// system through the MIDI library (IMidiRtClient.cpp).
#include <RtMidi.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Entry 0 of both device lists; choosing it means "no port".
#define QOR_SELECT_MIDI_DEVICE "Select MIDI Device"

// A project keeps this many characters of a device name.
const size_t kIMidiStoredNameLength = 32;

// One client of a MIDI system with at most one port open, connected to one port of the system.
// Failures are logged and answered by the result; nothing is thrown. The output's operations
// run under the caller's lock; the input's on the host's main thread, with or without the plug-in
// mutex. An input delivery takes that mutex first of all and gives up waiting for it once its port
// is closing, so a close may wait for the delivery thread whoever holds the mutex.
class IMidiClient {
public:
    using Callback = void (*)(double deltaTime, std::vector<unsigned char>* message, void* userData);
    virtual ~IMidiClient() = default;
    // The ports this client can connect to, numbered from 0 in the system's order.
    virtual unsigned PortCount() = 0;
    virtual std::string PortName(unsigned number) = 0; // empty when the system cannot give it
    // Opens a port of our own called portName and connects it to port number.
    virtual bool OpenPort(unsigned number, const char* portName) = 0;
    // When this returns, nothing of the port is used any more by the system's threads: a
    // delivery under way has ended.
    virtual void ClosePort() = 0;
    virtual bool IsPortOpen() = 0;
    // The open port still reaches the port it was connected to. Any thread, no lock and no call
    // of the system, while another thread opens or closes. A client that cannot tell answers
    // true; the port layer then looks for the name instead.
    virtual bool IsConnected() { return true; }
    // The system gave up on this client (an activation that failed): it opens no port again, and
    // the port layer makes a fresh one in its place.
    virtual bool Spent() const { return false; }
    // hook(data) runs on a thread of the system's whenever ports come, go or connect: it may only
    // wake someone. Systems that do not tell ignore it.
    virtual void SetPortsChangedHook(void (*hook)(void*), void* data) { (void)hook, (void)data; }
    // Output: takes one whole message for the open port; false when it was not taken. A client
    // that cannot take it now waits a little for room only when mayWait.
    virtual bool Send(const unsigned char* data, size_t size, bool mayWait) = 0;
    // Output: the largest message the system carries in one piece.
    virtual size_t LargestMessage() const = 0;
    // Input: every message from the open port goes to callback, on a thread of the client's;
    // SysEx passes, timing clock, time code and active sensing do not.
    virtual bool SetCallback(Callback callback, void* userData) = 0;
    // Input, in place of SetCallback: each message is stamped as it arrives, on the system's
    // thread, with what *serial holds then (dropped there when 0), and reaches callback with that
    // stamp. Set while no port is open. False from a client that hands messages on unstamped.
    using StampedCallback = void (*)(uint32_t serial, double deltaTime, std::vector<unsigned char>* message,
                                     void* userData);
    virtual bool SetStampedCallback(StampedCallback callback, const std::atomic<uint32_t>* serial, void* userData)
    {
        (void)callback, (void)serial, (void)userData;
        return false;
    }
};

// The MIDI systems the port layer can use: ALSA through the MIDI library, JACK through our own
// client, and JACK through the MIDI library (for trying the library's path where no ALSA
// sequencer exists).
enum class IMidiSystem { kAlsa, kJack, kLibraryJack };

// The systems to try, in order, for a new client. `forced` is the value of QOR_MIDI_API:
// "alsa", "jack" or "rtjack" (any case) keeps only that one; null, empty or anything else gives
// ALSA, then JACK. A system of the MIDI library is left out when the library was built without it.
std::vector<IMidiSystem> IMidiPortApis(const char* forced);

// A new client of the system, or null when none can be made there or the system does not
// answer. An output client of the MIDI library sends through an IMidiHandOver.
IMidiClient* IMakeMidiClient(IMidiSystem system, bool input, const char* clientName);
IMidiClient* IMakeRtMidiClient(RtMidi::Api api, bool input, const char* clientName);
IMidiClient* IMakeJackMidiClient(bool input, const char* clientName);

// The list index a stored device name stands for: the entry of that name; else, when the name
// has the length a project keeps, the one entry that begins with it. -1 when none, and why then
// says what was found.
int IMidiMatchStoredName(const std::vector<std::string>& names, const char* stored, std::string* why);

// The list index of the port a followed choice stands for now: as IMidiMatchStoredName, else the
// one entry that has the same name once the client and port numbers that end an ALSA name
// (" 24:0") are left out of both, as a device that comes back may get other numbers. Only
// entries not in seen count there: seen holds the ports listed beside the chosen one while it
// was there, so a twin that stayed is never taken for it. -1 when none, and why then says what
// was found.
int IMidiMatchFollowedName(const std::vector<std::string>& names, const std::string& chosen,
                           const std::vector<std::string>& seen, std::string* why);
