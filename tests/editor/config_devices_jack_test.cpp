// The MIDI device menus list the ports of the MIDI system the plug-in finds, after the
// no-device entry.
#include "Project_Source/src/UIConfigManager.h"
#include "config_test_support.h"
#include "kit/plugin/IParam.h"
#include "plugin/midiports_synth_side.h"

#include <gtest/gtest.h>

using namespace configtest;

TEST(DeviceMenus, ListTheNoDeviceEntryThenEveryPortInPortOrder)
{
    SynthSide synth;
    ASSERT_TRUE(synth.Ok());
    ConfigFolder<UIConfigManager> f;
    const struct {
        int input, paramId;
        std::string port;
    } menus[] = {{1, 5019, synth.SendingPort()}, {0, 5018, synth.ReceivingPort()}};
    for (const auto& m : menus) {
        f.manager.createMIDIDeviceSelectionControl("MIDI Setup", m.paramId, 0, 0, 10, 10, m.input, 0, nullptr, "");
        IParam* p = f.host.plug.GetParam(m.paramId);
        std::vector<std::string> texts;
        for (int i = 0; i < p->GetNDisplayTexts(); ++i) texts.push_back(p->GetDisplayText(i));
        ASSERT_GE(texts.size(), 2u);
        EXPECT_EQ(texts[0], "Select MIDI Device");
        EXPECT_NE(std::find(texts.begin() + 1, texts.end(), m.port), texts.end()) << m.port;
        EXPECT_EQ(texts, m.input ? *f.host.plug.getExternalMIDIInNames() : *f.host.plug.getExternalMIDIOutNames());
    }
}
