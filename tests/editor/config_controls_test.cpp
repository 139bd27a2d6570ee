// Control actions, SysEx messages from templates, the lookup containers and the menus that
// send nothing, built on a plug-in of the editor's size with an off-screen surface.
#include "Project_Source/src/UIConfigManager.h"
#include "config_test_support.h"
#include "kit/plugin/IControl.h"
#include "kit/plugin/IParam.h"

#include <gtest/gtest.h>

#include <functional>

// Four parameter names are also the framework's controller-number names.
namespace pid {
#include "Project_Source/src/ParamTable.h"
}

using namespace configtest;
using namespace pid;

namespace {

using Bytes = std::vector<int>;

struct Controls : ::testing::Test {
    Controls() { f.manager.sysexContainers.push_back({{{"F0 7D 01 02 03 04 05 00 F7"}}, {}, false}); }
    IControl* made(int i) { return f.surface.GetControl(f.surface.NControls() - 1 - i); }
    // Distinct control addresses for the containers, which never look behind them.
    IControl* token(int i) { return reinterpret_cast<IControl*>(&tokens[i]); }
    int tokens[2];
    IParam* param(int id) { return f.host.plug.GetParam(id); }
    ConfigFolder<UIConfigManager> f;
};

TEST_F(Controls, MessagesCarryTheRunningValueAtTheChangingByteAndThePartAtByteFive)
{
    const struct {
        int count, start, part;
        Bytes byte8; // of each message
        int byte5;
    } cases[] = {{3, 126, 2, {0x7E, 0x7F, 0x00}, 2}, {3, 0, 0, {0, 1, 2}, 3}, {3, -1, 0, {0, 0, 1}, 3},
                 {0, 0, 0, {}, 3},  {0, -1, 0, {0}, 3}, {2, 130, 1, {2, 3}, 1}, {2, -3, 0, {0x7D, 0x7E}, 3}};
    for (const auto& c : cases) {
        ControlActionSysExMessage out{{{1}}};
        f.manager.calculateSysexWithChangingByte("F0 7D 01 02 03 04 05 00 F7", 8, c.count, &out, c.start, c.part);
        ASSERT_EQ(out.messages.size(), c.byte8.size()) << c.start;
        for (size_t i = 0; i < out.messages.size(); ++i)
            EXPECT_EQ(out.messages[i], (Bytes{0xF0, 0x7D, 1, 2, c.byte5, 4, 5, c.byte8[i], 0xF7})) << c.start << " " << i;
    }
}

TEST_F(Controls, ATemplateBreakingALimitGivesNoMessagesNoKeyAndOneLogLine)
{
    f.manager.sysexContainers.push_back({{{"F0 01 02 F7"}}, {}, false});
    f.manager.sysexContainers.push_back({{{"F0 01 02 03 04 F7"}}, {}, false});
    f.manager.sysexContainers.push_back({{{"F0 01 02 03 04 05 F7"}}, {}, false});
    f.manager.sysexContainers.push_back({{}, {}, false});
    const struct {
        int index, changingByte, count, start, part;
        const char* line; // empty: the template is used
    } cases[] = {{0, 8, 2, 130, 2, "0 values above 127 taken modulo 128!"},
                 {0, 0, 3, 0, 0, "0 has no byte at changingByte!"},
                 {0, 10, 3, 0, 0, "0 has no byte at changingByte!"},
                 {1, 2, 3, 0, 2, "1 is too short for the part byte!"},
                 {1, 2, 3, 0, 0, "1 is too short for the SysEx key!"},
                 {2, 3, 3, 0, 0, "2 is too short for the SysEx key!"},
                 {3, 7, 3, 0, 0, ""},
                 {0, 8, 0, 0, 0, "0 gives no message!"},
                 {4, 1, 3, 0, 0, "4 has no template text!"},
                 {5, 1, 3, 0, 0, "5 does not exist!"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        ControlAction action(ControlAction::kSysEx);
        action.messages = {{1}};
        const size_t lines = f.logTexts().size();
        const bool used =
            f.manager.setSysexMessages(&action, token(0), c.index, c.changingByte, c.count, c.start, c.part, 0);
        const bool fault = c.line[0] && std::string(c.line).find("modulo") == std::string::npos;
        EXPECT_EQ(used, !fault);
        EXPECT_EQ(action.messages.empty(), fault);
        const auto texts = f.logTexts();
        ASSERT_EQ(texts.size(), lines + (c.line[0] ? 1 : 0));
        if (c.line[0]) {
            EXPECT_EQ(texts.back(), std::string("CONFIG READER: SysEx template ") + c.line);
        }
        f.manager.sysexControls.controls.clear();
    }
    // The key: bytes 4 to 7 of the first message, or 3 to 6 for changing byte 7.
    ControlAction a(ControlAction::kSysEx), b(ControlAction::kSysEx);
    ASSERT_TRUE(f.manager.setSysexMessages(&a, token(0), 0, 8, 3, 126, 2, 0));
    ASSERT_TRUE(f.manager.setSysexMessages(&b, token(1), 3, 7, 1, 0, 0, 1));
    EXPECT_EQ(f.manager.sysexControls.findControl(2, 2, 4, 5, 0), token(0));
    EXPECT_EQ(f.manager.sysexControls.findControl(2, 3, 4, 5, 1), token(1));
}

// Five keys in the NRPN and SysEx containers, three in the CC map.
TEST_F(Controls, ALaterControlUnderTheSameKeysReplacesTheFirstAndAnyOtherKeyFindsNothing)
{
    UIConfigManager& m = f.manager;
    ControlAction action(ControlAction::kNRPN);
    const int keys[5] = {3, 4, 5, 6, 1};
    action.channelKey = 3, action.ccNumber = 4, action.msbValue = 4, action.lsbValue = 5, action.lsbControl = 6;
    action.globalKey = 1;
    unsigned char bytes[4] = {3, 4, 5, 6};
    IControl* one = token(0);
    IControl* two = token(1);
    const struct {
        int nKeys;
        std::function<void(IControl*)> file;
        std::function<IControl*(const int*)> find;
    } containers[] = {
        {5, [&](IControl* c) { m.nrpnControls.addToControlMap(&action, c); },
         [&](const int* k) { return m.nrpnControls.findControl(k[0], k[1], k[2], k[3], k[4]); }},
        {5, [&](IControl* c) { m.sysexControls.addToControlMap(bytes, 1, c); },
         [&](const int* k) { return m.sysexControls.findControl(k[0], k[1], k[2], k[3], k[4]); }},
        {3, [&](IControl* c) { m.fileCCControl(&action, c); },
         [&](const int* k) { return m.getCCControl(k[0], k[1], k[4]); }},
    };
    for (const auto& c : containers) {
        c.file(one);
        c.file(two);
        EXPECT_EQ(c.find(keys), two);
        for (int k = 0; k < 5; ++k) {
            int changed[5] = {3, 4, 5, 6, 1};
            changed[k] += 1;
            if (c.nKeys == 5 || k < 2 || k == 4) {
                EXPECT_EQ(c.find(changed), nullptr) << k;
            }
        }
    }
    EXPECT_EQ(m.nrpnControls.controls.size() + m.sysexControls.controls.size() + m.ccControls.size(), 3u);
    EXPECT_EQ(m.nrpnControls.controls[3].size() + m.ccControls[3].size(), 2u); // no lookup inserted a key
}

TEST_F(Controls, TheLastCreatorSetsTheKindAndALinkTargetGetsAFreshSysExAction)
{
    UIConfigManager& m = f.manager;
    IControl* stub = token(0);
    ControlAction* cc = m.getControlAction(kFilterCutoff, ControlAction::kControlChange, stub);
    m.createDropDownMenu2("Cutoff", kFilterCutoff, 0, 0, 10, 10, 0, 0, 2, {"a", "b"}, 0, nullptr, "");
    EXPECT_EQ(cc->kind, ControlAction::kNone);
    EXPECT_EQ(cc->controls, (std::vector<IControl*>{stub, made(0)}));
    m.linkControlAction(cc, kFilterCutoff, LinkInfo{kFilterCutoff + 9, 77, 5});
    ControlAction* target = param(kFilterCutoff + 9)->GetControlAction();
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(target->kind, ControlAction::kSysEx);
    EXPECT_TRUE(target->messages.empty() && target->controls.empty());
    EXPECT_EQ(std::vector<int>({target->link.firstId, target->link.secondId, target->link.extra}),
              std::vector<int>({kFilterCutoff, 77, -1}));
    m.linkControlAction(target, 0, LinkInfo{-1, 5, 0}); // not a link
    EXPECT_EQ(target->link.firstId, kFilterCutoff);
}

TEST_F(Controls, TheGroupTextNamesThePartAndKeepsTheLastTextForNoGroup)
{
    const struct {
        int part;
        const char* group;
        const char* text;
        const char* kept;
    } cases[] = {{0, "Oscillators", "Part 1:Oscillators", "Part 1:Oscillators"}, {7, "", "Part 8", "Part 8"},
                 {-1, "Effects", "Effects", "Effects"}, {-1, "", "", "Effects"}};
    for (const auto& c : cases) {
        EXPECT_STREQ(f.manager.getParamGroup(c.part, c.group), c.text);
        EXPECT_EQ(f.manager.paramGroupText, c.kept);
    }
    f.manager.scale = 0.85;
    EXPECT_EQ(f.manager.scaledRect(101, 10, 50, 20), IRECT(85, 8, 127, 25));
}

TEST_F(Controls, MenusShowTheirTextsInTheirColoursAndOnlyValueMenusOpen)
{
    UIConfigManager& m = f.manager;
    auto texts = [&](int id) {
        std::vector<std::string> t;
        for (int i = 0; i < param(id)->GetNDisplayTexts(); ++i) t.push_back(param(id)->GetDisplayText(i));
        return t.size() > 3 ? std::vector<std::string>{t[0], t[1], t.back()} : t;
    };
    const int before = f.surface.NControls();
    m.createDropDownMenu("Type", kFilterType, 0, 0, 10, 10, -1, nullptr, "");
    EXPECT_TRUE(made(0)->GetPromptDisabled());
    EXPECT_EQ(texts(kFilterType), (std::vector<std::string>{"----"}));
    m.createDropDownMenu2("Mode", kFilterKeytrack, 0, 0, 10, 10, 1, 0, 3, {"x", "y", "z"}, -1, nullptr, "");
    EXPECT_EQ(texts(kFilterKeytrack), (std::vector<std::string>{"x", "y", "z"}));
    m.createDropDownMenu2("Mode", kFilterKeytrack + 1, 0, 0, 10, 10, 0, 0, 3, {"w", "x", "y", "z"}, -1, nullptr, "");
    EXPECT_EQ(f.surface.NControls(), before + 2);
    const struct {
        int id, first, last, visible;
        bool white;
        std::vector<std::string> texts;
        IColor color;
    } noVal[] = {{kMultiPartPatch + 1, 1, 128, 1, false, {"001", "002", "128"}, IColor(255, 0, 174, 255)},
                 {kMultiPartPatch + 2, 0, 127, 1, true, {"000", "001", "127"}, IColor(255, 255, 255, 255)},
                 {kMultiPartPatch + 3, -1, 126, 0, false, {"-01", "000", "126"}, IColor(0, 255, 173, 0)},
                 {kGlobalTempo, 1, 128, 1, false, {"1", "2", "128"}, IColor(255, 255, 173, 0)},
                 {kMultiBank, 1, 128, 1, false, {"1", "2", "128"}, IColor(255, 0, 174, 255)}};
    for (const auto& c : noVal) {
        m.createNoValDropDown("n", c.id, 0, 0, 10, 10, 0, 0, 128, c.first, c.last, c.visible, {"a"}, -1, nullptr, "",
                              c.white);
        EXPECT_EQ(texts(c.id), c.texts) << c.id;
        EXPECT_EQ(made(0)->GetText()->mColor, c.color) << c.id;
        EXPECT_EQ(param(c.id)->GetControlAction(), nullptr);
    }
    // Out of the table, a negative range, or equal numbers without a fitting list: nothing.
    m.createDropDownMenu("bad", 5124, 0, 0, 10, 10, -1, nullptr, "");
    m.createDropDownMenu2("bad", kFilterKeytrack + 2, 0, 0, 10, 10, 0, 3, 0, {}, -1, nullptr, "");
    m.createNoValDropDown("bad", kMultiBank, 0, 0, 10, 10, 0, 0, 4, -1, -1, 1, {}, -1, nullptr, "", false);
    EXPECT_EQ(f.surface.NControls(), before + 2 + 5);
    const auto log = f.logTexts();
    EXPECT_EQ(std::vector<std::string>(log.end() - 2, log.end()),
              (std::vector<std::string>{"CONFIG READER: bad names parameter 5124 outside the table!",
                                        "CONFIG READER: bad has -3 menu entries!"}));

    // A value menu offers its words and takes the choice; the text menu opens nothing.
    IMouseMod left(true);
    f.surface.choice = 2;
    f.surface.GetControl(before + 1)->OnMouseDown(1, 1, &left);
    EXPECT_EQ(f.surface.shown, (std::vector<std::string>{"x", "y", "z"}));
    EXPECT_EQ(param(kFilterKeytrack)->Int(), 2);
    f.surface.shown.clear();
    f.surface.GetControl(before)->OnMouseDown(1, 1, &left);
    EXPECT_TRUE(f.surface.shown.empty());

    IRECT wide, narrow;
    EXPECT_TRUE(f.surface.MeasureIText(made(0)->GetText(), "iiii", &narrow));
    EXPECT_TRUE(f.surface.MeasureIText(made(0)->GetText(), "WWWW", &wide));
    EXPECT_GT(wide.W(), 0);
    EXPECT_EQ(wide.W(), narrow.W());
}

TEST_F(Controls, WithoutAMidiSystemTheDeviceMenusListOnlyTheNoDeviceEntry)
{
    ::setenv("JACK_DEFAULT_SERVER", "qor-no-such-server-config", 1);
    ::setenv("JACK_NO_START_SERVER", "1", 1);
    ::setenv("QOR_MIDI_API", "jack", 1);
    for (int input : {1, 0}) {
        f.manager.createMIDIDeviceSelectionControl("MIDI Setup", kDeviceInSelection - input, 0, 0, 10, 10, input, 0,
                                                   nullptr, "");
        IParam* p = param(kDeviceInSelection - input);
        ASSERT_EQ(p->GetNDisplayTexts(), 1);
        EXPECT_STREQ(p->GetDisplayText(0), "Select MIDI Device");
        EXPECT_STREQ(p->GetNameForHost(), "Device Selection");
        EXPECT_EQ(p->GetControlAction()->controls.back(), made(0));
    }
}

} // namespace

extern "C" const char* __lsan_default_suppressions() { return "leak:jack_ringbuffer_create\n"; }
