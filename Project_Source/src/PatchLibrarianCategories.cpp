// Category names met in the loaded program banks.
#include <algorithm>

#include "PatchLibrarian.h"
#include "PatchLibrarianText.h"

void PatchLibrarian::createCategories(PatchFile* file)
{
    if (!file || file->patches.empty() || file->kind != kPatchFilePrograms) return;
    std::vector<std::string> known;
    known.reserve(categoryNames.size());
    for (const std::string& name : categoryNames) known.push_back(PatchLibrarianText::lowered(name));
    for (const LibrarianPatch& entry : file->patches) {
        std::string low = PatchLibrarianText::lowered(entry.category);
        if (std::find(known.begin(), known.end(), low) != known.end()) continue;
        categoryNames.push_back(entry.category);
        known.push_back(low);
    }
}
