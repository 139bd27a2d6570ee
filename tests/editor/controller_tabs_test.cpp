// The read-out texts and the page and part switching, over the shipped configuration; the bands
// of child layers over a small tree of their own.
#include "Project_Source/src/ControlDisplay.h"
#include "Project_Source/src/LibrarianViewControl.h"
#include "Project_Source/src/QORParams.h"
#include "Project_Source/src/TabSwitchFunctions.h"
#include "Project_Source/src/UIConfigManager.h"
#include "controller_editor_support.h"
#include "kit/plugin/IGraphics.h"
#include "kit/plugin/IGraphicsLayer.h"
#include "kit/plugin/IParam.h"

#include "tools/pngwriter/png_writer.h"

#include <gtest/gtest.h>

using namespace qorid;

namespace
{

class Tabs : public testing::Test
{
protected:
    static void SetUpTestSuite() { editor = new editortest::Editor(); }
    static void TearDownTestSuite()
    {
        delete editor;
        editor = nullptr;
    }
    void SetUp() override
    {
        q().startupComplete = true;
        q().selectedPart = 0;
        q().currentModel = 0;
        q().GetParam(kOverrideTempo)->Set(0.0);
    }
    static QOR& q() { return *editor->plug; }
    // The caller stores the value first, as the parameter handling does.
    static std::string shown(int id, double value, bool selectedPartOnly = false)
    {
        q().GetParam(id)->Set(value);
        ControlDisplay::controlDisplay(&q(), id, value, selectedPartOnly);
        return editor->text(q().statusDisplay) + "|" + editor->text(q().valueDisplay);
    }
    static std::string valueLine(int id, double value)
    {
        const std::string both = shown(id, value);
        return both.substr(both.find('|') + 1);
    }
    static void mark() { q().displayText("unchanged", "unchanged", ""); }
    static const std::string& entry(const char* list, int at) { return q().uiConfigManager->valueLists[list].at(at); }
    static bool grayed(ControlLayer* layer)
    {
        if (layer->controls.GetSize() > 0) return layer->controls.Get(0)->IsGrayed();
        for (int i = 0; i < layer->childLayers.GetSize(); ++i)
            if (layer->childLayers.Get(i)->controls.GetSize() > 0) return grayed(layer->childLayers.Get(i));
        return false;
    }
    static ControlLayer* layer(const std::string& name)
    {
        ControlLayer* l = q().keptLayer(name);
        EXPECT_NE(l, nullptr) << name;
        return l;
    }
    static editortest::Editor* editor;
};
editortest::Editor* Tabs::editor = nullptr;

} // namespace

