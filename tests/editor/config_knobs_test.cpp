// The knobs' names, keys, messages and frames, and the text fields, on an off-screen surface.
#include "config_test_support.h"

#include <gtest/gtest.h>
#include <tuple>

using namespace configtest;
using Ints = std::vector<int>;

TEST(Knobs, NamesKeysAndMessagesFollowTheLayerTheIdAndTheBounds)
{
    // kind 1 CC, 3 NRPN, 5 SysEx (keyed 2, 2, 4, 5: part 2 in byte 4); layer, part, id, name, keys
    // clang-format off
    const std::tuple<int, const char*, int, int, const char*, int, int> rows[] = {
        {1, "multiModeMixer", -1, 1507, "[4] k", 4, 0}, {1, "partPanning2", 1, 1504, "[2] k", 5, 1}, {1, "", 2, 4235, "k", 3, 0},
        {1, "miniMixerDelayPart1", 0, 2403, "[3] k", 5, 1}, {3, "osc", 1, 1793, "[2] k", 5, 0}, {3, "osc", 2, 2211, "[3] k", 3, 1},
        {3, "arpTempoLayer", 0, 1504, "k", 1, 0}, {5, "miniMixer", 2, 1600, "k", 0, 0}, {5, "", 2, 1601, "[3] k", 0, 0},
        {1, "miniMixer", -1, 1522, "[3] k", 3, 0}, {1, "vocoderLayer", 2, 1602, "k", 3, 0}, {1, "arpTempoLayer", 1, 1603, "k", 2, 0},
        {3, "miniMixer", 2, 1604, "k", 5, 0}, {3, "vocoderLayer", 2, 1605, "k", 3, 0}};
    // clang-format on
    Bench b;
    for (const auto& [kind, layer, part, id, name, channelKey, globalKey] : rows) {
        SCOPED_TRACE(id);
        ControlLayer* l = b.layer(layer);
        if (kind == 1) b.manager.createCCKnobControl(20, 5, "k", id, 0, 0, "K", 0, 0, 9, 2.7, {}, part, l, "g");
        if (kind == 3)
            b.manager.createMsbLsbKnobControl(20, 1, 2, 3, 5, "k", id, 0, 0, "K", 0, 0, 9, 1, {}, part, l, "");
        if (kind == 5) b.manager.createSysExKnobControl("k", id, 0, 0, "K", 0, 0, 9, 1, 0, 0, 8, part, {}, l, "");
        IControl* knob = b.last(l);
        EXPECT_EQ(std::tuple(b.name(id), b.action(id)->kind, b.action(id)->controls.back()),
                  std::tuple(name, kind, knob));
        EXPECT_EQ(kind == 1   ? b.manager.getCCControl(channelKey, 20, globalKey)
                  : kind == 3 ? b.manager.nrpnControls.findControl(channelKey, 1, 2, 3, globalKey)
                              : b.manager.sysexControls.findControl(2, 2, 4, 5, 0),
                  knob);
    }
    // The link step on each MIDI knob: the link copied, the first id given a SysEx action linking back.
    for (int kind : {1, 3, 5}) {
        const int id = 1700 + kind, first = 1710 + kind;
        const LinkInfo link{first, 1720, 4};
        if (kind == 1) b.manager.createCCKnobControl(20, 5, "k", id, 0, 0, "K", 0, 0, 9, 1, link, 0, nullptr, "");
        if (kind == 3)
            b.manager.createMsbLsbKnobControl(20, 1, 2, 3, 5, "k", id, 0, 0, "K", 0, 0, 9, 1, link, 0, nullptr, "");
        if (kind == 5) b.manager.createSysExKnobControl("k", id, 0, 0, "K", 0, 0, 9, 1, 0, 0, 8, 0, link, nullptr, "");
        const LinkInfo mine = b.action(id)->link, back = b.action(first)->link;
        EXPECT_EQ(Ints({mine.firstId, mine.secondId, mine.extra, back.firstId, back.secondId, back.extra,
                        b.action(first)->kind}),
                  Ints({first, 1720, 4, id, 1720, -1, 5}))
            << kind;
    }
    EXPECT_STREQ(b.plug.GetParam(1507)->GetParamGroupForHost(), "Part 4:g");
    EXPECT_EQ(b.plug.GetParam(4235)->GetStep(), 2.0);
    b.manager.createNoValKnobControl("n", 9, 0, 0, "K", 0, 0, 9, 1, 0, nullptr, "");
    EXPECT_EQ(b.action(9), nullptr);
    // min, max, msgZeroVal, changingByte, part; changing byte of the first and last message, count, key
    const std::tuple<int, int, int, int, int, Ints> sysex[] = {
        {0, 127, 0, 8, 0, {0, 127, 128, 2, 3, 4, 5}}, {0, 127, 1, 8, 0, {1, 0, 128, 2, 3, 4, 5}},
        {0, 0, 5, 8, 0, {5, 5, 1, 2, 3, 4, 5}},       {0, 3, -1, 8, 0, {0, 2, 4, 2, 3, 4, 5}},
        {0, 3, 0, 7, 3, {0, 3, 4, 1, 2, 3, 4}},       {5, 4, 0, 8, 0, {}}};
    for (const auto& [lo, hi, zero, changingByte, part, sent] : sysex) {
        const int lines = b.logLines();
        b.manager.createSysExKnobControl("s", 7, 0, 0, "K", 0, lo, hi, 1, zero, 0, changingByte, part, {}, nullptr, "");
        const auto& m = b.action(7)->messages;
        const size_t at = size_t(changingByte - 1);
        EXPECT_EQ(m.empty() ? Ints{b.logLines() - lines} : Ints({m[0][at], m.back()[at], int(m.size())}),
                  m.empty() ? Ints{2} : Ints(sent.begin(), sent.begin() + 3)); // empty: the image and the range
        if (sent.empty()) continue;
        EXPECT_EQ(b.manager.sysexControls.findControl(sent[3], sent[4], sent[5], sent[6], 0), b.last());
    }
}

