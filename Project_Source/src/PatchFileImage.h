#pragma once
// Bank file images. A bank file is never edited in place: the whole image is built in memory and
// written through kit/safefile.h, so a failure leaves any existing file whole.
#include <cstdint>
#include <string>
#include <vector>

struct PatchFile;

namespace PatchFileImage {

// Size of the fixed part of a bank .mid file up to the second track's events.
constexpr size_t kMidiPrefixSize = 49;

// Appends value as a MIDI variable-length quantity, most significant seven bits first.
void appendVariableLength(std::vector<uint8_t>& image, uint32_t value);

// The image of a bank: the messages of every entry in slot order. midi gives a Standard MIDI File
// of format 1 (a tempo track and a track of SysEx events), else raw SysEx. Each entry is written
// with exactly the number of messages its kind and model take: a missing message or one that is
// not a whole F0..F7 message is written as the init entry's, one past that number is left out.
// Empty slots after the last entry holding a message are left out.
// Lengths are computed from the real sizes.
std::vector<uint8_t> build(const PatchFile& bank, bool midi);

// Writes image under the first free name of folder + stem + ".extension", then
// folder + stem + " (2).extension" and so on; never replaces a file. Answers the path written,
// or empty with *error set.
std::string writeUnderFreeName(const std::string& folder, const std::string& stem, const std::string& extension,
                               const std::vector<uint8_t>& image, std::string* error);

} // namespace PatchFileImage
