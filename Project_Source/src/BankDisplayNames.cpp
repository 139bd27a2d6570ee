#include "BankDisplayNames.h"

#include <cctype>

std::string BankDisplayNames::next(const std::string& fileName, bool* shortened)
{
    if (shortened) *shortened = fileName.size() > kLongestWhole;
    if (fileName.size() <= kLongestWhole) return fileName;
    const std::string prefix = fileName.substr(0, kPrefixLength);
    mCounter = prefix == mPrefix ? mCounter + 1 : 1;
    mPrefix = prefix;
    const size_t dot = fileName.rfind('.');
    std::string tail = dot == std::string::npos ? fileName : fileName.substr(dot + 1);
    for (char& c : tail) c = char(std::tolower(static_cast<unsigned char>(c)));
    std::string shown = prefix + "~" + std::to_string(mCounter) + "." + tail;
    if (shown.size() > kLongestShown) shown.resize(kLongestShown);
    return shown;
}