TEST(KnobsAndDisplays, KnobFramesAndTextFieldsScaleWithTheEditor)
{
    struct StripSurface : RedSurface { // frame f of 128 is coloured f, 255 - f
        using RedSurface::RedSurface;
        RAST_IBitmap* OSLoadBitmap(int, const char*) override
        {
            return MakeStrip(128, 20, 40, [](int f) { return IColor(255, f, 255 - f, 0); }).mData;
        }
    };
    const IColor pale(255, 225, 225, 225), blue(255, 26, 180, 232), white(255, 255, 255, 255);
    // clang-format off
    const std::tuple<int, const char*, IColor> fields[] = {{4356, "-- INIT --", blue}, {4357, "INIT", blue},
        {4348, "Init Multi", blue}, {5111, "New Name", pale}, {4979, "search...", pale}, {1, "", white}};
    for (const auto& [scale, box] : {std::pair{0.85, IRECT(8, 17, 93, 28)}, {1.0, IRECT(10, 20, 111, 33)}, {1.15, IRECT(11, 23, 127, 37)}}) {
        // clang-format on
        Bench b(scale);
        StripSurface loader(&b.plug, 1, 1);
        b.manager.preloadImage(&loader, 9000 + int(scale * 100), "K", "k.png", 128, false);
        b.manager.createSysExKnobControl("n", 1, 10, 10, "K", 0, 0, 1, 1, 0, 0, 8, 0, {}, nullptr, "");
        IControl* knob = b.last();
        const int at = int(10 * scale), w = int(20 * scale + 0.5), h = int(40 * scale + 0.5); // 5120: 4352, 5888
        EXPECT_EQ(*knob->GetRECT(), IRECT(at, at, at + w, at + h)) << scale;
        for (const auto& [value, frame] : {std::pair{0.0, 1}, {0.5, 65}, {1.0, 128}}) {
            knob->SetValue(value);
            b.surface->Draw(nullptr);
            EXPECT_EQ(b.surface->GetPoint(at + w / 2, at + h / 2), IColor(255, frame, 255 - frame, 0)) << scale;
        }
        for (const auto& [id, text, color] : fields) { // id 1: two read-outs after the knob
            const int nameLen = id == 4357 ? 0 : 16;
            if (id > 1) b.manager.createNameDisplay("n", id, 10, 20, 101, 13, nameLen, 0, nullptr, "");
            // Without a display size, or with the field's own height, the face is the height.
            for (int i = id > 1 ? 2 : 0; i < 2; ++i)
                b.manager.createControlDisplay("Display", id, 10, 20, 101, 13, 0, nullptr, "", i * 13);
            IControl* f = b.last();
            const IText* t = f->GetText();
            EXPECT_EQ(std::tuple(*f->GetRECT(), t->mColor, t->mSize, f->GetTextEntryLength(), f->GetPromptDisabled()),
                      std::tuple(box, color, box.B - box.T, nameLen, id == 1));
            EXPECT_STREQ(b.plug.GetParam(id)->GetDisplayText(0), text);
            // The prompt opens a text entry only for a text parameter.
            EXPECT_EQ(b.plug.GetParam(id)->Type() == IParam::kTypeText, id > 1) << id;
        }
        const ControlAction* a = b.action(1); // the knob, then the two read-outs in the order made
        EXPECT_EQ(Ints({a->kind, int(a->controls.size()), a->controls[2] == b.last()}), Ints({0, 3, 1}));
        // A read-out two lines high keeps the face of its display size.
        b.manager.createControlDisplay("Display", 2, 10, 20, 101, 40, 0, nullptr, "", 13);
        EXPECT_EQ(b.last()->GetText()->mSize, int(13 * scale)) << scale;
    }
}
