// Arbitrary bytes as an enciphered configuration file: every size, partial last blocks and
// noise after decipherment must be taken without harm. Deciphered once: the document readers
// of plain XML are the other configuration target's work.
#include "config_fuzz_loader.h"

#include <tinyxml2.h>

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzConfigManager& manager = FuzzConfigManager::instance();
    manager.loader.file.assign(reinterpret_cast<const char*>(data), size);
    std::string text = manager.decipherResource(UIConfigManager::kLayoutResourceId, UIConfigManager::kLayoutResource);
    if (size > 0 && text.size() != (size + 7) / 8 * 8) __builtin_trap();
    // The text up to its first zero, as the readers parse it.
    tinyxml2::XMLDocument document(true, tinyxml2::PRESERVE_WHITESPACE);
    if (document.Parse(text.c_str()) == tinyxml2::XML_SUCCESS) {
        manager.valueLists.clear();
        manager.readReasources(&document);
    }
    return 0;
}
