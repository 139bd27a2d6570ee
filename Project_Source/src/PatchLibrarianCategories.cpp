// Category names met in the loaded program banks.
#include <algorithm>

#include "PatchLibrarian.h"
#include "PatchLibrarianText.h"

void PatchLibrarian::createCategories(PatchFile* file)
{
    if (!file || file->patches.empty() || file->kind != kPatchFilePrograms) return;
    std::vector<std::string> known;
    bool lowered = false;
    PatchLibrarianText::NameFinder listed(categoryNames, 0);
    for (const LibrarianPatch& entry : file->patches) {
        if (listed.find(entry.category) != PatchLibrarianText::NameFinder::npos) continue;
        // Lower-case copies of the listed names, made only when an entry's category is not
        // listed as spelled: most banks bring no new name.
        if (!lowered) {
            known.reserve(categoryNames.size() + 1);
            for (const std::string& name : categoryNames) known.push_back(PatchLibrarianText::lowered(name));
            lowered = true;
        }
        std::string low = PatchLibrarianText::lowered(entry.category);
        if (std::find(known.begin(), known.end(), low) != known.end()) continue;
        categoryNames.push_back(entry.category);
        known.push_back(low);
    }
}
