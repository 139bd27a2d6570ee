// The performance dump and its follow-up: positions and packed bits as they land in the
// editor's parameters, the locks, what a message that is not one changes, and the bytes the
// writer makes of values the wire cannot carry. Positions are counted from the F0.
#include "Project_Source/src/MIDIMessageManager.h"
#include "Project_Source/src/MIDIMessageSender.h"
#include "Project_Source/src/PatchManager.h"
#include "Project_Source/src/PerformanceDump.h"
#include "Project_Source/src/QORParams.h"
#include "kit/kitstring.h"
#include "kit/plugin/IControl.h"
#include "kit/plugin/IParam.h"
#include "support/insynth.h"
#include "support/tempdir.h"
#include "support/testpaths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <map>
#include <string>
#include <utility>
#include <vector>

using namespace qorid;

namespace
{

using Bytes = std::vector<uint8_t>;

// Part k's byte at offset n of its block.
constexpr size_t at(int k, int n)
{
    return size_t(28 + 44 * k + n);
}

// A performance dump of neutral bytes named "Neutral", of model m.
Bytes performance(int model = 0x20)
{
    Bytes b(381, 0);
    const uint8_t head[] = {0xF0, 0x00, 0x20, 0x29, 0x01, uint8_t(model), 0x0F, 0x05};
    std::copy(std::begin(head), std::end(head), b.begin());
    const std::string name = "Neutral         ";
    std::copy(name.begin(), name.end(), b.begin() + 8);
    for (int k = 0; k < 8; ++k) b[at(k, 1)] = 5, b[at(k, 3)] = 98, b[at(k, 4)] = 77, b[at(k, 33)] = 32;
    b[380] = 0xF7;
    return b;
}

Bytes followUp(size_t size = 25, uint8_t type = 0x1B)
{
    Bytes b(size, 0);
    const uint8_t head[] = {0xF0, 0x00, 0x20, 0x29, 0x01, 0x21, 0x0F, type};
    std::copy(std::begin(head), std::end(head), b.begin());
    // The init performance's 37, insert 5 and 4 among them (positions 8, 10 and 13).
    const uint8_t body[] = {37, 18 + 3, 28 + 5, 111 + 4, 70, 4, 96 + 5, 1};
    std::copy(std::begin(body), std::end(body), b.begin() + 8);
    b.back() = 0xF7;
    return b;
}

Bytes with(Bytes b, std::initializer_list<std::pair<size_t, uint8_t>> bytes)
{
    for (const auto& [pos, v] : bytes) b[pos] = v;
    return b;
}

struct Editor {
    Editor() { plug->midiManager->expectingEditDump = true; }
    void send(Bytes b)
    {
        ISysEx msg(0, b.data(), int(b.size()));
        plug->ProcessSysEx(&msg, true);
    }
    double value(int id) const { return plug->GetParam(id)->Value(); }
    void set(int id, double v) { plug->GetParam(id)->Set(v); }
    static std::string text(ITextControl* control)
    {
        KIT_String s("", 0, 256);
        if (control) control->GetTextCopy(&s);
        return s.Get();
    }
    testsupport::TempDir dir;
    std::unique_ptr<testsupport::RecordingQOR> plug = testsupport::makeFromBundle<testsupport::RecordingQOR>(dir.path);
};

std::map<int, double> statuses(const Editor& e)
{
    std::map<int, double> m;
    for (int k = 0; k < 8; ++k) m[kMultiPartStatus + k] = e.value(kMultiPartStatus + k);
    return m;
}

} // namespace

