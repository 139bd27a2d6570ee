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

TEST_F(Registry, EveryNameOfTheTableAnswersItsId)
{
    for (size_t i = 0; i < kParamTableSize; ++i)
        EXPECT_EQ(manager.getParamByName(kParamTable[i].name), kParamTable[i].id) << kParamTable[i].name;
    EXPECT_EQ(manager.paramIds.size(), kParamTableSize);
}

TEST_F(Registry, AnUnknownNameAnswersMinusOneAndASecondRegistrationKeepsTheFirstIdBothLogged)
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

TEST_F(Registry, RegisteringTheWholeTableAgainChangesNothingAndLogsEveryName)
{
    auto before = manager.paramIds;
    testing::internal::CaptureStdout();
    manager.initParams();
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(manager.paramIds, before);
    EXPECT_EQ(logTexts().size(), 2u + 2u + kParamTableSize);
}

// 5123 is a single id and the last one.
TEST_F(Registry, APerPartParameterOwnsEightConsecutiveIdsPartOneFirst)
{
    const std::tuple<const char*, int, int> cases[] = {
        {"kFilterCutoff", 0, 1504}, {"kFilterCutoff", 2, 1506}, {"kFilterCutoff", 7, 1511}, {"kFilterCutoff", 8, -1},
        {"kFilterCutoff", -1, -1},  {"kPatchName", 7, 4356},     {"kPatternName", 7, 4912},  {"kDebugParts", 0, 5123},
        {"kDebugParts", 7, -1},     {"kGlobalMidiChannel", 1, -1}, {"kNoSuchParameter", 0, -1}};
    for (auto [name, part, id] : cases) EXPECT_EQ(manager.getPartParamByName(name, part), id) << name << " part " << part;
}

TEST(RegistryTable, TheNamesCoverEveryIdOnceExceptTheUnnamedBlocks)
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

} // namespace
