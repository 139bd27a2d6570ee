#pragma once
// The one folder outside the bundle that the editor reads and writes: the log file, the UI-size
// file and the patch library. The controller's getDataFolder, getPatchesFolderStr and
// getPatchesFolderLength answer from here.
#include <string>

namespace DataFolder {

// The effect name that starts the names of the log and UI-size files.
inline constexpr const char* kEffectName = "QOR Editor";

// "/Library/Audio/Presets/Tessmoor Audio/Brixtane QOR Editor/", trailing "/" included; the
// environment variable QOR_DATA_FOLDER replaces it (a trailing "/" is added when missing).
std::string getDataFolder();
// The library root: the data folder followed by "Patches", without a trailing "/".
std::string getPatchesFolderStr();
int getPatchesFolderLength();
// The data folder, the effect name and " LOG.txt".
std::string logFilePath();
// The data folder, the effect name and " UI.txt".
std::string uiFilePath();

} // namespace DataFolder
