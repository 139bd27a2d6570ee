// Commands that script the synthesizer, from a file or from standard input, one per line:
//   cc CH NUM VAL          control change (channel 0..15)
//   nrpn CH MSB LSB VAL    CC 99, CC 98, CC 6 on the channel
//   pc CH PROG             program change
//   raw HEX...             any bytes as one message, sent as they are
//   param NAME PART VALUE  a parameter of the chart moved on the panel (PART 1..8, 0 for a global
//                          setting): sent as the chart's control change, NRPN or parameter SysEx
// cc, nrpn, pc and param stand for the synthesizer's own front panel: it follows them itself (bank,
// program, performance and part selection) as well as sending them; raw bytes only leave.
//   wait MS                pause the script
//   dump DIR               write memory as .syx files
//   stats                  print the counters
//   option NAME [VALUE]    change a setting, as on the command line without "--"
//   quit                   end the session
// Blank lines and lines starting with '#' do nothing.
#pragma once

#include "protocol.h"

#include <string>
#include <vector>

namespace synthsim {

struct Command {
    enum Kind { Nothing, Send, Wait, Dump, Stats, Option, Quit, Param };
    Kind kind = Nothing;
    std::vector<Bytes> messages; // Send
    bool fromPanel = false;      // Send: the synthesizer acts on the messages itself too
    int waitMs = 0;              // Wait
    std::string arg;             // Dump folder, Option name
    std::string value;           // Option value
    int part = 0, number = 0;    // Param part and value (its name in arg)
};

bool parseCommand(const std::string& line, Command& out, std::string& error);

} // namespace synthsim
