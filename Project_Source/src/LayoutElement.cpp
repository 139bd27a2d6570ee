#include "LayoutElement.h"

#include "UIConfigManager.h"

#include <tinyxml2.h>

#include <cctype>
#include <climits>
#include <vector>

namespace layout
{

long long number(const char* text)
{
    if (!text) return 0;
    while (std::isspace(static_cast<unsigned char>(*text))) ++text;
    bool negative = false;
    if (*text == '+' || *text == '-') negative = *text++ == '-';
    // Far beyond any bound the walk applies, and far from overflow.
    const long long cap = 1LL << 40;
    long long value = 0;
    for (; *text >= '0' && *text <= '9'; ++text)
        if (value < cap) value = value * 10 + (*text - '0');
    return negative ? -value : value;
}

int bounded(long long value)
{
    return int(value < -kBound ? -kBound : value > kBound ? kBound : value);
}

int saturated(long long value)
{
    return int(value < INT_MIN ? INT_MIN : value > INT_MAX ? INT_MAX : value);
}

} // namespace layout

LayoutElement::LayoutElement(tinyxml2::XMLElement* elementIn)
    : element(elementIn), tag(elementIn->Name()), name(text("name")), paramRef(text("paramId")),
      group(text("paramGroup")), imageId(text("imageId")), channel(boundedInteger("channel"))
{
}

std::string LayoutElement::text(const char* attribute) const
{
    const char* value = element->Attribute(attribute);
    return value ? value : "";
}

int LayoutElement::integer(const char* attribute) const
{
    return layout::saturated(layout::number(element->Attribute(attribute)));
}

int LayoutElement::boundedInteger(const char* attribute) const
{
    return layout::bounded(layout::number(element->Attribute(attribute)));
}

bool LayoutElement::flag(const char* attribute) const
{
    return text(attribute) == "true";
}

void LayoutElement::pair(const char* attribute, int* a, int* b) const
{
    std::vector<std::string> items;
    UIConfigManager::Tokenize(text(attribute), items, ":");
    *a = *b = -1;
    if (items.size() != 2) return;
    *a = layout::saturated(layout::number(items[0].c_str()));
    *b = layout::saturated(layout::number(items[1].c_str()));
}

std::string LayoutElement::label() const
{
    return name.empty() ? paramRef : name;
}