TEST_F(Tabs, EachFamilyMakesItsValueText)
{
    const struct {
        int id;
        double value;
        std::string line;
    } rows[] = {
        {kOscillator1Pulsewidth, 76, "+12 [76]"},
        {kOscillator1Pulsewidth + 7, 0, "-64 [0]"},
        {kFXChorusMWheel + 7, 64, "0 [64]"},
        {kGlobalMasterTune, 127, "+63 [127]"},
        {kGlobalMasterTune, 128, " [128]"},
        {kOscillator1Semitone, 0, "-12 [0]"},
        {kOscillator3BendRange + 7, 25, "+13 [25]"},
        {kOscillator1Semitone, 26, " [26]"},
        {kMultiPartTranspose + 3, 48, "+24 [48]"},
        {kGlobalAudioIn2Trim, 9, "-1 [9]"},
        {kGlobalAudioIn1Trim, -1, " [-1]"},
        {kOscillator2Octave + 1, 1, entry("oscillatorOctave", 1) + " [1]"},
        {kVocoderBalance, 0, "Vocoder off [0]"},
        {kVocoderBalance, 62, "Carrier >> Vocoder [62]"},
        {kVocoderBalance, 64, "Vocoder only [64]"},
        {kVocoderBalance, 65, "Vocoder << Modulator [65]"},
        {kVocoderBalance, 127, "Modulator only [127]"},
        {kOscillator3Waveform + 2, 2, entry("oscillatorShape", 2) + " [2]"},
        {kMultiPartPanning, 0, "LEFT 100% [0]"},
        {kMultiPartPanning, 1, "LEFT 97% [1]"},
        {kMultiPartPanning, 63, "LEFT 1% [63]"},
        {kMultiPartPanning, 64, "< CENTER > [64]"},
        {kMultiPartPanning, 65, "RIGHT 1% [65]"},
        {kMultiPartPanning + 7, 126, "RIGHT 96% [126]"},
        {kMultiPartPanning, 127, "RIGHT 100% [127]"},
        {kPartPattern, 0, "OFF [0]"},
        {kPartPattern + 4, 12, "PTRN # 12 [12]"},
        {kGlobalTempo, 40, entry("tempoValues", 40) + " BMP [40]"},
        {kArpSpeed + 1, 0, "65 BMP [0]"},
        {kFXMultiReverbRoom + 2, 1, entry("roomType", 1) + " [1]"},
        {kFilterWidth, 1, entry("filterWidth", 1) + " [1]"},
        {kGlobalMidiChannel, 3, entry("globalChannel", 3) + " [3]"},
        {kMultiPartKeyHigh + 7, 60, entry("keyList", 60) + " [60]"},
        {kFXMultiRoutingConfig, 2, entry("fxRouting", 2) + " [2]"},
        {kLFO2Range, 1, entry("lfoRange", 1) + " [1]"},
        {kGlobalRXPC, 0, "ENABLED [0]"},
        {kMultiPartExpressionPdl + 5, 1, "DISABLED [1]"},
        {kGlobalRXCC, 0, "Adjust from Hardware [0]"},
        {kGlobalRXCC, 99, "Adjust from Hardware [99]"},
        {kLFO1DelayTrigger, 1, "Single [1]"},
        {kLFO2Triggering, 0, "Freewheel [0]"},
        {kProgramPolyphony, 0, "Mono [0]"},
        {kFXChorusType, 2, "Phaser [2]"},
        {kFXMultiChorusType, 3, " [3]"},
        {kMultiPartStatus, 0, "DISABLED [0]"},
        {kDCOVCOMode, 0, "DCO (Juno 106 & 60 style) [0]"},
        {kEnvelope3Triggering + 7, 0, "Multi [0]"},
        {kGlobalMIDIClock, 1, "External [1]"},
        {kGlobalPedalSw3, 1, entry("pedalSwitchList", 1) + " [1]"},
        {kArpFillIn, 1, "ON [1]"},
        {kPartLock, 0, "OFF [0]"},
        {kSectionLockVocoder + 7, 1, "ON [1]"},
        {kKeepSelectedBank, 2, " [2]"},
        {kArpSwitch, 0, "ON [0]"},
        {kMultiArpSwitch + 7, 1, "OFF [1]"},
        {kArpLatchMode, 1, "Pattern [1]"},
        {kArpNoteOrdering, 1, entry("arpNoteOrdering", 1) + " [1]"},
        {3161, 61, entry("keyList", 61) + " [61]"},
        {2649, 2, entry("arpGateVelo", 2) + " [2]"},
        {kDatatype, 1, entry("dataType", 1) + " [1]"},
        {kArpPatternLength, 15, "16 [15]"},
        {4184, 0, "-64 [0]"},
        {kMultiPartBank, 3.7, "3"},
        {kOscillator1Waveform, 1000, " [1000]"},
    };
    for (const auto& r : rows) EXPECT_EQ(valueLine(r.id, r.value), r.line) << r.id << " " << r.value;
    EXPECT_EQ(shown(kMultiPartPanning + 2, 1),
              std::string(q().GetParam(kMultiPartPanning + 2)->GetNameForHost()) + "|LEFT 97% [1]");
}

