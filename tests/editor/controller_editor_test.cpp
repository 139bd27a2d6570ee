// The controller's editor start-up over the built bundle: size, log, bank-name lists, first-run
// notice, stored ports, start values, read-outs and the processing indicator.
#include "Project_Source/src/BankDisplayNames.h"
#include "Project_Source/src/DataFolder.h"
#include "Project_Source/src/QOR.h"
#include "Project_Source/src/QORParams.h"
#include "kit/plugin/IControl.h"
#include "kit/plugin/IGraphics.h"
#include "kit/plugin/IGraphicsLayer.h"
#include "platform/CoreFoundation/CFPresenter.h"
#include "controller_editor_support.h"
#include "support/bankgen.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace qorid;
using editortest::Editor;

namespace
{

bankgen::Bytes programBank(uint32_t seed)
{
    return bankgen::rawFile(bankgen::messagesOf(bankgen::makeBank(bankgen::Kind::Programs, 0x20, 128, seed)));
}

} // namespace

TEST(ControllerEditor, TheSizeWordSetsTheEditorSizeAndTheSizeParameter)
{
    const double unchanged = Editor(nullptr, false).value(kUserInterfaceSize);
    const struct {
        const char* file;
        int width, height;
        double sizeValue;
    } cases[] = {
        {nullptr, 1500, 757, unchanged},  {"x\nnormal   \n", 1500, 757, 1.0}, {"x\n small\n", 1500, 757, unchanged},
        {"x\nsmall\r\n", 1275, 643, 0.0}, {"x\nlarge", 1724, 870, 2.0},
    };
    for (const auto& c : cases) {
        Editor e(c.file, false);
        IGraphics* g = e.plug->GetGUI();
        ASSERT_NE(g, nullptr);
        EXPECT_EQ(g->Width(), c.width) << (c.file ? c.file : "no file");
        EXPECT_EQ(g->Height(), c.height) << (c.file ? c.file : "no file");
        EXPECT_EQ(e.value(kUserInterfaceSize), c.sizeValue) << (c.file ? c.file : "no file");
    }
}

TEST(ControllerEditor, LongBankNamesAreShortenedWithARunningNumberInBothListsAndTheLog)
{
    const std::string c(47, 'C');
    const struct {
        std::string file, shown;
    } names[] = {
        // In the scan's byte order.
        {std::string(48, 'A') + ".syx", std::string(48, 'A') + ".syx"},
        {std::string(49, 'B') + ".syx", std::string(47, 'B') + "~1.syx"},
        {c + "1xxxxxxxx.SYX", c + "~1.syx"},
        {c + "2.syx", c + "2.syx"},
        {c + "3xxxxxxxx.syx", c + "~2.syx"},
        {c + "4yyyyyyyy.syx", c + "~3.syx"},
        {std::string(47, 'D') + "1zzzzzzzz.MID", std::string(47, 'D') + "~1.mid"},
    };
    std::vector<std::pair<std::string, bankgen::Bytes>> banks;
    for (uint32_t i = 0; i < std::size(names); ++i)
        banks.push_back({names[i].file, names[i].file.back() == 'D'
                                            ? bankgen::midiFile(bankgen::messagesOf(
                                                  bankgen::makeBank(bankgen::Kind::Programs, 0x20, 128, i + 1)))
                                            : programBank(i + 1)});
    Editor e(nullptr, true, banks);
    std::vector<std::string> renamed;
    for (int id : {kPatchSelectionListUpper, kPatchSelectionListLower}) {
        IParam* list = e.plug->GetParam(id);
        ASSERT_EQ(list->GetNDisplayTexts(), int(std::size(names))) << id;
        for (int i = 0; i < int(std::size(names)); ++i) EXPECT_EQ(list->GetDisplayText(i), names[i].shown) << id;
    }
    for (const auto& n : names)
        if (n.file != n.shown)
            renamed.push_back("PATCH LIBRARIAN: Filename " + n.file + " RENAMED TO " + n.shown +
                              " Because the filename was too long to fit in plug-in display!");
    EXPECT_EQ(e.plug->upperBankName, names[0].shown);
    EXPECT_EQ(e.plug->lowerBankName, names[0].shown);
    EXPECT_EQ(e.plug->upperBankFolder, "Patches");

    // Both lists log their names between the first control set and the menus.
    const std::vector<std::string> log = e.log();
    auto at = [&log](const std::string& line) { return std::find(log.begin(), log.end(), line) - log.begin(); };
    const long first = at("Control set 1 attached"), last = at("Librarian menus attached");
    ASSERT_LT(last, long(log.size()));
    std::vector<std::string> between(log.begin() + first + 1, log.begin() + last);
    std::vector<std::string> twice = renamed;
    twice.insert(twice.end(), renamed.begin(), renamed.end());
    EXPECT_EQ(between, twice);
    for (const std::string& line : log) EXPECT_EQ(line.find("missing"), std::string::npos) << line;
}

