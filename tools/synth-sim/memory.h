// What the synthesizer remembers: global settings, the eight part edit buffers, the
// performance edit buffer with its follow-up, and the program, performance and pattern banks.
#pragma once

#include "protocol.h"

#include <array>
#include <string>
#include <vector>

namespace synthsim {

using ProgramBody = std::array<uint8_t, kProgramBody>;
using PerformanceBody = std::array<uint8_t, kPerformanceBody>;
using FollowUpBody = std::array<uint8_t, kFollowUpBody>;
using PatternBody = std::array<uint8_t, kPatternBody>;
using Global1Body = std::array<uint8_t, kGlobal1Body>;
using Global2Body = std::array<uint8_t, kGlobal2Body>;

struct SynthMemory {
    Global1Body global1{};
    Global2Body global2{};
    std::array<ProgramBody, kParts> partEdit{};
    PerformanceBody performanceEdit{};
    FollowUpBody followUpEdit{};
    std::vector<std::array<ProgramBody, kSlots>> programs;          // kProgramBanks banks
    std::vector<std::array<PerformanceBody, kSlots>> performances;  // kPerformanceBanks banks
    std::vector<std::array<FollowUpBody, kSlots>> followUps;        // one per stored performance
    std::array<PatternBody, kSlots> patterns{};

    // Power-on: every slot and edit buffer holds the neutral template, except that in every
    // performance part k listens on channel k (counted from 0) and receives program and
    // control changes; the global settings hold the fixed bytes of both global dumps with
    // neutral values, program and control changes received and transmitted.
    SynthMemory();

    // Part k's block inside the performance edit buffer.
    uint8_t* partBlock(int part) { return performanceEdit.data() + kPartBlockStart + kPartBlockSize * part; }
    const uint8_t* partBlock(int part) const
    {
        return performanceEdit.data() + kPartBlockStart + kPartBlockSize * part;
    }
};

// Where a loaded or written message went, for the record ("" when it went nowhere).
// Accepts the wire forms the editor sends and the library forms of files (program 297 with
// bank code 05..0C, performance 383 of type 05 or 07, follow-up 27 of type 1B or 1C,
// pattern frame 204 and library pattern 220, globals 281 and 297). Lengths, addresses and 7-bit data are checked;
// the device byte is not looked at here, nor whether a library-only form came from the wire.
std::string storeMessage(SynthMemory& mem, const Bytes& msg);

// The whole memory as complete messages in the given model and device bytes: global
// settings 1 and 2, the eight part edit buffers, the performance edit buffer and follow-up,
// then every stored program, performance (+ follow-up) and pattern in bank order.
struct MemoryFile {
    std::string name;
    std::vector<Bytes> messages;
};
std::vector<MemoryFile> memoryAsFiles(const SynthMemory& mem, uint8_t model, uint8_t device);

} // namespace synthsim
