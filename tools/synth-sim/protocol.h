// The synthesizer's side of its SysEx family: envelope, message types, lengths and the bodies
// that memory holds. Kept apart from the editor's own tables on purpose: the simulator is an
// oracle, so a slip in either shows up against the other.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace synthsim {

using Bytes = std::vector<uint8_t>;

constexpr uint8_t kSysExStart = 0xF0;
constexpr uint8_t kSysExEnd = 0xF7;
constexpr uint8_t kMaker0 = 0x00, kMaker1 = 0x20, kMaker2 = 0x29, kFamilyFixed = 0x01;
constexpr uint8_t kModelFirst = 0x20, kModelSecond = 0x21;
// Parameter messages: F0 3E 0F device type part parameter value F7.
constexpr uint8_t kParamMaker = 0x3E, kParamModel = 0x0F;
constexpr size_t kLenParamSysEx = 9;

// Message types (byte 7).
constexpr uint8_t kTypeProgramDump = 0x00;
constexpr uint8_t kTypeStoredProgram = 0x02;
constexpr uint8_t kTypePerformanceDump = 0x05;
constexpr uint8_t kTypeStoredPerformance = 0x07;
constexpr uint8_t kTypeEditRequest = 0x08;
constexpr uint8_t kTypePatternFrame = 0x0C;
constexpr uint8_t kTypeGlobal1 = 0x0F;
constexpr uint8_t kTypeEnquiry = 0x10;
constexpr uint8_t kTypeStoredRequest = 0x13;
constexpr uint8_t kTypeGlobal2 = 0x15;
constexpr uint8_t kTypeFollowUp = 0x1B;
constexpr uint8_t kTypeStoredFollowUp = 0x1C;

// Whole lengths on the wire, F0 and F7 included.
constexpr size_t kLenProgramDump = 296;
constexpr size_t kLenStoredProgram = 297;
constexpr size_t kLenPerformanceDump = 381;
constexpr size_t kLenStoredPerformance = 383;
constexpr size_t kLenFollowUp = 25;
constexpr size_t kLenStoredFollowUp = 27;
constexpr size_t kLenGlobal1 = 281;
constexpr size_t kLenGlobal2 = 297;
constexpr size_t kLenPatternFrame = 204;
constexpr size_t kLenPatternLibrary = 220; // the frame up to 202, a 16-character name, F7
constexpr size_t kLenShortRequest = 9;   // edit-buffer request and enquiry
constexpr size_t kLenStoredRequest = 11;

// Bodies: what lies between the addressing bytes and F7.
constexpr size_t kProgramBody = 286;     // dump bytes 9..294, stored bytes 10..295
constexpr size_t kPerformanceBody = 372; // dump bytes 8..379, stored bytes 10..381
constexpr size_t kFollowUpBody = 16;     // dump bytes 8..23, stored bytes 10..25
constexpr size_t kPatternBody = 193;     // frame bytes 10..202
constexpr size_t kGlobal1Body = 272;     // bytes 8..279
constexpr size_t kGlobal2Body = 288;     // bytes 8..295

constexpr int kParts = 8;
constexpr int kSlots = 128;
constexpr int kProgramBanks = 8;     // bank codes 05..0C
constexpr int kPerformanceBanks = 4; // bank codes 01..04
constexpr uint8_t kProgramBankBase = 5;
constexpr uint8_t kPerformanceBankBase = 1;

// Part blocks of a performance body: 44 bytes each from body offset 20 (dump position 28).
constexpr size_t kPartBlockStart = 20;
constexpr size_t kPartBlockSize = 44;
constexpr size_t kPartBlockProgram = 0; // program number
constexpr size_t kPartBlockBank = 1;    // bank + 5
constexpr size_t kPartBlockChannel = 2; // 0..15; 16 and above follow the global channel
// Part settings, a bit field; a set bit 2 switches the part's reception of program changes off,
// a set bit 3 that of control changes.
constexpr size_t kPartBlockSettings = 10;
constexpr uint8_t kPartIgnoresProgramChanges = 0x04;
constexpr uint8_t kPartIgnoresControlChanges = 0x08;

// Global settings 2, as body offsets (position - 8): what the synthesizer receives (position
// 22: bits 0-1 program changes, bit 2 control changes) and transmits (position 24: bit 1
// program changes, bit 2 control changes).
constexpr size_t kGlobal2Receive = 14;
constexpr size_t kGlobal2Transmit = 16;

// Bank select values on the wire: a part's program bank travels as bank + 5, a performance
// bank on the global channel as bank + 96.
constexpr uint8_t kPartBankSelectBase = 5;
constexpr uint8_t kPerformanceBankSelectBase = 96;

// Init templates, complete messages in their stored forms.
const Bytes& initProgramTemplate();      // 297 bytes, type 02
const Bytes& initPerformanceTemplate();  // 383 bytes, type 07
const Bytes& initFollowUpTemplate();     // 27 bytes, type 1C
const Bytes& initPatternTemplate();      // 204 bytes, type 0C

// Envelope builders: F0 00 20 29 01 model device type, then the rest.
Bytes envelope(uint8_t model, uint8_t device, uint8_t type);
Bytes buildProgramDump(uint8_t model, uint8_t device, uint8_t part, const uint8_t* body);
Bytes buildStoredProgram(uint8_t model, uint8_t device, uint8_t bankCode, uint8_t slot,
                         const uint8_t* body);
Bytes buildPerformanceDump(uint8_t model, uint8_t device, const uint8_t* body);
Bytes buildStoredPerformance(uint8_t model, uint8_t device, uint8_t bankCode, uint8_t slot,
                             const uint8_t* body);
Bytes buildFollowUp(uint8_t model, uint8_t device, const uint8_t* body);
Bytes buildStoredFollowUp(uint8_t model, uint8_t device, uint8_t bankCode, uint8_t slot,
                          const uint8_t* body);
Bytes buildGlobal1(uint8_t model, uint8_t device, const uint8_t* body);
Bytes buildGlobal2(uint8_t model, uint8_t device, const uint8_t* body);
Bytes buildPatternFrame(uint8_t model, uint8_t device, uint8_t slot, const uint8_t* body);

// Requests as the editor sends them (complete, F0 to F7), for tests and scripts.
Bytes buildEditRequest(uint8_t model, uint8_t device);
Bytes buildEnquiry(uint8_t model, uint8_t device);
Bytes buildStoredRequest(uint8_t model, uint8_t device, uint8_t bankCode, uint8_t slot);

// "F0 00 20 ..." upper-case hex with single spaces.
std::string toHex(const Bytes& b);

// True for F0 00 20 29 01 at bytes 0..4 with at least 9 bytes.
bool hasFamilyHeader(const Bytes& m);
// True when every byte between the leading F0 and the trailing F7 is a 7-bit data byte.
bool dataBytesAre7Bit(const Bytes& m);

// The forms only library files hold: performance 05 of 383 bytes, follow-up 1B of 27, pattern
// 0C of 220. The editor retypes them before they go out, so one on the wire is a mistake.
bool isLibraryOnlyForm(const Bytes& m);

} // namespace synthsim
