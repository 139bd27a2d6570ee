// Bank file reader: finds the synthesizer's SysEx messages in a Standard MIDI File or a raw SysEx
// file, rewrites their headers into the library's stored form and gathers them into entries.
#include <algorithm>
#include <cstring>

#include "PatchLibrarian.h"
#include "kit/plugin/IPluginStructs.h"

namespace {

const char kAppendedPatternName[] = "Arpeggio********";

// Model byte written into the stored form for a model code.
uint8_t storedModelByte(int modelCode)
{
    switch (modelCode) {
    case 0: return 0x20;
    case 1: return 0x21;
    case 3: return 0x23;
    default: return 0x24;
    }
}

uint8_t storedType(int kind, int messageIndex)
{
    if (kind == kPatchFilePatterns) return 0x0C;
    if (kind == kPatchFilePerformances) return messageIndex == 0 ? 0x07 : messageIndex == 1 ? 0x1C : 0x21;
    return messageIndex == 0 ? 0x02 : 0x1F;
}

// Messages that make up one entry of a bank of this kind and model code.
int messagesPerEntry(int kind, int modelCode)
{
    if (kind == kPatchFilePrograms) return modelCode >= 2 ? 2 : 1;
    if (kind == kPatchFilePerformances) return modelCode == 0 ? 1 : modelCode == 1 ? 2 : 3;
    return 1;
}

LibrarianPatch& entryAt(PatchFile* bank, int slot)
{
    if (static_cast<size_t>(slot) >= bank->patches.size()) bank->patches.resize(static_cast<size_t>(slot) + 1);
    return bank->patches[static_cast<size_t>(slot)];
}

void setCategoryFrom(LibrarianPatch& entry, const std::vector<uint8_t>& message, size_t index)
{
    if (index < message.size())
        if (const char* text = LibrarianPatch::categoryName(message[index])) entry.category = text;
}

} // namespace

bool PatchLibrarian::findByte(const uint8_t* data, int size, int& pos, int value)
{
    if (pos < 0) return false;
    while (pos < size) {
        if (data[pos++] == value) return true;
    }
    pos = -1;
    return false;
}

void PatchLibrarian::loadFromChunk(const uint8_t* data, int size, PatchFile* bank, int)
{
    if (!data || !bank || size < 15 || size > kMaxBankFileBytes) return;

    static const uint8_t kMidiHeader[8] = {'M', 'T', 'h', 'd', 0x00, 0x00, 0x00, 0x06};
    int pos = std::memcmp(data, kMidiHeader, sizeof kMidiHeader) == 0 ? 14 : 0;

    readMismatch = 0;
    int counter = 0;
    int index = 0;
    int reached = readMIDIMessage(data, size, pos, bank, 0, counter, index);
    while (reached > 0) {
        if (readMismatch && bank->patches.empty()) {
            counter = 0;
            index = 0;
        } else if (readMismatch) {
            // Bytes between two messages of one entry are no reason to restart the entry: the
            // message still awaited keeps its index, so it keeps its stored type byte.
        } else {
            ++counter;
            ++index;
        }
        if (index >= messagesPerEntry(bank->kind, bank->modelCode)) index = 0;
        reached = readMIDIMessage(data, size, pos, bank, 0, counter, index);
    }
    createCategories(bank);
}

void PatchLibrarian::loadFromChunk(ByteChunk* chunk, int size, PatchFile* bank, int mode)
{
    if (!chunk) return;
    if (size > chunk->Size()) size = chunk->Size();
    loadFromChunk(chunk->GetBytes(), size, bank, mode);
}

