// Category names met in the loaded program banks.
#include <algorithm>
#include <cctype>

#include "PatchLibrarian.h"

namespace {
std::string lowered(const std::string& text)
{
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}
} // namespace

void PatchLibrarian::createCategories(PatchFile* file)
{
    if (!file || file->patches.empty() || file->kind != kPatchFilePrograms) return;
    std::vector<std::string> known;
    known.reserve(categoryNames.size());
    for (const std::string& name : categoryNames) known.push_back(lowered(name));
    for (const LibrarianPatch& entry : file->patches) {
        std::string low = lowered(entry.category);
        if (std::find(known.begin(), known.end(), low) != known.end()) continue;
        categoryNames.push_back(entry.category);
        known.push_back(low);
    }
}
