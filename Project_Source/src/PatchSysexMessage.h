#pragma once
// One stored SysEx message of a library entry, F0 to F7, in the library's stored form.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <type_traits>
#include <vector>

// The bytes of a stored message, used like a vector of bytes. A library holds tens of thousands
// of messages, and every category bank, filled bank and search result copies them: so the
// messages read from one file share one block of memory, and a copy shares its source's bytes
// until either of them is changed. Changing one never changes another. The count of sharers is
// atomic, since worker threads copy entries the main thread also holds.
class SysexBytes {
    struct Block;

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
    SysexBytes(const SysexBytes& other) noexcept;
    SysexBytes(SysexBytes&& other) noexcept { swap(other); }
    SysexBytes(const std::vector<uint8_t>& bytes) { assign(bytes.data(), bytes.data() + bytes.size()); }
    SysexBytes(std::initializer_list<uint8_t> bytes) { assign(bytes.begin(), bytes.end()); }
    SysexBytes(size_t count, uint8_t value) { assign(count, value); }
    template <class It, class = typename std::iterator_traits<It>::iterator_category>
    SysexBytes(It first, It last) { assign(first, last); }
    ~SysexBytes() { release(); }

    SysexBytes& operator=(const SysexBytes& other) noexcept;
    SysexBytes& operator=(SysexBytes&& other) noexcept;
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
    void swap(SysexBytes& other) noexcept;

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

private:
    Block* block_ = nullptr;
    uint32_t offset_ = 0;
    uint32_t size_ = 0;

    const uint8_t* bytes() const noexcept;
    uint8_t* ownBytes();
    // Gives this message a block of its own with room for capacity bytes, keeping its bytes.
    void own(size_t capacity);
    // Room for count bytes in a block of this message's own.
    void makeRoom(size_t count);
    void release() noexcept;
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
    bool isWhole() const;

    // Appends this message to a bank file image. Raw: every byte, F0 to F7. MIDI: the bytes after
    // F0 and, when next is given, the header of the next SysEx event (delta 500 ticks, F0 and the
    // next message's length), computed from the next message's real size. The caller writes the
    // first event's header and the End of Track.
    void save(std::vector<uint8_t>& image, bool midi, const PatchSysexMessage* next) const;
};
