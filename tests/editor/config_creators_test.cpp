// The MIDI menus and faders (names, keys, messages, geometry), the attribute parsers and the radio
// buttons cut from one strip, on an off-screen surface.
#include "Project_Source/src/ICustomRadioButtonsControl.h"
#include "config_test_support.h"

#include <gtest/gtest.h>

namespace pid
{ // some parameter names are also the framework's controller-number names
#include "Project_Source/src/ParamTable.h"
}
using namespace configtest;
using namespace pid;
using Ints = std::vector<int>;

namespace
{

TEST(MidiMenus, NamesAndKeysFollowTheLayerThePartAndTheParameter)
{
    const int chorus = kFXMultiChorusType + 1, cutoff = kFilterCutoff;
    const struct {
        bool nrpn;
        const char* layer;
        int part, id;
        const char* name;
        int channelKey, globalKey;
    } rows[] = {{false, "oscillatorsPanel2", 2, cutoff + 2, "[3] m", 3, 0},
                {false, "miniMixer", 2, cutoff + 2, "m", 5, 0},
                {false, "effects2Panel1", 1, chorus, "[2] m", 2, 1},
                {false, "multiModeMixer", 1, chorus, "m", 5, 0},
                {false, "vocoderLayer", 3, cutoff + 3, "m", 4, 0},
                {false, "", -1, cutoff, "[0] m", 0, 0},
                {true, "additionalSettingsPart4", 3, cutoff + 3, "m", 5, 0},
                {false, "additionalSettingsPart4", 3, cutoff + 4, "[4] m", 4, 0},
                {true, "oscillatorsPanel0", 0, kVocoderInput, "[1] m", 5, 0},
                {true, "vocoderLayer", 0, kVocoderInput, "m", 5, 0},
                {true, "", -1, kVocoderInput, "[0] m", 5, 0},
                {true, "", -1, cutoff, "[0] m", 0, 0}};
    Bench b;
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.layer) + " " + std::to_string(r.id));
        ControlLayer* layer = b.layer(r.layer);
        if (r.nrpn)
            b.manager.createMsbLsbSelectionCCControl(20, 11, 12, 13, 5, "m", r.id, 0, 0, 40, 10, 0, 0, 2, -1, -1,
                                                     {"a", "b"}, r.part, layer, "");
        else
            b.manager.createMultiSelectionCCControl(20, 5, "m", r.id, 0, 0, 40, 10, 0, 0, 2, -1, -1, {"a", "b"}, r.part,
                                                    layer, "");
        IControl* menu = b.last(layer);
        ControlAction* a = b.action(r.id);
        EXPECT_EQ(b.name(r.id), r.name);
        EXPECT_EQ(a->controls.back(), menu);
        EXPECT_EQ(Ints({menu->GetText()->mSize, a->kind, a->ccNumber, a->channelKey, a->globalKey}),
                  Ints({r.nrpn ? 13 : 10, r.nrpn ? 3 : 1, 20, r.channelKey, r.globalKey}));
        EXPECT_EQ(Ints({a->msbValue, a->lsbValue, a->lsbControl}), (r.nrpn ? Ints{11, 12, 13} : Ints{-1, -1, -1}));
        EXPECT_EQ(r.nrpn ? b.manager.nrpnControls.findControl(r.channelKey, 11, 12, 13, r.globalKey)
                         : b.manager.getCCControl(r.channelKey, 20, r.globalKey),
                  menu);
    }
}

