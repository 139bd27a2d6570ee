#pragma once
// An array of (string key, value) pairs kept sorted by a compare function, looked up by binary
// search. The array owns its keys and, through the dispose function, its values.
#include <strings.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

template <class T> class KIT_StringKeyedArray {
public:
    using Dispose = void (*)(T);

    explicit KIT_StringKeyedArray(bool caseSensitive = true, Dispose dispose = nullptr)
        : m_cmp(caseSensitive ? &std::strcmp : &strcasecmp), m_dispose(dispose)
    {
    }
    ~KIT_StringKeyedArray() { DeleteAll(); }
    KIT_StringKeyedArray(const KIT_StringKeyedArray&) = delete;
    KIT_StringKeyedArray& operator=(const KIT_StringKeyedArray&) = delete;

    int GetSize() const { return int(m_pairs.size()); }

    // Index of key, or -1.
    int GetIdx(const char* key) const
    {
        bool found = false;
        int i = LowerBound(key, &found);
        return found ? i : -1;
    }

    T Get(const char* key, T notFound = T()) const
    {
        int i = GetIdx(key);
        return i >= 0 ? m_pairs[size_t(i)].second : notFound;
    }
    T* GetPtr(const char* key)
    {
        int i = GetIdx(key);
        return i >= 0 ? &m_pairs[size_t(i)].second : nullptr;
    }
    bool Exists(const char* key) const { return GetIdx(key) >= 0; }

    // By position: answers the value and sets *key (may be null); notFound outside the array.
    T Enumerate(int index, const char** key = nullptr, T notFound = T()) const
    {
        if (index < 0 || index >= GetSize()) {
            if (key) *key = nullptr;
            return notFound;
        }
        if (key) *key = m_pairs[size_t(index)].first.c_str();
        return m_pairs[size_t(index)].second;
    }

    // An existing key keeps its stored letter case and gets the new value (the old one is
    // disposed of); a new key is copied in at its sorted place.
    void Insert(const char* key, T value)
    {
        if (!key) return;
        bool found = false;
        int i = LowerBound(key, &found);
        if (found) {
            T& slot = m_pairs[size_t(i)].second;
            if (m_dispose) m_dispose(slot);
            slot = value;
            return;
        }
        m_pairs.insert(m_pairs.begin() + i, std::make_pair(std::string(key), value));
    }

    // Appends without keeping the order; call Resort() after a run of these.
    void AddUnsorted(const char* key, T value)
    {
        if (key) m_pairs.emplace_back(std::string(key), value);
    }

    // Sorts, keeping insertion order among equal keys; of equal keys only the last added stays.
    void Resort()
    {
        auto less = [this](const Pair& a, const Pair& b) { return m_cmp(a.first.c_str(), b.first.c_str()) < 0; };
        std::stable_sort(m_pairs.begin(), m_pairs.end(), less);
        std::vector<Pair> out;
        out.reserve(m_pairs.size());
        for (auto& p : m_pairs) {
            if (!out.empty() && m_cmp(out.back().first.c_str(), p.first.c_str()) == 0) {
                if (m_dispose) m_dispose(out.back().second);
                out.back().second = p.second;
            } else {
                out.push_back(std::move(p));
            }
        }
        m_pairs.swap(out);
    }

    void Delete(const char* key)
    {
        int i = GetIdx(key);
        if (i >= 0) DeleteByIndex(i);
    }
    void DeleteByIndex(int index)
    {
        if (index < 0 || index >= GetSize()) return;
        if (m_dispose) m_dispose(m_pairs[size_t(index)].second);
        m_pairs.erase(m_pairs.begin() + index);
    }
    void DeleteAll()
    {
        if (m_dispose)
            for (auto& p : m_pairs) m_dispose(p.second);
        m_pairs.clear();
    }

private:
    using Pair = std::pair<std::string, T>;

    int LowerBound(const char* key, bool* found) const
    {
        int lo = 0, hi = GetSize();
        *found = false;
        if (!key) return 0;
        while (lo < hi) {
            int mid = lo + (hi - lo) / 2;
            int c = m_cmp(m_pairs[size_t(mid)].first.c_str(), key);
            if (c < 0) lo = mid + 1;
            else {
                if (c == 0) *found = true;
                hi = mid;
            }
        }
        return lo;
    }

    int (*m_cmp)(const char*, const char*);
    Dispose m_dispose;
    std::vector<Pair> m_pairs;
};