TEST_F(Tabs, TheGatesLeaveTheReadOutAlone)
{
    mark();
    q().startupComplete = false;
    shown(kOscillator1Pulsewidth, 3);
    q().startupComplete = true;
    for (int id : std::initializer_list<int>{kOverrideTempo, kMultiName, kPatchName + 7, kEnvelopeTriggering, 4525,
                                             4980, 5005, 5095, 5102, kMainTab, kQuickTab, kLibrarianArea})
        shown(id, 1);
    EXPECT_EQ(editor->text(q().statusDisplay) + "|" + editor->text(q().valueDisplay), "unchanged|unchanged");

    // Only while host program changes are blocked does the library switch speak.
    q().midiFilterSwitches[1] = false;
    mark();
    EXPECT_EQ(valueLine(kControlLibrary, 1), "unchanged");
    q().midiFilterSwitches[1] = true;
    EXPECT_EQ(valueLine(kControlLibrary, 1), "ON [1]");
}

TEST_F(Tabs, WhilePlayingOnlyTheSelectedPartIsShown)
{
    q().selectedPart = 2;
    IParam* p = q().GetParam(kMultiPartPanning);
    const struct {
        const char* name;
        bool shows;
    } rows[] = {{"[3] Pan", true}, {"[1] Pan", false}, {"3", false}, {"", false}};
    for (const auto& r : rows) {
        p->InitInt(r.name, 64, 0, 127);
        mark();
        EXPECT_EQ(shown(kMultiPartPanning, 64, true),
                  r.shows ? std::string(r.name) + "|< CENTER > [64]" : "unchanged|unchanged")
            << r.name;
    }
}

TEST_F(Tabs, TempoSyncedToTheHostSaysSoOnTheNameLine)
{
    q().GetParam(kOverrideTempo)->Set(1.0);
    for (int id : std::initializer_list<int>{kGlobalTempo, kArpSpeed + 3})
        EXPECT_EQ(shown(id, 55), "Tempo Synced to HOST! Check ARP Tab|" + entry("tempoValues", 55) + " BMP [55]");
    mark();
    EXPECT_EQ(shown(kOverrideTempo, 1), "unchanged|unchanged");
}

TEST(ShowMultiLayers, EachSelectionActsOnItsBandOnly)
{
    const struct {
        int select;
        std::vector<int> children;
        std::string after; // per child: + shown, - hidden, . as it was (all start half shown)
    } rows[] = {
        {15, {75, 25, 5, 15}, "-.-+"},
        {25, {75, 25, 21, 150}, ".+--"},
        {20, {10, 11, 20, 21, 30, 150}, "..+-.-"},
        {150, {5, 9, 10, 140, 299, 300, 150}, "++.++.+"},
        {109, {5, 100, 109, 150}, "...."},
        {119, {5, 110, 119}, "..."},
        {129, {5, 120, 129}, "..."},
        {299, {5, 299}, ".."},
        {5, {5, 10}, ".."},
        {104, {3, 90, 104, 109, 115, 200, 300}, "-.+-.-."},
        {125, {3, 119, 125, 128, 135, 140}, "-.+-.-"},
        {301, {3, 20, 299, 301, 400}, "-..+-"},
    };
    for (const auto& r : rows) {
        ControlLayer parent(0, "parent");
        for (size_t i = 0; i < r.children.size(); ++i) {
            auto* child = new ControlLayer(r.children[i], "child");
            child->Hide(i % 2 == 0); // odd positions start shown, even hidden
            parent.childLayers.Add(child);
        }
        parent.showMultiLayers(r.select);
        EXPECT_EQ(parent.selectedChildId, r.select);
        // A '.' child keeps its start state; '+' and '-' end so.
        for (size_t i = 0; i < r.children.size(); ++i) {
            const bool visible = parent.childLayers.Get(int(i))->IsVisible();
            if (r.after[i] == '.')
                EXPECT_EQ(visible, i % 2 != 0) << r.select << " child " << r.children[i];
            else
                EXPECT_EQ(visible, r.after[i] == '+') << r.select << " child " << r.children[i];
        }
    }
}

