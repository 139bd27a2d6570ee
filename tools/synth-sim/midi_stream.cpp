#include "midi_stream.h"

namespace synthsim {

namespace {

// Data bytes that follow a status byte (not SysEx, not real-time).
size_t dataBytesOf(uint8_t status)
{
    if (status < 0xF0) {
        const int kind = status >> 4;
        return kind == 0xC || kind == 0xD ? 1 : 2;
    }
    if (status == 0xF1 || status == 0xF3) return 1;
    if (status == 0xF2) return 2;
    return 0;
}

// Bytes from `from` up to the next status byte other than real-time: a message's most, so
// that it is allocated once.
size_t runLength(const uint8_t* data, size_t size, size_t from)
{
    size_t end = from;
    while (end < size && (data[end] < 0x80 || data[end] >= 0xF8)) ++end;
    return end - from;
}

} // namespace

std::vector<Bytes> splitMidiInput(const uint8_t* data, size_t size)
{
    enum class State { Idle, SysEx, Message, Stray };
    std::vector<Bytes> out;
    Bytes cur;
    State state = State::Idle;
    size_t need = 0; // data bytes the message still takes
    auto flush = [&] {
        if (!cur.empty()) out.push_back(std::move(cur));
        cur.clear();
        state = State::Idle;
    };
    for (size_t i = 0; i < size; ++i) {
        const uint8_t b = data[i];
        if (b >= 0xF8) {
            out.push_back(Bytes{b});
            continue;
        }
        if (b < 0x80) {
            if (state == State::Idle) {
                state = State::Stray;
                cur.reserve(runLength(data, size, i));
            }
            cur.push_back(b);
            if (state == State::Message && --need == 0) flush();
            continue;
        }
        if (state == State::SysEx && b == kSysExEnd) {
            cur.push_back(b);
            flush();
            continue;
        }
        flush(); // whatever was open ends before a status byte, complete or not
        cur.push_back(b);
        if (b == kSysExStart) {
            cur.reserve(runLength(data, size, i + 1) + 2);
            state = State::SysEx;
            continue;
        }
        need = dataBytesOf(b);
        if (need == 0) {
            flush();
        } else {
            cur.reserve(1 + need);
            state = State::Message;
        }
    }
    flush();
    return out;
}

} // namespace synthsim
