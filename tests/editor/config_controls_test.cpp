// Control actions, SysEx messages from templates, the lookup containers and the menus that
// send nothing, built on a plug-in of the editor's size with an off-screen surface.
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
using Lists = std::vector<Values>;

struct Controls : ::testing::Test {
    Controls() { f.manager.sysexContainers.push_back({{{"F0 7D 01 02 03 04 05 00 F7"}}, {}, false}); }
    IControl* made(int i) { return f.surface.GetControl(f.surface.NControls() - 1 - i); }
    // Distinct control addresses for the containers, which never look behind them.
    IControl* token(int i) { return reinterpret_cast<IControl*>(&tokens[i]); }
    int tokens[2];
    IParam* param(int id) { return f.plug.GetParam(id); }
    ConfigFolder<UIConfigManager> f;
};

// The running value lands at the changing byte (modulo 128) and the part at byte five; a template
// breaking a limit gives no messages, no key and one log line.
TEST_F(Controls, MessagesCarryTheRunningValueAndABrokenTemplateGivesNone)
{
    for (const char* t : {"F0 01 02 F7", "F0 01 02 03 04 F7", "F0 01 02 03 04 05 F7", ""})
        f.manager.sysexContainers.push_back({t[0] ? Lists{{t}} : Lists{}, {}, false});
    const struct {
        int index, changingByte, count, start, part;
        Bytes values; // at the changing byte of each message; empty: none made
        const char* line;
    } cases[] = {{0, 8, 3, 126, 2, {0x7E, 0x7F, 0x00}, ""},
                 {0, 8, 3, 0, 0, {0, 1, 2}, ""},
                 {0, 8, 3, -1, 0, {0, 0, 1}, ""},
                 {0, 8, 2, 130, 1, {2, 3}, "0 values above 127 taken modulo 128!"},
                 {0, 8, 0, 0, 0, {}, "0 gives no message!"},
                 {0, 0, 3, 0, 0, {}, "0 has no byte at changingByte!"},
                 {0, 10, 3, 0, 0, {}, "0 has no byte at changingByte!"},
                 {1, 2, 3, 0, 2, {}, "1 is too short for the part byte!"},
                 {1, 2, 3, 0, 0, {}, "1 is too short for the SysEx key!"},
                 {2, 3, 3, 0, 0, {}, "2 is too short for the SysEx key!"},
                 {4, 1, 3, 0, 0, {}, "4 has no template text!"},
                 {5, 1, 3, 0, 0, {}, "5 does not exist!"},
                 {-1, 1, 3, 0, 0, {}, "-1 does not exist!"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.start);
        ControlAction action(ControlAction::kSysEx);
        action.messages = {{1}};
        const size_t lines = f.logTexts().size();
        EXPECT_EQ(f.manager.setSysexMessages(&action, token(0), c.index, c.changingByte, c.count, c.start, c.part, 0),
                  !c.values.empty());
        EXPECT_EQ(f.manager.sysexControls.controls.empty(), c.values.empty());
        ASSERT_EQ(action.messages.size(), c.values.size());
        for (size_t i = 0; i < c.values.size(); ++i)
            EXPECT_EQ(action.messages[i], (Bytes{0xF0, 0x7D, 1, 2, c.part ? c.part : 3, 4, 5, c.values[i], 0xF7}));
        const auto texts = f.logTexts();
        ASSERT_EQ(texts.size(), lines + (c.line[0] ? 1 : 0));
        EXPECT_TRUE(!c.line[0] || texts.back() == std::string("CONFIG READER: SysEx template ") + c.line) << texts.back();
        f.manager.sysexControls.controls.clear();
    }
    // One control precomputes at most 4 MiB: 16,384 messages of a 256-byte template, not one more.
    std::string wide = "F0 7D 01 02 03 04 05 00";
    for (int i = 8; i < 255; ++i) wide += " 00";
    f.manager.sysexContainers.push_back({{{wide + " F7"}}, {}, false});
    const struct {
        int count, start;
        size_t messages;
        const char* line;
    } sizes[] = {{16384, -1, 16384, ""}, {16384, 0, 16384, ""}, {16385, 0, 0, "5 would give 4194560 bytes!"}};
    for (const auto& c : sizes) {
        ControlAction action(ControlAction::kSysEx);
        const size_t lines = f.logTexts().size();
        EXPECT_EQ(f.manager.setSysexMessages(&action, token(0), 5, 8, c.count, c.start, 0, 0), c.messages > 0);
        EXPECT_EQ(action.messages.size(), c.messages) << c.count;
        const auto texts = f.logTexts();
        EXPECT_EQ(texts.size(), lines + (c.line[0] ? 1 : 0)) << c.count;
        EXPECT_TRUE(!c.line[0] || texts.back() == std::string("CONFIG READER: SysEx template ") + c.line)
            << texts.back();
        ControlActionSysExMessage out{{{1}}};
        f.manager.calculateSysexWithChangingByte(wide + " F7", 8, c.count, &out, c.start, 0);
        EXPECT_EQ(out.messages.size(), c.messages) << c.count;
    }
    f.manager.sysexControls.controls.clear();
    // The entry point of the templates replaces what the list held.
    ControlActionSysExMessage out{{{1}}};
    f.manager.calculateSysexWithChangingByte("F0 7D 01 02 03 04 05 00 F7", 8, 2, &out, 127, 2);
    EXPECT_EQ(out.messages, (std::vector<Bytes>{{0xF0, 0x7D, 1, 2, 2, 4, 5, 0x7F, 0xF7}, {0xF0, 0x7D, 1, 2, 2, 4, 5, 0, 0xF7}}));
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
    action.channelKey = 3, action.ccNumber = 4, action.msbValue = 4, action.lsbValue = 5, action.lsbControl = 6;
    action.globalKey = 1;
    unsigned char bytes[4] = {3, 4, 5, 6};
    const struct {
        std::vector<int> keys; // the ones the container looks at
        std::function<void(IControl*)> file;
        std::function<IControl*(const int*)> find;
    } containers[] = {
        {{0, 1, 2, 3, 4}, [&](IControl* c) { m.nrpnControls.addToControlMap(&action, c); },
         [&](const int* k) { return m.nrpnControls.findControl(k[0], k[1], k[2], k[3], k[4]); }},
        {{0, 1, 2, 3, 4}, [&](IControl* c) { m.sysexControls.addToControlMap(bytes, 1, c); },
         [&](const int* k) { return m.sysexControls.findControl(k[0], k[1], k[2], k[3], k[4]); }},
        {{0, 1, 4}, [&](IControl* c) { m.fileCCControl(&action, c); }, [&](const int* k) { return m.getCCControl(k[0], k[1], k[4]); }},
    };
    for (const auto& c : containers) {
        c.file(token(0));
        c.file(token(1));
        const int keys[5] = {3, 4, 5, 6, 1};
        EXPECT_EQ(c.find(keys), token(1));
        for (int k : c.keys) {
            int changed[5] = {3, 4, 5, 6, 1};
            changed[k] += 1;
            EXPECT_EQ(c.find(changed), nullptr) << k;
        }
    }
    EXPECT_EQ(m.nrpnControls.controls.size() + m.sysexControls.controls.size() + m.ccControls.size(), 3u);
    EXPECT_EQ(m.nrpnControls.controls[3].size() + m.ccControls[3].size(), 2u); // no lookup inserted a key
}

