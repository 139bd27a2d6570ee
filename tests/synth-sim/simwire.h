// Messages of the family written by hand, apart from the simulator's own builders.
#pragma once

#include "protocol.h"

#include <initializer_list>

namespace simtest {

using synthsim::Bytes;

// F0 00 20 29 01 model device type, the address bytes, a body that follows a pattern seeded
// by `seed` up to `length` bytes in all (none when length is 0), then F7.
inline Bytes wire(uint8_t type, std::initializer_list<uint8_t> address, size_t length = 0, int seed = 0,
                  uint8_t device = 9, uint8_t model = 0x20)
{
    Bytes m = {0xF0, 0x00, 0x20, 0x29, 0x01, model, device, type};
    m.insert(m.end(), address.begin(), address.end());
    for (size_t i = m.size(); i + 1 < length; ++i) m.push_back(uint8_t((i * 31 + size_t(seed) * 7) & 0x7F));
    m.push_back(0xF7);
    return m;
}

inline Bytes enquiry(uint8_t device = 9, uint8_t model = 0x20) { return wire(0x10, {}, 0, 0, device, model); }
inline Bytes editRequest(uint8_t device = 9, uint8_t model = 0x20) { return wire(0x08, {}, 0, 0, device, model); }
inline Bytes storedRequest(uint8_t code, uint8_t slot, uint8_t device = 9, uint8_t model = 0x20)
{ return wire(0x13, {code, slot}, 0, 0, device, model); }
inline Bytes slice(const Bytes& b, size_t from, size_t to) { return Bytes(b.begin() + long(from), b.begin() + long(to)); }

} // namespace simtest