TEST(PerformanceDumpParse, PositionsAndPackedBitsSetTheirParameters)
{
    const auto allStatus = [](double first7, double eighth) {
        std::vector<std::pair<int, double>> v;
        for (int k = 0; k < 7; ++k) v.push_back({kMultiPartStatus + k, first7});
        v.push_back({kMultiPartStatus + 7, eighth});
        return v;
    };
    const struct {
        const char* name;
        Bytes message;
        std::vector<std::pair<int, double>> expected;
    } cases[] = {
        {"sustain code 83 is the last index", with(performance(), {{at(2, 4), 83}}), {{kMultiPartSustain + 2, 13}}},
        {"sustain code 126", with(performance(), {{at(2, 4), 126}}), {{kMultiPartSustain + 2, 3}}},
        {"sustain code 77", with(performance(), {{at(2, 4), 77}}), {{kMultiPartSustain + 2, 0}}},
        {"sustain code 50 is not in the table", with(performance(), {{at(2, 4), 50}}), {{kMultiPartSustain + 2, 0}}},
        {"status bits all set: parts 1-7 off, part 8 by position 24", with(performance(), {{27, 0x7F}, {24, 0x40}}),
         allStatus(0, 0)},
        {"status bits clear: every part on", with(performance(), {{27, 0x00}, {24, 0x00}}), allStatus(1, 1)},
        {"position 24's other fields", with(performance(), {{24, 0x2D}}),
         {{kMultiLargeCase24Param1, 1},
          {kMultiLargeCase24Param3, 1},
          {kMultiLargeCase24Param4, 1},
          {kMultiLargeCase24Param5, 0},
          {kMultiLargeCase24Param6, 1},
          {kMultiPartStatus + 7, 1}}},
        {"routing 20: all zero", with(performance(), {{at(0, 33), 0x20}}),
         {{kFXMultiChorusType, 0}, {kFXMultiPassToFXAudio, 0}, {kFXMultiPanWithFX, 0}, {kFXMultiPassToFXConfig, 0}}},
        {"routing 75", with(performance(), {{at(0, 33), 0x75}}),
         {{kFXMultiChorusType, 1}, {kFXMultiPassToFXAudio, 1}, {kFXMultiPanWithFX, 1}, {kFXMultiPassToFXConfig, 2}}},
        {"routing below 32: the negative fields are held at the range's low end", with(performance(), {{at(0, 33), 0x14}}),
         {{kFXMultiChorusType, 0}, {kFXMultiPassToFXAudio, 0}, {kFXMultiPanWithFX, 0}, {kFXMultiPassToFXConfig, 0}}},
        {"part settings of part 8", with(performance(), {{at(7, 10), 0x6E}}),
         {{kMultiPartPolyphony + 7, 2},
          {kMultiPartProgramChange + 7, 1},
          {kMultiPartControlChange + 7, 1},
          {kMultiArpSwitch + 7, 1},
          {kMultiPartExpressionPdl + 7, 1},
          {kMultiPartEffectsUsed + 7, 1}}},
        {"reverb room and early reflections", with(performance(), {{at(4, 27), 8 * 13 + 5}}),
         {{kFXMultiReverbRoom + 4, 13}, {kFXMultiReverbEarlyRef + 4, 5}}},
        {"offsets", with(performance(), {{at(1, 1), 7}, {at(1, 3), 101}, {at(1, 5), 52}, {at(1, 22), 57}, {at(1, 39), 100}}),
         {{kMultiPartBank + 1, 2},
          {kMultiPartOutput + 1, 3},
          {kMultiPartTranspose + 1, 12},
          {kFXMultiPanType + 1, 2},
          {kFXMultiDelayRatio + 1, 4}}},
        {"the global channel of a part", with(performance(), {{at(6, 2), 16}}), {{kMultiPartMIDICh + 6, 16}}},
        {"tempo and the last block byte", with(performance(), {{25, 99}, {at(7, 43), 42}}),
         {{kGlobalTempo, 99}, {kFXMultiCMorph + 7, 42}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Editor e;
        for (const auto& [id, v] : c.expected) e.set(id, v == 0 ? 1 : 0);
        e.send(c.message);
        for (const auto& [id, v] : c.expected) EXPECT_EQ(e.value(id), v) << id;
        EXPECT_TRUE(e.plug->replyArrived);
    }
}

TEST(PerformanceDumpParse, PositionTwentySixSelectsOnlyAPartOfTheEight)
{
    for (const auto& [byte, part] : {std::pair<int, int>{3, 3}, {7, 7}, {9, 5}}) {
        Editor e;
        e.plug->selectedPart = 5;
        e.send(with(performance(), {{26, uint8_t(byte)}}));
        EXPECT_EQ(e.plug->selectedPart, part) << byte;
        EXPECT_EQ(e.value(kQuickTab), std::min(double(byte), e.plug->GetParam(kQuickTab)->GetMax())) << byte;
    }
}

TEST(PerformanceDumpParse, LockedOutputsKeepTheirValuesWhileTheRestFollows)
{
    Editor e;
    e.set(kSectionLockMultiOutputs, 1);
    for (int k = 0; k < 8; ++k) e.set(kMultiPartOutput + k, 4), e.set(kMultiPartLevel + k, 0);
    Bytes b = performance();
    for (int k = 0; k < 8; ++k) b[at(k, 3)] = 99, b[at(k, 11)] = 90;
    e.send(b);
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(e.value(kMultiPartOutput + k), 4) << k;
        EXPECT_EQ(e.value(kMultiPartLevel + k), 90) << k;
    }
}

TEST(PerformanceDumpParse, ALibraryPerformanceGivesEachPartItsOwnChannel)
{
    Editor e;
    e.plug->libraryPerformanceTransfer = true;
    Bytes b = performance();
    for (int k = 0; k < 8; ++k) b[at(k, 2)] = 16;
    e.send(b);
    for (int k = 0; k < 8; ++k) EXPECT_EQ(e.value(kMultiPartMIDICh + k), k);
}

TEST(PerformanceDumpParse, TheNameReachesTheParameterTheLibrarianAndStopsAtAZeroByte)
{
    Editor e;
    e.send(with(performance(), {{12, 0}}));
    EXPECT_EQ(e.plug->GetParam(kMultiName)->CopyDisplayText(0), "Neut");
    std::lock_guard<std::mutex> lock(e.plug->patchManager->namesLock);
    EXPECT_EQ(e.plug->patchManager->patch.names[0], "Neut");
}

TEST(PerformanceDumpParse, WhatIsNotAPerformanceDumpOnlyRefreshesTheSelectedPartsNames)
{
    const struct {
        const char* name;
        Bytes message;
    } cases[] = {
        {"380 bytes",
         [] {
             Bytes b = performance();
             b.erase(b.begin() + 100);
             return b;
         }()},
        {"382 bytes",
         [] {
             Bytes b = performance();
             b.insert(b.begin() + 100, 0);
             return b;
         }()},
        {"type 07", with(performance(), {{7, 0x07}})},
        {"maker byte 2", with(performance(), {{2, 0x21}})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Editor e;
        e.plug->selectedPart = 2;
        e.plug->GetParam(kPatchName + 2)->SetDisplayText(0, "Part Three");
        e.set(kCategoryName + 2, 1);
        e.set(kGlobalTempo, 3);
        const auto before = statuses(e);
        e.send(with(c.message, {{25, 99}, {27, 0x7F}}));
        EXPECT_EQ(e.value(kGlobalTempo), 3);
        EXPECT_EQ(statuses(e), before);
        EXPECT_FALSE(e.plug->replyArrived);
        EXPECT_EQ(Editor::text(e.plug->patchDisplay), "Part Three");
        EXPECT_FALSE(Editor::text(e.plug->categoryDisplay).empty());
        // A category past the list shows nothing.
        e.set(kCategoryName + 2, 100000);
        e.send(c.message);
        EXPECT_EQ(Editor::text(e.plug->categoryDisplay), "");
    }
}

TEST(PerformanceDumpParse, TheSecondModelCompletesTheRequestOnlyWithTheFollowUp)
{
    for (int model : {0, 1}) {
        SCOPED_TRACE(model);
        Editor e;
        e.plug->currentModel = model;
        e.plug->pendingRequestPart = 3;
        e.plug->midiManager->performanceRequestActive = true;
        // Straight to the parsers: the controller's gate holds other messages back while a part
        // request waits.
        auto parse = [&e](Bytes b) {
            ISysEx msg(0, b.data(), int(b.size()));
            e.plug->midiManager->ProcessSysEx(&msg, true);
        };
        parse(performance(0x20 + model));
        EXPECT_EQ(bool(e.plug->midiManager->requestComplete), model == 0);
        EXPECT_EQ(e.plug->pendingRequestPart, model == 0 ? -1 : 3);
        parse(followUp());
        EXPECT_TRUE(e.plug->midiManager->requestComplete);
        EXPECT_EQ(e.plug->pendingRequestPart, -1);
    }
    // A part's program request that a follow-up reaches (its byte 8 names the part) still
    // waits for the program.
    Editor e;
    e.plug->currentModel = 1;
    e.plug->pendingRequestPart = 3;
    Bytes b = with(followUp(), {{8, 3}});
    ISysEx msg(0, b.data(), int(b.size()));
    e.plug->midiManager->ProcessSysEx(&msg, true);
    EXPECT_EQ(e.value(kMultiSmallCase08), 3);
    EXPECT_FALSE(e.plug->midiManager->requestComplete);
    EXPECT_EQ(e.plug->pendingRequestPart, 3);
}

TEST(PerformanceFollowUpParse, TheVocoderLockKeepsSixPositionsAndOtherMessagesChangeNothing)
{
    const std::vector<int> vocoder = {kVocoderInput, kVocoderInsert, kVocoderWidth, kVocoderBalance, kVocoderSibilanceLevel,
                                      kVocoderSibilanceType};
    const std::map<int, double> received = {
        {kMultiSmallCase08, 37}, {kVocoderInput, 3},     {kVocoderInsert, 5},         {kVocoderWidth, 4},
        {kVocoderBalance, 70},   {kMultiSmallCase13, 4}, {kVocoderSibilanceLevel, 5}, {kVocoderSibilanceType, 1}};
    const struct {
        const char* name;
        Bytes message;
        bool locked, taken;
    } cases[] = {
        {"taken", followUp(), false, true},
        {"vocoder locked", followUp(), true, true},
        {"24 bytes", followUp(24), false, false},
        {"26 bytes", followUp(26), false, false},
        {"25 bytes of type 05", followUp(25, 0x05), false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Editor e;
        e.plug->midiManager->performanceRequestActive = true;
        e.set(kSectionLockVocoder, c.locked ? 1 : 0);
        for (const auto& [id, v] : received) e.set(id, 0);
        e.send(c.message);
        for (const auto& [id, v] : received) {
            const bool isVocoder = std::find(vocoder.begin(), vocoder.end(), id) != vocoder.end();
            EXPECT_EQ(e.value(id), c.taken && !(c.locked && isVocoder) ? v : 0) << id;
        }
        EXPECT_EQ(bool(e.plug->midiManager->requestComplete), c.taken);
    }
    // The width's offset: 111 is 0.
    Editor e;
    e.send(with(followUp(), {{11, 111}}));
    EXPECT_EQ(e.value(kVocoderWidth), 0);
}

TEST(PerformanceDumpWrite, NamesBecomeSixteenPrintableBytes)
{
    const struct {
        std::string name, bytes;
    } cases[] = {
        {"Seven77", "Seven77         "},
        {"Tab\there", "Tab here        "},
        {"Twenty characters...", "Twenty character"},
        {"", "                "},
        {"Hi\x80\xff", "Hi              "},
    };
    for (const auto& c : cases) {
        Bytes out(381);
        PerformanceDump::writeDump([](int) { return 0.0; }, 0x20, c.name, out.data());
        EXPECT_EQ(std::string(out.begin() + 8, out.begin() + 24), c.bytes) << c.name;
    }
}

TEST(PerformanceDumpWrite, ValuesTheWireCannotCarryAreHeldToIt)
{
    const std::map<int, double> values = {
        {kGlobalMidiChannel, 200},         {kMultiPartSustain + 1, 14},   {kMultiPartSustain + 2, -1},
        {kMultiPartSustain + 3, 13},       {kMultiPartTranspose, 100},    {kMultiPartMIDICh + 4, 16},
        {kMultiPartPolyphony + 5, 9},      {kMultiPartProgramChange + 5, 2}, {kMultiArpSwitch + 5, 3},
        {kFXMultiPassToFXConfig + 6, 3},   {kFXMultiChorusType + 6, -2},  {kFXMultiReverbRoom + 7, 20},
        {kFXMultiReverbEarlyRef + 7, 9},   {kMultiLargeCase24Param1, 7},  {kMultiPartStatus + 7, 1},
        {kMultiPartStatus + 1, 0},         {kMultiPartLevel + 3, 1e300},  {kMultiPartLevel + 4, -0.5},
        {kVocoderWidth, 16},               {kVocoderBalance, 0.0 / 0.0},
    };
    const auto value = [&](int id) {
        const auto it = values.find(id);
        return it == values.end() ? 1.0 : it->second;
    };
    Bytes dump(381), next(25);
    PerformanceDump::writeDump(value, 0x21, "x", dump.data());
    PerformanceDump::writeFollowUp(value, 0x21, next.data());
    const std::pair<size_t, int> expected[] = {
        {5, 0x21},   {6, 127},          {7, 0x05},         {at(1, 4), 0},     {at(2, 4), 0},     {at(3, 4), 83},
        {at(0, 5), 127}, {at(4, 2), 16}, {at(5, 10), 3 + 4 + 8 + 0 + 32 + 64}, {at(6, 33), 32 + 0 + 4 + 16 + 64},
        {at(7, 27), 7 + 8 * 15},        {24, 3 + 4 + 8 + 16 + 32}, {27, 2}, {at(3, 11), 127}, {at(4, 11), 0},
        {380, 0xF7},
    };
    for (const auto& [pos, byte] : expected) EXPECT_EQ(dump[pos], byte) << pos;
    const std::pair<size_t, int> expectedNext[] = {{5, 0x21}, {6, 127}, {7, 0x1B}, {8, 1},  {9, 19},
                                                   {11, 127}, {12, 0},  {16, 0},   {23, 0}, {24, 0xF7}};
    for (const auto& [pos, byte] : expectedNext) EXPECT_EQ(next[pos], byte) << pos;
    for (uint8_t b : dump) EXPECT_TRUE(b < 0x80 || b == 0xF0 || b == 0xF7);
}

TEST(PerformanceDumpWrite, TheSendersPartBytesAreTheOnesItsDumpCarries)
{
    Editor e;
    MIDIMessageSender& sender = *e.plug->midiManager->sender;
    const std::pair<int, double> values[] = {
        {kMultiPartSustain + 2, 13},      {kMultiPartPolyphony + 2, 2},     {kMultiPartProgramChange + 2, 1},
        {kMultiPartControlChange + 2, 0}, {kMultiArpSwitch + 2, 0},         {kMultiPartExpressionPdl + 2, 1},
        {kMultiPartEffectsUsed + 2, 0},   {kMultiPartSustain + 5, 0},       {kFXMultiChorusType + 5, 1},
        {kFXMultiPassToFXAudio + 5, 1},   {kFXMultiPanWithFX + 5, 1},       {kFXMultiPassToFXConfig + 5, 2},
        {kMultiPartSustain + 7, 3},       {kMultiArpSwitch + 7, 1},         {kMultiPartPolyphony + 7, 0},
        {kMultiPartProgramChange + 7, 0}, {kMultiPartControlChange + 7, 1}, {kMultiPartExpressionPdl + 7, 0},
        {kMultiPartEffectsUsed + 7, 1},   {kFXMultiChorusType + 7, 0},      {kFXMultiPassToFXAudio + 7, 0},
        {kFXMultiPanWithFX + 7, 0},       {kFXMultiPassToFXConfig + 7, 0},
    };
    for (const auto& [id, v] : values) e.set(id, v);
    const struct {
        int part, sustain, settings, routing; // -1: a byte this case does not set
    } cases[] = {{2, 83, 2 + 4 + 16 + 32, -1}, {5, 77, -1, 0x75}, {7, 126, 8 + 64, 0x20}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.part);
        EXPECT_EQ(sender.buildSustainValues(c.part), c.sustain);
        if (c.settings >= 0) {
            EXPECT_EQ(sender.calculateMultiSettings1Values(c.part), c.settings);
        }
        if (c.routing >= 0) {
            EXPECT_EQ(sender.calculateMultiSettings2Values(c.part), c.routing);
        }
    }
    // Every part's three bytes are the ones the performance dump carries for it.
    Bytes dump(381);
    PerformanceDump::writeDump([&](int id) { return e.value(id); }, 0x20, "", dump.data());
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(sender.buildSustainValues(k), dump[at(k, 4)]) << k;
        EXPECT_EQ(sender.calculateMultiSettings1Values(k), dump[at(k, 10)]) << k;
        EXPECT_EQ(sender.calculateMultiSettings2Values(k), dump[at(k, 33)]) << k;
    }
    for (int part : {-1, 8}) {
        EXPECT_EQ(sender.buildSustainValues(part) + sender.calculateMultiSettings1Values(part) +
                      sender.calculateMultiSettings2Values(part),
                  0);
    }
    // And back: a code outside the table is index 0, as code 77 is.
    const std::pair<int, int> codes[] = {{83, 13}, {77, 0}, {50, 0}, {126, 3}, {127, 7},
                                         {4, 8},   {8, 12}, {0, 0},  {200, 0}};
    for (const auto& [code, index] : codes) EXPECT_EQ(PerformanceDump::BreakSustainValues(code), index) << code;
}
