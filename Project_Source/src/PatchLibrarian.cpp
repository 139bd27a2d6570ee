#include "PatchLibrarian.h"

#include "debugger.h"

PatchLibrarian::PatchLibrarian(QOR* creator)
    : logStream(std::ios::in | std::ios::out), owner(creator)
{
}

PatchLibrarian::~PatchLibrarian()
{
    for (int which = 0; which <= 4; ++which) clearDataStructures(which);
}

void PatchLibrarian::clearDataStructures(int which)
{
    std::vector<FolderFiles*>* tree = nullptr;
    switch (which) {
    case 0: tree = &singleFolders; break;
    case 1: tree = &multiFolders; break;
    case 2: tree = &categoryFolders; break;
    case 3: tree = &searchFolders; break;
    case 4: tree = &patternFolders; break;
    default: return;
    }
    for (FolderFiles* node : *tree) delete node;
    tree->clear();
}

PatchFile* PatchLibrarian::adoptBank(PatchFile* bank)
{
    if (bank) ownedBanks.emplace_back(bank);
    return bank;
}

void PatchLibrarian::log(const std::string& text)
{
    if (!logEnabled) return;
    logStream.str(std::string());
    logStream.clear();
    logStream << text;
    DebuggerOutput::printDebugInfo(logFilePath, logStream.str());
}
