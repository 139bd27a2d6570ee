// The bundle's configuration, made from the project's chart, read on the test plug-in and
// surface: nothing is missing or skipped, every row builds its action for every part with the
// chart's numbers, keys, link and messages, and the value lists arrive whole.
#include "config_test_support.h"
#include "support/testpaths.h"
#include "tools/qor-make-config/chart.h"

#include <gtest/gtest.h>

#include <fstream>

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
    // A menu without a list leaves an empty entry under the empty name; the named lists are the 39.
    EXPECT_EQ(m.valueLists.size() - m.valueLists.count(""), 39u);
    for (const auto& list : chart.lists) EXPECT_EQ(m.valueLists[list.first], list.second) << list.first;
    m.ClearImageCache();
}

} // namespace
