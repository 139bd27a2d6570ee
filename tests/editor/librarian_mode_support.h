#pragma once
// Library files and list views for the tests of the controller's librarian operations.
#include "Project_Source/src/PatchFile.h"
#include "support/bankgen.h"

#include <string>
#include <vector>

namespace librarianmode
{

// A full bank of kind as a raw SysEx file.
inline bankgen::Bytes rawBank(bankgen::Kind kind, uint32_t seed)
{
    return bankgen::rawFile(bankgen::messagesOf(bankgen::makeBank(kind, 0x20, 128, seed)));
}

inline std::vector<std::string> fileNames(const std::vector<PatchFile*>& banks)
{
    std::vector<std::string> names;
    for (const PatchFile* bank : banks) names.push_back(bank->fileName);
    return names;
}

} // namespace librarianmode
