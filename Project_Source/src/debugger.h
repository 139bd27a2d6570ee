#pragma once
// The diagnostic log: one time-stamped line per event in the data folder's log file.
#include <string>

class DebuggerOutput {
public:
    // Appends "<local time>\t <text>\n" to the file at path (created when missing) and echoes
    // the text to standard output. Nothing is written or echoed when the file cannot be opened.
    static void printDebugInfo(std::string path, std::string text);

    // The log switch: true when a file exists at path, which is then emptied; otherwise prints
    // "Unable to open file" (no line end) and returns false. The user turns logging on by
    // creating the file before the plug-in loads.
    static bool openDebugFile(std::string path);
};
