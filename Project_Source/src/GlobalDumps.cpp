#include "GlobalDumps.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "QORParams.h"
#include "SysexFamily.h"

namespace GlobalDumps
{
namespace
{

using namespace qorid;
namespace sx = SysexFamily;

using sx::dataByte;
// A switch: 1 for any value but 0.
int on(int v)
{
    return v != 0 ? 1 : 0;
}

constexpr int kBreathCodes = 11;
constexpr int kBreathCodeOffset = 6; // value 0 has code 6
constexpr int kBreathHighByte = 80;  // from here the byte stands for breath sensing 4
constexpr int kBreathHighValue = 4;
constexpr int kLocalOffBit = 4;
constexpr int kMidiClockOffset = 105;
constexpr int kPedalSw3Offset = 11;
constexpr int kTrimOffset = 54;

// The fixed bytes of each dump that are not zero, by position.
struct Fixed {
    size_t at;
    uint8_t byte;
};
constexpr Fixed kFirstFixed[] = {{8, 0x0F},  {9, 0x5D},  {12, 0x7F}, {13, 0x3C}, {16, 0x01}, {17, 0x00},
                                 {18, 0x02}, {19, 0x05}, {20, 0x00}, {21, 0x03}, {22, 0x34}, {23, 0x43}};
constexpr Fixed kSecondFixed[] = {{8, 0x28},  {21, 0x5F}, {27, 0x69}, {28, 0x1E},
                                  {30, 0x01}, {31, 0x40}, {34, 0x40}, {35, 0x40}};

void writeFrame(uint8_t* out, size_t size, uint8_t model, uint8_t type, const Fixed* fixed, size_t fixedCount)
{
    sx::frameDump(out, size, model, 0, type);
    for (size_t i = 0; i < fixedCount; ++i) out[fixed[i].at] = fixed[i].byte;
}

bool isDump(const uint8_t* bytes, size_t size, size_t wanted, uint8_t type)
{
    return bytes && size == wanted && bytes[1] == sx::kMakerId[0] && bytes[2] == sx::kMakerId[1] &&
           bytes[3] == sx::kMakerId[2] && bytes[4] == sx::kFixed && bytes[sx::kTypeAt] == type;
}

} // namespace

Bits sevenBits(int value)
{
    Bits b{};
    for (int i = 0; i < 7; ++i) b[size_t(i)] = uint8_t((value >> (6 - i)) & 1);
    return b;
}

uint8_t breathAndLocalByte(int breathSensing, int localControl)
{
    const int code =
        breathSensing >= 0 && breathSensing < kBreathCodes ? (breathSensing + kBreathCodeOffset) % kBreathCodes : 0;
    return uint8_t(8 * code + (on(localControl) ? 0 : kLocalOffBit));
}

uint8_t receiveByte(int velocitySensitivity, int receivePC, int receiveCC, int knobMode)
{
    const int velocity = on(velocitySensitivity) ? 0 : 8;
    return uint8_t(velocity + 2 * on(receivePC) + 4 * on(receiveCC) + 16 * on(knobMode));
}

uint8_t transmitByte(int finderDemos, int transmitPC, int transmitCC, int transmitAT)
{
    return uint8_t(on(finderDemos) + 2 * on(transmitPC) + 4 * on(transmitCC) + 8 * on(transmitAT));
}

void writeFirst(const ValueOf& value, uint8_t model, uint8_t* out)
{
    auto v = [&](int id) { return sx::wholeValue(value(id)); };
    writeFrame(out, sx::kGlobalFirstSize, model, sx::kTypeGlobalFirst, kFirstFixed, std::size(kFirstFixed));
    out[6] = dataByte(v(kGlobalMidiChannel));
    out[10] = dataByte(v(kGlobalMasterTune));
    out[11] = dataByte(v(kGlobalPedalSensitivity));
    out[14] = dataByte(v(kGlobalMIDIClock) + kMidiClockOffset);
    out[15] = dataByte(v(kGlobalMasterVolume));
}

void writeSecond(const ValueOf& value, uint8_t model, uint8_t* out)
{
    auto v = [&](int id) { return sx::wholeValue(value(id)); };
    writeFrame(out, sx::kGlobalSecondSize, model, sx::kTypeGlobalSecond, kSecondFixed, std::size(kSecondFixed));
    out[6] = dataByte(v(kGlobalMidiChannel));
    out[9] = breathAndLocalByte(v(kGlobalBreathSensing), v(kGlobalLocalControl));
    out[10] = dataByte(v(kGlobalBreathMode) * 16);
    out[20] = dataByte(v(kGlobalPedalSw3) + kPedalSw3Offset);
    out[22] = receiveByte(v(kGlobalVelocitySensitivity), v(kGlobalRXPC), v(kGlobalRXCC), v(kGlobalKnobMode));
    out[24] = transmitByte(v(kGlobalFinderDemos), v(kGlobalTXPC), v(kGlobalTXCC), v(kGlobalTXAT));
    out[25] = dataByte(v(kGlobalInputSw1));
    out[26] = dataByte(v(kGlobalInputSw2));
    out[32] = dataByte(v(kGlobalAudioIn1Trim) + kTrimOffset);
    out[33] = dataByte(v(kGlobalAudioIn2Trim) + kTrimOffset);
}

bool isFirst(const uint8_t* bytes, size_t size)
{
    return isDump(bytes, size, sx::kGlobalFirstSize, sx::kTypeGlobalFirst);
}

bool isSecond(const uint8_t* bytes, size_t size)
{
    return isDump(bytes, size, sx::kGlobalSecondSize, sx::kTypeGlobalSecond);
}

bool readFirst(const uint8_t* bytes, size_t size, const SetValue& set)
{
    if (!isFirst(bytes, size)) return false;
    set(kGlobalMidiChannel, bytes[6]);
    set(kGlobalMasterTune, bytes[10]);
    set(kGlobalPedalSensitivity, bytes[11]);
    set(kGlobalMIDIClock, bytes[14] - kMidiClockOffset);
    set(kGlobalMasterVolume, bytes[15]);
    return true;
}

bool readSecond(const uint8_t* bytes, size_t size, const SetValue& set)
{
    if (!isSecond(bytes, size)) return false;
    set(kGlobalMidiChannel, bytes[6]);

    const int b9 = bytes[9];
    const bool high = b9 >= kBreathHighByte;
    const int remainder = high ? b9 - kBreathHighByte : b9 % 8;
    set(kGlobalBreathSensing, high ? kBreathHighValue : (b9 / 8 + kBreathCodes - kBreathCodeOffset) % kBreathCodes);
    set(kGlobalLocalControl, remainder == 0 ? 1 : remainder == kLocalOffBit ? 0 : remainder);

    set(kGlobalBreathMode, bytes[10] / 16);
    set(kGlobalPedalSw3, bytes[20] - kPedalSw3Offset);

    const Bits rx = sevenBits(bytes[22]); // rx[6 - n] is bit n
    set(kGlobalVelocitySensitivity, rx[3] ? 0 : 1);
    set(kGlobalRXPC, rx[5] || rx[6] ? 1 : 0);
    set(kGlobalRXCC, rx[4]);
    set(kGlobalKnobMode, rx[2]);
    set(kGlobalCase22Undefined, 0);

    const Bits tx = sevenBits(bytes[24]);
    set(kGlobalTXPC, tx[5]);
    set(kGlobalTXCC, tx[4]);
    set(kGlobalTXAT, tx[3]);

    set(kGlobalInputSw1, bytes[25]);
    set(kGlobalInputSw2, bytes[26]);
    set(kGlobalAudioIn1Trim, bytes[32] - kTrimOffset);
    set(kGlobalAudioIn2Trim, bytes[33] - kTrimOffset);
    return true;
}

} // namespace GlobalDumps
