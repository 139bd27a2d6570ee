#pragma once
// What the bank fuzz targets expect of a bank written and read again. A gap is of the kind and
// model of the entry before it.
#include <algorithm>
#include <cstring>

#include "Project_Source/src/PatchLibrarian.h"
#include "Project_Source/src/SysexFamily.h"

namespace bankfuzz {

// Two messages alike but for the device, model and type bytes, which the reader gives each stored
// message from its bank and its place in the entry.
inline bool sameBody(const SysexBytes& a, const SysexBytes& b)
{
    using SysexFamily::kTypeAt;
    return a.size() == b.size() && a.size() > kTypeAt && std::memcmp(a.data(), b.data(), SysexFamily::kModelAt) == 0 &&
           std::memcmp(a.data() + kTypeAt + 1, b.data() + kTypeAt + 1, a.size() - kTypeAt - 1) == 0;
}

// Null when got is written read back as it should be, else what differs: every entry in its own
// slot with as many messages as its kind and model take, among them every whole message it had.
inline const char* roundTripFault(const PatchFile& written, const PatchFile& got)
{
    using namespace SysexFamily;
    auto whole = [](const PatchSysexMessage& m) { return m.isWhole(); };
    // Empty slots at the end are not written.
    size_t used = written.patches.size();
    while (used > 0 && std::none_of(written.patches[used - 1].messages.begin(), written.patches[used - 1].messages.end(), whole))
        --used;
    if (used != got.patches.size()) return "a bank reads back with another number of entries";
    int kind = written.kind, model = written.modelCode;
    for (size_t s = 0; s < used; ++s) {
        const LibrarianPatch& x = written.patches[s];
        const LibrarianPatch& y = got.patches[s];
        if (!x.messages.empty() && x.messages[0].isWhole() && x.messages[0].bytes.size() > kTypeAt) {
            const SysexBytes& first = x.messages[0].bytes;
            if (kindOfType(first[kTypeAt]) >= 0 && modelCodeOf(first[kModelAt]) >= 0) {
                kind = kindOfType(first[kTypeAt]);
                model = modelCodeOf(first[kModelAt]);
            }
        }
        const size_t count = size_t(messagesPerEntry(kind, model));
        if (y.messages.size() != count) return "an entry reads back with another number of messages than its model takes";
        for (const PatchSysexMessage& m : x.messages)
            if (m.isWhole() && std::none_of(y.messages.begin(), y.messages.end(),
                                            [&](const PatchSysexMessage& back) { return sameBody(m.bytes, back.bytes); }))
                return "a message of an entry is missing when it is read back";
        if (size_t(std::count_if(x.messages.begin(), x.messages.end(), whole)) == count && x.name != y.name)
            return "an entry reads back with another name";
    }
    return nullptr;
}

} // namespace bankfuzz