TEST_F(Controls, TheLastCreatorSetsTheKindAndALinkTargetGetsAFreshSysExAction)
{
    UIConfigManager& m = f.manager;
    ControlAction* cc = m.getControlAction(kFilterCutoff, ControlAction::kControlChange, token(0));
    m.createDropDownMenu2("Cutoff", kFilterCutoff, 0, 0, 10, 10, 0, 0, 2, {"a", "b"}, 0, nullptr, "");
    EXPECT_EQ(cc->kind, ControlAction::kNone);
    EXPECT_EQ(cc->controls, (std::vector<IControl*>{token(0), made(0)}));
    m.linkControlAction(cc, kFilterCutoff, LinkInfo{kFilterCutoff + 9, 77, 5});
    ControlAction* target = param(kFilterCutoff + 9)->GetControlAction();
    ASSERT_NE(target, nullptr);
    EXPECT_TRUE(target->kind == ControlAction::kSysEx && target->messages.empty() && target->controls.empty());
    EXPECT_EQ(Bytes({target->link.firstId, target->link.secondId, target->link.extra}), Bytes({kFilterCutoff, 77, -1}));
    m.linkControlAction(cc, kFilterCutoff, LinkInfo{5124, 1, 0});
    EXPECT_EQ(f.logTexts().back(), "CONFIG READER: link of parameter 1504 names no parameter 5124!");
}

