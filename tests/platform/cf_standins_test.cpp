// The CoreFoundation and Component Manager stand-ins where no caller's test reaches them:
// conversions that do not fit, URL paths, collections, data, strings, and an open the component
// refuses.
#include <gtest/gtest.h>

#include <cmath>

#include <CoreFoundation/CoreFoundation.h>
#include <CoreServices/CoreServices.h>

namespace {

union Value { int8_t i8; int16_t i16; int32_t i32; int64_t i64; float f; double d; };

// Makes a number of type `from` holding v, reads it back as `to` and widens that to double.
double Convert(CFNumberType from, double v, CFNumberType to, bool& exact)
{
    Value u{}, w{};
    if (from == kCFNumberFloat32Type) u.f = float(v);
    else if (from == kCFNumberFloat64Type || from == kCFNumberDoubleType) u.d = v;
    else u.i64 = int64_t(v); // little-endian: the narrower integer types read its low bytes
    CFNumberRef n = CFNumberCreate(nullptr, from, &u);
    exact = CFNumberGetValue(n, to, &w);
    CFRelease(n);
    if (to == kCFNumberSInt8Type) return w.i8;
    if (to == kCFNumberSInt16Type) return w.i16;
    if (to == kCFNumberSInt32Type || to == kCFNumberIntType) return w.i32;
    if (to == kCFNumberFloat32Type) return w.f;
    return to == kCFNumberFloat64Type || to == kCFNumberDoubleType ? w.d : double(w.i64);
}

} // namespace

TEST(CFNumbers, ConvertToEachTypeAndSayWhenTheValueWasCutOrRounded)
{
    const struct { CFNumberType from; double value; CFNumberType to; double expect; bool exact; } rows[] = {
        {kCFNumberSInt8Type, -5, kCFNumberSInt64Type, -5, true},
        {kCFNumberSInt16Type, 300, kCFNumberSInt8Type, 44, false},      // wraps
        {kCFNumberSInt32Type, 70000, kCFNumberSInt16Type, 4464, false}, // wraps
        {kCFNumberLongType, 1099511627776.0, kCFNumberIntType, 0, false},
        {kCFNumberSInt64Type, 1099511627776.0, kCFNumberLongType, 1099511627776.0, true},
        {kCFNumberIntType, 16777217, kCFNumberFloat32Type, 16777216, false},
        {kCFNumberFloat64Type, 2.5, kCFNumberSInt32Type, 2, false},
        {kCFNumberDoubleType, 1e300, kCFNumberSInt32Type, 2147483647, false}, // stops at the end
        {kCFNumberFloat64Type, -1e300, kCFNumberSInt16Type, -32768, false},
        {kCFNumberFloat64Type, -128, kCFNumberSInt8Type, -128, true},
        {kCFNumberFloat64Type, 127, kCFNumberSInt8Type, 127, true},
        {kCFNumberFloat64Type, std::nan(""), kCFNumberSInt8Type, 0, false},
        {kCFNumberFloat64Type, 0.1, kCFNumberFloat32Type, double(0.1f), false},
        {kCFNumberFloat32Type, 0.5, kCFNumberDoubleType, 0.5, true},
    };
    for (const auto& r : rows) {
        bool exact = !r.exact;
        EXPECT_EQ(Convert(r.from, r.value, r.to, exact), r.expect) << r.from << " " << r.value << " as " << r.to;
        EXPECT_EQ(exact, r.exact) << r.from << " " << r.value << " as " << r.to;
    }
    double d = 1;
    CFNumberRef n = CFNumberCreate(nullptr, kCFNumberDoubleType, &d);
    EXPECT_TRUE(!CFNumberCreate(nullptr, 99, &d) && !CFNumberCreate(nullptr, kCFNumberDoubleType, nullptr));
    EXPECT_FALSE(CFNumberGetValue(n, 99, &d) || CFNumberGetValue(nullptr, kCFNumberDoubleType, &d));
    CFRelease(n);
}

