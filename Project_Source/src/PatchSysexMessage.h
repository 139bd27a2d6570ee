#pragma once
// One stored SysEx message of a library entry, F0 to F7, in the library's stored form.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

#include "SysexFamily.h"

// The bytes of a stored message, used like a vector of bytes. A library holds tens of thousands
// of messages, and every category bank, filled bank and search result copies them: so the
// messages read from one file share one block of memory, and a copy shares its source's bytes
// until either of them is changed. Changing one never changes another. The count of sharers is
// atomic, since worker threads copy entries the main thread also holds.
class SysexBytes {
    // A block of bytes and the count of the messages (and the writer) that use it; the bytes
    // follow the header.
    struct Block {
        std::atomic<uint32_t> refs;
        uint32_t capacity;

        uint8_t* bytes() noexcept { return reinterpret_cast<uint8_t*>(this + 1); }
        static Block* make(size_t capacity);
        void retain() noexcept { refs.fetch_add(1, std::memory_order_relaxed); }
        // Acquire: writes other users made before letting go are seen before this one writes.
        bool unique() const noexcept { return refs.load(std::memory_order_acquire) == 1; }
        void release() noexcept
        {
            if (refs.fetch_sub(1, std::memory_order_acq_rel) == 1) ::operator delete(this);
        }
    };

public:
    using value_type = uint8_t;
    using size_type = size_t;
    using difference_type = std::ptrdiff_t;
    using reference = uint8_t&;
    using const_reference = const uint8_t&;
    using pointer = uint8_t*;
    using const_pointer = const uint8_t*;
    using iterator = uint8_t*;
    using const_iterator = const uint8_t*;

    SysexBytes() noexcept = default;
    SysexBytes(const SysexBytes& other) noexcept : block_(other.block_), offset_(other.offset_), size_(other.size_)
    {
        if (block_) block_->retain();
    }
    SysexBytes(SysexBytes&& other) noexcept { swap(other); }
    SysexBytes(const std::vector<uint8_t>& bytes) { assign(bytes.data(), bytes.data() + bytes.size()); }
    SysexBytes(std::initializer_list<uint8_t> bytes) { assign(bytes.begin(), bytes.end()); }
    SysexBytes(size_t count, uint8_t value) { assign(count, value); }
    template <class It, class = typename std::iterator_traits<It>::iterator_category>
    SysexBytes(It first, It last) { assign(first, last); }
    ~SysexBytes() { release(); }

    SysexBytes& operator=(const SysexBytes& other) noexcept;
    SysexBytes& operator=(SysexBytes&& other) noexcept
    {
        if (this != &other) {
            SysexBytes taken(std::move(other));
            swap(taken);
        }
        return *this;
    }
    SysexBytes& operator=(const std::vector<uint8_t>& bytes);
    SysexBytes& operator=(std::initializer_list<uint8_t> bytes);
    operator std::vector<uint8_t>() const { return std::vector<uint8_t>(begin(), end()); }

