#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "kit/heapbuf.h"
#include "kit/kitstring.h"
#include "kit/ptrlist.h"
#include "kit/stringkeyedarray.h"

TEST(HeapBuf, AllocationFollowsTheGrowthAndShrinkRules)
{
    // Size asked (negative: without shrinking), then the allocation that results.
    const std::vector<std::vector<int>> cases = {
        // Whole pages less 96 bytes; a large size grows by half of itself, capped at 4 MB.
        {4096, 1, 4000, 0, 4000, 5000, 8096, 100000000, 104193952},
        // Small granularities add the larger of half the size and the granularity, and shrink only
        // when asked and well below the allocation.
        {128, 10, 138, 300, 450, 400, 450, 3000, 4500, 0, 128, 3000, 4500, -10, 4500, 2300, 4500, 1400, 2100},
    };
    for (const auto& c : cases) {
        KIT_HeapBuf hb(c[0]);
        for (size_t i = 1; i < c.size(); i += 2) {
            EXPECT_EQ(hb.Resize(std::abs(c[i]), c[i] >= 0) != nullptr, c[i] != 0) << c[i];
            EXPECT_EQ(hb.GetAllocSize(), c[i + 1]) << c[0] << ": " << c[i];
        }
    }
    KIT_HeapBuf hb(16);
    hb.SetMinAllocSize(1000);
    std::memcpy(hb.Resize(5), "abcde", 5);
    KIT_HeapBuf copy(hb);
    hb.Resize(2000); // contents move with a growth, the copy has its own
    EXPECT_EQ((std::vector<int>{hb.GetAllocSize() >= 2000, copy.GetAllocSize(), copy.GetSize()}),
              (std::vector<int>{1, 1000, 5}));
    EXPECT_EQ(std::string(static_cast<char*>(hb.Get()), 5) + std::string(static_cast<char*>(copy.Get()), 5),
              "abcdeabcde");

    KIT_TypedBuf<int> tb(64);
    for (int i = 0; i < 5; ++i) tb.Add(i);
    tb.Insert(99, 2);
    tb.Insert(-1, -5);  // clamped to the front
    tb.Insert(100, 50); // clamped to the end
    tb.Delete(42);
    EXPECT_EQ(std::vector<int>(tb.Get(), tb.Get() + tb.GetSize()), (std::vector<int>{-1, 0, 1, 99, 2, 3, 4, 100}));
}

namespace
{
std::vector<int> gGone;
struct Tracked {
    int id;
    ~Tracked() { gGone.push_back(id); }
};
void disposeInt(int v)
{
    gGone.push_back(v);
}
} // namespace

TEST(PtrList, CountsByPointerSizeClampsIndexesAndEmptiesFromLastToFirst)
{
    KIT_PtrList<Tracked> list;
    Tracked* t[5];
    for (int i = 0; i < 5; ++i) t[i] = new Tracked{i};
    list.Add(t[0]);
    list.Add(t[2]);
    list.Insert(1, t[1]);
    list.Insert(-3, t[3]);
    list.Insert(99, t[4]);
    EXPECT_EQ((std::vector<const void*>{list.Get(0), list.Get(5), list.Get(-1)}),
              (std::vector<const void*>{t[3], 0, 0}));
    EXPECT_EQ(list.Find(t[1]), 2);
    gGone.clear();
    list.Delete(0, true);
    list.Empty(true, [](void* p) { delete static_cast<Tracked*>(p); });
    EXPECT_EQ(gGone, (std::vector<int>{3, 4, 2, 1, 0}));
    EXPECT_EQ(list.GetSize(), 0);
}

TEST(KitString, EditsIncludingFromItsOwnBufferAndBoundedFormatting)
{
    KIT_String s;
    std::string seen = s.Get() + std::to_string(s.GetLength()) + "|";
    s.Set("hello world", 5);
    s.Append(", there");
    s.SetLen(7);
    s.DeleteSub(5, 100);
    s.Insert("oh ", 0);
    seen += s.Get() + std::string("|");
    s.Set(s.Get() + 3);
    s.Append(s.Get());
    seen += s.Get() + std::string("|");
    s.SetFormatted(5, "%s", "abcdefghij");
    s.AppendFormatted(3, "%d", 12345);
    seen += s.Get() + std::to_string(s.GetLength()) + "|";
    s.SetFormatted(10, "%s", "");
    EXPECT_EQ(seen + s.Get(), "0|oh hello|hellohello|abcde1238|");
}

TEST(StringKeyedArray, OnePairPerKeyStoredCaseKeptValuesDisposed)
{
    gGone.clear();
    {
        KIT_StringKeyedArray<int> a(false, disposeInt);
        for (auto [k, v] : {std::pair<const char*, int>{"Zeta", 1}, {"alpha", 2}, {"Mid", 3}, {"ALPHA", 4}})
            a.Insert(k, v);
        const char* key = nullptr;
        EXPECT_EQ((std::vector<int>{a.GetSize(), a.Enumerate(0, &key), a.Get("mid", -1), a.Get("nope", -1)}),
                  (std::vector<int>{3, 4, 3, -1}));
        EXPECT_STREQ(key, "alpha") << "the stored case stays";
        a.Delete("ZETA");
        EXPECT_EQ(gGone, (std::vector<int>{2, 1}));
    }
    gGone.clear();
    {
        KIT_StringKeyedArray<int> a(true, disposeInt);
        for (auto [k, v] : {std::pair<const char*, int>{"b", 1}, {"a", 2}, {"b", 3}, {"c", 4}}) a.AddUnsorted(k, v);
        a.Resort();
        // The last appended value of a key wins; keys compare case-sensitively.
        EXPECT_EQ((std::vector<int>{a.GetSize(), a.Get("b"), a.GetIdx("B")}), (std::vector<int>{3, 3, -1}));
        EXPECT_EQ(gGone, std::vector<int>{1});
    }
    EXPECT_EQ(gGone.size(), 4u) << "the array disposes of its values";
}