TEST(MidiMenus, ASysExMenuHasOneMessagePerValueFromMinToMaxKeyedByItsFirstMessage)
{
    const struct {
        const char* layer;
        int changingByte, minValue, maxValue;
        Ints values; // at the changing byte, message by message
        Ints key;
        const char* name;
        int part = 0; // above 0 it lands in byte 5 of every message, so in the key
    } rows[] = {{"miniMixer", 8, 0, 4, {0, 1, 2, 3, 4}, {2, 3, 4, 5}, "s"},
                {"vocoderLayer", 7, 0, 4, {0, 1, 2, 3, 4}, {1, 2, 3, 4}, "[1] s"},
                {"", 8, 10, 14, {10, 11, 12, 13, 14}, {2, 3, 4, 5}, "[1] s"},
                {"", 8, -1, 3, {0, 0, 1, 2, 3}, {2, 3, 4, 5}, "[1] s"},
                {"", 8, 0, 4, {0, 1, 2, 3, 4}, {2, 5, 4, 5}, "[6] s", 5}};
    Bench b;
    for (const auto& r : rows) {
        ControlLayer* layer = b.layer(r.layer);
        b.manager.createMultiSelectionSysExControl("s", kFilterType, 0, 0, 40, 10, 0, r.minValue, r.maxValue, 1, 9, {},
                                                   0, 0, 0, r.changingByte, r.part, layer, "");
        const ControlAction* a = b.action(kFilterType);
        EXPECT_EQ(b.name(kFilterType), r.name);
        EXPECT_EQ(b.plug.GetParam(kFilterType)->GetNDisplayTexts(), 4);
        ASSERT_EQ(a->messages.size(), r.values.size());
        for (size_t i = 0; i < a->messages.size(); ++i) EXPECT_EQ(a->messages[i][r.changingByte - 1], r.values[i]);
        EXPECT_EQ(a->messages.back()[4], r.part > 0 ? r.part : 3);
        EXPECT_EQ(a->messages[0][6], r.minValue == -1 || r.changingByte == 8 ? 5 : 0); // -1: the template itself
        EXPECT_EQ(b.manager.sysexControls.findControl(r.key[0], r.key[1], r.key[2], r.key[3], 0), b.last(layer));
        // Legible on the dark sections, as the other MIDI menus are.
        EXPECT_TRUE(b.last(layer)->GetText()->mColor == IColor(255, 255, 255, 255));
    }
}

TEST(MidiMenus, TextsComeFromNumbersEqualNumbersMakeNothingAndBrokenTemplatesNoMessages)
{
    Bench b;
    b.manager.createMultiSelectionCCControl(3, 0, "t", kFilterType, 0, 0, 40, 10, 0, 0, 16, 1, 16, {"a"}, 0, nullptr,
                                            "");
    IParam* p = b.plug.GetParam(kFilterType);
    EXPECT_EQ(std::vector<std::string>({p->GetDisplayText(0), p->GetDisplayText(15), p->GetDisplayText(16)}),
              std::vector<std::string>({"1", "16", ""}));
    const int controls = b.surface->NControls();
    b.manager.createMultiSelectionCCControl(3, 0, "t", kFilterWidth, 0, 0, 40, 10, 0, 0, 16, -1, -1, {"a"}, 0, nullptr,
                                            "");
    EXPECT_EQ(b.surface->NControls(), controls);
    EXPECT_EQ(b.action(kFilterWidth), nullptr);
    EXPECT_EQ(b.manager.getCCControl(1, 3, 0), b.last()); // still the first menu

    // Template 1: 100,000 tokens, which on a menu of 16,384 entries would ask for gigabytes.
    std::string huge = "F0 7D 01 02 03 04 05 00";
    for (int i = 8; i < 100000; ++i) huge += " 00";
    b.manager.sysexContainers.push_back({{{huge}}, {}, false});
    const struct {
        int sysexIndex, changingByte, maxValue, made;
    } broken[] = {{9, 8, 4, 1}, {0, 0, 4, 1}, {0, 12, 4, 1}, {0, 8, -1, 0}, {1, 8, 16384, 1}};
    for (const auto& r : broken) {
        const int lines = b.logLines(), made = b.surface->NControls();
        b.manager.createMultiSelectionSysExControl("s", kFilterSlope, 0, 0, 40, 10, 0, 0, r.maxValue, 0, 9, {}, 0, 0,
                                                   r.sysexIndex, r.changingByte, 1, nullptr, "");
        EXPECT_EQ(Ints({b.logLines(), b.surface->NControls()}), Ints({lines + 1, made + r.made})) << r.changingByte;
        EXPECT_TRUE(!r.made || b.action(kFilterSlope)->messages.empty());
    }
    EXPECT_TRUE(b.manager.sysexControls.controls.empty());
}