TEST_F(Controls, MenusShowTheirTextsInTheirColoursAndOnlyValueMenusOpen)
{
    UIConfigManager& m = f.manager;
    const std::tuple<int, const char*, std::string, const char*> groups[] = {
        {0, "Oscillators", "Part 1:Oscillators", "Part 1:Oscillators"}, {7, "", "Part 8", "Part 8"},
        {-1, "Effects", "Effects", "Effects"}, {-1, "", "", "Effects"}};
    for (auto [part, group, text, kept] : groups) {
        EXPECT_EQ(m.getParamGroup(part, group), text);
        EXPECT_EQ(m.paramGroupText, kept);
    }
    m.scale = 0.85;
    EXPECT_EQ(m.scaledRect(101, 10, 50, 20), IRECT(85, 8, 127, 25));
    m.scale = 1;
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
                 {kMultiBank, 1, 128, 1, false, {"1", "2", "128"}, IColor(255, 0, 174, 255)}};
    for (const auto& c : noVal) {
        m.createNoValDropDown("n", c.id, 0, 0, 10, 10, 0, 0, 128, c.first, c.last, c.visible, {"a"}, -1, nullptr, "", c.white);
        EXPECT_EQ(texts(c.id), c.texts) << c.id;
        EXPECT_TRUE(made(0)->GetText()->mColor == c.color && !param(c.id)->GetControlAction()) << c.id;
    }
    // Out of the table or a negative range: nothing, and the element's name in the log.
    m.createDropDownMenu("bad", 5124, 0, 0, 10, 10, -1, nullptr, "");
    m.createDropDownMenu2("bad", kFilterKeytrack + 2, 0, 0, 10, 10, 0, 3, 0, {}, -1, nullptr, "");
    m.createNoValDropDown("bad", kMultiBank, 0, 0, 10, 10, 0, 0, 4, -1, -1, 1, {}, -1, nullptr, "", false);
    EXPECT_EQ(f.surface.NControls(), before + 2 + 4);
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
    IRECT wide, narrow; // captions draw monospaced
    EXPECT_TRUE(f.surface.MeasureIText(made(0)->GetText(), "iiii", &narrow) && f.surface.MeasureIText(made(0)->GetText(), "WWWW", &wide));
    EXPECT_TRUE(wide.W() > 0 && wide.W() == narrow.W());
}

TEST_F(Controls, WithoutAMidiSystemTheDeviceMenusListOnlyTheNoDeviceEntry)
{
    ::setenv("JACK_DEFAULT_SERVER", "qor-no-such-server-config", 1);
    ::setenv("JACK_NO_START_SERVER", "1", 1);
    ::setenv("QOR_MIDI_API", "jack", 1);
    for (int input : {1, 0}) {
        f.manager.createMIDIDeviceSelectionControl("MIDI Setup", kDeviceInSelection - input, 0, 0, 10, 10, input, 0, nullptr, "");
        IParam* p = param(kDeviceInSelection - input);
        ASSERT_EQ(p->GetNDisplayTexts(), 1);
        EXPECT_STREQ(p->GetDisplayText(0), "Select MIDI Device");
        EXPECT_EQ(p->GetControlAction()->controls.back(), made(0));
    }
}

} // namespace

extern "C" const char* __lsan_default_suppressions() { return "leak:jack_ringbuffer_create\n"; }
