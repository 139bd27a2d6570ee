#include "record.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace synthsim {

Recorder::Recorder() : start_(std::chrono::steady_clock::now()) {}

Recorder::~Recorder()
{
    if (file_) std::fclose(file_);
}

bool Recorder::open(const std::string& path, std::string& error)
{
    FILE* f = std::fopen(path.c_str(), "w");
    if (!f) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    // Room for any usual line, so that each leaves in one write at its flush.
    std::setvbuf(f, nullptr, _IOFBF, 1 << 16);
    std::lock_guard<std::mutex> g(lock_);
    if (file_) std::fclose(file_);
    file_ = f;
    return true;
}

double Recorder::now() const { return at(std::chrono::steady_clock::now()); }

double Recorder::at(std::chrono::steady_clock::time_point t) const
{
    return std::chrono::duration<double>(t - start_).count();
}

void Recorder::write(double time, const char* direction, const Bytes& bytes, const std::string& note)
{
    std::lock_guard<std::mutex> g(lock_);
    ++lines_;
    if (!file_) return;
    // A line without bytes (a seed file loaded) shows "-" in their place.
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%.6f ", time);
    std::string line = stamp;
    line += direction;
    line += ' ';
    line += bytes.empty() ? std::string("-") : toHex(bytes);
    if (!note.empty()) line += " # " + note;
    line += '\n';
    // Tests read the record while the session runs: the whole line goes out at once, so a
    // reader sees at most one unfinished line, the last.
    std::fwrite(line.data(), 1, line.size(), file_);
    std::fflush(file_);
}

long Recorder::lines() const
{
    std::lock_guard<std::mutex> g(lock_);
    return lines_;
}

} // namespace synthsim