TEST_F(Tabs, EachMainPageShowsItselfAndItsLayersForEachModel)
{
    ControlLayer* root = layer("root");
    for (int part = 0; part < 8; ++part) q().GetParam(kMultiPartEffectsUsed + part)->Set(0);
    // The panning strips hold no controls of their own yet: a probe shows their grey state.
    const IColor black(255, 0, 0, 0);
    for (const char* strip : {"partPanning6", "partPanning7"})
        layer(strip)->controls.Add(new IPanelControl(&q(), IRECT(0, 0, 1, 1), &black));
    for (int model : {0, 1, 2}) {
        for (int page = 0; page <= 6; ++page) {
            TabSwitchFunctions::mainTabSwitch(&q(), kMainTab, page, model, 0);
            const std::string at = "page " + std::to_string(page) + " model " + std::to_string(model);
            for (int i = 0; i < root->childLayers.GetSize(); ++i)
                EXPECT_EQ(root->childLayers.Get(i)->IsVisible(), root->childLayers.Get(i)->id == page) << at;
            EXPECT_EQ(q().firstControl(kRandomize)->IsGrayed(), page <= 1) << at;
            EXPECT_EQ(layer("miniMixer2")->IsVisible(), page != 0) << at;
            EXPECT_EQ(layer("multiModeMixer2")->IsVisible(), page == 0) << at;
            EXPECT_EQ(layer("bankAndProgram01")->IsVisible(), true) << at;
            EXPECT_EQ(layer("bankAndProgram02")->IsVisible(), false) << at;
            EXPECT_EQ(layer("ruvoPartDisable")->IsVisible(), page != 0 && model == 1) << at;
            EXPECT_EQ(layer("vocoderLayer")->IsVisible(), page == 5) << at;
            EXPECT_EQ(layer("arpTempoLayer")->IsVisible(), page == 6) << at;
            EXPECT_EQ(layer("saveChangesLayer")->IsVisible(), page == 1) << at;
            if (page == 0) {
                EXPECT_EQ(grayed(layer("multiModeMixer2")), model == 1) << at;
                EXPECT_TRUE(layer("partPanning1")->IsVisible() && layer("partPanning8")->IsVisible()) << at;
                EXPECT_FALSE(layer("progPanning1")->IsVisible()) << at;
                EXPECT_EQ(grayed(layer("partPanning7")), model == 2) << at;
                EXPECT_EQ(grayed(layer("partPanning6")), false) << at;
                EXPECT_FALSE(layer("miniMixerDelayPart1")->IsVisible()) << at;
            } else {
                EXPECT_EQ(grayed(layer("miniMixer2")), model == 1) << at;
                EXPECT_TRUE(layer("miniMixerDelayPart1")->IsVisible()) << at;
                EXPECT_FALSE(layer("partPanning1")->IsVisible()) << at;
                // The first part's panel of the page is the one shown.
                ControlLayer* shown = root->childLayers.Get(page);
                for (int i = 0; i < shown->childLayers.GetSize(); ++i)
                    EXPECT_EQ(shown->childLayers.Get(i)->IsVisible(), shown->childLayers.Get(i)->id == 0) << at;
            }
        }
    }
}

