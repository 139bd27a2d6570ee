#pragma once
// UTF-8 to code points and back, for the stand-ins' text fields; not part of the
// CoreFoundation interface. A malformed byte counts as one character of its own value.
#include <cstdint>
#include <string>
#include <vector>

namespace cf_standin
{

std::vector<uint32_t> DecodeUtf8(const char* text);
std::string EncodeUtf8(const std::vector<uint32_t>& chars, size_t from = 0, size_t to = SIZE_MAX);

} // namespace cf_standin
