#include "PatchSysexMessage.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

#include "PatchFileImage.h"
#include "SysexFamily.h"

SysexBytes::Block* SysexBytes::Block::make(size_t capacity)
{
    if (capacity > std::numeric_limits<uint32_t>::max() - sizeof(Block)) throw std::length_error("SysexBytes");
    void* memory = ::operator new(sizeof(Block) + capacity);
    Block* block = static_cast<Block*>(memory);
    block->refs.store(1, std::memory_order_relaxed);
    block->capacity = static_cast<uint32_t>(capacity);
    return block;
}
static_assert(sizeof(SysexBytes) == 16, "a message is a pointer and two 32-bit numbers");


SysexBytes& SysexBytes::operator=(const SysexBytes& other) noexcept
{
    if (this != &other) {
        SysexBytes copy(other);
        swap(copy);
    }
    return *this;
}


SysexBytes& SysexBytes::operator=(const std::vector<uint8_t>& bytes)
{
    assign(bytes.data(), bytes.data() + bytes.size());
    return *this;
}

SysexBytes& SysexBytes::operator=(std::initializer_list<uint8_t> bytes)
{
    assign(bytes.begin(), bytes.end());
    return *this;
}


const uint8_t& SysexBytes::at(size_t i) const
{
    if (i >= size_) throw std::out_of_range("SysexBytes::at");
    return bytes()[i];
}

uint8_t& SysexBytes::at(size_t i)
{
    if (i >= size_) throw std::out_of_range("SysexBytes::at");
    return ownBytes()[i];
}


void SysexBytes::own(size_t capacity)
{
    Block* block = Block::make(std::max<size_t>(capacity, size_));
    if (size_) std::memcpy(block->bytes(), bytes(), size_);
    const uint32_t size = size_;
    release();
    block_ = block;
    size_ = size;
}

uint8_t* SysexBytes::ownBytes()
{
    if (!block_) return nullptr;
    if (!block_->unique()) own(size_);
    return block_->bytes() + offset_;
}

void SysexBytes::makeRoom(size_t count)
{
    if (block_ && block_->unique() && offset_ + count <= block_->capacity) return;
    own(std::max<size_t>({count, size_t(size_) * 2, 32}));
}

void SysexBytes::assign(const uint8_t* first, const uint8_t* last)
{
    const size_t n = static_cast<size_t>(last - first);
    if (block_ && block_->unique() && offset_ + n <= block_->capacity) {
        if (n) std::memmove(block_->bytes() + offset_, first, n);
        size_ = static_cast<uint32_t>(n);
        return;
    }
    if (n == 0) {
        release();
        return;
    }
    // Copied before the old bytes go: first may point into them.
    Block* block = Block::make(n);
    std::memcpy(block->bytes(), first, n);
    release();
    block_ = block;
    size_ = static_cast<uint32_t>(n);
}

void SysexBytes::assign(size_t count, uint8_t value)
{
    if (count == 0) {
        release();
        return;
    }
    if (!(block_ && block_->unique() && offset_ + count <= block_->capacity)) {
        release();
        block_ = Block::make(count);
    }
    std::memset(block_->bytes() + offset_, value, count);
    size_ = static_cast<uint32_t>(count);
}

void SysexBytes::reserve(size_t capacity)
{
    if (capacity > size_ && !(block_ && block_->unique() && offset_ + capacity <= block_->capacity)) own(capacity);
}

void SysexBytes::resize(size_t count, uint8_t value)
{
    // Shrinking only narrows this message's view: bytes it shares stay as they are.
    if (count > size_) {
        makeRoom(count);
        std::memset(block_->bytes() + offset_ + size_, value, count - size_);
    }
    size_ = static_cast<uint32_t>(count);
}

void SysexBytes::push_back(uint8_t value)
{
    makeRoom(size_t(size_) + 1);
    block_->bytes()[offset_ + size_] = value;
    ++size_;
}

uint8_t* SysexBytes::insert(const uint8_t* at, size_t count, uint8_t value)
{
    const size_t index = static_cast<size_t>(at - bytes());
    if (count) {
        makeRoom(size_t(size_) + count);
        uint8_t* b = block_->bytes() + offset_;
        std::memmove(b + index + count, b + index, size_ - index);
        std::memset(b + index, value, count);
        size_ += static_cast<uint32_t>(count);
    }
    return data() + index;
}

uint8_t* SysexBytes::insert(const uint8_t* at, const uint8_t* first, const uint8_t* last)
{
    const size_t index = static_cast<size_t>(at - bytes());
    const size_t count = static_cast<size_t>(last - first);
    if (count) {
        // The inserted bytes may be this message's own, which the move below would shift.
        const std::vector<uint8_t> copy(first, last);
        makeRoom(size_t(size_) + count);
        uint8_t* b = block_->bytes() + offset_;
        std::memmove(b + index + count, b + index, size_ - index);
        std::memcpy(b + index, copy.data(), count);
        size_ += static_cast<uint32_t>(count);
    }
    return data() + index;
}

