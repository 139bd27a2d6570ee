#pragma once
// A list of pointers kept in a KIT_HeapBuf; entries count by this machine's pointer size.
#include "kit/heapbuf.h"

template <class T> class KIT_PtrList {
public:
    explicit KIT_PtrList(int granularity = 4096) : m_hb(granularity) {}
    ~KIT_PtrList() {}

    KIT_PtrList(const KIT_PtrList&) = delete;
    KIT_PtrList& operator=(const KIT_PtrList&) = delete;

    T** GetList() const { return static_cast<T**>(m_hb.Get()); }
    int GetSize() const { return m_hb.GetSize() / int(sizeof(T*)); }

    T* Get(int index) const
    {
        if (index < 0 || index >= GetSize()) return nullptr;
        return GetList()[index];
    }

    int Find(const T* item) const
    {
        for (int i = 0, n = GetSize(); i < n; ++i)
            if (GetList()[i] == item) return i;
        return -1;
    }

    // Appends; answers the item, or null when the list could not grow (it stays as it was).
    T* Add(T* item)
    {
        int n = GetSize();
        m_hb.Resize((n + 1) * int(sizeof(T*)), false);
        if (GetSize() != n + 1) return nullptr;
        GetList()[n] = item;
        return item;
    }

    // Inserts at index (clamped to 0..count); later entries move up.
    T* Insert(int index, T* item)
    {
        int n = GetSize();
        if (index < 0) index = 0;
        if (index > n) index = n;
        m_hb.Resize((n + 1) * int(sizeof(T*)), false);
        if (GetSize() != n + 1) return nullptr;
        T** list = GetList();
        std::memmove(list + index + 1, list + index, size_t(n - index) * sizeof(T*));
        list[index] = item;
        return item;
    }

    // Removes one entry, closing the gap; with wantDelete the object is destroyed first.
    void Delete(int index, bool wantDelete = false, void (*deleteFunction)(void*) = nullptr)
    {
        int n = GetSize();
        if (index < 0 || index >= n) return;
        T** list = GetList();
        if (wantDelete) Dispose(list[index], deleteFunction);
        std::memmove(list + index, list + index + 1, size_t(n - index - 1) * sizeof(T*));
        m_hb.Resize((n - 1) * int(sizeof(T*)), false);
    }

    // With wantDelete the entries are destroyed from the last to the first, the list shrinking
    // as it goes, so a destructor that looks at the list never sees a dead entry.
    void Empty(bool wantDelete = false, void (*deleteFunction)(void*) = nullptr)
    {
        if (wantDelete) {
            for (int i = GetSize() - 1; i >= 0; --i) {
                T* item = GetList()[i];
                m_hb.Resize(i * int(sizeof(T*)), false);
                Dispose(item, deleteFunction);
            }
        }
        m_hb.Resize(0, false);
    }

private:
    static void Dispose(T* item, void (*deleteFunction)(void*))
    {
        if (deleteFunction) deleteFunction(item);
        else delete item;
    }

    KIT_HeapBuf m_hb;
};
