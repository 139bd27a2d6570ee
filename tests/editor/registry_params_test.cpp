// The parameter registry: names to ids, the per-part rule, the unnamed blocks.
#include "Project_Source/src/ParamTable.h"
#include "Project_Source/src/UIConfigManager.h"
#include "config_test_support.h"

#include <gtest/gtest.h>

#include <set>
#include <tuple>

using namespace configtest;

namespace {

class Registry : public ::testing::Test {
protected:
    void SetUp() override
    {
        logPath = makeTempDir() + "/log.txt";
        writeBytes(logPath, "");
        manager.setLogging(true, logPath);
        testing::internal::CaptureStdout();
        manager.initParams();
        testing::internal::GetCapturedStdout();
    }

    std::vector<std::string> logTexts() { return logTextsOf(logPath); }

    std::string logPath;
    UIConfigManager manager;
};

TEST_F(Registry, every_name_of_the_table_answers_its_id)
{
    for (size_t i = 0; i < kParamTableSize; ++i)
        EXPECT_EQ(manager.getParamByName(kParamTable[i].name), kParamTable[i].id) << kParamTable[i].name;
    EXPECT_EQ(manager.paramIds.size(), kParamTableSize);
}

TEST_F(Registry, ids_the_rest_of_the_editor_addresses_by_number_are_fixed)
{
    const std::pair<const char*, int> fixed[] = {
        {"kOscillator1Pulsewidth", 0}, {"kFilterCutoff", 1504}, {"kArpSpeed", 1800}, {"kFXCMorph", 2200},
        {"kFXMultiDistortionOverdrive", 2209}, {"kArpPatternLength", 2641}, {"kMultiPartBank", 4185},
        {"kMultiPartPatch", 4193}, {"kMultiPartStatus", 4201}, {"kMultiPartMIDICh", 4209},
        {"kGlobalMidiChannel", 4322}, {"kGlobalTempo", 4343}, {"kOverrideTempo", 4344}, {"kBankSelection", 4346},
        {"kPatchSelection", 4347}, {"kMultiName", 4348}, {"kPatchName", 4349}, {"kDeviceID_old", 4525},
        {"kMIDIFilterDAWCCPassThrough", 4855}, {"kMIDIFilterToDAWBuffer", 4871}, {"kAdjustDAWOffset", 4904},
        {"kPatternName", 4905}, {"kUserInterfaceSize", 5014}, {"kDeviceOutSelection", 5018},
        {"kDeviceInSelection", 5019}, {"kFirstRunExit", 5038}, {"kMIDILed", 5046}, {"kRequestFromBank", 5079},
        {"kSendMIDIClockInfo", 5108}, {"kSendMIDIClockPointer", 5109}, {"kMultiSettings", 5110},
        {"kPatchSelectionListUpper", 5114}, {"kPatchSelectionListLower", 5115}, {"kCancelDataRequest", 5116},
        {"kRandomize", 5117}, {"kMainTab", 5118}, {"kCurrentModel", 5119}, {"kQuickTab", 5120},
        {"kLibrarianArea", 5122}, {"kDebugParts", 5123},
    };
    for (const auto& f : fixed) EXPECT_EQ(manager.getParamByName(f.first), f.second) << f.first;
    // The enumeration is made from the same list.
    EXPECT_EQ(kGlobalMidiChannel, 4322);
    EXPECT_EQ(kLibrarianArea, 5122);
}

TEST_F(Registry, the_two_count_names_are_registered_like_parameters)
{
    EXPECT_EQ(manager.getParamByName("kNumAutomatedParams"), 2208);
    EXPECT_EQ(manager.getParamByName("kPatchFileDialog"), 2208);
    // 2916 lies inside the unnamed pattern blocks.
    EXPECT_EQ(manager.getParamByName("kNumNonAutomatedParams"), 2916);
    EXPECT_EQ(kNumAutomatedParams + kNumNonAutomatedParams, kParameterCount);
}

TEST_F(Registry, an_unknown_name_answers_minus_one_and_a_second_registration_keeps_the_first_id_both_logged)
{
    EXPECT_EQ(manager.getParamByName("kfiltercutoff"), -1);
    EXPECT_EQ(manager.getParamByName("KFilterCutoff"), -1);
    EXPECT_EQ(manager.getParamByName(""), -1);
    manager.mapParamToString("kFilterCutoff", 7);
    EXPECT_EQ(manager.getParamByName("kFilterCutoff"), 1504);
    const std::vector<std::string> texts = logTexts();
    ASSERT_GE(texts.size(), 2u);
    const std::vector<std::string> added(texts.begin() + 2, texts.end());
    EXPECT_EQ(added, (std::vector<std::string>{"CONFIG READER: parameter kfiltercutoff NOT FOUND!",
                                               "CONFIG READER: parameter KFilterCutoff NOT FOUND!",
                                               "CONFIG READER: parameter  NOT FOUND!",
                                               "CONFIG READER: parameter kFilterCutoff ALREADY EXISTS!"}));
}

TEST_F(Registry, registering_the_whole_table_again_changes_nothing_and_logs_every_name)
{
    auto before = manager.paramIds;
    testing::internal::CaptureStdout();
    manager.initParams();
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(manager.paramIds, before);
    EXPECT_EQ(logTexts().size(), 2u + 2u + kParamTableSize);
}

// 5123 is a single id and the last one.
TEST_F(Registry, a_per_part_parameter_owns_eight_consecutive_ids_part_one_first)
{
    const std::tuple<const char*, int, int> cases[] = {
        {"kFilterCutoff", 0, 1504}, {"kFilterCutoff", 2, 1506}, {"kFilterCutoff", 7, 1511}, {"kFilterCutoff", 8, -1},
        {"kFilterCutoff", -1, -1},  {"kPatchName", 7, 4356},     {"kPatternName", 7, 4912},  {"kDebugParts", 0, 5123},
        {"kDebugParts", 7, -1},     {"kGlobalMidiChannel", 1, -1}, {"kNoSuchParameter", 0, -1}};
    for (auto [name, part, id] : cases) EXPECT_EQ(manager.getPartParamByName(name, part), id) << name << " part " << part;
}

TEST(RegistryTable, the_names_cover_every_id_once_except_the_unnamed_blocks)
{
    std::vector<int> owners(kParameterCount, 0);
    std::set<std::string> names;
    for (size_t i = 0; i < kParamTableSize; ++i) {
        const ParamTableRow& row = kParamTable[i];
        EXPECT_TRUE(names.insert(row.name).second) << "twice: " << row.name;
        EXPECT_EQ(row.name[0], 'k') << row.name;
        // The count names stand beside parameters rather than owning ids.
        if (std::string(row.name) == "kNumAutomatedParams" || std::string(row.name) == "kNumNonAutomatedParams")
            continue;
        ASSERT_TRUE(row.parts == 1 || row.parts == 8) << row.name;
        for (int p = 0; p < row.parts; ++p) {
            ASSERT_LT(row.id + p, kParameterCount) << row.name;
            ++owners[static_cast<size_t>(row.id + p)];
        }
    }
    auto unnamed = [](int id) {
        return (id >= 2649 && id <= 4184) || (id >= 4896 && id <= 4903) || id == 5013 || id == 5017 || id == 5041 ||
               id == 5042;
    };
    for (int id = 0; id < kParameterCount; ++id)
        EXPECT_EQ(owners[static_cast<size_t>(id)], unnamed(id) ? 0 : 1) << "id " << id;
}

TEST(RegistryTable, the_sound_block_holds_276_per_part_names_and_the_effects_block_55)
{
    int sound = 0, effects = 0;
    for (size_t i = 0; i < kParamTableSize; ++i) {
        const ParamTableRow& row = kParamTable[i];
        if (row.id < 2208) {
            EXPECT_EQ(row.parts, 8) << row.name;
            ++sound;
        } else if (row.id >= 2209 && row.id <= 2648) {
            EXPECT_EQ(row.parts, 8) << row.name;
            ++effects;
        }
    }
    EXPECT_EQ(sound, 276);
    EXPECT_EQ(effects, 55);
}

} // namespace
