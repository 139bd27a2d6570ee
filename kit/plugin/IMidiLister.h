#pragma once
// The port lists as the follower sees them: clients of its own that never open a port, used on
// its thread alone. The clients that carry the chosen ports belong to the threads that open,
// close and send through them, and the MIDI library's objects may not be shared across threads.
#include <memory>
#include <string>
#include <vector>

#include "kit/plugin/IMidiPorts.h"

class IMidiPortLister
{
public:
    // Makes no client yet: the first look does, and a look after the system came back again.
    static std::unique_ptr<IMidiPortLister> Make(IMidiSystem system);
    virtual ~IMidiPortLister() = default;
    // The ports an input (input) or an output of the system could connect to, in the system's
    // order, as the port layer's own client lists them. False when the system could not say.
    virtual bool List(bool input, std::vector<std::string>* names) = 0;
    // The system tells an active client of ports that come and go; without that the follower
    // looks on its own.
    virtual bool Tells() const = 0;
};
