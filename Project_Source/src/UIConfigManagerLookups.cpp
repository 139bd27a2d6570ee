#include "UIConfigManager.h"

#include <sstream>

namespace
{

// The decimal number a token begins with; false when it begins with none or it leaves 32 bits.
bool leadingInt(const std::string& token, int* value)
{
    std::istringstream in(token);
    int v = 0;
    if (!(in >> v)) return false;
    *value = v;
    return true;
}

} // namespace

void UIConfigManager::getCSValues(std::string text, int* values, int count)
{
    if (!values) return;
    std::vector<std::string> tokens;
    Tokenize(text, tokens, ",");
    for (int i = 0; i < count && size_t(i) < tokens.size(); ++i) leadingInt(tokens[size_t(i)], &values[i]);
}

void UIConfigManager::getBiDirectLinkValues(std::string text, int* link, int part)
{
    if (!link) return;
    std::vector<std::string> tokens;
    Tokenize(text, tokens, ",");
    link[0] = link[1] = link[2] = -1;
    if (tokens.size() < 2) return;
    const int offset = part > 0 ? part : 0;
    // An unregistered name stays -1: no part may turn it into a real id.
    for (int i = 0; i < 2; ++i) {
        const int id = getParamByName(tokens[size_t(i)]);
        link[i] = id < 0 ? -1 : id + offset;
    }
    if (tokens.size() == 3) leadingInt(tokens[2], &link[2]);
}
