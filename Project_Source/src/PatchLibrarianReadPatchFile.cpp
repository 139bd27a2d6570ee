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

// Reads a variable-length number of at most four bytes at pos; false when it does not end there.
bool readVariableLength(const uint8_t* data, int size, int& pos, uint32_t& value)
{
    value = 0;
    for (int n = 0; n < 4 && pos < size; ++n) {
        const uint8_t b = data[pos++];
        value = (value << 7) | (b & 0x7Fu);
        if (b < 0x80) return true;
    }
    return false;
}

// In a Standard MIDI File a dump may travel as several packets: an F0 event whose data does not
// end in F7, then escape events (delta time, F7, length, bytes) carrying the rest, the last of
// them ending in F7. Read byte by byte, the next packet's delta time would be taken for the dump's
// own data and its F7 for the dump's end, so the pieces are put back together from the events.
// start is the message's 00 just after the event's length. Answers 1 with the body bytes from
// bodyAt to before the final F7 and end on that F7; 0 when the bytes before start are no F0
// event whose first packet stops short of its F7 (the message is then read as it stands); -1
// when such a first packet is not followed by its continuation (end is where that failed).
int gatherPackets(const uint8_t* data, int size, int start, int bodyAt, std::vector<uint8_t>& body, int& end)
{
    // The event's length field ends just before start and follows its F0.
    if (start < 2 || data[start - 1] >= 0x80) return 0;
    int lengthAt = -1;
    for (int at = start - 1; at >= 1 && at > start - 5; --at) {
        if (at < start - 1 && data[at] < 0x80) return 0;
        if (data[at - 1] == 0xF0) {
            lengthAt = at;
            break;
        }
    }
    if (lengthAt < 0) return 0;
    int q = lengthAt;
    uint32_t length = 0;
    if (!readVariableLength(data, size, q, length) || q != start) return 0;
    const int64_t packetEnd = static_cast<int64_t>(start) + length;
    if (packetEnd > size || packetEnd < bodyAt) return 0;
    for (int k = start; k < packetEnd; ++k)
        if (data[k] >= 0x80) return 0; // a whole dump, or a length that does not fit the bytes
    body.assign(data + bodyAt, data + packetEnd);

    q = static_cast<int>(packetEnd);
    for (;;) {
        uint32_t delta = 0;
        end = q;
        if (!readVariableLength(data, size, q, delta) || q >= size || data[q] != 0xF7) return -1;
        ++q;
        if (!readVariableLength(data, size, q, length) || length > static_cast<uint32_t>(size - q)) {
            end = q;
            return -1;
        }
        const int stop = q + static_cast<int>(length);
        for (; q < stop; ++q) {
            if (data[q] == 0xF7 && q + 1 == stop) {
                end = q;
                return 1;
            }
            if (data[q] >= 0x80) {
                end = q;
                return -1;
            }
            body.push_back(data[q]);
        }
    }
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
    // Scanning goes on after the byte that failed; a failing 00 is looked at again, since it may
    // open the next message (a MIDI length such as 82 00 stands right before a dump's own 00).
    auto mismatchAt = [&](int failed) {
        pos = data[failed] == 0x00 ? failed : failed + 1;
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

    std::vector<uint8_t> packets;
    int k = body;
    const int gathered = gatherPackets(data, size, p - 1, body, packets, k);
    if (gathered < 0) {
        // A dump cut into packets whose rest is missing is incomplete: dropped like one without F7.
        pos = k;
        return pos;
    }
    if (gathered == 0) {
        // A message ends at its F7. One whose F7 is missing ends at the next status byte or at the
        // end of the data and is dropped like a message too short to store: its bytes are not trusted.
        while (k < size && data[k] != 0xF7 && data[k] < 0x80) ++k;
        if (k >= size) return exhausted();
        if (data[k] != 0xF7) {
            pos = k;
            return pos;
        }
    }
    pos = k;

    PatchSysexMessage message;
    std::vector<uint8_t>& bytes = message.bytes;
    const uint8_t header[8] = {0xF0, 0x00, 0x20, 0x29, 0x01, storedModelByte(bank->modelCode), 0x0F,
                               storedType(kind, messageIndex)};
    bytes.assign(header, header + 8);
    if (gathered > 0) bytes.insert(bytes.end(), packets.begin(), packets.end());
    else bytes.insert(bytes.end(), data + body, data + k);

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
