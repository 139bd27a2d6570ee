#include "debugger.h"

#include <cstdio>
#include <ctime>
#include <fstream>

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
