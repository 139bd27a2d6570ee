#pragma once
// The controller's holder of the start-up snapshot and of the 27 names that travel in the host's
// project state.
#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "Patch.h"

class ByteChunk;
class QOR;

class PatchManager {
public:
    // Name table: 0 the multi, 1 to 8 the parts' programs, 9 to 16 unused, 17 to 24 the parts'
    // patterns, 25 the MIDI input device, 26 the MIDI output device.
    static constexpr int kFirstProgramName = 1;
    static constexpr int kFirstPatternName = 17;
    static constexpr int kInputDeviceName = 25;
    static constexpr int kOutputDeviceName = 26;
    static constexpr int kNameLength = 16;
    static constexpr int kDeviceNameLength = 32;
    // The three tags of the chunk and of the block read as this 32-bit number.
    static constexpr uint32_t kTag = 0x01000000;

    explicit PatchManager(QOR* owner) : owner(owner) {}
    PatchManager(const PatchManager&) = delete;
    PatchManager& operator=(const PatchManager&) = delete;

    // The blob (patch.data) and the name table (patch.names, each "INIT" when made).
    Patch patch;
    QOR* owner;
    // Held by whoever reads or writes patch.names: worker jobs rename while the host saves.
    std::mutex namesLock;

    // Replaces the blob with the owner's short state chunk: the snapshot a project carries.
    void init();

    // Appends the block: two tags, the blob's length most significant byte first, the blob,
    // names 0 to 24 (16 characters at most) and names 25 and 26 (32 at most).
    void saveAllToChunk(ByteChunk* chunk);
    // Reads the block at pos into the blob and the names. A block that is not whole (a tag
    // other than kTag, a blob or a name reaching past the end, a negative name length) changes
    // nothing and answers -1; why, when given, then says what was wrong. Else the position after
    // the block.
    int loadAllFromChunk(ByteChunk* chunk, int pos, std::string* why = nullptr);
    // Name index; "INIT" for the unused 9 to 16 and for an index outside the table.
    void getName(std::string* out, int index);
    // One name: text up to its first zero character and maxLength characters at most, as a
    // 32-bit length and the characters.
    static void putStringToChunk(ByteChunk* chunk, std::string text, int maxLength);

    // What a block holds, read whole before it is taken.
    struct Block {
        std::vector<uint8_t> blob;
        std::array<std::string, Patch::kNameCount> names;
    };
    // Reads the block at pos without taking it; -1 (why says why) when it is not whole.
    static int readBlock(const ByteChunk& chunk, int pos, Block* out, std::string* why);
};
