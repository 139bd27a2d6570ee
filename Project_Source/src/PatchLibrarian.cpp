#include "PatchLibrarian.h"

#include <set>

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

void PatchLibrarian::retireUnlistedBanks()
{
    std::set<const PatchFile*> listed;
    for (const auto* list : {&singleFiles, &patternFiles, &multiFiles, &searchFiles, &categoryFiles})
        listed.insert(list->begin(), list->end());
    // Trees also hold banks that no list names (empty category banks, files without entries).
    for (const auto* tree : {&singleFolders, &multiFolders, &patternFolders, &searchFolders, &categoryFolders})
        for (const FolderFiles* top : *tree) {
            listed.insert(top->files.begin(), top->files.end());
            for (const SubFolderFiles& second : top->subFolders) {
                listed.insert(second.files.begin(), second.files.end());
                for (const SubFolderFiles2& third : second.subFolders) listed.insert(third.files.begin(), third.files.end());
            }
        }
    std::vector<std::unique_ptr<PatchFile>> keep;
    for (std::unique_ptr<PatchFile>& bank : ownedBanks) {
        if (listed.count(bank.get())) keep.push_back(std::move(bank));
        else retiredBanks.push_back(std::move(bank));
    }
    ownedBanks.swap(keep);
}

void PatchLibrarian::releaseRetiredBanks()
{
    std::lock_guard<std::recursive_mutex> hold(mLock);
    retiredBanks.clear();
}

void PatchLibrarian::log(const std::string& text)
{
    if (!logEnabled) return;
    // One stream for every thread that logs.
    std::lock_guard<std::recursive_mutex> hold(mLock);
    logStream.str(std::string());
    logStream.clear();
    logStream << text;
    DebuggerOutput::printDebugInfo(logFilePath, logStream.str());
}