TEST(CFURLs, KeepDirectoriesWithASlashAndGiveBackPathsAndLastComponents)
{
    const struct { const char* path; size_t length; bool dir; const char* url; const char* last; } rows[] = {
        {"/a/b//", 6, false, "/a/b", "b"}, {"/a/b", 4, true, "/a/b/", "b"}, {"/", 1, true, "/", "/"},
        {"/a/b\0junk", 9, false, "/a/b", "b"}, // a terminator inside the length ends the path
        {"rel", 3, false, "rel", "rel"},
    };
    for (const auto& r : rows) {
        CFURLRef u = CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const uint8_t*>(r.path),
                                                             CFIndex(r.length), r.dir);
        ASSERT_NE(u, nullptr) << r.path;
        CFStringRef fs = CFURLCopyFileSystemPath(u, kCFURLPOSIXPathStyle), last = CFURLCopyLastPathComponent(u);
        uint8_t buf[8] = {};
        EXPECT_TRUE(CFURLGetFileSystemRepresentation(u, 1, buf, 8) && !CFURLGetFileSystemRepresentation(u, 1, buf, 1));
        const std::string path = std::string(r.url).substr(0, std::max<size_t>(1, std::string(r.url).size() - r.dir));
        EXPECT_TRUE(u->path == r.url && fs->utf8 == path && path == (const char*)buf && last->utf8 == r.last)
            << r.path;
        for (CFTypeRef o : {CFTypeRef(u), CFTypeRef(fs), CFTypeRef(last)}) CFRelease(o);
    }
    CFStringRef s = CFSTR("/x/"), empty = CFSTR("");
    CFURLRef u = CFURLCreateWithFileSystemPath(nullptr, s, kCFURLPOSIXPathStyle, false);
    EXPECT_TRUE(u && u->path == "/x" && !CFURLCreateWithFileSystemPath(nullptr, empty, kCFURLPOSIXPathStyle, true));
    EXPECT_TRUE(!CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const uint8_t*>(""), 1, false) &&
                !CFURLCopyFileSystemPath(nullptr, 0) && !CFURLCopyLastPathComponent(nullptr));
    CFRelease(u);
}

TEST(CFCollections, RetainWhatTheyHoldAndCompareByValue)
{
    CFStringRef a = CFStringCreateWithCString(nullptr, "a", 0), a2 = CFStringCreateCopy(nullptr, a);
    const uint8_t bytes[] = {1, 2, 3};
    CFDataRef d = CFDataCreate(nullptr, bytes, 3), d2 = CFDataCreate(nullptr, bytes, 3);
    double two = 2, half = 2.5;
    int32_t itwo = 2;
    CFNumberRef i = CFNumberCreate(nullptr, kCFNumberIntType, &itwo), f = CFNumberCreate(nullptr, 13, &two),
                g = CFNumberCreate(nullptr, 13, &half); // 13: a double
    const void* values[] = {a, d};
    CFArrayRef arr = CFArrayCreate(nullptr, values, 2, &kCFTypeArrayCallBacks);
    EXPECT_TRUE(CFGetRetainCount(a) == 2 && CFArrayGetCount(arr) == 2 && CFArrayGetValueAtIndex(arr, 1) == d);
    EXPECT_TRUE(!CFArrayGetValueAtIndex(arr, 2) && !CFArrayCreate(nullptr, nullptr, 1, nullptr));
    const struct { CFTypeRef x, y; bool equal; } pairs[] = {
        {a, a2, true}, {d, d2, true}, {i, f, true}, {f, g, false}, {i, a, false}, {arr, arr, true}, {arr, a, false},
    };
    for (const auto& p : pairs) EXPECT_EQ(CFEqual(p.x, p.y), p.equal) << &p - pairs;
    EXPECT_EQ(kCFTypeDictionaryKeyCallBacks.hash(a), kCFTypeDictionaryKeyCallBacks.hash(a2)) << "equal keys hash alike";
    uint8_t out[3] = {};
    CFDataGetBytes(d, CFRangeMake(1, 2), out);
    CFDataGetBytes(d, CFRangeMake(2, 2), out); // past the end: nothing
    EXPECT_TRUE(out[0] == 2 && out[1] == 3 && out[2] == 0);
    EXPECT_TRUE(CFStringGetLength(a2) == 1 && CFStringGetMaximumSizeForEncoding(5, kCFStringEncodingUTF8) == 5);
    for (CFTypeRef o : {CFTypeRef(arr), CFTypeRef(a), CFTypeRef(a2), CFTypeRef(d), CFTypeRef(d2), CFTypeRef(i),
                        CFTypeRef(f), CFTypeRef(g)})
        CFRelease(o);
}

static int gCloses = 0; // a refused open must not be followed by a close
static ComponentResult RefusingEntry(ComponentParameters* p, void*)
{
    gCloses += p->what == kComponentCloseSelect;
    return p->what == kComponentOpenSelect ? -108 : 0;
}

TEST(ComponentManager, AnOpenTheComponentRefusesLeavesNoInstanceAndNoClose)
{
    ComponentDescription cd{1, 2, 3, 0, 0};
    Component c = RegisterComponentEntry(&cd, &RefusingEntry);
    ComponentInstance ci = reinterpret_cast<ComponentInstance>(0x1);
    EXPECT_TRUE(OpenAComponent(c, &ci) == -108 && ci == nullptr && gCloses == 0);
    UnregisterComponentEntry(c);
}
