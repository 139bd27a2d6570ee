#include "ParamTable.h"
#include "UIConfigManager.h"

#include <cstring>

void UIConfigManager::initParams()
{
    log("CONFIG READER: Started to initialize parameters...");
    for (size_t i = 0; i < kParamTableSize; ++i) mapParamToString(kParamTable[i].name, kParamTable[i].id);
    log("CONFIG READER: Completed!");
}

void UIConfigManager::mapParamToString(std::string name, int id)
{
    // The first registration of a name stays.
    if (!paramIds.emplace(name, id).second) log("CONFIG READER: parameter " + name + " ALREADY EXISTS!");
}

int UIConfigManager::getParamByName(std::string name)
{
    auto it = paramIds.find(name);
    if (it == paramIds.end()) {
        log("CONFIG READER: parameter " + name + " NOT FOUND!");
        return -1;
    }
    return it->second;
}

int UIConfigManager::getPartParamByName(std::string name, int part)
{
    int id = getParamByName(name);
    if (id < 0) return -1;
    int parts = 1;
    for (size_t i = 0; i < kParamTableSize; ++i) {
        if (std::strcmp(kParamTable[i].name, name.c_str()) == 0) {
            parts = kParamTable[i].parts;
            break;
        }
    }
    if (part < 0 || part >= parts) return -1;
    return id + part;
}
