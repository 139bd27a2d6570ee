#pragma once
// One stored SysEx message of a library entry, F0 to F7, in the library's stored form.
#include <cstdint>
#include <vector>

struct PatchSysexMessage {
    std::vector<uint8_t> bytes;

    // A message the writers can put into a bank file: at least F0 F7, opened by F0, closed by F7.
    bool isWhole() const;

    // Appends this message to a bank file image. Raw: every byte, F0 to F7. MIDI: the bytes after
    // F0 and, when next is given, the header of the next SysEx event (delta 500 ticks, F0 and the
    // next message's length), computed from the next message's real size. The caller writes the
    // first event's header and the End of Track.
    void save(std::vector<uint8_t>& image, bool midi, const PatchSysexMessage* next) const;
};