TEST(ControllerEditor, ANameWithoutAFullStopIsCutToTheMenusLimit)
{
    BankDisplayNames names;
    const std::string shown = names.next(std::string(60, 'Q'));
    EXPECT_EQ(shown, std::string(47, 'Q') + "~1." + std::string(5, 'q'));
    EXPECT_EQ(shown.size(), BankDisplayNames::kLongestShown);
}

TEST(ControllerEditor, AnEmptyLibraryGivesEmptyListsOfMaximumOne)
{
    Editor e;
    for (int id : {kPatchSelectionListUpper, kPatchSelectionListLower}) {
        EXPECT_EQ(e.plug->GetParam(id)->GetNDisplayTexts(), 0);
        EXPECT_EQ(e.plug->GetParam(id)->GetMax(), 1.0);
    }
    EXPECT_EQ(e.plug->upperBankName + e.plug->upperBankFolder + e.plug->lowerBankName + e.plug->lowerBankFolder, "");
}

TEST(ControllerEditor, TheThirdLineDecidesTheNoticeAndWhetherStoredPortsAreReopened)
{
    const struct {
        const char* file;
        bool notice, portLines, requestPending;
    } cases[] = {
        {"a\nnormal\nno\n", true, false, false},
        {"a\nnormal\nyes\n\nSome In\n", false, false, false},
        {"a\nnormal\nyes\nNo Such Out\nNo Such In\n", false, true, true},
        {"a\nnormal\nno\nNo Such Out\nNo Such In\n", true, false, false},
    };
    for (const auto& c : cases) {
        Editor e(c.file);
        EXPECT_EQ(e.plug->keptLayer("firstRunNotification")->IsVisible(), c.notice) << c.file;
        EXPECT_EQ(e.plug->firstRunNoticeShown, c.notice) << c.file;
        for (const char* kind : {"partPanning", "progPanning"})
            for (int n = 1; n <= 8; ++n)
                if (c.notice) {
                    EXPECT_FALSE(e.plug->keptLayer(kind + std::to_string(n))->IsVisible()) << kind << n;
                }
        const std::vector<std::string> log = e.log();
        const auto ready = std::find(log.begin(), log.end(), "Plug-in is ready to load!");
        ASSERT_NE(ready, log.end());
        const std::vector<std::string> after(ready + 1, log.end());
        EXPECT_EQ(after, c.portLines
                             ? (std::vector<std::string>{"DEFAULT SETTINGS: MIDI In device stored No Such In",
                                                         "DEFAULT SETTINGS: MIDI Out device stored No Such Out"})
                             : std::vector<std::string>{})
            << c.file;
        EXPECT_EQ(e.plug->initialRequestPending.load(), c.requestPending) << c.file;
        // No port of that name: nothing opened; the stored device stays chosen, marked absent,
        // until it appears.
        EXPECT_EQ(e.plug->outputAway(), c.portLines) << c.file;
        const IParam* out = e.plug->GetParam(kDeviceOutSelection);
        EXPECT_STREQ(out->GetDisplayText(int(out->Value())),
                     c.portLines ? "No Such Out (absent)" : "Select MIDI Device")
            << c.file;
    }
}

