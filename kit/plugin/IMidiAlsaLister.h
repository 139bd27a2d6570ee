#pragma once
// The follower's lister on ALSA: the port names as the MIDI library lists them, and the
// sequencer's own word on clients and ports that start or exit and on subscriptions, read from
// its announce port through a port of the lister's own that no list shows.
#include <memory>
#include <string>
#include <vector>

#include "kit/plugin/IMidiLister.h"

// The part of the ALSA sequencer the lister uses, so that it can run where none exists.
class IMidiAlsaSeq
{
public:
    // What Next answers besides an event type of the sequencer's (SND_SEQ_EVENT_*).
    static const int kNone = -1;   // the time ran out, or Interrupt
    static const int kLost = -2;   // events were lost: anything may have changed
    static const int kFailed = -3; // the sequencer answers no more
    // A client on the system's sequencer with its port subscribed to the announce port; null
    // when there is no sequencer.
    static std::unique_ptr<IMidiAlsaSeq> Open(const char* clientName);
    virtual ~IMidiAlsaSeq() = default;
    // Waits up to ms (for ever when negative) for the next event the announce port passes on.
    virtual int Next(int ms) = 0;
    // Any thread: a Next under way, or the next one, returns kNone at once.
    virtual void Interrupt() = 0;
    // The names ("client:port") of the ports subscribed to the port client:port: those that read
    // from it when reading, those that write to it else. False when the sequencer cannot say.
    virtual bool Subscribers(int client, int port, bool reading, std::vector<std::string>* names) = 0;
};

// names lists the ports (the library's own listing); seq, when there is one, tells of changes
// on a thread of the lister's and gives each port's subscribers.
std::unique_ptr<IMidiPortLister> IMakeAlsaLister(std::unique_ptr<IMidiPortLister> names,
                                                 std::unique_ptr<IMidiAlsaSeq> seq, IMidiPortLister::Wake wake,
                                                 void* data);
