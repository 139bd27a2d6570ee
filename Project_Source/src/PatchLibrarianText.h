#pragma once
// Small text helpers of the librarian's file handling.
#include <cstddef>
#include <string>
#include <vector>

namespace PatchLibrarianText {

// Letters A to Z lowered one by one; extensions and category names compare through it.
inline std::string lowered(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// Finds texts in a short list of names, such as the category names, by exact spelling: the
// index of the first name at or after from that equals the text. Every entry of a bank asks,
// and a bank's entries spread over a few dozen names: each answer is remembered under the
// text's length and outer letters, and checked with one comparison when asked again. The list
// may grow at its end between questions, but must not otherwise change.
class NameFinder {
public:
    static constexpr size_t npos = static_cast<size_t>(-1);

    NameFinder(const std::vector<std::string>& names, size_t from) : mNames(names), mFrom(from)
    {
        for (size_t& slot : mSlots) slot = npos;
    }

    size_t find(const std::string& text)
    {
        size_t& slot = mSlots[keyOf(text)];
        if (slot != npos && mNames[slot] == text) return slot;
        for (size_t i = mFrom; i < mNames.size(); ++i)
            if (mNames[i] == text) return slot = i;
        return npos;
    }

private:
    static constexpr size_t kSlots = 64;
    const std::vector<std::string>& mNames;
    size_t mFrom;
    size_t mSlots[kSlots];

    static size_t keyOf(const std::string& text)
    {
        if (text.empty()) return 0;
        const size_t first = static_cast<unsigned char>(text.front());
        const size_t last = static_cast<unsigned char>(text.back());
        return (text.size() * 131 + first * 7 + last) % kSlots;
    }
};

} // namespace PatchLibrarianText
