#pragma once
// One element of the layout document as the layout walk reads it: its name, the attributes
// every element has, and the value formats of the layout language. The document is outside
// bytes: every number is read without overflow.
#include <string>

namespace tinyxml2
{
class XMLElement;
}

namespace layout
{

// Coordinates, sizes, channels, button counts and parameter offsets stay within this, either way.
constexpr int kBound = 100000;

// A decimal number as the layout reads one: optional blanks, an optional sign, digits up to the
// first other character; 0 when the text begins with none. Saturates far outside int.
long long number(const char* text);
// The number held to the bound.
int bounded(long long value);
// The number held to int.
int saturated(long long value);

} // namespace layout

struct LayoutElement {
    explicit LayoutElement(tinyxml2::XMLElement* element);

    // The attribute's text, empty when absent.
    std::string text(const char* attribute) const;
    // An integer attribute, 0 when absent or not a number.
    int integer(const char* attribute) const;
    // The same, held to the layout's bound.
    int boundedInteger(const char* attribute) const;
    // On exactly when the text is "true".
    bool flag(const char* attribute) const;
    // Two numbers separated by a colon; -1 and -1 for any other number of items.
    void pair(const char* attribute, int* a, int* b) const;
    // The element in a log line: its name, else its parameter reference.
    std::string label() const;

    tinyxml2::XMLElement* element;
    std::string tag;
    std::string name;
    std::string paramRef;
    std::string group;
    std::string imageId;
    int channel;
};