TEST(Faders, CCFadersKeyByPartOrChannelAndSysExFadersByTheirFirstMessage)
{
    Bench b;
    const struct {
        const char* layer;
        int part, id;
        const char* name;
        Ints keys;
    } cc[] = {{"oscillatorsPanel2", 2, kFilterCutoff, "[3] f", {3, 74, 0}},
              {"", -1, kFilterCutoff, "[0] f", {1, 74, 0}},
              {"miniMixer", 2, kFilterWidth, "f", {3, 74, 0}}};
    for (const auto& r : cc) {
        ControlLayer* layer = b.layer(r.layer);
        b.manager.createCCSliderControl(74, 1, "f", r.id, 0, 0, 50, "", 0, 0, 127, {}, r.part, layer, "", kVertical, 0);
        EXPECT_EQ(b.name(r.id), r.name);
        EXPECT_EQ(b.manager.getCCControl(r.keys[0], r.keys[1], r.keys[2]), b.last(layer)) << r.layer;
        EXPECT_EQ(b.action(r.id)->controls.back(), b.last(layer)); // an equal key keeps both on their actions
    }

    const struct {
        double lo, hi;
        int part;
        size_t count;
        Ints at, values; // message indices and their value bytes
        Ints key;        // the fader's five keys
        int msgZeroVal = 0;
    } se[] = {{0, 127, -1, 128, {0, 127}, {0, 127}, {2, 3, 4, 5, 1}},
              {0, 200, 1, 201, {127, 128, 200}, {127, 0, 72}, {2, 1, 4, 5, 0}},
              {0, 3, 0, 4, {0, 3}, {2, 5}, {2, 3, 4, 5, 0}, 2},
              {5, 5, 0, 1, {0}, {5}, {2, 3, 4, 5, 0}}};
    for (const auto& r : se) {
        b.manager.createSysExSliderControl("s", kFilterSlope, 0, 0, 50, "", 0, r.lo, r.hi, 99, r.msgZeroVal, 0, 8,
                                           r.part, {}, nullptr, "", kVertical, false);
        const ControlAction* a = b.action(kFilterSlope);
        ASSERT_EQ(a->messages.size(), r.count);
        for (size_t i = 0; i < r.at.size(); ++i) EXPECT_EQ(a->messages[size_t(r.at[i])][7], r.values[i]) << r.hi;
        EXPECT_EQ(b.manager.sysexControls.findControl(r.key[0], r.key[1], r.key[2], r.key[3], r.key[4]), b.last());
    }
    EXPECT_EQ(b.plug.GetParam(kFilterSlope)->GetMax(), 6.0);

    // A link names both ids as given; a negative id is no link.
    for (LinkInfo link : {LinkInfo{kFilterType + 3, kFilterKeytrack + 3, 2}, LinkInfo{-1, kFilterKeytrack, 2}})
        b.manager.createSysExSliderControl("s", kFilterOverdrive + 3, 0, 0, 50, "", 0, 0, 3, 0, 0, 0, 8, 3, link,
                                           nullptr, "", kVertical, false);
    const LinkInfo mine = b.action(kFilterOverdrive + 3)->link, back = b.action(kFilterType + 3)->link;
    EXPECT_EQ(Ints({mine.firstId, mine.secondId, mine.extra, back.firstId, back.secondId, back.extra}),
              Ints({kFilterType + 3, kFilterKeytrack + 3, 2, kFilterOverdrive + 3, kFilterKeytrack + 3, -1}));

    // A broken element: one log line, and the fader is made without messages.
    b.handle(9200);
    using Row = std::tuple<int, int, double, double>; // sysexIndex, changingByte, lo, hi
    for (auto [sysexIndex, changingByte, lo, hi] : {Row{9, 8, 0, 3}, Row{0, 0, 0, 3}, Row{0, 8, 5, 3}, Row{0, 8, -1, 3e9}}) {
        const int lines = b.logLines(), made = b.surface->NControls();
        b.manager.createSysExSliderControl("s", kFilterOverdrive, 0, 0, 50, "HANDLE", 0, lo, hi, 0, 0, sysexIndex,
                                           changingByte, 0, {}, nullptr, "", kVertical, false);
        EXPECT_EQ(Ints({b.logLines(), b.surface->NControls()}), Ints({lines + 1, made + 1})) << hi;
        EXPECT_TRUE(b.action(kFilterOverdrive)->messages.empty());
    }
}

