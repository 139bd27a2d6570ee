// Bank file reader: finds the synthesizer's SysEx messages in a Standard MIDI File or a raw SysEx
// file, rewrites their headers into the library's stored form and gathers them into entries.
#include <algorithm>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "PatchLibrarian.h"
#include "SysexFamily.h"
#include "kit/plugin/IPluginStructs.h"

using namespace SysexFamily;

namespace {

// Offsets within a message counted from its 00 (the byte after F0).
constexpr int kMakerAt = 1, kSecondMakerAt = 2, kProductAt = 3, kModelByteAt = 4, kDeviceByteAt = 5, kTypeByteAt = 6;

// The entry at slot, made when the bank does not reach it yet, with room for its messages.
LibrarianPatch& entryAt(PatchFile* bank, int slot, int messages)
{
    // Entries mostly arrive in slot order: one more at the end.
    if (static_cast<size_t>(slot) == bank->patches.size()) bank->patches.emplace_back();
    else if (static_cast<size_t>(slot) > bank->patches.size()) bank->patches.resize(static_cast<size_t>(slot) + 1);
    LibrarianPatch& entry = bank->patches[static_cast<size_t>(slot)];
    PatchFile::fetchRoomAhead(bank->patches);
    if (messages > 1 && entry.messages.empty()) entry.messages.reserve(static_cast<size_t>(messages));
    return entry;
}

void setCategoryFrom(LibrarianPatch& entry, const uint8_t* message, size_t size, size_t index)
{
    if (index < size)
        if (const std::string* text = LibrarianPatch::categoryName(message[index])) entry.category = *text;
}

// First position at or after from that holds a status byte (80 and above), or size.
int nextStatusByte(const uint8_t* data, int size, int from)
{
    int k = from;
    // A dump's body is all data bytes: test sixteen, then eight at a time.
#if defined(__SSE2__)
    for (; k + 16 <= size; k += 16) {
        const int high = _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + k)));
        if (high) return k + __builtin_ctz(static_cast<unsigned>(high));
    }
#endif
    for (uint64_t word; k + 8 <= size; k += 8) {
        std::memcpy(&word, data + k, 8);
        if (word & 0x8080808080808080ull) break;
    }
    while (k < size && data[k] < kFirstStatusByte) ++k;
    return k;
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

enum class Packets { None, Whole, CutByEnd, Broken };

// In a Standard MIDI File a dump may travel as several packets: an F0 event whose data does not
// end in F7, then escape events (delta time, F7, length, bytes) carrying the rest, the last of
// them ending in F7. Read byte by byte, the next packet's delta time would be taken for the
// dump's own data (or, when the first packet stops inside the header, the header would fail), so
// the pieces are put back together from the events. start is the message's 00 just after the
// event's length. None: the bytes before start are no F0 event whose packet stops short of its
// F7, and the message is read as it stands. Otherwise message holds the message from its 00 on
// without F7: Whole when the last packet ended in F7 (end is on it), CutByEnd when the data ended
// first, Broken when a packet is missing or damaged (end is where that was found).
Packets gatherPackets(const uint8_t* data, int size, int start, std::vector<uint8_t>& message, int& end)
{
    // The event's length field ends just before start and follows its F0.
    if (start < 2 || data[start - 1] >= 0x80) return Packets::None;
    int lengthAt = -1;
    for (int at = start - 1; at >= 1 && at > start - 5; --at) {
        if (at < start - 1 && data[at] < 0x80) return Packets::None;
        if (data[at - 1] == kStart) {
            lengthAt = at;
            break;
        }
    }
    if (lengthAt < 0) return Packets::None;
    int q = lengthAt;
    uint32_t length = 0;
    if (!readVariableLength(data, size, q, length) || q != start || length == 0) return Packets::None;
    if (length > static_cast<uint32_t>(size - start) || data[start + static_cast<int>(length) - 1] == kEnd)
        return Packets::None; // a whole dump, or one that the data cuts off: read as it stands
    const int packetEnd = start + static_cast<int>(length);
    if (nextStatusByte(data, packetEnd, start) < packetEnd) return Packets::None;
    message.assign(data + start, data + packetEnd);

    q = packetEnd;
    for (;;) {
        end = q;
        uint32_t delta = 0;
        if (!readVariableLength(data, size, q, delta)) return q >= size ? Packets::CutByEnd : Packets::Broken;
        if (q >= size) return Packets::CutByEnd;
        if (data[q] != kEnd) return Packets::Broken;
        ++q;
        if (!readVariableLength(data, size, q, length)) {
            end = q;
            return q >= size ? Packets::CutByEnd : Packets::Broken;
        }
        const int64_t stop64 = static_cast<int64_t>(q) + length;
        const int stop = stop64 > size ? size : static_cast<int>(stop64);
        const int dataEnd = nextStatusByte(data, stop, q);
        message.insert(message.end(), data + q, data + dataEnd);
        q = dataEnd;
        if (q < stop) {
            end = q;
            return data[q] == kEnd && q + 1 == stop ? Packets::Whole : Packets::Broken;
        }
        if (stop64 > size) {
            end = size;
            return Packets::CutByEnd;
        }
    }
}

} // namespace

