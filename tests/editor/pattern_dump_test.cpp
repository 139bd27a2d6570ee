// The pattern dump of the second family through the router, and single received values into
// editor controls.
#include "Project_Source/src/MIDIMessageManager.h"
#include "Project_Source/src/PatchManager.h"
#include "Project_Source/src/QORParams.h"
#include "kit/plugin/IControl.h"
#include "kit/plugin/IParam.h"
#include "support/insynth.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace qorid;

namespace
{

std::vector<uint8_t> patternDump(size_t size, const char* name)
{
    std::vector<uint8_t> b(size, 0x11);
    const uint8_t head[] = {0xF0, 0x3E, 0x0F, 0x05, 0x13};
    std::memcpy(b.data(), head, sizeof head);
    std::memcpy(b.data() + 15, name, 16);
    b.back() = 0xF7;
    return b;
}

// A main-family pattern frame: type 0C, slot in byte 9, F7 at 203.
std::vector<uint8_t> patternFrame()
{
    std::vector<uint8_t> b(204, 0x13);
    const uint8_t head[] = {0xF0, 0x00, 0x20, 0x29, 0x01, 0x20, 0x0F, 0x0C, 0x00, 0x05};
    std::memcpy(b.data(), head, sizeof head);
    b.back() = 0xF7;
    return b;
}

struct Editor {
    Editor() { plug = testsupport::makeFromBundle<testsupport::RecordingQOR>(dir.path); }
    std::string listed(int entry)
    {
        std::lock_guard<std::mutex> lock(plug->patchManager->namesLock);
        return plug->patchManager->patch.names[size_t(entry)];
    }
    testsupport::TempDir dir;
    std::unique_ptr<testsupport::RecordingQOR> plug;
};

// Notes the incoming flag at the moment the value arrives.
class Probe : public IControl {
public:
    Probe(IPluginBase* plug, int id, const std::atomic<bool>& flag) : IControl(plug, IRECT(), id), mFlag(flag) {}
    void SetValueFromHardware(double value) override
    {
        mFlagSeen = mFlag;
        ++mCalls;
        IControl::SetValueFromHardware(value);
    }
    bool Draw(IGraphics*) override { return false; }
    const std::atomic<bool>& mFlag;
    bool mFlagSeen = false;
    int mCalls = 0;
};

} // namespace

TEST(PatternDump, OnlyAWholeSecondFamilyDumpNamesTheRequestedPartsPattern)
{
    const struct {
        const char* name;
        std::vector<uint8_t> message;
        int part;
        bool named;
    } cases[] = {
        {"542 bytes, part 2", patternDump(542, "Groove          "), 2, true},
        {"longer dump, part 7", patternDump(600, "Last Part Arp 16"), 7, true},
        {"541 bytes", patternDump(541, "Groove          "), 2, false},
        {"byte 4 not 13",
         [] {
             auto b = patternDump(542, "Groove          ");
             b[4] = 0x12;
             return b;
         }(),
         2, false},
        {"main-family frame", patternFrame(), 2, false},
        {"part 17", patternDump(542, "Groove          "), 17, false},
        {"part -1", patternDump(542, "Groove          "), -1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Editor e;
        auto& m = *e.plug->midiManager;
        e.plug->patternRequestPart = c.part;
        m.expectingEditDump = true;
        m.requestComplete = false;
        m.dumpTaken = false;
        std::vector<uint8_t> bytes = c.message;
        ISysEx msg(0, bytes.data(), int(bytes.size()));
        m.ProcessSysEx(&msg, true);

        const int shown = c.part >= 0 && c.part < 8 ? c.part : 2;
        const std::string expected = c.named ? std::string(reinterpret_cast<const char*>(&c.message[15]), 16) : "";
        const char* text = e.plug->GetParam(kPatternName + shown)->GetDisplayText(0);
        if (c.named) {
            EXPECT_STREQ(text, expected.c_str());
            EXPECT_EQ(e.listed(17 + shown), expected);
        } else {
            EXPECT_STRNE(text ? text : "", "Groove          ");
            EXPECT_NE(e.listed(17 + shown), "Groove          ");
        }
        EXPECT_EQ(bool(m.requestComplete), c.named);
        EXPECT_TRUE(m.dumpTaken);
    }
}

TEST(PatternDump, ANameEndsAtItsFirstZeroByteOnScreenAndInTheList)
{
    Editor e;
    auto bytes = patternDump(542, "Short\0\0\0\0\0\0\0\0\0\0");
    e.plug->patternRequestPart = 0;
    e.plug->midiManager->sysexPatternParse(nullptr);
    ISysEx msg(0, bytes.data(), int(bytes.size()));
    e.plug->midiManager->sysexPatternParse(&msg);
    EXPECT_STREQ(e.plug->GetParam(kPatternName)->GetDisplayText(0), "Short");
    EXPECT_EQ(e.listed(17), "Short");
}

TEST(IncomingValue, OffsetsBendRangeAndTransposeAndFlagsOnlyDuringTheSet)
{
    const struct {
        int id, received;
        double unoffset;
    } cases[] = {
        {kMultiPartTranspose + 3, 16, 0.0},
        {kMultiPartTranspose + 3, 20, 4.0},
        {kOscillator2BendRange, 40, 0.0},
        {kOscillator1BendRange + 7, 45, 5.0},
        {kOscillator3BendRange + 7, 41, 1.0},
        {kMultiPartTranspose + 8, 16, 16.0}, // past the eight transposes: no offset
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        Editor e;
        auto& m = *e.plug->midiManager;
        const IParam* p = e.plug->GetParam(c.id);
        ASSERT_NE(p, nullptr);
        ASSERT_NE(p->GetMax(), p->GetMin());
        Probe control(e.plug.get(), c.id, m.applyingIncomingValue);
        control.SetValueFromPlug(0.999); // the first outside value is taken as the default
        m.expectingEditDump = true;
        m.processSysExToUI(&control, c.received, false, true);
        EXPECT_DOUBLE_EQ(control.GetValue(), (c.unoffset - p->GetMin()) / (p->GetMax() - p->GetMin()));
        EXPECT_TRUE(control.mFlagSeen);
        EXPECT_FALSE(m.applyingIncomingValue);
        EXPECT_FALSE(m.expectingEditDump);
    }
}

TEST(IncomingValue, WithoutAControlNothingChanges)
{
    Editor e;
    auto& m = *e.plug->midiManager;
    m.expectingEditDump = true;
    m.processSysExToUI(nullptr, 5, true, true);
    EXPECT_TRUE(m.expectingEditDump);
    // No control is filed under these keys.
    m.getNormalControl(0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 5, true);
    EXPECT_TRUE(m.expectingEditDump);
}