    size_t size() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }
    const uint8_t* data() const noexcept { return bytes(); }
    const uint8_t* begin() const noexcept { return bytes(); }
    const uint8_t* end() const noexcept { return bytes() + size_; }
    const uint8_t* cbegin() const noexcept { return begin(); }
    const uint8_t* cend() const noexcept { return end(); }
    const uint8_t& operator[](size_t i) const { return bytes()[i]; }
    const uint8_t& front() const { return bytes()[0]; }
    const uint8_t& back() const { return bytes()[size_ - 1]; }
    const uint8_t& at(size_t i) const;

    // Writing access first gives this message bytes of its own.
    uint8_t* data() { return ownBytes(); }
    uint8_t* begin() { return ownBytes(); }
    uint8_t* end() { return ownBytes() + size_; }
    uint8_t& operator[](size_t i) { return ownBytes()[i]; }
    uint8_t& front() { return ownBytes()[0]; }
    uint8_t& back() { return ownBytes()[size_ - 1]; }
    uint8_t& at(size_t i);

    void assign(size_t count, uint8_t value);
    void assign(const uint8_t* first, const uint8_t* last);
    template <class It, class = typename std::iterator_traits<It>::iterator_category>
    void assign(It first, It last)
    {
        const std::vector<uint8_t> copy(first, last);
        assign(copy.data(), copy.data() + copy.size());
    }
    void assign(std::initializer_list<uint8_t> bytes) { assign(bytes.begin(), bytes.end()); }

    void reserve(size_t capacity);
    void resize(size_t count, uint8_t value = 0);
    void clear() noexcept { release(); }
    void push_back(uint8_t value);
    void pop_back() { --size_; }
    uint8_t* insert(const uint8_t* at, uint8_t value) { return insert(at, &value, &value + 1); }
    uint8_t* insert(const uint8_t* at, size_t count, uint8_t value);
    uint8_t* insert(const uint8_t* at, const uint8_t* first, const uint8_t* last);
    template <class It, class = typename std::iterator_traits<It>::iterator_category>
    uint8_t* insert(const uint8_t* at, It first, It last)
    {
        const std::vector<uint8_t> copy(first, last);
        return insert(at, copy.data(), copy.data() + copy.size());
    }
    uint8_t* erase(const uint8_t* first, const uint8_t* last);
    uint8_t* erase(const uint8_t* at) { return erase(at, at + 1); }
    void swap(SysexBytes& other) noexcept
    {
        std::swap(block_, other.block_);
        std::swap(offset_, other.offset_);
        std::swap(size_, other.size_);
    }

    // Writes messages one after another into shared blocks: the reader stores every message of
    // a file this way, with one allocation for the lot.
    class Writer {
    public:
        Writer() = default;
        ~Writer() { finish(); }
        Writer(const Writer&) = delete;
        Writer& operator=(const Writer&) = delete;
        // Room for a message of at most count bytes; blockBytes suggests the size of a new block
        // when one is needed.
        uint8_t* room(size_t count, size_t blockBytes);
        // The first count bytes of the room become a message.
        SysexBytes commit(size_t count);
        // Lets go of the current block; its messages keep it.
        void finish() noexcept;

    private:
        Block* block_ = nullptr;
        size_t used_ = 0;
    };

    // Lets go of many messages at once, such as every message of a bank that goes: each run of
    // messages in one block gives up its counts in one atomic step instead of one step each.
    // Every message taken is left empty; blocks are freed when the releaser is done with them.
    class Releaser {
    public:
        Releaser() = default;
        ~Releaser() { flush(); }
        Releaser(const Releaser&) = delete;
        Releaser& operator=(const Releaser&) = delete;
        void take(SysexBytes& message) noexcept
        {
            if (!message.block_) return;
            if (message.block_ != block_) {
                flush();
                block_ = message.block_;
            }
            ++count_;
            message.block_ = nullptr;
            message.offset_ = 0;
            message.size_ = 0;
        }

    private:
        void flush() noexcept
        {
            if (block_ && block_->refs.fetch_sub(count_, std::memory_order_acq_rel) == count_) ::operator delete(block_);
            block_ = nullptr;
            count_ = 0;
        }
        Block* block_ = nullptr;
        uint32_t count_ = 0;
    };

private:
    Block* block_ = nullptr;
    uint32_t offset_ = 0;
    uint32_t size_ = 0;

    const uint8_t* bytes() const noexcept { return block_ ? block_->bytes() + offset_ : nullptr; }
    uint8_t* ownBytes();
    // Gives this message a block of its own with room for capacity bytes, keeping its bytes.
    void own(size_t capacity);
    // Room for count bytes in a block of this message's own.
    void makeRoom(size_t count);
    void release() noexcept
    {
        if (block_) block_->release();
        block_ = nullptr;
        offset_ = 0;
        size_ = 0;
    }
};

bool operator==(const SysexBytes& a, const SysexBytes& b);
bool operator==(const SysexBytes& a, const std::vector<uint8_t>& b);
bool operator==(const std::vector<uint8_t>& a, const SysexBytes& b);
inline bool operator!=(const SysexBytes& a, const SysexBytes& b) { return !(a == b); }
inline bool operator!=(const SysexBytes& a, const std::vector<uint8_t>& b) { return !(a == b); }
inline bool operator!=(const std::vector<uint8_t>& a, const SysexBytes& b) { return !(a == b); }

struct PatchSysexMessage {
    SysexBytes bytes;

    // A message the writers can put into a bank file: at least F0 F7, opened by F0, closed by F7.
    bool isWhole() const { return bytes.size() >= 2 && bytes.front() == SysexFamily::kStart && bytes.back() == SysexFamily::kEnd; }

    // Appends this message to a bank file image. Raw: every byte, F0 to F7. MIDI: the bytes after
    // F0 and, when next is given, the header of the next SysEx event (delta 500 ticks, F0 and the
    // next message's length), computed from the next message's real size. The caller writes the
    // first event's header and the End of Track.
    void save(std::vector<uint8_t>& image, bool midi, const PatchSysexMessage* next) const;

