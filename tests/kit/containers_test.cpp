#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kit/heapbuf.h"
#include "kit/kitstring.h"
#include "kit/ptrlist.h"
#include "kit/stringkeyedarray.h"

TEST(HeapBuf, PageGranularityAllocatesWholePagesLess96Bytes)
{
    KIT_HeapBuf hb(4096);
    ASSERT_NE(hb.Resize(1), nullptr);
    EXPECT_EQ(hb.GetAllocSize(), 4000); // 1 + 4096 + 96 = 4193 -> 4096 - 96
    hb.Resize(5000);
    EXPECT_EQ(hb.GetAllocSize(), 8096);
    EXPECT_EQ(hb.GetSize(), 5000);
    // A large size grows by half of itself, cut to pages and capped at 4 MB.
    hb.Resize(100000000);
    EXPECT_EQ(hb.GetAllocSize(), ((100000000 + 4194304 + 96) & ~4095) - 96);
}

TEST(HeapBuf, SmallGranularityAddsTheLargerOfHalfTheSizeAndTheGranularity)
{
    KIT_HeapBuf hb(128);
    hb.Resize(10);
    EXPECT_EQ(hb.GetAllocSize(), 138);
    hb.Resize(300);
    EXPECT_EQ(hb.GetAllocSize(), 450);
    hb.Resize(400); // fits: only the used size moves
    EXPECT_EQ(hb.GetAllocSize(), 450);
}

TEST(HeapBuf, ShrinksOnlyWhenAllowedAndWellBelowTheAllocation)
{
    KIT_HeapBuf hb(128);
    hb.Resize(3000);
    int big = hb.GetAllocSize();
    EXPECT_EQ(hb.Resize(0), nullptr) << "size 0 answers null";
    EXPECT_EQ(big, 4500);
    EXPECT_EQ(hb.GetAllocSize(), 128) << "far below the allocation: shrinks to 0 + granularity";
    hb.Resize(3000);
    hb.Resize(10, false);
    EXPECT_EQ(hb.GetAllocSize(), big) << "resizeDown false never shrinks";
    hb.Resize(4000, false);
    hb.Resize(2300, true);
    EXPECT_EQ(hb.GetAllocSize(), big) << "not below half the allocation";
    hb.Resize(1400, true);
    EXPECT_EQ(hb.GetAllocSize(), 2100);

    KIT_HeapBuf page(4096);
    page.Resize(1);
    EXPECT_EQ(page.Resize(0), nullptr);
    EXPECT_EQ(page.GetAllocSize(), 4000) << "not below allocation minus four granularities";
}

TEST(HeapBuf, KeepsContentsAndHonoursMinimumAllocation)
{
    KIT_HeapBuf hb(16);
    hb.SetMinAllocSize(1000);
    char* p = static_cast<char*>(hb.Resize(5));
    std::memcpy(p, "abcde", 5);
    EXPECT_EQ(hb.GetAllocSize(), 1000);
    p = static_cast<char*>(hb.Resize(2000));
    EXPECT_EQ(std::string(p, 5), "abcde");
    KIT_HeapBuf copy(hb);
    EXPECT_EQ(copy.GetSize(), 2000);
    EXPECT_EQ(std::string(static_cast<char*>(copy.Get()), 5), "abcde");
    EXPECT_NE(copy.Get(), hb.Get());
}

TEST(TypedBuf, CountsElementsAndInsertsInPlace)
{
    KIT_TypedBuf<int> tb(64);
    for (int i = 0; i < 5; ++i) tb.Add(i);
    tb.Insert(99, 2);
    tb.Insert(-1, -5);  // clamped to the front
    tb.Insert(100, 50); // clamped to the end
    std::vector<int> got(tb.Get(), tb.Get() + tb.GetSize());
    EXPECT_EQ(got, (std::vector<int>{-1, 0, 1, 99, 2, 3, 4, 100}));
    tb.Delete(0);
    tb.Delete(42);
    EXPECT_EQ(tb.GetSize(), 7);
    EXPECT_EQ(tb.Get()[0], 0);
}

namespace {
std::vector<int>* gDeleted;
struct Tracked {
    int id;
    ~Tracked() { gDeleted->push_back(id); }
};
void freeTracked(void* p) { delete static_cast<Tracked*>(p); }
} // namespace