TEST_F(Tabs, TheSelectedPartsValuesDecideZonesOverlayAndStrips)
{
    ControlLayer* oscillators = layer("oscillators");
    auto zone = [&](int id) {
        ControlLayer* zones = oscillators->childLayers.Get(oscillators->selectedChildId);
        for (int i = 0; i < zones->childLayers.GetSize(); ++i)
            if (zones->childLayers.Get(i)->id == id) return zones->childLayers.Get(i);
        ADD_FAILURE() << "no zone " << id;
        return oscillators;
    };
    for (int w : {0, 1, 2, 3, 4, 5}) {
        q().GetParam(kOscillator2Waveform + 3)->Set(w);
        TabSwitchFunctions::mainTabSwitch(&q(), kMainTab, 2, 0, 3);
        EXPECT_EQ(oscillators->selectedChildId, 3);
        EXPECT_EQ(grayed(zone(20)), !(w == 0 || w == 4)) << w;
    }
    for (int type : {2, 3}) {
        q().GetParam(kFilterType + 3)->Set(type);
        TabSwitchFunctions::mainTabSwitch(&q(), kMainTab, 3, 0, 3);
        EXPECT_EQ(layer("filterSlopeOverlayer")->IsVisible(), type == 3) << type;
    }
    // A part that takes the program's effects gets the program's strips.
    q().GetParam(kMultiPartEffectsUsed + 4)->Set(1);
    TabSwitchFunctions::mainTabSwitch(&q(), kMainTab, 0, 0, 0);
    EXPECT_TRUE(layer("progPanning5")->IsVisible());
    EXPECT_FALSE(layer("partPanning5")->IsVisible());
    TabSwitchFunctions::mainTabSwitch(&q(), kMainTab, 2, 0, 0);
    EXPECT_TRUE(layer("miniMixerDelayProg5")->IsVisible());
    EXPECT_FALSE(layer("miniMixerDelayPart5")->IsVisible());
    q().GetParam(kMultiPartEffectsUsed + 4)->Set(0);
    // Effect routing of part 5 picks its diagram.
    q().GetParam(kFXMultiRoutingConfig + 4)->Set(6);
    TabSwitchFunctions::mainTabSwitch(&q(), kMainTab, 5, 0, 4);
    for (int n = 1; n <= 19; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, "effectConfig%02d", n);
        EXPECT_EQ(layer(name)->IsVisible(), n == 7) << name;
    }
}

TEST_F(Tabs, TheQuickTabSwitchesPartsOnThePageAndAsksToSelectThePart)
{
    ControlLayer* root = layer("root");
    // On the performance page only the bank and program strip follows.
    TabSwitchFunctions::mainTabSwitch(&q(), kMainTab, 0, 0, 0);
    q().GetParam(kQuickTab)->Set(4);
    q().partSelectSendFlag = false;
    TabSwitchFunctions::quickTabSwitch(&q(), kQuickTab, 4, 0, false);
    EXPECT_TRUE(layer("bankAndProgram05")->IsVisible());
    EXPECT_FALSE(layer("bankAndProgram01")->IsVisible());
    EXPECT_EQ(q().selectedPart.load(), 0);
    EXPECT_FALSE(q().partSelectSendFlag.load());

    for (int page = 2; page <= 6; ++page) {
        TabSwitchFunctions::mainTabSwitch(&q(), kMainTab, page, 0, 0);
        TabSwitchFunctions::quickTabSwitch(&q(), kQuickTab, 4, 0, false);
        EXPECT_EQ(q().selectedPart.load(), 4) << page;
        EXPECT_TRUE(q().partSelectSendFlag.load()) << page;
        ControlLayer* shown = root->childLayers.Get(page);
        for (int i = 0; i < shown->childLayers.GetSize(); ++i)
            EXPECT_EQ(shown->childLayers.Get(i)->IsVisible(), shown->childLayers.Get(i)->id == 4) << page;
        q().selectedPart = 0;
        q().partSelectSendFlag = false;
    }
    // On the librarian page the part's bank, 0 to 3, becomes the bank of library transfers.
    q().GetParam(kMultiPartBank + 4)->Set(3);
    TabSwitchFunctions::mainTabSwitch(&q(), kMainTab, 1, 0, 0);
    TabSwitchFunctions::quickTabSwitch(&q(), kQuickTab, 4, 0, false);
    EXPECT_EQ(q().GetParam(kRequestFromBank)->Value(), 3.0);
    q().selectedPart = 0;
    q().partSelectSendFlag = false;
    // Sent to the synthesizer, the selection leaves the flag for the next change alone.
    TabSwitchFunctions::quickTabSwitch(&q(), kQuickTab, 4, 0, true);
    EXPECT_FALSE(q().partSelectSendFlag.load());
    q().GetParam(kQuickTab)->Set(0);
}

