#include "PatchFileImage.h"

#include "PatchFile.h"
#include "PatchLibrarian.h"
#include "SysexFamily.h"

#include <algorithm>
#include <map>
#include "kit/safefile.h"

namespace PatchFileImage {

namespace {

const uint8_t kMidiPrefix[kMidiPrefixSize] = {
    'M', 'T', 'h', 'd', 0x00, 0x00, 0x00, 0x06, // header chunk of 6 bytes
    0x00, 0x01, 0x00, 0x02, 0x01, 0xE0,         // format 1, two tracks, 480 ticks a quarter
    'M', 'T', 'r', 'k', 0x00, 0x00, 0x00, 0x13, // tempo track of 19 bytes
    0x00, 0xFF, 0x58, 0x04, 0x04, 0x02, 0x18, 0x08, // 4/4
    0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,       // 120 beats a minute
    0x00, 0xFF, 0x2F, 0x00,                         // End of Track
    'M', 'T', 'r', 'k', 0x00, 0x00, 0x00, 0x00, // SysEx track, length set when known
};

// Whether the bank reader gives the message back as it is written: whole, with the library's
// header (the maker, a product the reader takes, a model, the type of some bank), no status byte
// before its F7, and not so short that the reader drops it (programs under 25 bytes, patterns
// without room for their name).
bool readsBack(const PatchSysexMessage& message)
{
    using namespace SysexFamily;
    const SysexBytes& b = message.bytes;
    if (!message.isWhole() || b.size() <= kHeaderSize) return false;
    if (b[1] != kMakerId[0] || b[2] != kMakerId[1] || b[3] != kMakerId[2] || b[4] > kMaxProduct) return false;
    const int kind = kindOfType(b[kTypeAt]);
    if (kind < 0 || modelCodeOf(b[kModelAt]) < 0) return false;
    if (std::any_of(b.begin() + 1, b.end() - 1, [](uint8_t x) { return x >= kFirstStatusByte; })) return false;
    const size_t pad = b[kTypeAt] == kTypePatternWithPad ? 1 : 0;
    const size_t shortest = kind == kKindPrograms   ? kShortestStoredProgram
                            : kind == kKindPatterns ? kPatternNameAt - kNameLength + 1 + pad
                                                    : 0;
    return b.size() >= shortest;
}

} // namespace

void appendVariableLength(std::vector<uint8_t>& image, uint32_t value)
{
    uint8_t groups[5];
    int n = 0;
    do {
        groups[n++] = static_cast<uint8_t>(value & 0x7F);
        value >>= 7;
    } while (value != 0);
    while (n > 1) image.push_back(static_cast<uint8_t>(groups[--n] | 0x80));
    image.push_back(groups[0]);
}

std::vector<uint8_t> build(const PatchFile& bank, bool midi)
{
    using namespace SysexFamily;
    // A reader counts messages, not entries: an entry short of the messages its model takes (an
    // empty slot, a broken or missing message) would move every later entry up. Its gaps are
    // filled from the init entry of its kind and model, and messages past its count left out
    // (no reader could give them back to it), so that every entry reads back in its own slot.
    std::map<std::pair<int, int>, LibrarianPatch> inits;
    std::vector<const PatchSysexMessage*> messages;
    size_t total = 0;
    // An entry takes the kind and model of its first message that reads back; a gap those of the
    // entry before it (the bank's before the first).
    int kind = bank.kind, modelCode = bank.modelCode;
    // Empty slots after the last entry move nothing and are left out.
    size_t used = bank.patches.size();
    auto holdsMessage = [](const LibrarianPatch& e) {
        return std::any_of(e.messages.begin(), e.messages.end(), readsBack);
    };
    while (used > 0 && !holdsMessage(bank.patches[used - 1])) --used;
    for (size_t slot = 0; slot < used; ++slot) {
        const LibrarianPatch& entry = bank.patches[slot];
        const auto first = std::find_if(entry.messages.begin(), entry.messages.end(), readsBack);
        if (first != entry.messages.end()) {
            kind = kindOfType(first->bytes[kTypeAt]);
            modelCode = modelCodeOf(first->bytes[kModelAt]);
        }
        const int count = messagesPerEntry(kind, modelCode);
        // A message of another kind, or of a model with another number of messages an entry,
        // would start a new entry in the reader.
        auto fits = [&](const PatchSysexMessage& m) {
            return readsBack(m) && kindOfType(m.bytes[kTypeAt]) == kind &&
                   messagesPerEntry(kind, modelCodeOf(m.bytes[kModelAt])) == count;
        };
        // A stored message's type tells its place in the entry, which the reader gave it by the
        // message counter: an entry whose first message went missing starts with its second.
        const PatchSysexMessage* placed[3] = {};
        int next = 0;
        for (const PatchSysexMessage& m : entry.messages) {
            int place = next;
            for (int k = 0; k < count && m.bytes.size() > kTypeAt; ++k)
                if (storedType(kind, k) == m.bytes[kTypeAt]) place = k;
            if (place < count && fits(m) && !placed[place]) placed[place] = &m;
            next = place + 1;
        }
        for (int k = 0; k < count; ++k) {
            const PatchSysexMessage* m = placed[k];
            if (!m) {
                auto init = inits.find({kind, modelCode});
                if (init == inits.end()) {
                    init = inits.emplace(std::make_pair(kind, modelCode), PatchLibrarian::initEntry(kind, modelCode)).first;
                    // Two model codes share some init messages: each carries its entry's model.
                    for (PatchSysexMessage& gap : init->second.messages) gap.bytes[kModelAt] = storedModelByte(modelCode);
                }
                m = &init->second.messages.at(size_t(k));
            }
            messages.push_back(m);
            total += m->bytes.size() + 6;
        }
    }
    std::vector<uint8_t> image;
    image.reserve(total + kMidiPrefixSize + 4);
    if (midi) {
        image.assign(kMidiPrefix, kMidiPrefix + kMidiPrefixSize);
        if (!messages.empty()) {
            image.push_back(0x00); // delta time of the first event
            image.push_back(SysexFamily::kStart);
            appendVariableLength(image, static_cast<uint32_t>(messages.front()->bytes.size() - 1));
        }
    }
    for (size_t k = 0; k < messages.size(); ++k)
        messages[k]->save(image, midi, k + 1 < messages.size() ? messages[k + 1] : nullptr);
    if (midi) {
        const uint8_t endOfTrack[4] = {0x00, 0xFF, 0x2F, 0x00};
        image.insert(image.end(), endOfTrack, endOfTrack + 4);
        uint32_t trackLength = static_cast<uint32_t>(image.size() - kMidiPrefixSize);
        image[45] = static_cast<uint8_t>(trackLength >> 24);
        image[46] = static_cast<uint8_t>(trackLength >> 16);
        image[47] = static_cast<uint8_t>(trackLength >> 8);
        image[48] = static_cast<uint8_t>(trackLength);
    }
    return image;
}

std::string writeUnderFreeName(const std::string& folder, const std::string& stem, const std::string& extension,
                               const std::vector<uint8_t>& image, std::string* error)
{
    for (int attempt = 1; attempt <= 1000; ++attempt) {
        std::string path = folder + stem + (attempt == 1 ? std::string() : " (" + std::to_string(attempt) + ")") +
                           (extension.empty() ? std::string() : "." + extension);
        bool existed = false;
        if (kit::WriteFileNew(path, image.data(), image.size(), error, &existed)) return path;
        if (!existed) return std::string();
    }
    if (error) *error = "no free name for " + folder + stem + "." + extension;
    return std::string();
}

} // namespace PatchFileImage
