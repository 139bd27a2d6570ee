#include "options.h"

#include <cerrno>
#include <cstdlib>

namespace synthsim {

namespace {

const char* const kValueOptions[] = {
    "device-id", "model", "edit-reply", "stored-program-reply", "stored-performance-reply",
    "reply-delay-ms", "answer-on-try", "truncate", "overlong", "name", "record", "load",
    "script", "dump-on-exit",
};

} // namespace

bool parseNumber(const std::string& s, long lo, long hi, long& out)
{
    if (s.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const long v = std::strtol(s.c_str(), &end, 0);
    if (errno != 0 || end == s.c_str() || *end != '\0' || v < lo || v > hi) return false;
    out = v;
    return true;
}

bool optionTakesValue(const std::string& name)
{
    for (const char* v : kValueOptions)
        if (name == v) return true;
    return false;
}

bool applyOption(Options& o, const std::string& name, const std::string& value, std::string& error)
{
    auto range = [&](int lo, int hi, int& out) {
        long v = 0;
        if (parseNumber(value, lo, hi, v)) {
            out = int(v);
            return true;
        }
        error = "--" + name + " needs a number from " + std::to_string(lo) + " to " +
                std::to_string(hi) + ", not \"" + value + "\"";
        return false;
    };
    if (name == "device-id") return range(0, 15, o.deviceId);
    if (name == "model") {
        if (value == "20" || value == "0x20") o.model = 0x20;
        else if (value == "21" || value == "0x21") o.model = 0x21;
        else {
            error = "--model is 20 or 21 (hex), not \"" + value + "\"";
            return false;
        }
        return true;
    }
    if (name == "edit-reply") {
        if (value == "follow") o.editReply = EditReply::Follow;
        else if (value == "program") o.editReply = EditReply::Program;
        else if (value == "performance") o.editReply = EditReply::Performance;
        else if (value == "both") o.editReply = EditReply::Both;
        else if (value == "parts") o.editReply = EditReply::AllParts;
        else if (value == "parts-performance") o.editReply = EditReply::AllPartsThenPerformance;
        else if (value == "program-performance") o.editReply = EditReply::ProgramThenPerformance;
        else {
            error = "--edit-reply is follow, program, performance, both, parts, parts-performance or "
                    "program-performance";
            return false;
        }
        return true;
    }
    if (name == "stored-program-reply" || name == "stored-performance-reply") {
        StoredForm& f = name == "stored-program-reply" ? o.storedProgramReply : o.storedPerformanceReply;
        if (value == "stored") f = StoredForm::Stored;
        else if (value == "dump") f = StoredForm::Dump;
        else {
            error = "--" + name + " is stored or dump";
            return false;
        }
        return true;
    }
    if (name == "reply-delay-ms") return range(0, 600000, o.replyDelayMs);
    if (name == "answer-on-try") return range(1, 1000000, o.answerOnTry);
    if (name == "truncate") return range(0, 100000, o.truncateBy);
    if (name == "overlong") return range(0, 100000, o.overlongBy);
    // Switches: on by themselves, or set by "1"/"on" and "0"/"off".
    auto flag = [&](bool& out) {
        if (value.empty() || value == "1" || value == "on") out = true;
        else if (value == "0" || value == "off") out = false;
        else {
            error = "--" + name + " is on or off, not \"" + value + "\"";
            return false;
        }
        return true;
    };
    if (name == "strict-model") return flag(o.strictModel);
    if (name == "silent") return flag(o.silent);
    if (name == "foreign-sysex") return flag(o.foreignSysEx);
    if (name == "globals-reversed") return flag(o.globalsReversed);
    if (name == "ignore-enquiry") return flag(o.ignoreEnquiry);
    if (name == "throttle") return flag(o.throttle);
    if (name == "help") return flag(o.help);
    if (name == "name") {
        if (value.empty() || value.size() > 40 || value.find(':') != std::string::npos) {
            error = "--name needs 1 to 40 characters without ':'";
            return false;
        }
        o.clientName = value;
        return true;
    }
    auto path = [&](std::string& out) {
        if (value.empty()) {
            error = "--" + name + " needs a path";
            return false;
        }
        out = value;
        return true;
    };
    if (name == "record") return path(o.recordPath);
    if (name == "script") return path(o.scriptPath);
    if (name == "dump-on-exit") return path(o.dumpOnExit);
    if (name == "load") {
        std::string p;
        if (!path(p)) return false;
        o.loadFiles.push_back(p);
        return true;
    }
    error = "unknown option --" + name;
    return false;
}

bool parseCommandLine(Options& o, int argc, const char* const* argv, std::string& error)
{
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg.rfind("--", 0) != 0) {
            error = "unexpected argument \"" + arg + "\"";
            return false;
        }
        arg = arg.substr(2);
        std::string value;
        const size_t eq = arg.find('=');
        if (eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
        } else if (optionTakesValue(arg)) {
            if (i + 1 >= argc) {
                error = "--" + arg + " needs a value";
                return false;
            }
            value = argv[++i];
        }
        if (!applyOption(o, arg, value, error)) return false;
    }
    return true;
}

std::string usageText()
{
    return
        "synth-sim: a synthesizer on the far end of a JACK MIDI port\n"
        "  --name NAME                 JACK client name (synth-sim); ports NAME:in and NAME-out:out\n"
        "  --device-id N               SysEx device id and global channel, 0..15 (9)\n"
        "  --model 20|21               model byte; 21 also sends performance follow-ups (20)\n"
        "  --strict-model              ignore messages carrying the other model byte\n"
        "  --edit-reply MODE           answer to an edit-buffer request (follow):\n"
        "                              follow: the kind last chosen by program change (a part's\n"
        "                              program, part 1 at power-on; or the performance)\n"
        "                              program | performance | both (performance, then program)\n"
        "                              | parts (the program dumps of all eight parts)\n"
        "                              | parts-performance (those eight, then the performance)\n"
        "                              | program-performance (program, then the performance)\n"
        "  --stored-program-reply F    stored: 297-byte type 02 with bank code and slot (default)\n"
        "                              dump: 296-byte type 00 for part 1\n"
        "  --stored-performance-reply F stored: 383-byte type 07 (+ 27-byte 1C) (default)\n"
        "                              dump: 381-byte type 05 (+ 25-byte 1B)\n"
        "  --load FILE.syx             seed memory from a SysEx file (repeatable)\n"
        "  --record FILE               write every message in and out (time, direction, hex)\n"
        "  --script FILE               run commands from FILE after the ports are open\n"
        "  --dump-on-exit DIR          write memory as .syx files when leaving\n"
        "misbehaviour:\n"
        "  --silent                    answer nothing\n"
        "  --reply-delay-ms N          answer N ms late\n"
        "  --answer-on-try N           answer each request only from its N-th arrival on\n"
        "  --truncate N                cut N bytes before the F7 of every answer\n"
        "  --overlong N                add N zero bytes before the F7 of every answer\n"
        "  --foreign-sysex             send a foreign SysEx message before every answer\n"
        "  --globals-reversed          answer the enquiry with global settings 2 first\n"
        "  --ignore-enquiry            leave the device-id enquiry unanswered\n"
        "  --throttle                  pace output at 3125 bytes per second\n"
        "commands (stdin or --script), one per line:\n"
        "  cc CH NUM VAL | nrpn CH MSB LSB VAL | pc CH PROG | raw HEX... | wait MS\n"
        "  dump DIR | stats | option NAME [VALUE] | quit\n";
}

} // namespace synthsim
