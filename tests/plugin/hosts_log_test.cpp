#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

#include "kit/kitstring.h"
#include "kit/plugin/Hosts.h"
#include "kit/plugin/Log.h"

TEST(HostLookup, FirstMatchingRowWinsInAnyLetterCase)
{
    EXPECT_EQ(LookUpHost("com.apple.LOGIC10"), kHostLogic);
    EXPECT_EQ(int(LookUpHost("com.apple.logic10")), 21);
    // "live" comes before "digital" in the search order.
    EXPECT_EQ(int(LookUpHost("Digital Live Rig")), 9);
    EXPECT_EQ(int(LookUpHost("com.motu.DigitalPerformer")), 23);
    EXPECT_EQ(int(LookUpHost("Cubase Nuendo bundle")), 3);
    EXPECT_EQ(int(LookUpHost("com.example.somehost")), 0);
    EXPECT_EQ(int(LookUpHost("")), 0);
    EXPECT_EQ(int(LookUpHost(nullptr)), 0);
}

TEST(HostLookup, OnlyTheFirst255CharactersAreSearched)
{
    std::string name(300, 'x');
    name.replace(260, 5, "logic");
    EXPECT_EQ(int(LookUpHost(name.c_str())), 0);
    name.replace(100, 5, "logic");
    EXPECT_EQ(int(LookUpHost(name.c_str())), 21);
}

TEST(HostLookup, DisplayNames)
{
    char out[32];
    GetHostNameStr(EHost(12), out);
    EXPECT_STREQ(out, "Unknown") << "the melodyne value has no display name";
    GetHostNameStr(EHost(27), out);
    EXPECT_STREQ(out, "VST3PluginTestHost");
    GetHostNameStr(EHost(23), out);
    EXPECT_STREQ(out, "DigitalPerformer");
    GetHostNameStr(EHost(-1), out);
    EXPECT_STREQ(out, "Unknown");
    GetHostNameStr(EHost(29), out);
    EXPECT_STREQ(out, "Unknown");
}

TEST(Versions, PartsDecimalAndText)
{
    char out[32];
    GetVersionStr(0x00010000, out);
    EXPECT_STREQ(out, "v1");
    GetVersionStr(0x00010200, out);
    EXPECT_STREQ(out, "v1.2");
    GetVersionStr(0x00010009, out);
    EXPECT_STREQ(out, "v1.0.9");
    EXPECT_EQ(GetDecimalVersion(0x00010009), 10009);
    int a, b, c;
    GetVersionParts(0x00020A0B, &a, &b, &c);
    EXPECT_EQ(a, 2);
    EXPECT_EQ(b, 10);
    EXPECT_EQ(c, 11);
}

TEST(Timestamps, CompileStampIsMonthDayHoursMinutes)
{
    KIT_String s;
    CompileTimestamp("Dec 05 2026", "16:38:03", &s);
    EXPECT_STREQ(s.Get(), "[Dec05 16:38]");
    EXPECT_STREQ(AppendTimestamp("Jan 17 2025", "09:05:59", "QOR"), "QOR [Jan17 09:05]");
}

TEST(Timestamps, CurrentTimeHasDateTimeAndUtcOffset)
{
    std::string t = CurrentTime();
    // yyyymmdd hh:mm +hhmm
    ASSERT_EQ(t.size(), 20u) << t;
    EXPECT_EQ(t[8], ' ');
    EXPECT_EQ(t[11], ':');
    EXPECT_TRUE(t[15] == '+' || t[15] == '-');
    // Each thread has its own buffer.
    const char* mine = CurrentTime();
    const char* theirs = nullptr;
    std::thread th([&] { theirs = CurrentTime(); });
    th.join();
    EXPECT_NE(mine, theirs);
}

TEST(TextHelpers, WhitespaceAndLowerCase)
{
    EXPECT_TRUE(IsWhitespace(' '));
    EXPECT_TRUE(IsWhitespace('\t'));
    EXPECT_TRUE(IsWhitespace('\n'));
    EXPECT_TRUE(IsWhitespace('\r'));
    EXPECT_FALSE(IsWhitespace('\v'));
    EXPECT_FALSE(IsWhitespace('\f'));
    char out[16];
    ToLower(out, "MiXeD 42");
    EXPECT_STREQ(out, "mixed 42");
}

TEST(TextHelpers, TimerFiresOnlyAfterItsInterval)
{
    Timer t;
    EXPECT_FALSE(t.Every(1000.0));
    EXPECT_TRUE(t.Every(-1.0));
}
