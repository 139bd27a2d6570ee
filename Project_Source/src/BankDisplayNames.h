#pragma once
// The names the bank menus show for bank files: a name too long for the plug-in's display
// becomes its first characters, a tilde, a running number and its extension.
#include <string>

class BankDisplayNames
{
public:
    // Names of up to this many characters are shown whole.
    static constexpr size_t kLongestWhole = 52;
    static constexpr size_t kPrefixLength = 47;
    // The menu's limit; only a long name without "." reaches it.
    static constexpr size_t kLongestShown = 55;

    // The display text of the next file name of one list. The number counts long names in a row
    // with the same prefix (shorter names between them do not break the row); a new list starts
    // with a new object. *shortened tells whether the name was cut.
    std::string next(const std::string& fileName, bool* shortened = nullptr);

private:
    std::string mPrefix;
    int mCounter = 0;
};