TEST_F(Tabs, TheSevenMainPagesDrawSevenDifferentImages)
{
    IGraphics* g = q().GetGUI();
    const int w = g->Width(), h = g->Height();
    std::vector<std::vector<uint8_t>> pages;
    for (int page = 0; page <= 6; ++page) {
        TabSwitchFunctions::mainTabSwitch(&q(), kMainTab, page, 0, 0);
        IRECT all(0, 0, w, h);
        g->Draw(&all);
        const std::vector<uint8_t> png = pngw::encodeArgbWords(static_cast<const uint32_t*>(g->GetBits()), w, h, w);
        ASSERT_TRUE(pngw::writeFile(png, editor->dir.file("page" + std::to_string(page) + ".png"))) << page;
        for (size_t other = 0; other < pages.size(); ++other) EXPECT_NE(png, pages[other]) << page << " " << other;
        pages.push_back(png);
    }
}

TEST_F(Tabs, TheTabButtonsSwitchThroughTheParameterChange)
{
    ControlLayer* root = layer("root");
    q().SetParameterFromGUI(kMainTab, q().GetParam(kMainTab)->GetNormalized(4));
    for (int i = 0; i < root->childLayers.GetSize(); ++i)
        EXPECT_EQ(root->childLayers.Get(i)->IsVisible(), root->childLayers.Get(i)->id == 4) << i;
    q().SetParameterFromGUI(kQuickTab, q().GetParam(kQuickTab)->GetNormalized(5));
    EXPECT_EQ(q().selectedPart.load(), 5);
    ControlLayer* page = root->childLayers.Get(4);
    for (int i = 0; i < page->childLayers.GetSize(); ++i)
        EXPECT_EQ(page->childLayers.Get(i)->IsVisible(), page->childLayers.Get(i)->id == 5) << i;
    EXPECT_TRUE(layer("bankAndProgram06")->IsVisible());
    q().SetParameterFromGUI(kQuickTab, q().GetParam(kQuickTab)->GetNormalized(0));
}

TEST_F(Tabs, TheLibrarianPageFollowsTheUnsavedBankAndTheSearch)
{
    const struct {
        double unsaved;
        bool search, category;
        bool discard, keepOpen, limit, field;
    } rows[] = {
        {0.0, false, false, false, true, true, false},
        {1.0, false, false, true, false, true, false},
        {0.0, true, false, false, true, false, true},
        {0.0, true, true, false, true, true, false},
    };
    for (const auto& r : rows) {
        q().GetParam(kBankEditUnsaved)->Set(r.unsaved);
        q().searchListShown = r.search;
        q().categoryListShown = r.category;
        TabSwitchFunctions::mainTabSwitch(&q(), kMainTab, 1, 0, 0);
        const std::string at = std::to_string(r.unsaved) + " " + std::to_string(r.search) + std::to_string(r.category);
        EXPECT_EQ(layer("discardChangesLayerRight")->IsVisible(), r.discard) << at;
        EXPECT_EQ(layer("keepBankOpenLayer")->IsVisible(), r.keepOpen) << at;
        EXPECT_EQ(layer("categoryLimit")->IsVisible(), r.limit) << at;
        EXPECT_EQ(layer("searchField")->IsVisible(), r.field) << at;
        EXPECT_TRUE(q().librarianView->mDragEnabled.load()) << at;
        EXPECT_FALSE(q().progressLayer->IsVisible()) << at;
    }
    q().GetParam(kBankEditUnsaved)->Set(0.0);
    q().searchListShown = q().categoryListShown = false;
}
