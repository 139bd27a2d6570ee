#pragma once
// Reading back what the bank edit menu of the bundle in the stand-in host wrote: the messages of
// a raw bank file, their bodies, and the status lines the host prints.
#include "host_script_support.h"
#include "support/bankgen.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace bankedithost
{

// The SysEx messages of a raw file, each from F0 to F7.
inline std::vector<bankgen::Bytes> messagesOfRaw(const bankgen::Bytes& file)
{
    std::vector<bankgen::Bytes> out;
    for (size_t at = 0; at < file.size(); ++at) {
        if (file[at] != 0xF0) continue;
        size_t end = at;
        while (end < file.size() && file[end] != 0xF7) ++end;
        if (end == file.size()) break;
        out.emplace_back(file.begin() + long(at), file.begin() + long(end) + 1);
        at = end;
    }
    return out;
}

// Bytes 10 on: the name and the program, whatever the slot and type bytes say.
inline bankgen::Bytes body(const bankgen::Bytes& m)
{
    return m.size() > 10 ? bankgen::Bytes(m.begin() + 10, m.end()) : bankgen::Bytes();
}

// The status lines the host prints, polled until text shows or the wait is over; asked counts
// the host's "texts" results so far.
inline bool statusShows(FILE* host, const std::string& out, const std::string& text, size_t& asked, int seconds)
{
    for (int i = 0; i < seconds * 5; ++i) {
        hostscript::send(host, "tick\ntexts\n");
        if (hostscript::printed(out, "texts: ", ++asked).find(text) != std::string::npos) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return false;
}

} // namespace bankedithost
