// Host names, version texts, time stamps and the small text helpers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

#include "kit/kitstring.h"
#include "kit/plugin/Hosts.h"
#include "kit/plugin/Log.h"

TEST(Timestamps, CompileStampIsMonthDayHoursMinutesAndCurrentTimeHasDateTimeAndOffsetPerThread)
{
    KIT_String s;
    CompileTimestamp("Dec 05 2026", "16:38:03", &s);
    EXPECT_STREQ(s.Get(), "[Dec05 16:38]");
    EXPECT_STREQ(AppendTimestamp("Jan 17 2025", "09:05:59", "QOR"), "QOR [Jan17 09:05]");
    std::string t = CurrentTime();
    ASSERT_EQ(t.size(), 20u) << t; // yyyymmdd hh:mm +hhmm
    EXPECT_TRUE(t[8] == ' ' && t[11] == ':' && (t[15] == '+' || t[15] == '-')) << t;
    const char* mine = CurrentTime();
    const char* theirs = nullptr;
    std::thread th([&] { theirs = CurrentTime(); });
    th.join();
    EXPECT_NE(mine, theirs) << "each thread has its own buffer";
}

TEST(TextHelpers, WhitespaceLowerCaseHostAndVersionNamesAndTheProcessorTimer)
{
    std::string ws;
    for (char c : std::string(" \t\n\rx\v0")) ws += IsWhitespace(c) ? '1' : '0';
    EXPECT_EQ(ws, "1111000");
    char out[16];
    ToLower(out, "QoR Ed\xC9");
    EXPECT_STREQ(out, "qor ed\xC9"); // bytes above ASCII stay as they are
    char name[32], minor[32], major[32]; // trailing zero parts are dropped
    GetHostNameStr(EHost(27), name);
    GetVersionStr(0x00010200, minor);
    GetVersionStr(0x00030000, major);
    EXPECT_EQ(std::string(name) + " " + minor + " " + major, "VST3PluginTestHost v1.2 v3");
    EXPECT_EQ(LookUpHost("com.example.somehost"), kHostUnknown);
    Timer t;
    EXPECT_FALSE(t.Every(3600.0));
    EXPECT_TRUE(t.Every(-1.0));
}
