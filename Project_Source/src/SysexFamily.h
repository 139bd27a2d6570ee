#pragma once
// The synthesizer's SysEx family on the wire and in the library: envelope bytes, model bytes,
// message types, standard lengths and how messages make up library entries. Every reader and
// writer of these messages takes its bytes from here.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace SysexFamily {

// Envelope: F0, the maker's three-byte id, a fixed 01, model, device, type, body, F7.
constexpr uint8_t kStart = 0xF0;
constexpr uint8_t kEnd = 0xF7;
constexpr uint8_t kMakerId[3] = {0x00, 0x20, 0x29};
constexpr uint8_t kFixed = 0x01;
constexpr size_t kModelAt = 5;
constexpr size_t kDeviceAt = 6;
constexpr size_t kTypeAt = 7;
constexpr size_t kHeaderSize = 8; // F0 up to and including the type byte

// Files may carry other products of the family; the library reader takes 00..0F.
constexpr uint8_t kMaxProduct = 0x0F;
// Bytes of 80 and above are status bytes: no data byte, device id or product is one.
constexpr uint8_t kFirstStatusByte = 0x80;

// Model bytes. 22 and 24 are one model; stored messages carry 24 for both.
constexpr uint8_t kModelFirst = 0x20;
constexpr uint8_t kModelSecond = 0x21;
constexpr uint8_t kModelThird = 0x22;
constexpr uint8_t kModelFourth = 0x23;
constexpr uint8_t kModelThirdStored = 0x24;
constexpr int kModelCodeCount = 4;

// ModelCode of a model byte, or -1 for a byte of no model.
constexpr int modelCodeOf(uint8_t modelByte)
{
    return modelByte == kModelThirdStored ? 2 : modelByte >= kModelFirst && modelByte <= kModelFourth ? modelByte - kModelFirst : -1;
}
// Model byte a stored message carries for a ModelCode.
constexpr uint8_t storedModelByte(int modelCode)
{
    return modelCode == 0 ? kModelFirst : modelCode == 1 ? kModelSecond : modelCode == 3 ? kModelFourth : kModelThirdStored;
}

// Device byte of every message the library stores.
constexpr uint8_t kLibraryDevice = 0x0F;

// Message types.
constexpr uint8_t kTypeProgramDump = 0x00;
constexpr uint8_t kTypeStoredProgram = 0x02;
constexpr uint8_t kTypePerformanceDump = 0x05;
constexpr uint8_t kTypeStoredPerformance = 0x07;
constexpr uint8_t kTypeRequestEditBuffer = 0x08;
constexpr uint8_t kTypePattern = 0x0C;
constexpr uint8_t kTypeGlobalFirst = 0x0F;
constexpr uint8_t kTypeDeviceEnquiry = 0x10;
constexpr uint8_t kTypeRequestStored = 0x13;
constexpr uint8_t kTypeGlobalSecond = 0x15;
constexpr uint8_t kTypePerformanceFollowUp = 0x1B;
constexpr uint8_t kTypeStoredFollowUp = 0x1C;
constexpr uint8_t kTypeSecondProgram = 0x1F;
constexpr uint8_t kTypePerformanceOther = 0x20;
constexpr uint8_t kTypeThirdPerformance = 0x21;
constexpr uint8_t kTypePatternWithPad = 0x22; // one byte after the type that the library drops

// Standard lengths of whole messages, F0 and F7 included.
constexpr size_t kStoredProgramSize = 297;
constexpr size_t kSecondProgramSize = 99;
constexpr size_t kStoredPerformanceSize = 383;
constexpr size_t kStoredFollowUpSize = 27;
constexpr size_t kThirdPerformanceSize = 475;
constexpr size_t kPatternSize = 204;
constexpr size_t kLibraryPatternSize = 220; // the frame, the appended name and F7

