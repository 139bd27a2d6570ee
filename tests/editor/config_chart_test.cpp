// The bundle's configuration, made from the project's chart, read on the test plug-in and
// surface: nothing is missing or skipped, every row builds its action for every part with the
// chart's numbers, keys, link and messages, and the value lists arrive whole.
#include "Project_Source/src/ICustomRadioButtonsControl.h"
#include "config_test_support.h"
#include "support/testpaths.h"
#include "tools/qor-make-config/chart.h"

#include <gtest/gtest.h>

#include <fstream>
#include <cmath>
#include <set>
#include <tuple>

using namespace configtest;
using namespace makeconfig;

namespace {

std::string sourceText(const std::string& file)
{
    std::ifstream in(testsupport::sourceDir() + "/resources/chart/" + file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

int kindOf(const std::string& type)
{
    if (type == "ccButton") return ControlAction::kControlChangeSwitch;
    if (type.rfind("cc", 0) == 0) return ControlAction::kControlChange;
    if (type.rfind("msbLsb", 0) == 0) return ControlAction::kNRPN;
    return type == "seButton" ? ControlAction::kSysExSwitch : ControlAction::kSysEx;
}

// The control the containers hold under the keys, or none.
IControl* filedUnder(const UIConfigManager& m, const Keys& k)
{
    const std::vector<int>& v = k.keys;
    if (k.kind == AddressKind::NRPN) return m.nrpnControls.findControl(v[0], v[1], v[2], v[3], v[4]);
    if (k.kind == AddressKind::SysEx) return m.sysexControls.findControl(v[0], v[1], v[2], v[3], v[4]);
    auto a = m.ccControls.find(v[0]);
    if (a == m.ccControls.end()) return nullptr;
    auto b = a->second.find(v[1]);
    if (b == a->second.end()) return nullptr;
    auto c = b->second.find(v[2]);
    return c == b->second.end() ? nullptr : c->second;
}

TEST(ShippedConfiguration, EveryRowBuildsItsActionForEveryPartAndNothingIsSkipped)
{
    Inputs in{sourceText("chart.tsv"), sourceText("lists.tsv"), sourceText("sections.tsv")};
    Chart chart;
    Outputs out;
    std::vector<std::string> errors;
    ASSERT_TRUE(generate(in, &out, &errors, &chart));

    ConfigFolder<UIConfigManager> f;
    BundleFolder bundle(testsupport::binaryDir() + "/QOR.component");
    UIConfigManager& m = f.manager;
    testing::internal::CaptureStdout();
    m.readUIConfig(&f.surface, nullptr, nullptr, 0, 1.0);
    testing::internal::GetCapturedStdout();
    for (const std::string& line : f.logTexts())
        for (const char* bad : {"NOT FOUND!", "MISSING!", " skipped", " gives ", " cut to ", "stopped"})
            EXPECT_EQ(line.find(bad), std::string::npos) << line;

    // The control each key set finds: the one filed last under it.
    std::map<std::pair<int, std::vector<int>>, int> foundId;
    for (const Element& e : chart.elements) {
        const Keys k = filingKeys(e);
        if (k.kind != AddressKind::None) foundId[{int(k.kind), k.keys}] = e.id;
    }
    size_t checked = 0;
    for (const Element& e : chart.elements) {
        const Row& r = *e.row;
        if (r.address.kind == AddressKind::None) continue;
        SCOPED_TRACE(r.name + " id " + std::to_string(e.id));
        ControlAction* a = f.plug.GetParam(e.id)->GetControlAction();
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->kind, kindOf(r.type));
        EXPECT_EQ(a->part, e.part >= 0 ? e.part : e.channel - 1);
        const Keys k = filingKeys(e);
        IControl* found = filedUnder(m, k);
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(found->ParamIdx(), (foundId[{int(k.kind), k.keys}]));
        const Address& ad = r.address;
        if (ad.kind == AddressKind::CC) {
            EXPECT_EQ(std::vector<int>({a->ccNumber, a->channelKey, a->globalKey}), std::vector<int>({ad.cc, k.keys[0], k.keys[2]}));
            if (r.type == "ccButton") {
                EXPECT_EQ(std::vector<int>({a->switchOffValue, a->switchOnValue}), std::vector<int>({r.bounds[1], r.bounds[2]}));
            }
        } else if (ad.kind == AddressKind::NRPN) {
            EXPECT_EQ(std::vector<int>({a->ccNumber, a->msbValue, a->lsbValue, a->lsbControl, a->channelKey, a->globalKey}),
                      std::vector<int>({6, ad.msb, ad.base, ad.lsb, k.keys[0], k.keys[4]}));
        } else {
            int first = 0, last = 0;
            valueRange(r, &first, &last);
            const int lo = r.type == "seButton" ? 0 : r.bounds[1];
            const size_t count = r.type == "seButton" ? 2 : r.type == "seMenu" ? size_t(last - first + 2) : size_t(last - first + 1);
            ASSERT_EQ(a->messages.size(), count);
            const int part = e.part > 0 ? e.part : std::max(e.partOfChannel, 0);
            for (size_t i = 0; i < count; ++i)
                EXPECT_EQ(a->messages[i], std::vector<int>({0x3E, 0x0F, 0, ad.type, part, ad.param, lo + int(i)})) << i;
        }
        if (!r.link.empty()) {
            EXPECT_GE(a->link.firstId, 0);
        }
        ++checked;
    }
    EXPECT_GT(checked, 2000u);
    // A menu without a list leaves an empty entry under the empty name; the named lists are the
    // 39 the read-out and tab switching take, the transfer pauses, the banks of library
    // transfers, the models and the editor sizes.
    EXPECT_EQ(m.valueLists.size() - m.valueLists.count(""), 43u);
    for (const auto& list : chart.lists) EXPECT_EQ(m.valueLists[list.first], list.second) << list.first;
    m.ClearImageCache();
}


// The bundle's configuration read on an off-screen surface of the editor's size at a scale.
struct Shipped {
    explicit Shipped(double scale = 1.0)
        : bundle(testsupport::binaryDir() + "/QOR.component"),
          surface(new BundleSurface(&plug, int(1500 * scale), int(757 * scale)))
    {
        plug.AttachGraphics(surface);
        testing::internal::CaptureStdout();
        manager.readUIConfig(surface, nullptr, nullptr, 0, scale);
        testing::internal::GetCapturedStdout();
    }
    ~Shipped() { manager.ClearImageCache(); }
    ControlLayer* layer(const std::string& name)
    {
        auto it = manager.layers.find(name);
        return it == manager.layers.end() ? nullptr : it->second;
    }
    std::vector<ControlLayer*> topLevel()
    {
        std::vector<ControlLayer*> all;
        for (int i = 0; i < surface->NLayers(); ++i) all.push_back(surface->GetLayer(i));
        return all;
    }
    BundleFolder bundle;
    SurfacePlug plug{5124};
    BundleSurface* surface;
    UIConfigManager manager;
};

std::vector<std::string> numbered(const std::string& stem, int first, int last, bool twoDigits = false)
{
    std::vector<std::string> names;
    for (int i = first; i <= last; ++i) names.push_back(stem + (twoDigits && i < 10 ? "0" : "") + std::to_string(i));
    return names;
}

TEST(ShippedLayout, TheTreeHoldsWhatTheControllerLooksUpSwitchesAndNeverMakesItself)
{
    Shipped s;
    // Every layer the start-up looks up by name.
    std::vector<std::string> names = {"root", "oscillators", "filterSlopeOverlayer", "effectsLayer", "vocoderLayer",
                                      "ruvoPartDisable", "lfoModMatrix", "miniMixer", "miniMixer2", "multiModeMixer2",
                                      "patchLibrarian", "multiModeSettingsPage1"};
    for (const auto& group : {numbered("effectConfig", 1, 19, true), numbered("miniMixerDelayPart", 1, 8),
                              numbered("miniMixerDelayProg", 1, 8), numbered("partPanning", 1, 8),
                              numbered("progPanning", 1, 8), numbered("bankAndProgram", 1, 8, true)})
        names.insert(names.end(), group.begin(), group.end());
    for (const char* n : {"bankAndProgramMulti", "saveChangesLayer", "discardChangesLayerRight", "keepBankOpenLayer",
                          "arpTempoLayer", "aboutWindow", "firstRunNotification", "bankPatchConflictWindow",
                          "midiFilterSettings"})
        names.push_back(n);
    const auto steps = numbered("step", 2, 32, true);
    for (const std::string& st : steps) names.push_back(st + "overlayer");
    for (const char* n : {"patchRename", "categoryLimit", "searchField"}) names.push_back(n);
    ASSERT_EQ(names.size(), 114u);
    for (const std::string& n : names) EXPECT_NE(s.layer(n), nullptr) << n;

    // Root: the seven main pages at positions equal to their ids.
    ControlLayer* root = s.layer("root");
    ASSERT_NE(root, nullptr);
    ASSERT_EQ(root->childLayers.GetSize(), 7);
    const std::map<int, std::string> fixedPages = {{1, "patchLibrarian"}, {2, "oscillators"}, {4, "lfoModMatrix"},
                                                   {5, "effectsLayer"}};
    for (int i = 0; i < 7; ++i) {
        ControlLayer* page = root->childLayers.Get(i);
        EXPECT_EQ(page->id, i);
        if (fixedPages.count(i)) {
            EXPECT_EQ(page->name, fixedPages.at(i));
        }
        EXPECT_EQ(page->childLayers.GetSize(), i >= 2 ? 8 : 0) << page->name;
    }
    // Pages 2 to 6: one copy per part, and the zones the switching shows by id.
    const struct {
        int page;
        const char* panel;
        std::vector<int> zoneIds;
    } panels[] = {{2, "oscillatorsPanel", {10, 20, 30}},
                  {3, "filtersEnvelopesPanel", {}},
                  {4, "effects1Panel", {10, 11, 12, 13}},
                  {5, "effects2Panel", {10, 11}},
                  {6, "sequencerPanel", {}}};
    for (const auto& p : panels) {
        for (int part = 0; part < 8; ++part) {
            ControlLayer* copy = root->childLayers.Get(p.page)->childLayers.Get(part);
            EXPECT_EQ(copy->name, p.panel + std::to_string(part));
            EXPECT_EQ(copy->id, part);
            std::vector<int> ids;
            for (int z = 0; z < copy->childLayers.GetSize(); ++z) ids.push_back(copy->childLayers.Get(z)->id);
            EXPECT_EQ(ids, p.zoneIds) << copy->name;
        }
    }
    for (int z = 1; z <= 4; ++z) EXPECT_EQ(s.layer("lfo1destination" + std::to_string(z))->id, 9 + z);
    for (int z = 1; z <= 3; ++z) EXPECT_EQ(s.layer("o" + std::to_string(z) + "pw")->id, 10 * z);

    // Top level: root first, the windows last, and none of the layers the controller makes.
    const std::vector<ControlLayer*> top = s.topLevel();
    ASSERT_GT(top.size(), 5u);
    EXPECT_EQ(top.front(), root);
    std::vector<std::string> lastFive;
    for (size_t i = top.size() - 5; i < top.size(); ++i) lastFive.push_back(top[i]->name);
    EXPECT_EQ(lastFive, std::vector<std::string>({"aboutWindow", "firstRunNotification", "bankPatchConflictWindow",
                                                  "midiFilterSettings", "patchRename"}));
    for (const char* made : {"UPPERPOPUPMENU", "LOWERPOPUPMENU", "LeftPerformancePopupMenu", "RightPerformancePopupMenu",
                             "BANKEDITMENU", "RightPatchPopupMenu", "PROGRAMNUMBERMENU", "BANKNUMBERMENUPROGRAMS",
                             "RightSearchPopupMenu", "PERFBANKNAMEMENUPROGRAMS", "PROGBANKNAMEMENUPROGRAMS",
                             "LeftPatternPopupMenu", "RightPatternPopupMenu", "PROGRESS"})
        EXPECT_EQ(s.manager.layers.count(made), 0u) << made;
}

// What the controller takes as the first control of a parameter, by its class.
TEST(ShippedLayout, TheFirstControlOfEachParameterTheControllerReachesIsOfTheClassItUses)
{
    Shipped s;
    enum Class { Text, Caption, Switch, Radio, Contact };
    std::vector<std::pair<int, Class>> rows = {
        {5097, Text},    {5098, Text},    {5099, Text},    {5100, Text},    {5102, Text},  {5045, Text},
        {5105, Text},    {5018, Caption}, {5019, Caption}, {5111, Caption}, {5114, Caption}, {5115, Caption},
        {4322, Caption}, {5096, Switch},  {5016, Switch},  {4980, Switch},  {5108, Switch}, {5109, Switch},
        {4344, Switch},  {5118, Radio},   {5120, Radio},   {5117, Contact}};
    for (int id = 4209; id <= 4216; ++id) rows.push_back({id, Caption});
    for (int id = 4855; id <= 4871; ++id) rows.push_back({id, Switch});
    for (const auto& r : rows) {
        SCOPED_TRACE(r.first);
        ControlAction* a = s.plug.GetParam(r.first)->GetControlAction();
        ASSERT_NE(a, nullptr);
        ASSERT_FALSE(a->controls.empty());
        IControl* c = a->controls.front();
        switch (r.second) {
        case Text:
            EXPECT_NE(dynamic_cast<ITextControl*>(c), nullptr);
            EXPECT_EQ(dynamic_cast<ICaptionControl*>(c), nullptr);
            break;
        case Caption: EXPECT_NE(dynamic_cast<ICaptionControl*>(c), nullptr); break;
        case Switch:
            EXPECT_NE(dynamic_cast<ISwitchControl*>(c), nullptr);
            EXPECT_EQ(dynamic_cast<IContactControl*>(c), nullptr);
            break;
        case Radio: EXPECT_NE(dynamic_cast<ICustomRadioButtonsControl*>(c), nullptr); break;
        case Contact: EXPECT_NE(dynamic_cast<IContactControl*>(c), nullptr); break;
        }
    }
}

// Each page as the tab switching shows it (root's child by id, then the page's panel by part,
// with the strips that show with the page and the part's bank strip), at the three editor sizes,
// written for a person to look at.
TEST(ShippedLayout, EachPageDrawsAtTheThreeSizes)
{
    Inputs in{sourceText("chart.tsv"), sourceText("lists.tsv"), sourceText("sections.tsv")};
    Chart chart;
    Outputs out;
    std::vector<std::string> errors;
    ASSERT_TRUE(generate(in, &out, &errors, &chart));
    for (double scale : {0.85, 1.0, 1.15}) {
        Shipped s(scale);
        ControlLayer* root = s.layer("root");
        ASSERT_NE(root, nullptr);
        root->Hide(false);
        for (int tab = 0; tab < 7; ++tab) {
            root->selectedChildId = tab;
            for (int i = 0; i < root->childLayers.GetSize(); ++i)
                root->childLayers.Get(i)->Hide(root->childLayers.Get(i)->id != tab);
            ControlLayer* page = root->childLayers.Get(tab);
            const int part = tab == 2 ? 7 : 0;
            page->selectedChildId = part;
            for (int i = 0; i < page->childLayers.GetSize(); ++i)
                page->childLayers.Get(i)->Hide(page->childLayers.Get(i)->id != part);
            // The zones the switching shows at the parameters' defaults: every pulse-width zone,
            // the first matrix page, the program's effects.
            if (tab >= 2) {
                ControlLayer* copy = page->childLayers.Get(part);
                for (int z = 0; z < copy->childLayers.GetSize(); ++z) {
                    const int id = copy->childLayers.Get(z)->id;
                    copy->childLayers.Get(z)->Hide(!(tab == 2 || (tab == 4 && id == 10) || (tab == 5 && id == 11)));
                }
            }
            // The tab radios light the page's and the part's button, as the tab switching sets them.
            for (auto [id, index, buttons] : {std::tuple{5118, tab, 7}, std::tuple{5120, part, 8}}) {
                ControlAction* a = s.plug.GetParam(id)->GetControlAction();
                ASSERT_TRUE(a && !a->controls.empty());
                a->controls.front()->SetValueFromPlug(double(index) / (buttons - 1));
            }
            for (const Layer& l : chart.layers)
                if (l.parent.empty() && l.kind == "strip" && !l.overlay)
                    s.layer(l.name)->Hide(l.alt ? l.name != "bankAndProgram0" + std::to_string(part + 1)
                                                : tab < l.firstPage || tab > l.lastPage);
            IRECT all(0, 0, s.surface->Width(), s.surface->Height()), dirty;
            s.surface->IsDirty(&dirty);
            ASSERT_TRUE(s.surface->Draw(&all));
            const std::string file = "layout-page" + std::to_string(tab) + "-" + std::to_string(std::lround(scale * 100)) + ".png";
            EXPECT_TRUE(s.surface->WriteScreenshot(file)) << file;
        }
    }
}

} // namespace
