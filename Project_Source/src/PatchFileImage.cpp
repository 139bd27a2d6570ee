#include "PatchFileImage.h"

#include "PatchFile.h"
#include "SysexFamily.h"
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
    std::vector<const PatchSysexMessage*> messages;
    size_t total = 0;
    for (const LibrarianPatch& entry : bank.patches) {
        for (const PatchSysexMessage& m : entry.messages) {
            if (!m.isWhole()) continue;
            messages.push_back(&m);
            total += m.bytes.size() + 6;
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