uint8_t* SysexBytes::erase(const uint8_t* first, const uint8_t* last)
{
    const size_t index = static_cast<size_t>(first - bytes());
    const size_t count = static_cast<size_t>(last - first);
    uint8_t* b = ownBytes();
    if (count) {
        std::memmove(b + index, b + index + count, size_ - index - count);
        size_ -= static_cast<uint32_t>(count);
    }
    return b + index;
}

uint8_t* SysexBytes::Writer::room(size_t count, size_t blockBytes)
{
    if (!block_ || block_->capacity - used_ < count) {
        finish();
        block_ = Block::make(std::max(count, blockBytes));
    }
    return block_->bytes() + used_;
}

SysexBytes SysexBytes::Writer::commit(size_t count)
{
    SysexBytes message;
    message.block_ = block_;
    block_->retain();
    message.offset_ = static_cast<uint32_t>(used_);
    message.size_ = static_cast<uint32_t>(count);
    used_ += count;
    return message;
}

void SysexBytes::Writer::finish() noexcept
{
    if (block_) block_->release();
    block_ = nullptr;
    used_ = 0;
}

bool operator==(const SysexBytes& a, const SysexBytes& b)
{
    return a.size() == b.size() && (a.size() == 0 || std::memcmp(a.data(), b.data(), a.size()) == 0);
}

bool operator==(const SysexBytes& a, const std::vector<uint8_t>& b)
{
    return a.size() == b.size() && (a.size() == 0 || std::memcmp(a.data(), b.data(), a.size()) == 0);
}

bool operator==(const std::vector<uint8_t>& a, const SysexBytes& b) { return b == a; }


void PatchSysexMessage::save(std::vector<uint8_t>& image, bool midi, const PatchSysexMessage* next) const
{
    if (!midi) {
        image.insert(image.end(), bytes.begin(), bytes.end());
        return;
    }
    if (!bytes.empty()) image.insert(image.end(), bytes.begin() + 1, bytes.end());
    if (next) {
        // 500 ticks between two dumps gives the synthesizer time to store each one.
        image.push_back(0x83);
        image.push_back(0x74);
        image.push_back(SysexFamily::kStart);
        PatchFileImage::appendVariableLength(image, next->bytes.empty() ? 0 : next->bytes.size() - 1);
    }
}

EntryMessages::EntryMessages(std::initializer_list<PatchSysexMessage> messages)
{
    reserve(messages.size());
    for (const PatchSysexMessage& m : messages) new (items() + size_++) PatchSysexMessage(m);
}

EntryMessages::EntryMessages(const EntryMessages& other)
{
    reserve(other.size_);
    for (const PatchSysexMessage& m : other) new (items() + size_++) PatchSysexMessage(m);
}

EntryMessages& EntryMessages::operator=(const EntryMessages& other)
{
    if (this != &other) {
        EntryMessages copy(other);
        *this = std::move(copy);
    }
    return *this;
}

EntryMessages& EntryMessages::operator=(EntryMessages&& other) noexcept
{
    if (this != &other) {
        drop();
        take(other);
    }
    return *this;
}

void EntryMessages::take(EntryMessages& other) noexcept
{
    if (other.heap_) {
        heap_ = other.heap_;
        size_ = other.size_;
        capacity_ = other.capacity_;
        other.heap_ = nullptr;
        other.size_ = 0;
        other.capacity_ = kInline;
        return;
    }
    PatchSysexMessage* from = other.items();
    PatchSysexMessage* to = items();
    for (uint32_t i = 0; i < other.size_; ++i) {
        new (to + i) PatchSysexMessage(std::move(from[i]));
        from[i].~PatchSysexMessage();
    }
    size_ = other.size_;
    other.size_ = 0;
}


PatchSysexMessage& EntryMessages::at(size_t i)
{
    if (i >= size_) throw std::out_of_range("EntryMessages::at");
    return items()[i];
}

const PatchSysexMessage& EntryMessages::at(size_t i) const
{
    if (i >= size_) throw std::out_of_range("EntryMessages::at");
    return items()[i];
}

void EntryMessages::grow(size_t count)
{
    if (count > std::numeric_limits<uint32_t>::max()) throw std::length_error("EntryMessages");
    auto* grown = static_cast<PatchSysexMessage*>(::operator new(count * sizeof(PatchSysexMessage)));
    PatchSysexMessage* old = items();
    for (uint32_t i = 0; i < size_; ++i) {
        new (grown + i) PatchSysexMessage(std::move(old[i]));
        old[i].~PatchSysexMessage();
    }
    ::operator delete(heap_);
    heap_ = grown;
    capacity_ = static_cast<uint32_t>(count);
}

void EntryMessages::resize(size_t count)
{
    while (size_ > count) pop_back();
    if (count > size_) {
        reserve(count);
        while (size_ < count) new (items() + size_++) PatchSysexMessage();
    }
}




PatchSysexMessage* EntryMessages::erase(const PatchSysexMessage* first, const PatchSysexMessage* last)
{
    PatchSysexMessage* b = items();
    const size_t index = static_cast<size_t>(first - b);
    const size_t count = static_cast<size_t>(last - first);
    if (count) {
        std::move(b + index + count, b + size_, b + index);
        for (size_t i = 0; i < count; ++i) pop_back();
    }
    return b + index;
}
