// synth-sim: a synthesizer of the family on the far end of a JACK MIDI port, for testing the
// editor end to end. See usageText() for the options and commands.
#include "midi_ports.h"
#include "session.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <poll.h>
#include <string>
#include <unistd.h>

namespace {

std::atomic<bool> g_stop{false};

void onSignal(int) { g_stop = true; }

// Reads standard input line by line without blocking the stop signal for long.
bool readLine(std::string& line, bool& eof)
{
    line.clear();
    for (;;) {
        if (g_stop) return false;
        pollfd p{0, POLLIN, 0};
        const int r = ::poll(&p, 1, 200);
        if (r <= 0) continue;
        char c;
        const ssize_t n = ::read(0, &c, 1);
        if (n <= 0) {
            eof = true;
            return !line.empty();
        }
        if (c == '\n') return true;
        line += c;
    }
}

} // namespace

int main(int argc, char** argv)
{
    synthsim::Options opt;
    std::string error;
    if (!synthsim::parseCommandLine(opt, argc, argv, error)) {
        std::fprintf(stderr, "synth-sim: %s\n%s", error.c_str(), synthsim::usageText().c_str());
        return 2;
    }
    if (opt.help) {
        std::fputs(synthsim::usageText().c_str(), stdout);
        return 0;
    }
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGPIPE, SIG_IGN);

    synthsim::MidiPorts ports;
    synthsim::Session session(opt, [&ports](const synthsim::Bytes& b) { ports.send(b); });
    if (!session.start(error)) {
        std::fprintf(stderr, "synth-sim: %s\n", error.c_str());
        return 1;
    }
    if (!ports.open(opt.clientName, [&session](const synthsim::Bytes& b) { session.onMessage(b); }, error)) {
        std::fprintf(stderr, "synth-sim: cannot open JACK MIDI ports: %s\n", error.c_str());
        return 1;
    }
    std::cout << "ready " << opt.clientName << ":in " << opt.clientName << "-out:out" << std::endl;

    bool running = true;
    if (!opt.scriptPath.empty()) {
        std::ifstream script(opt.scriptPath);
        if (!script) std::cout << "error cannot read " << opt.scriptPath << std::endl;
        std::string line;
        while (running && !g_stop && std::getline(script, line))
            running = session.runCommand(line, std::cout);
    }
    bool eof = false;
    std::string line;
    while (running && !g_stop) {
        if (!eof) {
            if (readLine(line, eof)) running = session.runCommand(line, std::cout);
        } else {
            // Without commands the synthesizer runs until it is stopped.
            ::usleep(100000);
        }
    }
    // The output thread sends through the ports: it ends first, so that no send meets a
    // port being closed. Input arriving meanwhile finds the queue stopped and posts nothing.
    session.output().stop();
    ports.close();
    if (!opt.dumpOnExit.empty() && !session.synth().dumpMemory(opt.dumpOnExit, error)) {
        std::fprintf(stderr, "synth-sim: %s\n", error.c_str());
        return 1;
    }
    std::cout << session.statsLine() << std::endl;
    return 0;
}