TEST(Faders, AreScaledAndDrawTheHandleWhereTheValuePutsIt)
{
    const struct {
        double scale;
        IRECT rect; // of a vertical fader of length 100 at 10, 20 with a 20 x 10 handle, scaled
    } rows[] = {{0.85, IRECT(8, 17, 25, 102)}, {1.0, IRECT(10, 20, 30, 120)}, {1.15, IRECT(11, 23, 34, 137)}};
    int imageId = 9100;
    for (const auto& r : rows) {
        SCOPED_TRACE(r.scale);
        Bench b(r.scale);
        b.handle(++imageId);
        b.manager.createCCSliderControl(1, 1, "f", kFilterCutoff, 10, 20, 100, "HANDLE", 0, 0, 127, {}, 0, nullptr, "",
                                        kVertical, false);
        IControl* fader = b.last();
        EXPECT_EQ(*fader->GetRECT(), r.rect);
        const int handle = r.rect.W() / 2, travel = r.rect.H() - handle; // the handle keeps its proportions
        for (double v : {0.0, 0.5, 1.0}) {
            fader->SetValue(v);
            b.surface->Draw(nullptr);
            Ints red; // the rows of the fader's middle column the handle covers
            for (int y = r.rect.T; y < r.rect.B; ++y)
                if (b.surface->GetPoint(r.rect.L + r.rect.W() / 2, y).R > 128) red.push_back(y);
            const int top = r.rect.T + int(travel * (1 - v));
            ASSERT_FALSE(red.empty()) << v;
            EXPECT_EQ(Ints({red.front(), red.back(), int(red.size())}), Ints({top, top + handle - 1, handle})) << v;
        }
    }
}

TEST(Lookups, ListsFillOnlyTheirNumberedSlotsAndLinksAddThePartToRegisteredNames)
{
    Bench b;
    b.manager.initParams();
    const struct {
        const char* text;
        int count;
        Ints values;
    } lists[] = {{"10,20", 4, {10, 20, 9, 9}}, {"10,,20", 3, {10, 20, 9}}, {"x,5", 2, {9, 5}},
                 {" 7,12px", 2, {7, 12}},      {"99999999999,4", 2, {9, 4}}, {"1,2,3", 2, {1, 2}},
                 {"", 2, {9, 9}}};
    for (const auto& r : lists) {
        Ints v(size_t(r.count), 9);
        b.manager.getCSValues(r.text, v.data(), r.count);
        EXPECT_EQ(v, r.values) << r.text;
    }
    const struct {
        const char* text;
        int part;
        Ints link;
    } links[] = {{"kFilterCutoff", 3, {-1, -1, -1}},
                 {"kFilterCutoff,kFilterResonance", 2, {1506, 1522, -1}},
                 {"kFilterCutoff,kFilterResonance", -1, {1504, 1520, -1}},
                 {"kFilterCutoff,kFilterResonance,3,4", 0, {1504, 1520, -1}},
                 {"kFilterCutoff,kFilterResonance,3", 0, {1504, 1520, 3}},
                 {"kNoSuchName,kFilterResonance,3,4", 2, {-1, 1522, -1}}};
    for (const auto& r : links) {
        Ints link(3, 7);
        b.manager.getBiDirectLinkValues(r.text, link.data(), r.part);
        EXPECT_EQ(link, r.link) << r.text << " " << r.part;
    }
}

