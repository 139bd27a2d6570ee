#include "LibrarianPatch.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {
// Category names by the category byte of a program: strings, so that an entry takes one by a
// plain copy.
const std::string kCategoryNames[] = {
    "Bass",     "Hard Bass", "Soft Lead", "Hard Lead", "Porta Lead", "Arpeggio", "Motion",
    "Bell",     "Pad",       "Strings",   "Keyboard",  "SFX",        "Drums",    "Pianos",
    "Organ",    "User 1",    "User 2",    "User 3",    "User 4",     "User 5",
};
static_assert(sizeof kCategoryNames / sizeof kCategoryNames[0] == LibrarianPatch::kCategoryCount,
              "one name for every category byte");
} // namespace

const std::string* LibrarianPatch::categoryName(int byte)
{
    if (byte < 0 || byte >= kCategoryCount) return nullptr;
    return &kCategoryNames[byte];
}

void LibrarianPatch::parseCategory(int index)
{
    if (messages.empty() || index < 0) return;
    const SysexBytes& first = messages.front().bytes;
    if (static_cast<size_t>(index) >= first.size()) return;
    if (const std::string* text = categoryName(first[static_cast<size_t>(index)])) category = *text;
}

void LibrarianPatch::blankedName(const uint8_t* from, uint8_t* to)
{
#if defined(__SSE2__)
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
    const __m128i blank = _mm_set1_epi8(0x20);
    const __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(bytes, _mm_set1_epi8(0x1F)), bytes);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to), _mm_or_si128(_mm_and_si128(control, blank), _mm_andnot_si128(control, bytes)));
#else
    for (size_t i = 0; i < 16; ++i) to[i] = from[i] < 0x20 ? 0x20 : from[i];
#endif
}

void LibrarianPatch::appendName(std::string& name, const uint8_t* message, size_t size,
                                size_t from, size_t stopAt)
{
    if (stopAt > size) stopAt = size;
    uint8_t text[16];
    if (from <= stopAt && stopAt - from >= sizeof text) {
        blankedName(message + from, text);
    } else {
        for (size_t i = 0; i < 16; ++i) {
            const size_t k = from + i;
            const uint8_t b = k < stopAt ? message[k] : 0x20;
            text[i] = b < 0x20 ? 0x20 : b;
        }
    }
    // A first name is made at its exact size: appending would give it room for twice as much,
    // and a library holds tens of thousands of names.
    const char* chars = reinterpret_cast<const char*>(text);
    if (name.empty()) name = std::string(chars, sizeof text);
    else name.append(chars, sizeof text);
}
