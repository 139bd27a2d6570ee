#pragma once
// The diagnostic log: one time-stamped line per event in the data folder's log file.
#include <string>

struct IMidiMsg;
class QOR;

class DebuggerOutput {
public:
    // Appends "<local time>\t <text>\n" to the file at path (created when missing) and echoes
    // the text to standard output. Nothing is written or echoed when the file cannot be opened.
    static void printDebugInfo(std::string path, std::string text);

    // The log switch: true when a file exists at path, which is then emptied; otherwise prints
    // "Unable to open file" (no line end) and returns false. The user turns logging on by
    // creating the file before the plug-in loads.
    static bool openDebugFile(std::string path);

    // Prints "Plug-in MIDI Out (sysex | <length> bytes | F0 <hex bytes>F7)" to standard output,
    // each byte handed over as two lowercase digits and a blank.
    static void logSysExOutMessageByte(const unsigned char* data, int length);
    // True when msg repeats the last incoming message the controller remembers; otherwise it is
    // remembered and printed after "Plug-in MIDI In  ".
    static bool compareMIDIdata(QOR* plug, IMidiMsg msg);
};
