// The MIDI device menus list the no-device entry, then the ports of the MIDI system found.
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
    for (int input : {1, 0}) {
        const int id = 5018 + input;
        f.manager.createMIDIDeviceSelectionControl("MIDI Setup", id, 0, 0, 10, 10, input, 0, nullptr, "");
        std::vector<std::string> texts;
        for (int i = 0; i < f.plug.GetParam(id)->GetNDisplayTexts(); ++i) texts.push_back(f.plug.GetParam(id)->GetDisplayText(i));
        const std::string port = input ? synth.SendingPort() : synth.ReceivingPort();
        EXPECT_NE(std::find(texts.begin(), texts.end(), port), texts.end()) << port;
        std::vector<std::string> expected = input ? *f.plug.getExternalMIDIInNames() : *f.plug.getExternalMIDIOutNames();
        EXPECT_EQ(texts, expected);
        EXPECT_EQ(texts.at(0), "Select MIDI Device");
    }
}