TEST(PtrList, CountsByPointerSizeAndClampsOutsideIndexes)
{
    KIT_PtrList<int> list;
    int a = 1, b = 2, c = 3;
    list.Add(&a);
    list.Add(&c);
    list.Insert(1, &b);
    list.Insert(-3, &c);
    EXPECT_EQ(list.GetSize(), 4);
    EXPECT_EQ(list.Get(0), &c);
    EXPECT_EQ(list.Get(2), &b);
    EXPECT_EQ(list.Get(4), nullptr);
    EXPECT_EQ(list.Get(-1), nullptr);
    EXPECT_EQ(list.Find(&b), 2);
    list.Delete(0);
    EXPECT_EQ(list.Get(0), &a);
    EXPECT_EQ(list.GetSize(), 3);
}

TEST(PtrList, EmptyWithDeletionDestroysFromLastToFirst)
{
    std::vector<int> deleted;
    gDeleted = &deleted;
    KIT_PtrList<Tracked> list;
    for (int i = 0; i < 4; ++i) list.Add(new Tracked{i});
    list.Delete(1, true);
    EXPECT_EQ(deleted, std::vector<int>{1});
    list.Empty(true, freeTracked);
    EXPECT_EQ(deleted, (std::vector<int>{1, 3, 2, 0}));
    EXPECT_EQ(list.GetSize(), 0);
}

TEST(KitString, EmptyStringHasNoBufferAndReadsAsEmpty)
{
    KIT_String s;
    EXPECT_STREQ(s.Get(), "");
    EXPECT_EQ(s.GetLength(), 0);
    s.Set("hello world", 5);
    EXPECT_STREQ(s.Get(), "hello");
    s.Append(", there");
    EXPECT_STREQ(s.Get(), "hello, there");
    s.SetLen(7);
    EXPECT_STREQ(s.Get(), "hello, ");
    s.DeleteSub(5, 100);
    EXPECT_STREQ(s.Get(), "hello");
    s.Insert("oh ", 0);
    EXPECT_STREQ(s.Get(), "oh hello");
    s.Set(s.Get() + 3); // from its own buffer
    EXPECT_STREQ(s.Get(), "hello");
    s.Append(s.Get());
    EXPECT_STREQ(s.Get(), "hellohello");
    s.Set("");
    EXPECT_STREQ(s.Get(), "");
}

TEST(KitString, SetFormattedKeepsAtMostMaxLengthCharacters)
{
    KIT_String s;
    s.SetFormatted(4096, "%s-%d", "drop", 42);
    EXPECT_STREQ(s.Get(), "drop-42");
    EXPECT_EQ(s.GetLength(), 7);
    s.SetFormatted(5, "%s", "abcdefghij");
    EXPECT_STREQ(s.Get(), "abcde");
    s.AppendFormatted(3, "%d", 12345);
    EXPECT_STREQ(s.Get(), "abcde123");
    s.SetFormatted(10, "%s", "");
    EXPECT_STREQ(s.Get(), "");
}

namespace {
std::vector<int> gDisposed;
void disposeInt(int v) { gDisposed.push_back(v); }
} // namespace

TEST(StringKeyedArray, CaseInsensitiveInsertReplacesValueAndKeepsStoredCase)
{
    gDisposed.clear();
    KIT_StringKeyedArray<int> a(false, disposeInt);
    a.Insert("Zeta", 1);
    a.Insert("alpha", 2);
    a.Insert("Mid", 3);
    a.Insert("ALPHA", 4);
    EXPECT_EQ(a.GetSize(), 3);
    EXPECT_EQ(gDisposed, std::vector<int>{2});
    const char* key = nullptr;
    EXPECT_EQ(a.Enumerate(0, &key), 4);
    EXPECT_STREQ(key, "alpha");
    EXPECT_EQ(a.Get("mid", -1), 3);
    EXPECT_EQ(a.Get("nope", -1), -1);
    a.Delete("ZETA");
    EXPECT_EQ(gDisposed, (std::vector<int>{2, 1}));
    EXPECT_EQ(a.GetSize(), 2);
}

TEST(StringKeyedArray, ResortAfterUnsortedAppendsKeepsOnePairPerKey)
{
    gDisposed.clear();
    {
        KIT_StringKeyedArray<int> a(true, disposeInt);
        a.AddUnsorted("b", 1);
        a.AddUnsorted("a", 2);
        a.AddUnsorted("b", 3);
        a.AddUnsorted("c", 4);
        a.Resort();
        ASSERT_EQ(a.GetSize(), 3);
        EXPECT_EQ(a.Get("b"), 3) << "the last appended value of a key wins";
        EXPECT_EQ(gDisposed, std::vector<int>{1});
        EXPECT_EQ(a.GetIdx("B"), -1) << "case-sensitive compare";
    }
    EXPECT_EQ(gDisposed.size(), 4u) << "the array disposes of its values";
}
