// The library form of a received message: any length and content, any kind and slot. Only the
// four dump lengths change, each into its library form with the slot in byte 9 and the dump's
// F7 last; every other message stays byte for byte as it came.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "Project_Source/src/PatchSysexMessage.h"

namespace
{

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "library_form_fuzz: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2 || size > 4096) return 0;
    const bool program = data[0] & 1, pattern = data[0] & 2;
    const int slot = int(data[1]) - 64; // negative and past 127 too
    const std::vector<uint8_t> in(data + 2, data + size);
    PatchSysexMessage m;
    m.bytes = in;
    PatchSysexMessage::checkPatchDataSize(&m, program, pattern, slot);
    const size_t n = in.size();
    const size_t want = pattern   ? (n == 204 ? 220 : n)
                        : program ? (n == 296 ? 297 : n)
                                  : (n == 381  ? 383
                                     : n == 25 ? 27
                                               : n);
    if (m.bytes.size() != want) fail("a length changed that is no dump's");
    if (want == n) {
        if (m.bytes != in) fail("a message of another length was changed");
        return 0;
    }
    if (m.bytes[9] != (uint8_t(slot) & 0x7F)) fail("a library form lacks its slot");
    // A dump's F7 ends its library form (a pattern's name takes the frame's place).
    if ((pattern || in.back() == 0xF7) && m.bytes.back() != 0xF7) fail("a library form lost its F7");
    return 0;
}
