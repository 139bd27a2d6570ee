// Arbitrary bytes as an enciphered configuration file: every size, partial last blocks and
// noise after decipherment must be taken without harm.
#include "config_fuzz_loader.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzConfigManager& manager = FuzzConfigManager::instance();
    manager.loader.file.assign(reinterpret_cast<const char*>(data), size);
    std::string text = manager.decipherResource(UIConfigManager::kLayoutResourceId, UIConfigManager::kLayoutResource);
    if (size > 0 && text.size() != (size + 7) / 8 * 8) __builtin_trap();
    manager.readInput(std::string(reinterpret_cast<const char*>(data), size));
    return 0;
}
