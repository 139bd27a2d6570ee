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
    if (categoryNames.size() < 2) return;
    // Index 0, the first name met, gets no banks.
    PatchLibrarianText::NameFinder names(categoryNames, 1);
    auto eligible = [](const PatchFile* bank) { return bank && bank->modelCode <= 3; };

    // First walk: which category each entry goes to (0: none), and how many each receives.
    std::vector<uint32_t> destination;
    std::vector<size_t> counts(categoryNames.size(), 0);
    {
        size_t entries = 0;
        for (const PatchFile* bank : singleFiles)
            if (eligible(bank)) entries += bank->patches.size();
        destination.reserve(entries);
    }
    for (const PatchFile* bank : singleFiles) {
        if (!eligible(bank)) continue;
        for (const LibrarianPatch& entry : bank->patches) {
            const size_t index = names.find(entry.category);
            const size_t to = index != PatchLibrarianText::NameFinder::npos && isUsable(entry) ? index : 0;
            destination.push_back(static_cast<uint32_t>(to));
            ++counts[to];
        }
    }

    // Every category's banks, made at their final size: floor(N / 128) + 1 of them, the last
    // one empty when N is a multiple of 128.
    std::vector<std::vector<PatchFile*>> banksOf(categoryNames.size());
    for (size_t i = 1; i < categoryNames.size(); ++i) {
        const std::string& category = categoryNames[i];
        const size_t found = counts[i];
        const size_t banks = found / PatchFile::kBankSize + 1;
        for (size_t b = 0; b < banks; ++b) {
            PatchFile* bank = adoptBank(new PatchFile);
            bank->fileName = category + " " + std::to_string(b + 1);
            bank->folderName = category;
            bank->patches.reserve(std::min<size_t>(PatchFile::kBankSize, found - std::min(found, b * PatchFile::kBankSize)));
            banksOf[i].push_back(bank);
        }
    }

    // Second walk, in library order as the first: each entry is copied while its bytes are at
    // hand, into the bank its category has reached.
    std::fill(counts.begin(), counts.end(), 0);
    size_t at = 0;
    for (const PatchFile* bank : singleFiles) {
        if (!eligible(bank)) continue;
        for (const LibrarianPatch& entry : bank->patches) {
            const uint32_t to = destination[at++];
            if (to == 0) continue;
            appendDerivedEntry(banksOf[to][counts[to]++ / PatchFile::kBankSize], entry, 1);
        }
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
