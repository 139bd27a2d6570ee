// Arbitrary text as the synthesizer simulator's command line (one argument a line) or as its
// script (one command a line, options applied as the session applies them). Whatever is
// accepted leaves settings within their ranges.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "options.h"
#include "script.h"

namespace {

std::vector<std::string> linesOf(const uint8_t* data, size_t size)
{
    std::vector<std::string> lines(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == '\n') lines.emplace_back();
        else lines.back().push_back(char(data[i]));
    }
    return lines;
}

void checkRanges(const synthsim::Options& o)
{
    if (o.deviceId < 0 || o.deviceId > 15 || (o.model != 0x20 && o.model != 0x21) || o.replyDelayMs < 0 ||
        o.answerOnTry < 1 || o.truncateBy < 0 || o.overlongBy < 0)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > 64 * 1024) return 0;
    const std::vector<std::string> lines = linesOf(data + 1, size - 1);
    synthsim::Options options;
    std::string error;
    if (data[0] & 1) {
        for (const std::string& line : lines) {
            synthsim::Command command;
            if (!synthsim::parseCommand(line, command, error)) continue;
            if (command.kind == synthsim::Command::Option &&
                synthsim::applyOption(options, command.arg, command.value, error))
                checkRanges(options);
            if (command.kind == synthsim::Command::Send)
                for (const synthsim::Bytes& m : command.messages)
                    if (m.empty()) __builtin_trap(); // a command sends whole messages
        }
    } else {
        std::vector<const char*> argv{"synth-sim"};
        for (const std::string& line : lines) argv.push_back(line.c_str());
        if (synthsim::parseCommandLine(options, int(argv.size()), argv.data(), error)) checkRanges(options);
    }
    return 0;
}
