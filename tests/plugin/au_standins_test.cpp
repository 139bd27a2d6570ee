// The platform stand-ins the Audio Unit binding stands on, where no binding test reaches them:
// numbers that do not fit, and Component Manager instances and refused opens.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include <CoreFoundation/CoreFoundation.h>
#include <CoreServices/CoreServices.h>

TEST(CFNumbers, ValuesConvertAndReportWhenTheyDoNotFit)
{
    int64_t big = int64_t(1) << 40;
    CFNumberRef n = CFNumberCreate(nullptr, kCFNumberSInt64Type, &big);
    int32_t small = 0;
    EXPECT_FALSE(CFNumberGetValue(n, kCFNumberSInt32Type, &small)); // cut
    int64_t back = 0;
    EXPECT_TRUE(CFNumberGetValue(n, kCFNumberSInt64Type, &back));
    EXPECT_EQ(back, big);
    CFRelease(n);

    double d = 2.5;
    n = CFNumberCreate(nullptr, kCFNumberFloat64Type, &d);
    EXPECT_TRUE(CFNumberIsFloatType(n));
    EXPECT_FALSE(CFNumberGetValue(n, kCFNumberSInt32Type, &small)); // rounded
    EXPECT_EQ(small, 2);
    double huge = 1e300;
    CFNumberRef h = CFNumberCreate(nullptr, kCFNumberFloat64Type, &huge);
    EXPECT_FALSE(CFNumberGetValue(h, kCFNumberSInt32Type, &small));
    EXPECT_EQ(small, std::numeric_limits<int32_t>::max()); // stops at the end, no undefined cast
    CFRelease(h);
    CFRelease(n);
    EXPECT_EQ(CFNumberCreate(nullptr, 99, &d), nullptr);
    EXPECT_FALSE(CFNumberGetValue(nullptr, kCFNumberSInt32Type, &small));
}

namespace {

int gOpens = 0, gCloses = 0;
ComponentResult Refusing(ComponentParameters* p, void*)
{
    if (p->what == kComponentOpenSelect) ++gOpens;
    if (p->what == kComponentCloseSelect) ++gCloses;
    return p->what == kComponentOpenSelect ? OSStatus(-108) : OSStatus(noErr);
}

ComponentResult Storing(ComponentParameters* p, void*)
{
    if (p->what == kComponentOpenSelect)
        SetComponentInstanceStorage(reinterpret_cast<ComponentInstance>(p->params[0]), &gOpens);
    return p->what == kComponentVersionSelect ? 0x10203 : OSStatus(noErr);
}

} // namespace

TEST(ComponentManager, AnOpenTheComponentRefusesLeavesNoInstance)
{
    ComponentDescription cd{1, 2, 3, 0, 0};
    Component c = RegisterComponentEntry(&cd, &Refusing);
    ComponentInstance ci = reinterpret_cast<ComponentInstance>(0x1);
    EXPECT_EQ(OpenAComponent(c, &ci), -108);
    EXPECT_EQ(ci, nullptr);
    EXPECT_EQ(gOpens, 1);
    EXPECT_EQ(gCloses, 0);
    UnregisterComponentEntry(c);
}

TEST(ComponentManager, InstancesKeepStorageAndDescribeTheirComponent)
{
    ComponentDescription cd{0x61756D75, 0x616E6E71, 0x56654231, 0, 0};
    Component c = RegisterComponentEntry(&cd, &Storing);
    ComponentInstance ci = nullptr;
    ASSERT_EQ(OpenAComponent(c, &ci), noErr);
    EXPECT_EQ(GetComponentInstanceStorage(ci), &gOpens);
    EXPECT_EQ(CallComponentVersion(ci), 0x10203);
    ComponentDescription got{};
    EXPECT_EQ(GetComponentInfo(reinterpret_cast<Component>(ci), &got, nullptr, nullptr, nullptr), noErr);
    EXPECT_EQ(got.componentSubType, 0x616E6E71u);
    EXPECT_EQ(CloseComponent(ci), noErr);
    ComponentRecord bogus{};
    EXPECT_EQ(GetComponentInfo(&bogus, &got, nullptr, nullptr, nullptr), OSErr(invalidComponentID));
    EXPECT_EQ(GetComponentInstanceStorage(nullptr), nullptr);
    EXPECT_EQ(CallComponentVersion(nullptr), badComponentInstance);
    UnregisterComponentEntry(c);
}
