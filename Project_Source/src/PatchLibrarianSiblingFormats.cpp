// Rewrites program messages of the maker's sibling synthesizers into this family's layout.
#include "PatchLibrarian.h"

namespace {

// Values of the sibling's wider ranges folded into ours.
uint8_t foldRange(uint8_t v)
{
    if (v < 31) return v;
    if (v <= 36) return static_cast<uint8_t>(v + 12);
    return 0;
}

bool isOneOf(size_t i, std::initializer_list<size_t> list)
{
    for (size_t k : list)
        if (k == i) return true;
    return false;
}

} // namespace

void PatchLibrarian::alterPatchFromQuarnelFormat(PatchSysexMessage* message)
{
    if (!message) return;
    const std::vector<uint8_t> source = message->bytes;
    auto S = [&source](size_t i) -> uint8_t { return i < source.size() ? source[i] : 0x00; };
    SysexBytes& out = message->bytes;
    out.resize(393, 0x00);

    for (size_t i : {13u, 29u, 45u})
        if (out[i] >= 5) out[i] = static_cast<uint8_t>(out[i] + 3);
    for (size_t i : {15u, 31u, 47u})
        if (out[i] != 0) out[i] = static_cast<uint8_t>(out[i] - 1);
    if (out[124] == 0) out[124] = 0x7F;
    if (out[135] >= 4) out[135] = static_cast<uint8_t>(out[135] + 1);
    uint8_t b151 = out[151];
    if (b151 > 3) out[151] = b151 == 7 ? 4 : b151 == 9 ? 32 : b151 == 10 ? 33 : static_cast<uint8_t>(b151 + 1);

    const bool laterModel = S(1) >= 20;
    for (size_t i = 252; i <= 391; ++i) {
        uint8_t v = S(i);
        if (isOneOf(i, {252, 253, 256, 257, 260, 261, 264, 265, 292, 295, 298, 301, 304, 307, 310, 313}))
            v = foldRange(v);
        else if (i >= 269 && i <= 314 && (i - 269) % 3 == 0 && laterModel)
            v = static_cast<uint8_t>(v + 1);
        out[i + 1] = v;
    }
}

void PatchLibrarian::alterPatchFromStrovaneFormat(PatchSysexMessage* message)
{
    if (!message) return;
    SysexBytes& b = message->bytes;
    b.resize(392, 0x00);
    for (size_t i : {15u, 31u})
        if (b[i] >= 7) b[i] = 0;
    for (size_t i : {17u, 33u, 49u, 57u, 96u, 101u, 116u, 121u, 130u, 268u, 271u, 274u, 277u, 280u, 283u, 286u, 289u}) {
        uint8_t v = b[i];
        if (v == 15) b[i] = 12;
        else if (v == 16) b[i] = 11;
        else if (v == 10 || v == 12 || v == 14 || v > 16) b[i] = 0;
    }
    for (size_t i : {19u, 20u, 21u, 22u, 23u, 35u, 36u, 37u, 38u, 39u, 55u, 76u, 89u, 109u}) b[i] = 0;
    for (size_t i : {84u, 104u})
        if (b[i] >= 18) b[i] = 1;
    if (b[151] == 6) b[151] = 7;
    for (size_t i : {252u, 253u, 256u, 257u, 260u, 261u, 264u, 265u, 292u, 295u, 298u, 301u, 304u, 307u, 310u, 313u})
        if (b[i] == 24) b[i] = 0;
    for (size_t i = 269; i <= 290; i += 3)
        if (b[i] >= 31) b[i] = 0;
    for (size_t i = 293; i <= 314; i += 3)
        if (b[i] >= 54) b[i] = 0;
}

void PatchLibrarian::alterStrovaneCategoryFormat(PatchSysexMessage* message)
{
    // The name needs bytes 386 to 389: a shorter message has no category to convert.
    if (!message || message->bytes.size() < 390) return;
    static const char* const kNames[13] = {"Init", "Arp", "Atmo", "Bass", "Drum", "FX", "Keys",
                                           "Lead", "Mono", "Pad", "Perc", "Poly", "Seq"};
    uint8_t number = message->bytes[387];
    const char* name = number <= 12 ? kNames[number] : kNames[0];
    for (size_t k = 0; name[k] && k < 4; ++k) message->bytes[386 + k] = static_cast<uint8_t>(name[k]);
}