TEST(RadioButtons, ButtonsAreSlicesOfTheStripAndOnlyTheSelectedOneShowsFrameTwo)
{
    Bench b;
    // Button i of frame f is red 40 * (i + 1), green 100 * f.
    auto* strip = new RAST_MemBitmap(200, 60, 4);
    for (int f = 0; f < 2; ++f)
        for (int i = 0; i < 4; ++i)
            RAST_FillRect(strip, 50 * i, 30 * f, 50, 30, IColorToPixel(IColor(255, 40 * (i + 1), 100 * f, 0)), 1.0f, 0);
    IBitmap bitmap(strip, 200, 60, 2);
    auto* radio = new ICustomRadioButtonsControl(&b.plug, IRECT(10, 20, 210, 50), 1, 4, &bitmap, kHorizontal);
    b.surface->AttachControl(radio);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(*radio->ButtonRECT(i), IRECT(10 + 50 * i, 20, 60 + 50 * i, 50));
    radio->GrayOut(true);
    for (double v : {0.5, 0.49, -1.0, 2.0}) {
        radio->SetValue(v);
        b.surface->Draw(nullptr);
        const int selected = v == 0.5 ? 2 : v == 0.49 ? 1 : v < 0 ? 0 : 3;
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(b.surface->GetPoint(35 + 50 * i, 35), IColor(255, 40 * (i + 1), i == selected ? 100 : 0, 0)) << v;
    }
    radio->GrayOut(false);
    radio->SetValueFromPlug(0.0); // a default: the double click below still acts only as the click
    for (auto [x, left, value] : {std::tuple<int, bool, double>{185, true, 1.0}, {215, true, 1.0}, {40, false, 1.0}, {40, true, 0.0}}) {
        IMouseMod mod(left, !left);
        radio->OnMouseDown(x, 30, &mod);
        radio->OnMouseDblClick(x, 30, &mod);
        EXPECT_EQ(radio->GetValue(), value) << x;
    }
    // The same strip with its frames side by side stacks the buttons; one button stands for 0.
    IBitmap column(strip, 200, 60, 2, true);
    auto* down = new ICustomRadioButtonsControl(&b.plug, IRECT(10, 20, 110, 80), 1, 4, &column, kVertical);
    auto* one = new ICustomRadioButtonsControl(&b.plug, IRECT(10, 100, 210, 130), 2, 1, &bitmap, kHorizontal);
    b.surface->AttachControl(down);
    b.surface->AttachControl(one);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(*down->ButtonRECT(i), IRECT(10, 20 + 15 * i, 110, 35 + 15 * i));
    one->SetValue(1.0);
    IMouseMod left(true, false);
    one->OnMouseDown(100, 110, &left);
    EXPECT_EQ(one->GetValue(), 0.0);
    delete strip;
}

TEST(Buttons, SysExButtonsSendTwoMessagesThatDifferOnlyInTheChangingByte)
{
    using Row = std::tuple<int, int, int, const char*, Ints, Ints>; // message 1 holds 1 at the changing byte
    Bench b;
    for (auto [id, changingByte, part, nameAndGroup, off, key] :
         {Row{3001, 8, -1, "b|Osc", {0xF0, 0x7D, 1, 2, 3, 4, 5, 0, 0xF7}, {2, 3, 4, 5}},
          Row{3002, 7, -1, "b|Osc", {0xF0, 0x7D, 1, 2, 3, 4, 0, 0, 0xF7}, {1, 2, 3, 4}},
          Row{3003, 8, 2, "[3] b|Part 3:Osc", {0xF0, 0x7D, 1, 2, 2, 4, 5, 0, 0xF7}, {2, 2, 4, 5}}}) {
        b.manager.createSysExBoolControl("b", id, 0, 0, "", 1, 0, 0, changingByte, part, {}, nullptr, "Osc");
        const ControlAction* a = b.action(id);
        Ints on = off;
        on[size_t(changingByte - 1)] = 1;
        EXPECT_EQ(a->messages, std::vector<Ints>({off, on})) << id;
        EXPECT_EQ(Ints({a->kind, a->isMultiMessage, int(b.plug.GetParam(id)->Value())}), Ints({4, 0, 1}));
        EXPECT_EQ(b.name(id) + "|" + b.plug.GetParam(id)->GetParamGroupForHost(), nameAndGroup);
        EXPECT_EQ(b.manager.sysexControls.findControl(key[0], key[1], key[2], key[3], 0), b.last());
    }
}

