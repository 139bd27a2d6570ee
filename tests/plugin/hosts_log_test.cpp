#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

#include "kit/kitstring.h"
#include "kit/plugin/Hosts.h"
#include "kit/plugin/Log.h"

TEST(HostLookup, FirstMatchingRowWinsInAnyLetterCase)
{
    // "live" comes before "digital" in the search order.
    const struct { const char* name; int host; } table[] = {
        {"com.apple.LOGIC10", kHostLogic}, {"com.apple.logic10", 21}, {"Digital Live Rig", 9},
        {"com.motu.DigitalPerformer", 23}, {"Cubase Nuendo bundle", 3}, {"com.example.somehost", 0},
        {"", 0},                           {nullptr, 0}};
    for (const auto& row : table) {
        SCOPED_TRACE(row.name ? row.name : "(null)");
        EXPECT_EQ(int(LookUpHost(row.name)), row.host);
    }
    // Only the first 255 characters are searched.
    std::string name(300, 'x');
    name.replace(260, 5, "logic");
    EXPECT_EQ(int(LookUpHost(name.c_str())), 0);
    name.replace(100, 5, "logic");
    EXPECT_EQ(int(LookUpHost(name.c_str())), 21);
}

TEST(HostLookup, DisplayNames)
{
    // The melodyne value has no display name.
    const struct { int host; const char* name; } table[] = {
        {12, "Unknown"}, {27, "VST3PluginTestHost"}, {23, "DigitalPerformer"}, {-1, "Unknown"}, {29, "Unknown"}};
    for (const auto& row : table) {
        SCOPED_TRACE(row.host);
        char out[32];
        GetHostNameStr(EHost(row.host), out);
        EXPECT_STREQ(out, row.name);
    }
}

TEST(Versions, TextDropsTrailingZeroPartsAndDecimalPacksTheParts)
{
    const struct { int version; const char* text; } table[] = {
        {0x00010000, "v1"}, {0x00010200, "v1.2"}, {0x00010009, "v1.0.9"},
        {0x00020100, "v2.1"}, {0x00030000, "v3"}, {0x00000001, "v0.0.1"}};
    for (const auto& row : table) {
        SCOPED_TRACE(row.text);
        char out[32];
        GetVersionStr(row.version, out);
        EXPECT_STREQ(out, row.text);
    }
    EXPECT_EQ(GetDecimalVersion(0x00010009), 10009);
    int a, b, c;
    GetVersionParts(0x00020A0B, &a, &b, &c);
    EXPECT_EQ(a * 10000 + b * 100 + c, 21011);
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
    ASSERT_EQ(t.size(), 20u) << t; // yyyymmdd hh:mm +hhmm
    EXPECT_TRUE(t[8] == ' ' && t[11] == ':' && (t[15] == '+' || t[15] == '-')) << t;
    // Each thread has its own buffer.
    const char* mine = CurrentTime();
    const char* theirs = nullptr;
    std::thread th([&] { theirs = CurrentTime(); });
    th.join();
    EXPECT_NE(mine, theirs);
}

TEST(TextHelpers, WhitespaceLowerCaseAndTheProcessorTimer)
{
    std::string ws;
    for (char c : std::string(" \t\n\rx\v0")) ws += IsWhitespace(c) ? '1' : '0';
    EXPECT_EQ(ws, "1111000");
    char out[16];
    ToLower(out, "QoR Ed\xC9");
    EXPECT_STREQ(out, "qor ed\xC9"); // bytes above ASCII stay as they are
    Timer t;
    EXPECT_FALSE(t.Every(3600.0));
    EXPECT_TRUE(t.Every(-1.0));
}
