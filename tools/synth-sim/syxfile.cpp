#include "syxfile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace synthsim {

SplitResult splitSysEx(const uint8_t* data, size_t size)
{
    SplitResult r;
    Bytes cur;
    bool inside = false;
    for (size_t i = 0; i < size; ++i) {
        const uint8_t b = data[i];
        if (!inside) {
            if (b == kSysExStart) {
                inside = true;
                cur.assign(1, b);
            } else {
                ++r.skippedBytes;
            }
            continue;
        }
        if (b >= 0xF8) { // real-time bytes may sit inside a message on a cable
            ++r.skippedBytes;
            continue;
        }
        if (b == kSysExEnd) {
            cur.push_back(b);
            r.messages.push_back(std::move(cur));
            cur.clear();
            inside = false;
            continue;
        }
        if (b & 0x80) { // a status byte breaks the message off
            r.skippedBytes += cur.size();
            cur.clear();
            if (b == kSysExStart) {
                cur.assign(1, b);
            } else {
                inside = false;
                ++r.skippedBytes;
            }
            continue;
        }
        if (cur.size() >= kMaxSysExLength) {
            r.skippedBytes += cur.size() + 1;
            cur.clear();
            inside = false;
            continue;
        }
        cur.push_back(b);
    }
    if (inside) r.skippedBytes += cur.size();
    return r;
}

bool readSyxFile(const std::string& path, SplitResult& out, std::string& error)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    Bytes data;
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
        if (data.size() + n > kMaxSyxFileSize) {
            std::fclose(f);
            error = path + ": larger than " + std::to_string(kMaxSyxFileSize) + " bytes";
            return false;
        }
        data.insert(data.end(), buf, buf + n);
    }
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) {
        error = path + ": read error";
        return false;
    }
    out = splitSysEx(data.data(), data.size());
    return true;
}

bool writeSyxFile(const std::string& path, const std::vector<Bytes>& messages, std::string& error)
{
    const std::string tmp = path + ".tmp" + std::to_string(::getpid());
    FILE* f = std::fopen(tmp.c_str(), "wb");
    if (!f) {
        error = tmp + ": " + std::strerror(errno);
        return false;
    }
    bool ok = true;
    for (const Bytes& m : messages)
        if (!m.empty() && std::fwrite(m.data(), 1, m.size(), f) != m.size()) ok = false;
    if (std::fflush(f) != 0 || ::fsync(fileno(f)) != 0) ok = false;
    if (std::fclose(f) != 0) ok = false;
    if (!ok || std::rename(tmp.c_str(), path.c_str()) != 0) {
        error = path + ": write failed";
        std::remove(tmp.c_str());
        return false;
    }
    return true;
}

} // namespace synthsim
