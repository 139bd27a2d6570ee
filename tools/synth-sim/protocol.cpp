#include "protocol.h"

#include <cstring>
#include <initializer_list>
#include <sstream>
#include <stdexcept>

namespace synthsim {

namespace {

Bytes fromHex(const char* text)
{
    Bytes out;
    std::istringstream in(text);
    std::string tok;
    while (in >> tok) out.push_back(uint8_t(std::stoul(tok, nullptr, 16)));
    return out;
}

// The synthesizer's neutral program in its stored form: "Init Program", bank code 05, slot 0.
const char* const kInitProgramHex =
    "F0 00 20 29 01 20 0F 02 05 00 49 6E 69 74 20 50 "
    "72 6F 67 72 61 6D 20 20 20 20 00 02 02 23 30 10 "
    "01 20 39 40 42 7F 40 40 40 40 40 46 46 7F 40 40 "
    "40 40 40 40 40 40 40 40 40 00 40 40 40 40 40 00 "
    "40 7F 0B 25 52 40 42 7F 40 40 40 40 40 46 46 7F "
    "40 40 40 40 40 40 40 40 40 40 40 00 40 40 40 40 "
    "40 00 40 7F 15 2A 6B 40 42 7F 40 40 40 40 40 46 "
    "46 7F 40 40 40 40 40 40 40 40 40 40 40 00 40 40 "
    "40 40 40 00 40 7F 40 40 40 40 40 40 40 40 40 40 "
    "40 40 40 40 40 40 40 40 00 40 40 40 40 40 00 40 "
    "40 40 40 40 00 40 40 40 40 40 00 12 00 00 40 40 "
    "40 00 19 7C 00 16 00 00 40 40 40 00 1B 7E 1C 1F "
    "00 00 7F 00 40 00 00 00 7F 00 40 00 08 00 7F 08 "
    "40 40 40 7F 00 40 40 40 40 03 00 40 10 7F 40 40 "
    "40 40 40 40 40 40 7F 00 40 40 40 40 40 40 40 40 "
    "00 00 2A 78 7B 22 3F 00 42 38 4C 00 56 4B 7B 55 "
    "01 00 4F 04 49 5C 04 02 00 40 40 40 40 40 7F 3E "
    "22 00 37 00 40 50 14 4E 00 40 1B 21 40 25 00 40 "
    "4B 14 14 65 7F 07 00 00 F7";

// The neutral performance in its stored form: "Init Perf", bank code 01, slot 0.
const char* const kInitPerformanceHex =
    "F0 00 20 29 01 21 0F 07 01 00 49 6E 69 74 20 50 "
    "65 72 66 20 20 20 20 20 20 20 30 7F 00 00 00 05 "
    "11 62 4D 40 40 50 00 7F 42 40 00 40 40 40 40 40 "
    "7F 40 19 00 37 00 40 32 14 3F 00 40 1B 21 40 25 "
    "00 40 40 32 14 60 7F 00 00 00 00 05 11 62 4D 40 "
    "40 50 00 7F 40 40 00 40 40 40 40 40 7F 40 19 00 "
    "37 00 40 32 14 3F 00 40 1B 21 40 25 00 40 40 32 "
    "14 60 7F 00 00 00 00 05 11 62 4D 40 40 50 00 7F "
    "40 40 00 40 40 40 40 40 7F 40 19 00 37 00 40 32 "
    "14 3F 00 40 1B 21 40 25 00 40 40 32 14 60 7F 00 "
    "00 00 00 05 11 62 4D 40 40 50 00 7F 40 40 00 40 "
    "40 40 40 40 7F 40 19 00 37 00 40 32 14 3F 00 40 "
    "1B 21 40 25 00 40 40 32 14 60 7F 00 00 00 00 05 "
    "11 62 4D 40 40 50 00 7F 40 40 00 40 40 40 40 40 "
    "7F 40 19 00 37 00 40 32 14 3F 00 40 1B 21 40 25 "
    "00 40 40 32 14 60 7F 00 00 00 00 05 11 62 4D 40 "
    "40 50 00 7F 40 40 00 40 40 40 40 40 7F 40 19 00 "
    "37 00 40 32 14 3F 00 40 1B 21 40 25 00 40 40 32 "
    "14 60 7F 00 00 00 00 05 11 62 4D 40 40 50 00 7F "
    "40 40 00 40 40 40 40 40 7F 40 19 00 37 00 40 32 "
    "14 3F 00 40 1B 21 40 25 00 40 40 32 14 60 7F 00 "
    "00 00 00 05 11 62 4D 40 40 50 00 7F 40 40 00 40 "
    "40 40 40 40 7F 40 19 00 37 00 40 32 14 3F 00 40 "
    "1B 21 40 25 00 40 40 32 14 60 7F 00 00 00 F7";

const char* const kInitFollowUpHex =
    "F0 00 20 29 01 21 0F 1C 01 00 25 12 21 70 00 04 60 00 00 00 00 00 00 00 00 00 F7";

Bytes makeInitPattern()
{
    Bytes m = {kSysExStart, kMaker0, kMaker1, kMaker2, kFamilyFixed, kModelSecond, 0x00,
               kTypePatternFrame};
    m.resize(kLenPatternFrame - 1, 0x00);
    m.push_back(kSysExEnd);
    return m;
}

Bytes framed(Bytes head, const uint8_t* body, size_t bodyLen)
{
    if (body) head.insert(head.end(), body, body + bodyLen);
    head.push_back(kSysExEnd);
    return head;
}

} // namespace

const Bytes& initProgramTemplate()
{
    static const Bytes t = fromHex(kInitProgramHex);
    return t;
}

const Bytes& initPerformanceTemplate()
{
    static const Bytes t = fromHex(kInitPerformanceHex);
    return t;
}

const Bytes& initFollowUpTemplate()
{
    static const Bytes t = fromHex(kInitFollowUpHex);
    return t;
}

const Bytes& initPatternTemplate()
{
    static const Bytes t = makeInitPattern();
    return t;
}

Bytes envelope(uint8_t model, uint8_t device, uint8_t type)
{
    return Bytes{kSysExStart, kMaker0, kMaker1, kMaker2, kFamilyFixed, model,
                 uint8_t(device & 0x7F), type};
}

namespace {

// Envelope, then up to two addressing bytes, the body and F7.
Bytes addressed(uint8_t model, uint8_t device, uint8_t type, std::initializer_list<uint8_t> address,
                const uint8_t* body, size_t bodyLen)
{
    Bytes h = envelope(model, device, type);
    h.insert(h.end(), address.begin(), address.end());
    return framed(std::move(h), body, bodyLen);
}

} // namespace

Bytes buildProgramDump(uint8_t model, uint8_t device, uint8_t part, const uint8_t* body)
{
    return addressed(model, device, kTypeProgramDump, {part}, body, kProgramBody);
}

Bytes buildStoredProgram(uint8_t model, uint8_t device, uint8_t bankCode, uint8_t slot,
                         const uint8_t* body)
{
    return addressed(model, device, kTypeStoredProgram, {bankCode, slot}, body, kProgramBody);
}

Bytes buildPerformanceDump(uint8_t model, uint8_t device, const uint8_t* body)
{
    return addressed(model, device, kTypePerformanceDump, {}, body, kPerformanceBody);
}

Bytes buildStoredPerformance(uint8_t model, uint8_t device, uint8_t bankCode, uint8_t slot,
                             const uint8_t* body)
{
    return addressed(model, device, kTypeStoredPerformance, {bankCode, slot}, body, kPerformanceBody);
}

Bytes buildFollowUp(uint8_t model, uint8_t device, const uint8_t* body)
{
    return addressed(model, device, kTypeFollowUp, {}, body, kFollowUpBody);
}

Bytes buildStoredFollowUp(uint8_t model, uint8_t device, uint8_t bankCode, uint8_t slot,
                          const uint8_t* body)
{
    return addressed(model, device, kTypeStoredFollowUp, {bankCode, slot}, body, kFollowUpBody);
}

Bytes buildGlobal1(uint8_t model, uint8_t device, const uint8_t* body)
{
    return addressed(model, device, kTypeGlobal1, {}, body, kGlobal1Body);
}

Bytes buildGlobal2(uint8_t model, uint8_t device, const uint8_t* body)
{
    return addressed(model, device, kTypeGlobal2, {}, body, kGlobal2Body);
}

Bytes buildPatternFrame(uint8_t model, uint8_t device, uint8_t slot, const uint8_t* body)
{
    return addressed(model, device, kTypePatternFrame, {0x00, slot}, body, kPatternBody);
}

Bytes buildStoredRequest(uint8_t model, uint8_t device, uint8_t bankCode, uint8_t slot)
{
    return addressed(model, device, kTypeStoredRequest, {bankCode, slot}, nullptr, 0);
}

Bytes buildEditRequest(uint8_t model, uint8_t device)
{
    return addressed(model, device, kTypeEditRequest, {}, nullptr, 0);
}

Bytes buildEnquiry(uint8_t model, uint8_t device)
{
    return addressed(model, device, kTypeEnquiry, {}, nullptr, 0);
}

std::string toHex(const Bytes& b)
{
    static const char* digits = "0123456789ABCDEF";
    std::string s;
    s.reserve(b.size() * 3);
    for (size_t i = 0; i < b.size(); ++i) {
        if (i) s += ' ';
        s += digits[b[i] >> 4];
        s += digits[b[i] & 15];
    }
    return s;
}

bool hasFamilyHeader(const Bytes& m)
{
    return m.size() >= kLenShortRequest && m[0] == kSysExStart && m[1] == kMaker0 &&
           m[2] == kMaker1 && m[3] == kMaker2 && m[4] == kFamilyFixed;
}

bool dataBytesAre7Bit(const Bytes& m)
{
    if (m.size() < 2) return false;
    for (size_t i = 1; i + 1 < m.size(); ++i)
        if (m[i] & 0x80) return false;
    return true;
}

bool isLibraryOnlyForm(const Bytes& m)
{
    if (!hasFamilyHeader(m)) return false;
    const uint8_t type = m[7];
    const size_t n = m.size();
    return (type == kTypePerformanceDump && n == kLenStoredPerformance) ||
           (type == kTypeFollowUp && n == kLenStoredFollowUp) ||
           (type == kTypePatternFrame && n == kLenPatternLibrary);
}

} // namespace synthsim
