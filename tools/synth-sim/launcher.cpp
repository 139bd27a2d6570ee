#include "launcher.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace synthsim {

SimProcess::~SimProcess() { stop(); }

bool SimProcess::start(const std::string& exe, const std::vector<std::string>& args, std::string& error,
                       int timeoutMs)
{
    if (pid_ > 0) {
        error = "already running";
        return false;
    }
    int in[2], out[2];
    if (::pipe(in) != 0) {
        error = "no pipe";
        return false;
    }
    if (::pipe(out) != 0) {
        ::close(in[0]);
        ::close(in[1]);
        error = "no pipe";
        return false;
    }
    // Writing to a program that has died must not end the caller.
    std::signal(SIGPIPE, SIG_IGN);
    std::vector<std::string> all = {exe};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    const pid_t parent = ::getpid();
    pid_ = ::fork();
    if (pid_ < 0) {
        error = "fork failed";
        ::close(in[0]); ::close(in[1]); ::close(out[0]); ::close(out[1]);
        return false;
    }
    if (pid_ == 0) {
        // A caller that dies (a crashed test) must not leave its synthesizer running: that
        // would also hold the caller's error output open and keep a test runner waiting.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent) ::_exit(127);
        ::dup2(in[0], 0);
        ::dup2(out[1], 1);
        ::close(in[0]); ::close(in[1]); ::close(out[0]); ::close(out[1]);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    toSim_ = in[1];
    fromSim_ = out[0];
    std::string line;
    if (!readLine(line, timeoutMs) || line.rfind("ready ", 0) != 0) {
        error = "no ready line from " + exe + (line.empty() ? "" : ": " + line);
        stop();
        return false;
    }
    std::istringstream words(line.substr(6));
    words >> inputPort_ >> outputPort_;
    return true;
}

bool SimProcess::readLine(std::string& line, int timeoutMs)
{
    using Clock = std::chrono::steady_clock;
    line.clear();
    if (fromSim_ < 0) return false;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const size_t nl = buffer_.find('\n');
        if (nl != std::string::npos) {
            line = buffer_.substr(0, nl);
            buffer_.erase(0, nl + 1);
            return true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return false;
        pollfd p{fromSim_, POLLIN, 0};
        if (::poll(&p, 1, int(left)) <= 0) continue;
        char buf[4096];
        const ssize_t n = ::read(fromSim_, buf, sizeof buf);
        if (n <= 0) return false;
        buffer_.append(buf, size_t(n));
    }
}

void SimProcess::command(const std::string& line)
{
    if (toSim_ < 0) return;
    const std::string l = line + "\n";
    // A program that has gone away leaves a broken pipe (ignored since start); stop() sees it.
    const ssize_t w = ::write(toSim_, l.data(), l.size());
    (void)w;
}

int SimProcess::stop()
{
    if (pid_ <= 0) return 0;
    command("quit");
    int status = 0;
    for (int i = 0; i < 100; ++i) {
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            closePipes();
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    closePipes();
    return -1;
}

void SimProcess::closePipes()
{
    if (toSim_ >= 0) ::close(toSim_);
    if (fromSim_ >= 0) ::close(fromSim_);
    toSim_ = fromSim_ = -1;
    buffer_.clear();
}

std::vector<RecordLine> readRecordFile(const std::string& path)
{
    std::vector<RecordLine> out;
    std::ifstream in(path);
    std::string l;
    while (std::getline(in, l)) {
        // A last line without its newline is still being written: leave it for the next read.
        if (in.eof()) break;
        RecordLine r;
        const size_t hash = l.find(" # ");
        if (hash != std::string::npos) r.note = l.substr(hash + 3);
        std::istringstream s(l.substr(0, hash));
        if (!(s >> r.time >> r.direction)) continue;
        std::string tok;
        bool ok = true;
        while (ok && s >> tok) {
            if (tok == "-") continue;
            char* end = nullptr;
            const unsigned long v = std::strtoul(tok.c_str(), &end, 16);
            if (*end != '\0' || v > 0xFF || tok.size() != 2) ok = false;
            else r.bytes.push_back(uint8_t(v));
        }
        if (ok) out.push_back(std::move(r));
    }
    return out;
}

} // namespace synthsim
