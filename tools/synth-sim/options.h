// Settings of one simulated synthesizer: who it is, how it answers, how it misbehaves.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace synthsim {

// What an edit-buffer request (type 08, which names no part) is answered with.
enum class EditReply {
    Follow,      // the kind last selected by program change: a part's program, or the performance
    Program,     // always the program dump of the selected part
    Performance, // always the performance dump (and its follow-up with model 21)
    Both,        // the performance messages, then the program dump of the selected part
    AllParts,    // the program dumps of all eight parts, part 1 first
    // The order of a whole send: the eight parts' programs, then the performance messages.
    AllPartsThenPerformance,
    ProgramThenPerformance, // the selected part's program dump, then the performance messages
};

// Form of the answer to a stored-entry request (type 13).
enum class StoredForm {
    Stored, // the stored form with bank code and slot: 297 bytes (programs), 383 + 27 (performances)
    Dump,   // the edit-buffer dump form: 296 bytes for part 0, 381 + 25
};

struct Options {
    // 0..15, also the global channel. Not the templates' 15, so that an id the editor failed to
    // adopt shows; not 0..7, the channels of the power-on parts.
    int deviceId = 9;
    uint8_t model = 0x20;    // 0x20 or 0x21; 0x21 also sends the performance follow-ups
    bool strictModel = false; // ignore messages whose model byte is not ours
    EditReply editReply = EditReply::Follow;
    StoredForm storedProgramReply = StoredForm::Stored;
    StoredForm storedPerformanceReply = StoredForm::Stored;

    // Misbehaviour.
    bool silent = false;          // answer nothing
    int replyDelayMs = 0;         // answer this late
    int answerOnTry = 1;          // answer a request only from its n-th arrival on
    int truncateBy = 0;           // cut this many bytes before the F7 of every answer
    int overlongBy = 0;           // add this many 00 bytes before the F7 of every answer
    bool foreignSysEx = false;    // send a foreign SysEx message before every answer
    bool globalsReversed = false; // answer the enquiry with global settings 2 first
    bool ignoreEnquiry = false;   // leave the device-id enquiry unanswered
    bool throttle = false;        // pace all output at 3125 bytes per second

    // Process.
    std::string clientName = "synth-sim";
    std::string recordPath;
    std::vector<std::string> loadFiles;
    std::string scriptPath;
    std::string dumpOnExit;
    bool help = false;
};

// Reads a whole decimal (or 0x hex) number within lo..hi.
bool parseNumber(const std::string& s, long lo, long hi, long& out);

// Applies one option by its long name (without "--"); value is empty for switches.
// False with a reason for an unknown name or a value out of range.
bool applyOption(Options& o, const std::string& name, const std::string& value, std::string& error);

// True when the named option takes a value.
bool optionTakesValue(const std::string& name);

// Parses argv[1..]; false with a reason on the first bad argument.
bool parseCommandLine(Options& o, int argc, const char* const* argv, std::string& error);

// Usage text with every option and its default.
std::string usageText();

} // namespace synthsim
