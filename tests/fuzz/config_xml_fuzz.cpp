// Plain XML, enciphered as the build does, read as both configuration documents: the SysEx
// template reader, the value-list reader and the template conversion must take anything.
#include "Project_Source/src/tea.h"
#include "config_fuzz_loader.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string plain(reinterpret_cast<const char*>(data), size);
    while (plain.size() % 8 != 0) plain.push_back('\0');
    unsigned int key[4];
    Tea::configurationKey(key);
    Tea tea;
    for (size_t i = 0; i < plain.size(); i += 8) tea.simpleencrypt(reinterpret_cast<unsigned char*>(&plain[i]), key);

    FuzzConfigManager& manager = FuzzConfigManager::instance();
    manager.readInput(std::move(plain));
    for (size_t i = 0; i <= manager.sysexContainers.size(); ++i) {
        std::vector<int> bytes;
        manager.getSysexTemplate(static_cast<int>(i), &bytes);
    }
    for (const auto& list : manager.valueLists)
        for (const auto& text : list.second) UIConfigManager::convertStringSysextoVector(text);
    return 0;
}