bool PatchLibrarian::findByte(const uint8_t* data, int size, int& pos, int value)
{
    if (pos < 0) return false;
    if (pos < size) {
        if (const void* hit = std::memchr(data + pos, value, static_cast<size_t>(size - pos))) {
            pos = static_cast<int>(static_cast<const uint8_t*>(hit) - data) + 1;
            return true;
        }
    }
    pos = -1;
    return false;
}

void PatchLibrarian::loadFromChunk(const uint8_t* data, int size, PatchFile* bank, int)
{
    if (!data || !bank || size < 15 || size > kMaxBankFileBytes) return;

    static const uint8_t kMidiHeader[8] = {'M', 'T', 'h', 'd', 0x00, 0x00, 0x00, 0x06};
    int pos = std::memcmp(data, kMidiHeader, sizeof kMidiHeader) == 0 ? 14 : 0;
    if (bank->patches.empty()) bank->patches.reserve(PatchFile::kBankSize);

    readMismatch = 0;
    mEntryRun = EntryRun{bank};
    int counter = 0;
    int index = 0;
    int reached = readMIDIMessage(data, size, pos, bank, 0, counter, index);
    while (reached > 0) {
        if (mEntryRun.restarted) {
            // The message just stored opened a run of another kind: it was index 0 of its entry.
            mEntryRun.restarted = false;
            index = 0;
        }
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
        // Patterns too start every entry at index 0: an index left to grow through a run of
        // patterns would give the messages of a later entry each other's stored types.
        if (index >= messagesPerEntry(bank->kind, bank->modelCode)) index = 0;
        reached = readMIDIMessage(data, size, pos, bank, 0, counter, index);
    }
    // The file's messages keep their block; the next file starts one of its own.
    messageWriter.finish();
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
    if (!findByte(data, size, pos, kMakerId[0])) {
        pos = -1;
        readMismatch = 1;
        return -1;
    }
    const int start = pos - 1;
    int packetEnd = 0;
    const Packets packets = gatherPackets(data, size, start, packetScratch, packetEnd);
    // The message from its 00 on: the file's own bytes, or the packets put back together.
    const bool joined = packets != Packets::None;
    const uint8_t* m = joined ? packetScratch.data() : data + start;
    const int mSize = joined ? static_cast<int>(packetScratch.size()) : size - start;

    auto mismatchAt = [&](int i) {
        if (joined) {
            pos = start + 1; // the packets' own bytes come next
        } else {
            // Scanning goes on after the byte that failed; a failing 00 is looked at again, since
            // it may open the next message (a MIDI length such as 82 00 stands right before a
            // dump's own 00).
            const int failed = start + i;
            pos = data[failed] == kMakerId[0] ? failed : failed + 1;
        }
        readMismatch = 1;
        return pos;
    };
    // The header runs past the bytes there are: at the end of the data nothing is stored and the
    // read ends; in packets that closed early the message is no message.
    auto headerCut = [&]() {
        if (packets == Packets::Whole || packets == Packets::Broken) return mismatchAt(0);
        pos = -1;
        return -1;
    };

    for (int i = kMakerAt; i <= kSecondMakerAt; ++i) {
        if (i >= mSize) return headerCut();
        if (m[i] != kMakerId[i]) return mismatchAt(i);
    }
    if (kProductAt >= mSize) return headerCut();
    if (m[kProductAt] > kMaxProduct) return mismatchAt(kProductAt);
    if (kModelByteAt >= mSize) return headerCut();
    const int modelCode = modelCodeOf(m[kModelByteAt]);
    if (modelCode < 0) return mismatchAt(kModelByteAt);
    bank->modelCode = modelCode;
    if (kDeviceByteAt >= mSize) return headerCut();
    if (m[kDeviceByteAt] >= kFirstStatusByte) return mismatchAt(kDeviceByteAt);
    if (kTypeByteAt >= mSize) return headerCut();
    const uint8_t type = m[kTypeByteAt];
    const int kind = kindOfType(type);
    if (kind < 0) return mismatchAt(kTypeByteAt);
    bank->kind = kind;
    int body = kTypeByteAt + 1;
    if (type == kTypePatternWithPad) {
        if (body >= mSize) return headerCut();
        ++body; // the library's form leaves this byte out
    }

    // Where the body ends, and whether the data cut the message off before its F7.
    int bodyEnd;
    bool cutByEnd = false;
    if (joined) {
        if (packets == Packets::Broken) {
            // A dump whose rest is missing is dropped like one too short to store.
            pos = packetEnd;
            return pos;
        }
        bodyEnd = mSize;
        cutByEnd = packets == Packets::CutByEnd;
        pos = packetEnd;
    } else {
        const int k = nextStatusByte(data, size, start + body);
        if (k < size && data[k] != kEnd) {
            // A message whose F7 is missing ends at the next status byte and is dropped like a
            // message too short to store: its bytes are not trusted.
            pos = k;
            return pos;
        }
        cutByEnd = k >= size;
        bodyEnd = k - start;
        pos = k;
    }

    // Stored form: the library's header, the body, for a short pattern its name, then F7. A
    // message cut off by the end of the data keeps what was read and is closed the same way. It
    // is built in place at the end of the file's shared block and kept only when it is stored.
    const size_t bodySize = static_cast<size_t>(bodyEnd - body);
    // A new block holds what is left of the file, so that one block usually holds all of it; a
    // block kept alive by one message wastes at most kMaxMessageBlock.
    const size_t rest = static_cast<size_t>(size - start) + 2 * (kNameLength + 1);
    uint8_t* const bytes = messageWriter.room(std::max(kHeaderSize + bodySize, kPatternNameAt) + kNameLength + 1,
                                              std::min(rest, kMaxMessageBlock));
    const uint8_t header[kHeaderSize] = {kStart,     kMakerId[0],  kMakerId[1],     kMakerId[2],
                                         kFixed,     storedModelByte(modelCode), kLibraryDevice,
                                         storedType(kind, messageIndex)};
    std::memcpy(bytes, header, kHeaderSize);
    if (bodySize) std::memcpy(bytes + kHeaderSize, m + body, bodySize);
    size_t stored = kHeaderSize + bodySize;

    // The name of a program or performance, control characters made blanks, taken from the
    // file's bytes rather than read back from the bytes just copied. Entries are named by the
    // length with F7 (at least 201), the stored bytes blanked by the length without.
    uint8_t name[kNameLength];
    bool filledShort = false;
    if (kind != kKindPatterns) {
        if (stored + 1 >= 201) LibrarianPatch::blankedName(m + body + (kNameAt - kHeaderSize), name);
        if (stored >= 201 && stored <= 399) std::memcpy(bytes + kNameAt, name, kNameLength);
    } else if (stored <= kPatternNameAt) {
        // Named, a body one byte short of the name field would make a 204-byte message, which a
        // bank file gives back as a pattern short of its name, to be named a second time: the
        // body is filled with zeros up to the name field instead. It is still filed as a 204-byte
        // message is, at the end.
        if (stored + kNameLength + 1 == kPatternSize) {
            std::memset(bytes + stored, 0, kPatternNameAt - stored);
            stored = kPatternNameAt;
            filledShort = true;
        }
        std::memcpy(bytes + stored, kAppendedPatternName, kNameLength);
        stored += kNameLength;
    }
    bytes[stored++] = kEnd;
    const int perEntry = messagesPerEntry(kind, modelCode);
    // One counter runs through the whole file, but a file may hold programs, then performances:
    // the first stored message of another kind (or another number of messages an entry) starts
    // a new entry after the last one, instead of landing in the entries of the earlier run.
    if (mEntryRun.bank != bank) mEntryRun = EntryRun{bank};
    const bool storable = kind == kKindPrograms ? stored >= kShortestStoredProgram : kind == kKindPerformances || stored > kPatternNameAt;
    if (storable && mEntryRun.kind >= 0 && (mEntryRun.kind != kind || mEntryRun.perEntry != perEntry)) {
        mEntryRun.slotBase = static_cast<int>(bank->patches.size());
        mEntryRun.counterBase = counter;
        mEntryRun.restarted = true;
    }
    if (storable) {
        mEntryRun.kind = kind;
        mEntryRun.perEntry = perEntry;
    }
    const int inRun = std::max(0, counter - mEntryRun.counterBase);
    // Most banks hold one message an entry: no division for them.
    const int place = perEntry == 1 ? 0 : inRun % perEntry;
    const int slot = mEntryRun.slotBase + (perEntry == 1 ? inRun : inRun / perEntry);
    // The stored type byte tells the message's place in the entry it is filed into. The index
    // the caller passes is bounded by the bank's model code, which a refused message of another
    // model may have changed in between.
    if (place != messageIndex) bytes[kTypeAt] = storedType(kind, place);
    // After a message cut off by the end of the data there is nothing more to read.
    const int reached = cutByEnd ? -1 : pos;
    if (cutByEnd) pos = -1;

    if (kind == kKindPrograms) {
        if (stored < kShortestStoredProgram) return reached;
        LibrarianPatch& entry = entryAt(bank, slot, perEntry);
        entry.patchType = modelCode;
        if (stored >= 201) {
            LibrarianPatch::appendName(entry.name, name, kNameLength, 0, kNameLength);
            setCategoryFrom(entry, bytes, stored, kCategoryAt);
        }
        entry.messages.push_back(PatchSysexMessage{messageWriter.commit(stored)});
    } else if (kind == kKindPerformances) {
        LibrarianPatch& entry = entryAt(bank, slot, perEntry);
        entry.patchType = 6 + modelCode;
        if (stored >= 301 && stored <= 399) LibrarianPatch::appendName(entry.name, name, kNameLength, 0, kNameLength);
        entry.messages.push_back(PatchSysexMessage{messageWriter.commit(stored)});
    } else {
        if (stored <= kPatternNameAt) return reached;
        if (stored == kPatternSize || filledShort || stored > kLibraryPatternSize) {
            LibrarianPatch entry;
            entry.name = kAppendedPatternName;
            entry.patchType = 5;
            entry.messages.push_back(PatchSysexMessage{messageWriter.commit(stored)});
            bank->patches.push_back(std::move(entry));
        } else {
            LibrarianPatch& entry = entryAt(bank, slot, perEntry);
            // A message shorter than a full pattern holds fewer name bytes; the F7 is no name.
            LibrarianPatch::appendName(entry.name, bytes, stored, kPatternNameAt, stored - 1);
            entry.messages.push_back(PatchSysexMessage{messageWriter.commit(stored)});
        }
    }
    readMismatch = 0;
    return reached;
}
