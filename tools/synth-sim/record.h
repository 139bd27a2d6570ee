// The record of every message in and out: one line each, "<seconds> <in|out> <hex> # <note>",
// seconds counted from the start of the session, so that tests assert byte-exact.
#pragma once

#include "protocol.h"

#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>

namespace synthsim {

class Recorder {
public:
    Recorder();
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // Without a file the record is kept only as counts.
    bool open(const std::string& path, std::string& error);
    double now() const;
    // Seconds of the record for an instant of the steady clock.
    double at(std::chrono::steady_clock::time_point t) const;
    void write(double time, const char* direction, const Bytes& bytes, const std::string& note);
    long lines() const;

private:
    std::chrono::steady_clock::time_point start_;
    mutable std::mutex lock_;
    FILE* file_ = nullptr;
    long lines_ = 0;
};

} // namespace synthsim
