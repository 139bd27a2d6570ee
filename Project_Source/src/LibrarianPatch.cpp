#include "LibrarianPatch.h"

namespace {
// Category names by the category byte of a program.
const char* const kCategoryNames[] = {
    "Bass",     "Hard Bass", "Soft Lead", "Hard Lead", "Porta Lead", "Arpeggio", "Motion",
    "Bell",     "Pad",       "Strings",   "Keyboard",  "SFX",        "Drums",    "Pianos",
    "Organ",    "User 1",    "User 2",    "User 3",    "User 4",     "User 5",
};
static_assert(sizeof kCategoryNames / sizeof kCategoryNames[0] == LibrarianPatch::kCategoryCount,
              "one name for every category byte");
} // namespace

const char* LibrarianPatch::categoryName(int byte)
{
    if (byte < 0 || byte >= kCategoryCount) return nullptr;
    return kCategoryNames[byte];
}

void LibrarianPatch::parseCategory(int index)
{
    if (messages.empty() || index < 0) return;
    const SysexBytes& first = messages.front().bytes;
    if (static_cast<size_t>(index) >= first.size()) return;
    if (const char* text = categoryName(first[static_cast<size_t>(index)])) category = text;
}

void LibrarianPatch::appendName(std::string& name, const uint8_t* message, size_t size,
                                size_t from, size_t stopAt)
{
    if (stopAt > size) stopAt = size;
    char text[16];
    for (size_t i = 0; i < 16; ++i) {
        const size_t k = from + i;
        const uint8_t b = k < stopAt ? message[k] : 0x20;
        text[i] = b < 0x20 ? ' ' : static_cast<char>(b);
    }
    // A first name is made at its exact size: appending would give it room for twice as much,
    // and a library holds tens of thousands of names.
    if (name.empty()) name = std::string(text, sizeof text);
    else name.append(text, sizeof text);
}
