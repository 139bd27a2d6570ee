#pragma once
// The bundle in the stand-in host on the private JACK server, driven by a script on its standard
// input, its result lines written to a file that the test reads back.
#include "support/tempdir.h"
#include "support/testpaths.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

namespace hostscript
{

// qor-host over the data folder dir, its output into outFile and its standard error into
// errFile (nothing kept of either when empty), on the MIDI system api (a value of QOR_MIDI_API).
inline FILE* startHost(const testsupport::TempDir& dir, const std::string& outFile, const char* api = "jack",
                       const std::string& errFile = "")
{
    const std::string& b = testsupport::binaryDir();
    const auto file = [](const std::string& path) { return "'" + (path.empty() ? "/dev/null" : path) + "'"; };
    const std::string cmd = "QOR_MIDI_API=" + std::string(api) + " QOR_DATA_FOLDER='" + dir.path + "' " + b +
                            "/tools/qor-host/qor-host --bundle " + b + "/QOR.component --script - >" + file(outFile) +
                            " 2>" + file(errFile);
    return popen(cmd.c_str(), "w");
}

// qor-host as above, its UI-size file naming outPort and inPort as the stored default devices,
// so that the plug-in opens them at its start.
inline FILE* startHostOnPorts(const testsupport::TempDir& dir, const std::string& outFile, const std::string& outPort,
                              const std::string& inPort, const char* api = "jack", const std::string& errFile = "")
{
    testsupport::writeFile(dir.file("QOR Editor UI.txt"), "a\nnormal\nyes\n" + outPort + "\n" + inPort + "\n");
    return startHost(dir, outFile, api, errFile);
}

// Script lines to the running host, at once.
inline void send(FILE* host, const std::string& lines)
{
    std::fputs(lines.c_str(), host);
    std::fflush(host);
}

// The host's render call as every host makes it: a block of 512 every 20 ms, beside the script's
// commands, until stopped (before the host is closed).
class Renderer
{
public:
    ~Renderer() { stop(); }
    void start(FILE* host)
    {
        if (mThread.joinable()) return;
        mOn = true;
        mThread = std::thread([this, host] {
            while (mOn) {
                send(host, "render 512\n");
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
    }
    void stop()
    {
        mOn = false;
        if (mThread.joinable()) mThread.join();
    }

private:
    std::atomic<bool> mOn{false};
    std::thread mThread;
};

// The last of the host's output lines that start with key, once nth of them are there; empty
// once waiting is over.
inline std::string printed(const std::string& path, const std::string& key, size_t nth = 1)
{
    for (int i = 0; i < 1000; ++i) {
        std::ifstream in(path);
        std::string line, last;
        size_t seen = 0;
        while (std::getline(in, line))
            if (line.compare(0, key.size(), key) == 0) last = line, ++seen;
        if (seen >= nth) return last;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return "";
}

// The value of the nth "getparam id" line, or -1 once waiting is over.
inline double printedParam(const std::string& path, int id, size_t nth = 1)
{
    const std::string key = "getparam " + std::to_string(id) + ": 0 value ";
    const std::string line = printed(path, key, nth);
    return line.empty() ? -1 : std::atof(line.c_str() + key.size());
}

} // namespace hostscript