int PatchLibrarian::readMIDIMessage(const uint8_t* data, int size, int& pos, PatchFile* bank, int,
                                    int counter, int messageIndex)
{
    if (!findByte(data, size, pos, 0x00)) {
        pos = -1;
        readMismatch = 1;
        return -1;
    }
    const int p = pos;
    auto mismatchAt = [&](int failed) {
        pos = failed + 1;
        readMismatch = 1;
        return pos;
    };
    auto exhausted = [&]() {
        pos = -1;
        return -1;
    };

    if (p >= size) return exhausted();
    if (data[p] != 0x20) return mismatchAt(p);
    if (p + 1 >= size) return exhausted();
    if (data[p + 1] != 0x29) return mismatchAt(p + 1);
    if (p + 2 >= size) return exhausted();
    if (data[p + 2] > 0x0F) return mismatchAt(p + 2);
    if (p + 3 >= size) return exhausted();
    const uint8_t model = data[p + 3];
    if (model < 0x20 || model > 0x24) return mismatchAt(p + 3);
    bank->modelCode = model == 0x24 ? 2 : model - 0x20;
    if (p + 4 >= size) return exhausted();
    if (data[p + 4] >= 0x80) return mismatchAt(p + 4);
    if (p + 5 >= size) return exhausted();
    const uint8_t type = data[p + 5];
    const int kind = PatchFile::kindOfMessageType(type);
    if (kind < 0) return mismatchAt(p + 5);
    bank->kind = kind;
    int body = p + 6;
    if (type == 0x22) {
        if (body >= size) return exhausted();
        ++body; // patterns of this type carry one byte that the stored form leaves out
    }

    // A message ends at its F7. One whose F7 is missing ends at the next status byte or at the end
    // of the data and is dropped like a message too short to store: its bytes are not trusted.
    int k = body;
    while (k < size && data[k] != 0xF7 && data[k] < 0x80) ++k;
    if (k >= size) return exhausted();
    if (data[k] != 0xF7) {
        pos = k;
        return pos;
    }
    pos = k;

    PatchSysexMessage message;
    std::vector<uint8_t>& bytes = message.bytes;
    const size_t bodySize = static_cast<size_t>(k - body);
    bytes.resize(8 + bodySize);
    const uint8_t header[8] = {0xF0, 0x00, 0x20, 0x29, 0x01, storedModelByte(bank->modelCode), 0x0F,
                               storedType(kind, messageIndex)};
    std::copy(header, header + 8, bytes.begin());
    std::copy(data + body, data + k, bytes.begin() + 8);

    if (kind != kPatchFilePatterns) {
        if (bytes.size() >= 201 && bytes.size() <= 399)
            for (size_t i = 10; i <= 25; ++i)
                if (bytes[i] < 0x20) bytes[i] = 0x20;
    } else if (bytes.size() <= 203) {
        bytes.insert(bytes.end(), kAppendedPatternName, kAppendedPatternName + 16);
    }
    bytes.push_back(0xF7);
    const size_t stored = bytes.size();
    const int slot = counter / messagesPerEntry(kind, bank->modelCode);

    if (kind == kPatchFilePrograms) {
        if (stored < 25) return pos;
        LibrarianPatch& entry = entryAt(bank, slot);
        entry.patchType = bank->modelCode;
        if (stored >= 201) {
            LibrarianPatch::appendName(entry.name, bytes, 10, stored);
            setCategoryFrom(entry, bytes, 27);
        }
        entry.messages.push_back(std::move(message));
    } else if (kind == kPatchFilePerformances) {
        LibrarianPatch& entry = entryAt(bank, slot);
        entry.patchType = 6 + bank->modelCode;
        if (stored >= 301 && stored <= 399) LibrarianPatch::appendName(entry.name, bytes, 10, stored);
        entry.messages.push_back(std::move(message));
    } else {
        if (stored <= 203) return pos;
        if (stored == 204 || stored > 220) {
            LibrarianPatch entry;
            entry.name = kAppendedPatternName;
            entry.patchType = 5;
            entry.messages.push_back(std::move(message));
            bank->patches.push_back(std::move(entry));
        } else {
            LibrarianPatch& entry = entryAt(bank, slot);
            // A message shorter than a full pattern holds fewer name bytes; the F7 is no name.
            LibrarianPatch::appendName(entry.name, bytes, 203, stored - 1);
            entry.messages.push_back(std::move(message));
        }
    }
    readMismatch = 0;
    return pos;
}
