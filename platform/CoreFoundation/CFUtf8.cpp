#include "CFUtf8.h"

std::vector<uint32_t> cf_standin::DecodeUtf8(const char* s)
{
    std::vector<uint32_t> out;
    if (!s) return out;
    const auto* p = reinterpret_cast<const unsigned char*>(s);
    while (*p) {
        const unsigned char b = *p;
        const int more = b >= 0xF0 && b < 0xF8 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
        uint32_t c = more == 3 ? b & 0x07 : more == 2 ? b & 0x0F : more == 1 ? b & 0x1F : b;
        int n = 1;
        for (; n <= more && (p[n] & 0xC0) == 0x80; ++n) c = (c << 6) | (p[n] & 0x3F);
        if (n <= more) { // cut short: the lead byte alone
            c = b;
            n = 1;
        }
        out.push_back(c);
        p += n;
    }
    return out;
}

std::string cf_standin::EncodeUtf8(const std::vector<uint32_t>& chars, size_t from, size_t to)
{
    std::string out;
    for (size_t i = from; i < to && i < chars.size(); ++i) {
        const uint32_t c = chars[i];
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}
