// Raw SysEx files: a run of complete messages, F0 to F7, nothing in between.
#pragma once

#include "protocol.h"

#include <string>
#include <vector>

namespace synthsim {

// Longest single message accepted; longer runs are skipped as damaged.
constexpr size_t kMaxSysExLength = 65536;
// Largest file read.
constexpr size_t kMaxSyxFileSize = size_t(64) << 20;

struct SplitResult {
    std::vector<Bytes> messages;
    size_t skippedBytes = 0; // bytes outside any complete message, or in damaged ones
};

// Cuts a byte run into complete SysEx messages. A message broken by another status byte
// (other than real-time bytes, which are dropped), an unterminated tail or one longer than
// kMaxSysExLength is skipped and counted.
SplitResult splitSysEx(const uint8_t* data, size_t size);

// Reads and splits a file; false (with a reason) when it cannot be read or is too large.
bool readSyxFile(const std::string& path, SplitResult& out, std::string& error);

// Writes the messages back to back through a temporary file renamed over the target.
bool writeSyxFile(const std::string& path, const std::vector<Bytes>& messages, std::string& error);

} // namespace synthsim