TEST(Buttons, CCAndNRPNButtonsTakeNamesAndKeysFromLayerPartAndId)
{
    using Row = std::tuple<bool, const char*, int, int, const char*, int, int>; // NRPN?, ..., channel and global key
    Bench b;
    for (auto [nrpn, layerName, part, id, name, channelKey, globalKey] :
         {Row{false, "multiModeMixer", 1, 3101, "c", 6, 0}, Row{false, "osc1", 1, 3102, "[2] c", 2, 0},
          Row{false, "fx", 3, 2212, "[4] c", 4, 1}, Row{false, "miniMixer", 3, 2212, "c", 6, 0},
          Row{false, "", -1, 3103, "[0] c", 0, 0}, Row{true, "osc1", 1, 1793, "[2] c", 6, 0},
          Row{true, "additionalSettingsPart3", 2, 3104, "[3] c", 6, 0}, Row{true, "osc2", 2, 3105, "[3] c", 3, 0},
          Row{true, "fx", 2, 2211, "[3] c", 3, 1}, Row{false, "vocoderLayer", 2, 3106, "c", 3, 0},
          Row{false, "additionalSettingsPart3", 2, 3107, "[3] c", 3, 0},
          Row{true, "vocoderLayer", 2, 3108, "c", 3, 0}}) {
        SCOPED_TRACE(std::string(layerName) + " " + std::to_string(id));
        ControlLayer* layer = b.layer(layerName);
        const int cc = id % 100; // valueBounds 0, 0, 127; a CC button's link changes nothing
        nrpn ? b.manager.createMsbLsbBoolControl(cc, cc, 12, 13, 6, "c", id, 0, 0, "", 0, 0, 127, {}, part, layer, "")
             : b.manager.createCCBoolControl(cc, 6, "c", id, 0, 0, "", 0, 0, 127, {1480, 1512, 2}, part, layer, "");
        const ControlAction* a = b.action(id);
        EXPECT_EQ(b.name(id), name);
        EXPECT_EQ(Ints({a->kind, a->ccNumber, a->channelKey, a->globalKey, a->link.firstId}),
                  Ints({nrpn ? 3 : 2, cc, channelKey, globalKey, -1}));
        EXPECT_TRUE(nrpn || Ints({a->switchOffValue, a->switchOnValue}) == Ints({0, 127}));
        EXPECT_EQ(nrpn ? b.manager.nrpnControls.findControl(channelKey, cc, 12, 13, globalKey)
                       : b.manager.getCCControl(channelKey, cc, globalKey),
                  a->controls.back());
    }
    EXPECT_EQ(b.action(1480), nullptr);
    // The keys of the first row again: the map takes the later button, the first keeps its action.
    b.manager.createCCBoolControl(1, 6, "e", 3110, 0, 0, "", 0, 0, 127, {}, 1, b.layer("miniMixer"), "");
    EXPECT_EQ(b.manager.getCCControl(6, 1, 0), b.action(3110)->controls.back());
    EXPECT_EQ(b.action(3101)->controls, std::vector<IControl*>{b.last(b.layers.front().get())});
}

TEST(Buttons, ALinkNeedsTwoIdsAndAFirstIdInTheTable)
{
    Bench b;
    b.handle(9301);
    for (int me : {1498, 1499}) { // a SysEx button, an NRPN button; the first link holds
        for (LinkInfo link : {LinkInfo{1480, 1512, 7}, {-1, 1522, -1}, {1480, -1, 3}, {5124, 1, -1}, {99999, 1, 1}}) {
            const int before = b.logLines();
            me == 1498 ? b.manager.createSysExBoolControl("b", me, 0, 0, "HANDLE", 0, 0, 0, 8, 2, link, nullptr, "")
                       : b.manager.createMsbLsbBoolControl(1, 2, 3, 4, 5, "n", me, 0, 0, "HANDLE", 0, 0, 1, link, 3,
                                                           nullptr, "");
            const LinkInfo mine = b.action(me)->link, back = b.action(1480)->link; // and the link back
            EXPECT_EQ(Ints({mine.firstId, mine.secondId, mine.extra, back.firstId, back.secondId, back.extra,
                            b.action(1480)->kind, b.logLines() - before}),
                      Ints({1480, 1512, 7, me, 1512, -1, 5, link.firstId > 5123}));
        }
    }
}

