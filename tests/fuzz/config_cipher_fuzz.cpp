// Arbitrary bytes as an enciphered configuration file: every size, partial last blocks and
// noise after decipherment must be taken without harm.
#include "Project_Source/src/UIConfigManager.h"
#include "config_fuzz_loader.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzConfigLoader loader(std::string(reinterpret_cast<const char*>(data), size));
    UIConfigManager manager;
    manager.graphics = &loader;
    std::string text = manager.decipherResource(UIConfigManager::kLayoutResourceId, UIConfigManager::kLayoutResource);
    if (size > 0 && text.size() != (size + 7) / 8 * 8) __builtin_trap();
    manager.readUIConfig(&loader, nullptr, nullptr, 0, 1.15);
    manager.ClearImageCache();
    return 0;
}
