#pragma once
// Growable byte buffers. The allocation grows with a margin so that repeated appends stay
// cheap, and never shrinks unless the caller allows it.
#include <cstdint>
#include <cstdlib>
#include <cstring>

class KIT_HeapBuf {
public:
    explicit KIT_HeapBuf(int granularity = 4096) : m_granul(granularity > 0 ? granularity : 1) {}
    ~KIT_HeapBuf() { std::free(m_buf); }

    KIT_HeapBuf(const KIT_HeapBuf& other) : m_granul(other.m_granul), m_minAlloc(other.m_minAlloc)
    {
        CopyFrom(other);
    }
    KIT_HeapBuf& operator=(const KIT_HeapBuf& other)
    {
        if (this != &other) CopyFrom(other);
        return *this;
    }

    void* Get() const { return m_size ? m_buf : nullptr; }
    int GetSize() const { return m_size; }
    int GetAllocSize() const { return m_alloc; }
    int GetGranul() const { return m_granul; }
    void SetGranul(int granularity) { m_granul = granularity > 0 ? granularity : 1; }
    void SetMinAllocSize(int bytes) { m_minAlloc = bytes > 0 ? bytes : 0; }

    // Sets the used size; answers the buffer, or null when the new size is 0. When memory runs
    // out the old buffer, allocation and size stay, so callers compare GetSize() afterwards.
    void* Resize(int newSize, bool resizeDown = true);

    // Copies the other buffer's used bytes; on a failed allocation this buffer stays as it was.
    void CopyFrom(const KIT_HeapBuf& other)
    {
        int n = other.GetSize();
        if (Resize(n, false) || n == 0) {
            if (n) std::memcpy(m_buf, other.m_buf, size_t(n));
        }
    }

private:
    void* m_buf = nullptr;
    int m_granul;
    int m_alloc = 0;
    int m_size = 0;
    int m_minAlloc = 0;
};

inline void* KIT_HeapBuf::Resize(int newSize, bool resizeDown)
{
    if (newSize < 0) newSize = 0;
    if (newSize == m_size) return m_size ? m_buf : nullptr;

    bool realloc_needed = newSize > m_alloc;
    if (!realloc_needed && resizeDown && newSize < m_size && newSize < m_alloc / 2 &&
        int64_t(newSize) < int64_t(m_alloc) - 4 * int64_t(m_granul))
        realloc_needed = true;

    if (realloc_needed) {
        int64_t g = newSize / 2 > m_granul ? newSize / 2 : m_granul;
        int64_t alloc;
        if (m_granul < 4096) {
            alloc = newSize + g;
        } else {
            g &= ~int64_t(4095);
            if (g < 4096) g = 4096;
            if (g > 4194304) g = 4194304;
            alloc = ((int64_t(newSize) + g + 96) & ~int64_t(4095)) - 96;
        }
        if (alloc < m_minAlloc) alloc = m_minAlloc;
        if (alloc > INT32_MAX) return m_size ? m_buf : nullptr;

        if (alloc != m_alloc) {
            void* nb = std::realloc(m_buf, size_t(alloc));
            if (!nb) {
                nb = std::malloc(size_t(alloc));
                if (!nb) return m_size ? m_buf : nullptr;
                int keep = m_size < newSize ? m_size : newSize;
                if (m_buf && keep > 0) std::memcpy(nb, m_buf, size_t(keep));
                std::free(m_buf);
            }
            m_buf = nb;
            m_alloc = int(alloc);
        }
    }
    m_size = newSize;
    return m_size ? m_buf : nullptr;
}

// A growable array of plain values over a KIT_HeapBuf.
template <class T> class KIT_TypedBuf {
public:
    explicit KIT_TypedBuf(int granularity = 4096) : m_hb(granularity) {}

    T* Get() const { return static_cast<T*>(m_hb.Get()); }
    int GetSize() const { return m_hb.GetSize() / int(sizeof(T)); }
    int GetGranul() const { return m_hb.GetGranul(); }
    void SetGranul(int granularity) { m_hb.SetGranul(granularity); }
    void SetMinAllocSize(int items) { m_hb.SetMinAllocSize(items * int(sizeof(T))); }

    // Answers the first element, or null when empty or when memory ran out.
    T* Resize(int items, bool resizeDown = true)
    {
        if (items < 0) items = 0;
        if (int64_t(items) * int64_t(sizeof(T)) > INT32_MAX) return nullptr;
        int want = items * int(sizeof(T));
        m_hb.Resize(want, resizeDown);
        return m_hb.GetSize() == want ? Get() : nullptr;
    }

    // Appends one value; answers its place, or null when the buffer could not grow.
    T* Add(const T& value)
    {
        int n = GetSize();
        if (!Resize(n + 1, false)) return nullptr;
        T* p = Get() + n;
        *p = value;
        return p;
    }

    // Inserts at index (clamped to 0..size); answers its place or null.
    T* Insert(const T& value, int index)
    {
        int n = GetSize();
        if (index < 0) index = 0;
        if (index > n) index = n;
        if (!Resize(n + 1, false)) return nullptr;
        T* p = Get();
        std::memmove(p + index + 1, p + index, size_t(n - index) * sizeof(T));
        p[index] = value;
        return p + index;
    }

    void Delete(int index)
    {
        int n = GetSize();
        if (index < 0 || index >= n) return;
        T* p = Get();
        std::memmove(p + index, p + index + 1, size_t(n - index - 1) * sizeof(T));
        Resize(n - 1, false);
    }

private:
    KIT_HeapBuf m_hb;
};