TEST(Buttons, PlainSwitchesStartFromTheirDefaultSendNothingAndRadiosAreMetaEnums)
{
    Bench b(1.15);
    b.handle(9302);
    for (int id : {3201, 3202}) b.plug.GetParam(id)->Set(1.0);
    b.manager.createBoolControl("s", 3200, 1, 10, 20, "HANDLE", -1, nullptr, "");   // a `switch` with first value 1
    b.manager.createSwitchControl("s", 3201, 0, 10, 20, "HANDLE", -1, nullptr, ""); // an `autooff` passes 0
    IControl* autoOff = b.manager.createAutoOffSwitchControl("s", 3202, 10, 20, "HANDLE", 0, nullptr, "G");
    EXPECT_EQ(autoOff, b.last());
    for (auto [id, on, momentary] : {std::tuple<int, int, bool>{3200, 1, false}, {3201, 0, true}, {3202, 0, true}}) {
        const IParam* p = b.plug.GetParam(id);
        IControl* c = b.action(id)->controls.back();
        EXPECT_EQ(Ints({int(p->Value()), int(p->GetDefault()), p->Type(), b.action(id)->kind,
                        dynamic_cast<IContactControl*>(c) != nullptr}),
                  Ints({on, on, IParam::kTypeBool, 0, momentary}));
        EXPECT_EQ(*c->GetRECT(), IRECT(11, 23, 34, 34)) << id; // trunc(11.5), trunc(23); a 23 x 11 bitmap
    }
    b.manager.preloadImage(b.surface, 9303, "RADIO", "r.png", 2, true); // frames side by side: a column
    b.manager.createRadioControl("r", 3300, 10, 20, "RADIO", 4, -1, nullptr, "");
    auto* radio = dynamic_cast<ICustomRadioButtonsControl*>(b.last());
    ASSERT_NE(radio, nullptr);
    const IParam* p = b.plug.GetParam(3300);
    EXPECT_EQ(
        std::make_tuple(*radio->GetRECT(), *radio->ButtonRECT(0), radio->NButtons(), p->Type(), p->GetMin(),
                        p->GetMax(), p->GetDefault(), p->GetIsMeta()),
        std::make_tuple(IRECT(11, 23, 22, 34), IRECT(11, 23, 22, 25), 4, int(IParam::kTypeEnum), 0.0, 3.0, 0.0, true));
    // Frames stacked: the buttons run across one frame's height of the strip.
    b.manager.preloadImage(b.surface, 9304, "RADIOS", "r.png", 2, false);
    b.manager.createRadioControl("r", 3302, 10, 20, "RADIOS", 4, -1, nullptr, "");
    auto* row = dynamic_cast<ICustomRadioButtonsControl*>(b.last());
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(std::make_tuple(*row->GetRECT(), *row->ButtonRECT(0), *row->ButtonRECT(3)),
              std::make_tuple(IRECT(11, 23, 34, 28), IRECT(11, 23, 16, 28), IRECT(26, 23, 31, 28)));
    // No buttons: nothing is built, and one line says why.
    const int lines = b.logLines();
    IControl* before = b.last();
    b.manager.createRadioControl("none", 3301, 10, 20, "RADIO", 0, -1, nullptr, "");
    EXPECT_EQ(b.last(), before);
    EXPECT_EQ(b.logLines(), lines + 1);
}

TEST(Buttons, TheManagerAndTheSurfaceMayBeDestroyedInEitherOrder)
{
    for (bool managerFirst : {true, false}) {
        auto plug = std::make_unique<SurfacePlug>(5124);
        auto* surface = new RedSurface(plug.get(), 400, 300);
        plug->AttachGraphics(surface);
        auto* layer = new ControlLayer(0, "miniMixer");
        surface->AttachLayer(layer);
        auto manager = std::make_unique<UIConfigManager>();
        manager->graphics = surface;
        manager->createSysExBoolControl("b", 3400, 0, 0, "", 0, 0, 0, 8, 0, {1480, 1512, -1}, layer, "");
        manager->createMsbLsbBoolControl(1, 2, 3, 4, 5, "n", 3401, 0, 0, "", 0, 0, 1, {1481, 1513, 0}, 0, nullptr, "");
        manager->createRadioControl("r", 3402, 0, 0, "", 2, -1, nullptr, "");
        ControlAction foreign(ControlAction::kNone);
        plug->GetParam(10)->SetControlAction(&foreign);
        if (managerFirst) {
            manager.reset(); // the controls stay with the surface, no parameter keeps a freed action
            for (int id : {3400, 3401, 3402, 1480, 1481})
                EXPECT_EQ(plug->GetParam(id)->GetControlAction(), nullptr) << id;
            EXPECT_EQ(plug->GetParam(10)->GetControlAction(), &foreign) << "not one of the manager's";
        } else {
            manager->graphics = nullptr; // a manager outliving its surface is told so
        }
        EXPECT_EQ(Ints({layer->controls.GetSize(), surface->NControls()}), Ints({1, 2}));
        plug.reset(); // frees the layers and controls
    }
}

} // namespace
