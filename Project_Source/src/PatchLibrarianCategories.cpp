// Category names met in the loaded program banks.
#include <algorithm>

#include "PatchLibrarian.h"
#include "PatchLibrarianText.h"

void PatchLibrarian::createCategories(PatchFile* file)
{
    if (!file || file->patches.empty() || file->kind != kPatchFilePrograms) return;
    // Lower-case copies of the listed names, made only when an entry's category is not listed
    // as spelled: most banks bring no new name.
    std::vector<std::string> known;
    bool lowered = false;
    const std::string* last = nullptr;
    for (const LibrarianPatch& entry : file->patches) {
        // Neighbouring entries often share a category, and a name listed as spelled needs no
        // lower-casing.
        if (last && entry.category == *last) continue;
        last = &entry.category;
        if (std::find(categoryNames.begin(), categoryNames.end(), entry.category) != categoryNames.end()) continue;
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