TEST(ControllerEditor, AfterTheStartUpTabsChannelsFiltersAndReadOutsHaveTheirStartValues)
{
    Editor e;
    QOR& q = *e.plug;
    EXPECT_EQ(e.value(kMainTab), 2.0);
    EXPECT_EQ(e.value(kKeepSelectedBank), 1.0);
    for (int part = 0; part < 8; ++part) EXPECT_EQ(e.value(kMultiPartMIDICh + part), part) << part;
    EXPECT_EQ(e.value(kGlobalMidiChannel), 15.0);
    EXPECT_EQ(q.deviceId.load(), 15);
    EXPECT_EQ(e.value(kOverrideTempo), 1.0);
    EXPECT_EQ(e.value(kControlProgBank), 1.0);
    // The start value 2 of the transfer pause must survive its control's range: 100 ms.
    EXPECT_EQ(e.value(kLibSyncTimer), 2.0);
    EXPECT_EQ(q.getTimerValue(), 100);
    // Blocked: host program change and SysEx, device program change.
    std::vector<bool> blocked;
    for (const auto& f : q.midiFilterSwitches) blocked.push_back(f.load());
    EXPECT_EQ(blocked, (std::vector<bool>{0, 1, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 0}));
    for (int id = kMIDIFilterDAWCCPassThrough; id <= kMIDIFilterHWSEPassThrough; ++id)
        EXPECT_EQ(e.value(id), blocked[size_t(id - kMIDIFilterDAWCCPassThrough)] ? 0.0 : 1.0) << id;
    EXPECT_TRUE(q.trackIncomingMidi.load());
    EXPECT_FALSE(q.routeMidiToHostBuffer.load() || q.sendClockInfo.load() || q.sendClockPointer.load());
    EXPECT_EQ(e.value(kMIDIFilterDirectToHardware), 1.0);
    EXPECT_EQ(std::vector<std::string>({e.text(q.statusDisplay), e.text(q.valueDisplay), e.text(q.buildDisplay),
                                        e.text(q.categoryDisplay), e.text(q.patchDisplay), e.text(q.ccDisplay)}),
              (std::vector<std::string>{"Brixtane QOR Plug-in", "v1.0.9 16-Jan-2020", "v1.0.9", "Bass", "-- INIT --",
                                        "---"}));
    // The last step opens the oscillator page, where randomizing is allowed.
    EXPECT_FALSE(q.firstControl(kRandomize)->IsGrayed());
    ControlLayer* root = q.keptLayer("root");
    for (int page = 0; page < root->childLayers.GetSize(); ++page)
        EXPECT_EQ(root->childLayers.Get(page)->IsVisible(), page == 2) << page;
    EXPECT_TRUE(q.progressIndicator->IsHidden());
    EXPECT_FALSE(q.progressLayer->IsVisible());
    EXPECT_TRUE(q.keptLayer("root")->IsVisible());
    EXPECT_FALSE(q.keptLayer("aboutWindow")->IsVisible());
    EXPECT_NE(q.librarianView, nullptr);
    EXPECT_EQ(q.GetLatency(), 128);
    EXPECT_TRUE(q.startupComplete.load());

    // Read-out texts and their formatters.
    q.displayText("", "", "");
    EXPECT_EQ(e.text(q.statusDisplay) + e.text(q.valueDisplay) + e.text(q.ccDisplay), "");
    q.displayCategoryName("Bass");
    q.displayPatchName("Fat");
    q.displayBuild("b");
    EXPECT_EQ(e.text(q.categoryDisplay) + e.text(q.patchDisplay) + e.text(q.buildDisplay), "BassFatb");
    const struct {
        double value;
        const char* text;
    } values[] = {{2.5, "2"}, {3.5, "4"}, {127.0, "127"}, {-0.4, "-0"}};
    for (const auto& v : values) EXPECT_EQ(q.getValueString(v.value), v.text) << v.value;
    const std::string huge = q.getValueString(1e300);
    EXPECT_EQ(huge.size(), 301u);
    EXPECT_EQ(huge.substr(0, 2), "10");
    EXPECT_EQ(q.getPanelString(0, ""), "Part 1 ");
    EXPECT_EQ(q.getPanelString(7, "Bass"), "Part 8 Bass");

    cf_standin::Presenter script;
    cf_standin::Presenter* old = cf_standin::setPresenter(&script);
    q.OpenDataDirectory();
    cf_standin::setPresenter(old);
    EXPECT_EQ(script.urls, std::vector<std::string>{"file://" + DataFolder::getDataFolder()});
}

TEST(ControllerEditor, TheProcessingIndicatorShowsTheCancelSwitchOfItsTabAndRestoresTheLibrarianFilter)
{
    Editor e;
    QOR& q = *e.plug;
    IGraphics* g = q.GetGUI();
    ControlLayer* search = q.keptLayer("searchField");
    ControlLayer* category = q.keptLayer("categoryLimit");
    const struct {
        double tab, searching;
        bool patterns;
        const char* after; // the librarian's filter layers after on then off: search, category
    } cases[] = {
        {1.0, 0.0, false, "-C"},
        {1.0, 1.0, false, "S-"},
        {1.0, 0.0, true, "--"},
        {2.0, 0.0, false, "S-"},
    };
    for (const auto& c : cases) {
        g->SetParameterFromPlug(kMainTab, c.tab, false);
        g->SetParameterFromPlug(kPatchSearch, c.searching, false);
        q.patternMode = c.patterns;
        search->Hide(false); // as a page could have left it
        category->Hide(true);
        q.deviceTransferActive = true;
        q.DisplayProcessingIndicator(true);
        EXPECT_FALSE(q.deviceTransferActive.load());
        EXPECT_TRUE(q.progressLayer->IsVisible() && !q.progressIndicator->IsHidden());
        EXPECT_EQ(q.cancelRequestSwitch1->IsHidden(), c.tab != 1.0) << c.tab;
        EXPECT_EQ(q.cancelRequestSwitch2->IsHidden(), c.tab == 1.0) << c.tab;
        EXPECT_EQ(q.patchSearchControl->IsGrayed(), c.tab == 1.0) << c.tab;
        if (c.tab == 1.0) {
            EXPECT_FALSE(search->IsVisible() || category->IsVisible());
        }
        q.DisplayProcessingIndicator(false);
        EXPECT_FALSE(q.progressLayer->IsVisible());
        EXPECT_TRUE(q.progressIndicator->IsHidden() && q.cancelRequestSwitch1->IsHidden() &&
                    q.cancelRequestSwitch2->IsHidden());
        EXPECT_EQ(std::string(search->IsVisible() ? "S" : "-") + (category->IsVisible() ? "C" : "-"), c.after)
            << c.tab << " " << c.searching << " " << c.patterns;
        q.patchSearchControl->GrayOut(false);
    }
    q.patternMode = false;
}
