// Plain XML, enciphered as the build does, read as both configuration documents: the SysEx
// template reader, the value-list reader, the template conversion and the messages built from
// each template must take anything.
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
    // Every template through the messages and key of a SysEx control, with the changing byte,
    // count, start and part taken from the input's first bytes.
    auto pick = [&](size_t i, int lo, int span) { return lo + (i < size ? int(data[i] % span) : 0); };
    for (size_t i = 0; i <= manager.sysexContainers.size(); ++i) {
        ControlAction action(ControlAction::kSysEx);
        manager.setSysexMessages(&action, nullptr, static_cast<int>(i), pick(0, -1, 12), pick(1, -1, 140),
                                 pick(2, -2, 260), pick(3, -1, 10), 0);
    }
    for (const auto& list : manager.valueLists)
        for (const auto& text : list.second) UIConfigManager::convertStringSysextoVector(text);
    return 0;
}
