#include "debugger.h"

#include <cstdio>
#include <ctime>
#include <fstream>
#include <sys/stat.h>

#include "QOR.h"

void DebuggerOutput::printDebugInfo(std::string path, std::string text)
{
    std::ofstream out(path, std::ios::out | std::ios::app);
    if (!out.is_open()) return;

    char stamp[80];
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d.%X", &local);

    // The text counts up to its first zero character, as a C string would.
    const char* c = text.c_str();
    out << stamp << "\t " << c << "\n";
    std::printf("Build LOG: \t %s\n", c);
    out.close();
}

bool DebuggerOutput::openDebugFile(std::string path)
{
    // A folder of that name opens for reading on Linux but is no log file.
    struct stat st;
    bool isFolder = ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    std::ifstream in;
    if (!isFolder) in.open(path);
    if (!in.is_open()) {
        std::printf("Unable to open file");
        return false;
    }
    // A file that can be read but not written still turns logging on; the appends then fail
    // quietly, as every append does.
    std::ofstream truncate(path, std::ios::out | std::ios::trunc);
    truncate.close();
    in.close();
    return true;
}

void DebuggerOutput::logSysExOutMessageByte(const unsigned char* data, int length)
{
    // Built in a string of any size: a whole bank dump is a few thousand bytes.
    std::string text;
    static const char kDigits[] = "0123456789abcdef";
    for (int i = 0; data && i < length; ++i) {
        text += kDigits[data[i] >> 4];
        text += kDigits[data[i] & 0x0F];
        text += ' ';
    }
    std::printf("Plug-in MIDI Out (sysex | %i bytes | F0 %sF7)\n", length, text.c_str());
}

bool DebuggerOutput::compareMIDIdata(QOR* plug, IMidiMsg msg)
{
    const int now[3] = {msg.mStatus, msg.mData1, msg.mData2};
    bool same = true;
    for (int i = 0; i < 3; ++i) {
        if (plug->lastIncomingMessage[i].exchange(now[i]) != now[i]) same = false;
    }
    if (same) return true;
    std::printf("Plug-in MIDI In  ");
    msg.LogMsg();
    return false;
}
