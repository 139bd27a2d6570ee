#include "record.h"

#include <cerrno>
#include <cstring>

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
    std::fprintf(file_, "%.6f %s %s", time, direction, bytes.empty() ? "-" : toHex(bytes).c_str());
    if (!note.empty()) std::fprintf(file_, " # %s", note.c_str());
    std::fputc('\n', file_);
    // Tests read the record while the session runs.
    std::fflush(file_);
}

long Recorder::lines() const
{
    std::lock_guard<std::mutex> g(lock_);
    return lines_;
}

} // namespace synthsim
