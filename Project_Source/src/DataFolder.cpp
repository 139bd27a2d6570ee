#include "DataFolder.h"

#include <cstdlib>

namespace DataFolder {

std::string getDataFolder()
{
    if (const char* env = std::getenv("QOR_DATA_FOLDER"); env && *env) {
        std::string folder = env;
        if (folder.back() != '/') folder += '/';
        return folder;
    }
    return "/Library/Audio/Presets/Tessmoor Audio/Brixtane QOR Editor/";
}

std::string getPatchesFolderStr() { return getDataFolder() + "Patches"; }

int getPatchesFolderLength() { return static_cast<int>(getPatchesFolderStr().size()); }

std::string logFilePath() { return getDataFolder() + kEffectName + " LOG.txt"; }

std::string uiFilePath() { return getDataFolder() + kEffectName + " UI.txt"; }

} // namespace DataFolder
