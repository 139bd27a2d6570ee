#pragma once
// The port lists as the follower sees them: clients of its own that never open a port of the
// MIDI system's kind for others to see, used on its thread alone. The clients that carry the
// chosen ports belong to the threads that open, close and send through them, and the MIDI
// library's objects may not be shared across threads.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "kit/plugin/IMidiPorts.h"

class IMidiPortLister
{
public:
    using Wake = void (*)(void*);
    // Makes no client yet: the first look does, and a look after the system came back again.
    // From then on, wake(data) runs whenever the system tells of ports or clients that come or
    // go, or of connections made or broken, on a thread of the system's or of the lister's own:
    // it may only wake someone.
    static std::unique_ptr<IMidiPortLister> Make(IMidiSystem system, Wake wake, void* data);
    virtual ~IMidiPortLister() = default;
    // The ports an input (input) or an output of the system could connect to, in the system's
    // order, as the port layer's own client lists them. False when the system could not say.
    virtual bool List(bool input, std::vector<std::string>* names) = 0;
    // The system tells this lister of ports that come and go; without that the follower looks
    // on its own.
    virtual bool Tells() const = 0;
    // The full names ("client:port") of the ports connected to the listed port called name, one
    // that an input (input) or an output connects to. False when the system cannot say: a gone
    // port has none.
    virtual bool Connections(bool input, const std::string& name, std::vector<std::string>* peers)
    {
        (void)input, (void)name, (void)peers;
        return false;
    }
    // Which program holds the listed port called name: another number for a program that started
    // again under the same name. 0 when the system cannot say, and while the port, since a link
    // of it was undone, went or came back and took no link again: the link went with the port.
    virtual uint64_t Owner(const std::string& name)
    {
        (void)name;
        return 0;
    }
    // How often the port called name was unregistered or registered since the lister's client was made: one
    // that went and came back under the same program is told from one that dropped a connection.
    // 0 when the system does not say.
    virtual uint64_t Departures(const std::string& name)
    {
        (void)name;
        return 0;
    }
};

// A name list without the ports of the clients called ours ("client:port ...").
void IMidiDropOwnPorts(std::vector<std::string>* names, const std::string* ours, size_t count);
// Whether one of peers is a port of the client called ours.
bool IMidiHasPortOf(const std::vector<std::string>& peers, const std::string& ours);
