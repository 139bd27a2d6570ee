// Banks derived in memory from the loaded program banks: one set per category, and the results
// of a name search.
#include <algorithm>

#include "PatchLibrarian.h"
#include "PatchLibrarianText.h"

namespace {

// Entries without a whole first message have nothing to show or send; derived banks skip them.
bool isUsable(const LibrarianPatch& entry)
{
    return !entry.messages.empty() && entry.messages.front().isWhole() && entry.messages.front().bytes.size() > 8;
}

// Appends to bank a copy of source with its first messageCount messages, built in place.
void appendDerivedEntry(PatchFile* bank, const LibrarianPatch& source, size_t messageCount)
{
    LibrarianPatch& entry = bank->patches.emplace_back();
    entry.patchType = 0;
    entry.messages.reserve(std::min(messageCount, source.messages.size()));
    for (size_t m = 0; m < messageCount && m < source.messages.size(); ++m) entry.messages.push_back(source.messages[m]);
    const SysexBytes& first = entry.messages.front().bytes;
    // The F7 is no name character.
    LibrarianPatch::appendName(entry.name, first, 10, first.size() - 1);
    entry.parseCategory(27);
}

template <class Match>
std::vector<const LibrarianPatch*> gather(const std::vector<PatchFile*>& banks, Match match)
{
    std::vector<const LibrarianPatch*> found;
    for (const PatchFile* bank : banks) {
        if (!bank || bank->modelCode > 3 || bank->patches.empty()) continue;
        for (const LibrarianPatch& entry : bank->patches)
            if (isUsable(entry) && match(entry)) found.push_back(&entry);
    }
    return found;
}

} // namespace

void PatchLibrarian::createNewCategoryPatchFiles()
{
    std::lock_guard<std::recursive_mutex> hold(mLock);
    if (categoryNames.size() < 2) return;
    // Index 0, the first name met, gets no banks.
    PatchLibrarianText::NameFinder names(categoryNames, 1);
    // Bank b (from 1) of a category: made when the category's entries reach it, with room for a
    // whole bank.
    std::vector<std::vector<PatchFile*>> banksOf(categoryNames.size());
    auto addBank = [&](size_t i) {
        PatchFile* bank = adoptBank(new PatchFile);
        bank->fileName = categoryNames[i] + " " + std::to_string(banksOf[i].size() + 1);
        bank->folderName = categoryNames[i];
        banksOf[i].push_back(bank);
        return bank;
    };
    // One walk in library order: each entry is copied while its bytes are at hand.
    std::vector<size_t> counts(categoryNames.size(), 0);
    for (const PatchFile* source : singleFiles) {
        if (!source || source->modelCode > 3) continue;
        const std::vector<LibrarianPatch>& entries = source->patches;
        for (size_t k = 0; k < entries.size(); ++k) {
            // The message of an entry a few ahead is fetched while this one is copied: its ends
            // are tested and its name read.
            constexpr size_t kAhead = 8;
            if (k + kAhead < entries.size() && !entries[k + kAhead].messages.empty()) {
                const SysexBytes& ahead = entries[k + kAhead].messages.front().bytes;
                if (ahead.size() > 27) {
                    __builtin_prefetch(ahead.data());
                    __builtin_prefetch(ahead.data() + 27);
                    __builtin_prefetch(ahead.data() + ahead.size() - 1);
                }
            }
            const LibrarianPatch& entry = entries[k];
            const size_t i = names.find(entry.category);
            if (i == PatchLibrarianText::NameFinder::npos || !isUsable(entry)) continue;
            PatchFile* bank = counts[i]++ % PatchFile::kBankSize == 0 ? addBank(i) : banksOf[i].back();
            std::vector<LibrarianPatch>& into = bank->patches;
            if (into.empty()) into.reserve(PatchFile::kBankSize);
            PatchFile::fetchRoomAhead(into);
            appendDerivedEntry(bank, entry, 1);
        }
    }
    // floor(N / 128) + 1 banks a category: the last one is empty when N is a multiple of 128,
    // zero included. A last bank that is not full gives back the room it did not use.
    for (size_t i = 1; i < categoryNames.size(); ++i) {
        if (counts[i] % PatchFile::kBankSize == 0) addBank(i);
        else banksOf[i].back()->patches.shrink_to_fit();
    }

    for (size_t i = 1; i < categoryNames.size(); ++i) {
        const std::string& category = categoryNames[i];
        for (PatchFile* bank : banksOf[i]) {
            if (!bank->patches.empty()) categoryFiles.push_back(bank);

            SubFolderFiles second;
            second.name = category;
            second.files.push_back(bank);
            bool filed = false;
            for (FolderFiles* top : categoryFolders)
                for (SubFolderFiles& node : top->subFolders)
                    if (node.name == category) {
                        node.files.push_back(bank);
                        filed = true;
                    }
            if (!filed) categoryFolders.push_back(new FolderFiles(bank->fileName, second));
        }
    }
}

void PatchLibrarian::createNewSearchPatchFiles(std::string text)
{
    std::lock_guard<std::recursive_mutex> hold(mLock);
    searchFiles.clear();
    clearDataStructures(3);
    retireUnlistedBanks();
    std::vector<const LibrarianPatch*> found =
        gather(singleFiles, [&text](const LibrarianPatch& e) { return e.name.find(text) != std::string::npos; });
    if (found.empty()) return;
    const size_t banks = found.size() / PatchFile::kBankSize + 1;
    for (size_t b = 0; b < banks; ++b) {
        PatchFile* bank = adoptBank(new PatchFile);
        bank->fileName = "Search Results " + std::to_string(b + 1);
        bank->folderName = "Patches";
        for (size_t k = b * PatchFile::kBankSize; k < found.size() && k < (b + 1) * PatchFile::kBankSize; ++k)
            appendDerivedEntry(bank, *found[k], 2);
        searchFiles.push_back(bank);
        if (!searchFolders.empty() && searchFolders.front()->name == "Patches") {
            searchFolders.front()->files.push_back(bank);
        } else {
            FolderFiles* top = new FolderFiles;
            top->name = "Patches";
            top->files.push_back(bank);
            searchFolders.push_back(top);
        }
    }
}