// Lengths on the wire of the messages the editor exchanges with the synthesizer, F0 and F7
// included; the library forms of dumps are the stored sizes above.
constexpr size_t kProgramDumpSize = 296;
constexpr size_t kPerformanceDumpSize = 381;
constexpr size_t kFollowUpSize = 25;
constexpr size_t kLibraryPerformanceSize = 383;
constexpr size_t kLibraryFollowUpSize = 27;
constexpr size_t kGlobalFirstSize = 281;
constexpr size_t kGlobalSecondSize = 297;
constexpr size_t kEditRequestSize = 9;
// A bank file's program message shorter than this is dropped by the reader, so never written.
constexpr size_t kShortestStoredProgram = 25;
constexpr size_t kStoredRequestSize = 11;
constexpr size_t kEnquirySize = 9;
// Requests and the enquiry are built without F0 and F7, which the send adds.
constexpr size_t kBareRequestSize = kEditRequestSize - 2;
constexpr size_t kBareStoredRequestSize = kStoredRequestSize - 2;

// Bank codes in byte 8: stored programs and their requests carry bank + 5, stored
// performances, their follow-ups and their requests bank + 1.
constexpr int kProgramBankCodeBase = 5;
constexpr int kPerformanceBankCodeBase = 1;

// A dump of size bytes: zeros between the envelope and the closing F7.
inline void frameDump(uint8_t* out, size_t size, uint8_t model, uint8_t device, uint8_t type)
{
    std::memset(out, 0, size);
    out[0] = kStart;
    std::memcpy(out + 1, kMakerId, 3);
    out[4] = kFixed;
    out[kModelAt] = model;
    out[kDeviceAt] = device;
    out[kTypeAt] = type;
    out[size - 1] = kEnd;
}

// Model byte of an outgoing message for the controller's model setting.
constexpr uint8_t modelByteFor(int currentModel) { return currentModel == 0 ? kModelFirst : kModelSecond; }
// Device byte of an outgoing message: a data byte, so a status byte never lands in a body.
constexpr uint8_t deviceByteFor(int deviceId) { return uint8_t(deviceId) & 0x7F; }

// A parameter value as a dump carries it: truncated toward zero, held to a million either way,
// and 0 for what is no number.
inline int wholeValue(double v)
{
    if (!std::isfinite(v)) return 0;
    return int(std::fmax(-1e6, std::fmin(1e6, std::trunc(v))));
}
// A data byte: the wire takes nothing outside 0..127.
constexpr uint8_t dataByte(int v) { return uint8_t(v < 0 ? 0 : v > 127 ? 127 : v); }

// Where names and categories sit in a stored message.
constexpr size_t kNameAt = 10;
constexpr size_t kNameLength = 16;
constexpr size_t kCategoryAt = 27;
constexpr size_t kPatternNameAt = 203;
constexpr char kAppendedPatternName[] = "Arpeggio********";
static_assert(sizeof kAppendedPatternName == kNameLength + 1, "a pattern's name fills one name field");

// Kinds of bank (PatchFileKind) and the types that belong to each.
constexpr int kKindPrograms = 0;
constexpr int kKindPerformances = 1;
constexpr int kKindPatterns = 2;

// Kind of bank a message type belongs to, or -1 for a type of no bank.
constexpr int kindOfType(uint8_t type)
{
    switch (type) {
    case kTypeProgramDump: case kTypeStoredProgram: case kTypeSecondProgram: return kKindPrograms;
    case kTypePerformanceDump: case kTypeStoredPerformance: case kTypePerformanceFollowUp:
    case kTypeStoredFollowUp: case kTypePerformanceOther: case kTypeThirdPerformance: return kKindPerformances;
    case kTypePattern: case kTypePatternWithPad: return kKindPatterns;
    default: return -1;
    }
}

// Messages that make up one library entry of a kind and model code.
constexpr int messagesPerEntry(int kind, int modelCode)
{
    if (kind == kKindPrograms) return modelCode >= 2 ? 2 : 1;
    if (kind == kKindPerformances) return modelCode == 0 ? 1 : modelCode == 1 ? 2 : 3;
    return 1;
}

// Type byte of the stored message at messageIndex within an entry of a kind.
constexpr uint8_t storedType(int kind, int messageIndex)
{
    if (kind == kKindPatterns) return kTypePattern;
    if (kind == kKindPerformances)
        return messageIndex == 0 ? kTypeStoredPerformance : messageIndex == 1 ? kTypeStoredFollowUp : kTypeThirdPerformance;
    return messageIndex == 0 ? kTypeStoredProgram : kTypeSecondProgram;
}

} // namespace SysexFamily
