#pragma once
// Small text helpers of the librarian's file handling.
#include <string>

namespace PatchLibrarianText {

// Letters A to Z lowered one by one; extensions and category names compare through it.
inline std::string lowered(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

} // namespace PatchLibrarianText