    // Brings msg, a message received or built for a library slot, into its library form with
    // slot in byte 9: a 296-byte program dump (isProgram) becomes the 297-byte program, a
    // 204-byte pattern frame (isPattern) the 220-byte pattern named "Requested Arp***", a
    // 381-byte performance dump or a 25-byte follow-up (neither flag) the 383- or 27-byte form.
    // Every other length stays as it came: a shorter message would leave its own F7 inside the
    // library form, and a longer one is a library form already or no dump at all.
    static void checkPatchDataSize(PatchSysexMessage* msg, bool isProgram, bool isPattern, int slot);
};

// The messages of one library entry, used like a vector of messages. An entry carries one to
// three messages, and a library holds tens of thousands of entries and their category-bank
// copies: up to three live inside the list, and only a longer one takes memory of its own.
// Moving a list moves the messages it holds inside (their bytes stay where they are).
class EntryMessages {
public:
    using value_type = PatchSysexMessage;
    using size_type = size_t;
    using difference_type = std::ptrdiff_t;
    using reference = PatchSysexMessage&;
    using const_reference = const PatchSysexMessage&;
    using pointer = PatchSysexMessage*;
    using const_pointer = const PatchSysexMessage*;
    using iterator = PatchSysexMessage*;
    using const_iterator = const PatchSysexMessage*;

    static constexpr uint32_t kInline = 3;

    // Given, not defaulted, so that the room for inline messages is not zeroed first.
    EntryMessages() noexcept {}
    EntryMessages(std::initializer_list<PatchSysexMessage> messages);
    EntryMessages(const EntryMessages& other);
    EntryMessages(EntryMessages&& other) noexcept { take(other); }
    EntryMessages& operator=(const EntryMessages& other);
    EntryMessages& operator=(EntryMessages&& other) noexcept;
    ~EntryMessages() { drop(); }

    size_t size() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }
    size_t capacity() const noexcept { return capacity_; }
    PatchSysexMessage* data() noexcept { return items(); }
    const PatchSysexMessage* data() const noexcept { return items(); }
    PatchSysexMessage* begin() noexcept { return items(); }
    PatchSysexMessage* end() noexcept { return items() + size_; }
    const PatchSysexMessage* begin() const noexcept { return items(); }
    const PatchSysexMessage* end() const noexcept { return items() + size_; }
    const PatchSysexMessage* cbegin() const noexcept { return begin(); }
    const PatchSysexMessage* cend() const noexcept { return end(); }
    PatchSysexMessage& operator[](size_t i) { return items()[i]; }
    const PatchSysexMessage& operator[](size_t i) const { return items()[i]; }
    PatchSysexMessage& at(size_t i);
    const PatchSysexMessage& at(size_t i) const;
    PatchSysexMessage& front() { return items()[0]; }
    const PatchSysexMessage& front() const { return items()[0]; }
    PatchSysexMessage& back() { return items()[size_ - 1]; }
    const PatchSysexMessage& back() const { return items()[size_ - 1]; }

    void reserve(size_t count)
    {
        if (count > capacity_) grow(count);
    }
    void resize(size_t count);
    void clear() noexcept
    {
        while (size_ > 0) pop_back();
    }
    // By value: a message of this list itself may be appended.
    void push_back(PatchSysexMessage message)
    {
        if (size_ == capacity_) grow(size_t(capacity_) * 2);
        new (items() + size_) PatchSysexMessage(std::move(message));
        ++size_;
    }
    template <class... Args>
    PatchSysexMessage& emplace_back(Args&&... args)
    {
        push_back(PatchSysexMessage{std::forward<Args>(args)...});
        return back();
    }
    void pop_back() noexcept { items()[--size_].~PatchSysexMessage(); }
    PatchSysexMessage* erase(const PatchSysexMessage* first, const PatchSysexMessage* last);
    PatchSysexMessage* erase(const PatchSysexMessage* at) { return erase(at, at + 1); }

private:
    PatchSysexMessage* heap_ = nullptr; // when set, every message lives there
    uint32_t size_ = 0;
    uint32_t capacity_ = kInline;
    alignas(PatchSysexMessage) unsigned char inline_[kInline * sizeof(PatchSysexMessage)];

    PatchSysexMessage* items() noexcept
    {
        return heap_ ? heap_ : std::launder(reinterpret_cast<PatchSysexMessage*>(inline_));
    }
    const PatchSysexMessage* items() const noexcept
    {
        return heap_ ? heap_ : std::launder(reinterpret_cast<const PatchSysexMessage*>(inline_));
    }
    // Takes other's messages into this empty list and leaves other empty.
    void take(EntryMessages& other) noexcept;
    // Destroys every message and frees the memory of a longer list.
    void drop() noexcept
    {
        clear();
        if (heap_) ::operator delete(heap_);
        heap_ = nullptr;
        capacity_ = kInline;
    }
    // Moves the messages into memory of their own with room for count of them.
    void grow(size_t count);
};
