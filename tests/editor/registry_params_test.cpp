// The parameter registry: names to ids, the per-part rule, the unnamed blocks.
#include "Project_Source/src/ParamTable.h"
#include "Project_Source/src/UIConfigManager.h"
#include "Project_Source/src/debugger.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <tuple>

using testsupport::TempDir;

namespace {

// A manager logging into a file of a temporary folder; the registry needs no editor surface.
struct LoggingManager {
    LoggingManager() { testsupport::writeFile(logPath, ""), manager.setLogging(true, logPath); }
    std::vector<std::string> logTexts() const
    {
        std::vector<std::string> texts;
        std::istringstream in(testsupport::readText(logPath));
        for (std::string line; std::getline(in, line);) texts.push_back(line.substr(line.find("\t ") + 2));
        return texts;
    }
    TempDir dir;
    std::string logPath = dir.file("log.txt");
    UIConfigManager manager;
};

TEST(Registry, NamesAnswerTheirIdsCaseExactlyAndUnknownOrRepeatedNamesAreLogged)
{
    LoggingManager f;
    testing::internal::CaptureStdout();
    f.manager.initParams();
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(f.manager.paramIds.size(), kParamTableSize);
    for (size_t i = 0; i < kParamTableSize; ++i)
        EXPECT_EQ(f.manager.getParamByName(kParamTable[i].name), kParamTable[i].id) << kParamTable[i].name;
    for (const char* name : {"kfiltercutoff", "KFilterCutoff", ""}) EXPECT_EQ(f.manager.getParamByName(name), -1);
    f.manager.mapParamToString("kFilterCutoff", 7);
    EXPECT_EQ(f.manager.getParamByName("kFilterCutoff"), 1504);
    const auto texts = f.logTexts();
    EXPECT_EQ(std::vector<std::string>(texts.begin() + 2, texts.end()),
              (std::vector<std::string>{"CONFIG READER: parameter kfiltercutoff NOT FOUND!",
                                        "CONFIG READER: parameter KFilterCutoff NOT FOUND!",
                                        "CONFIG READER: parameter  NOT FOUND!",
                                        "CONFIG READER: parameter kFilterCutoff ALREADY EXISTS!"}));
    // A per-part parameter owns eight consecutive ids, part one first; 5123 is single and last.
    const std::tuple<const char*, int, int> parts[] = {
        {"kFilterCutoff", 0, 1504}, {"kFilterCutoff", 7, 1511},   {"kFilterCutoff", 8, -1},
        {"kFilterCutoff", -1, -1},  {"kPatchName", 7, 4356},       {"kPatternName", 7, 4912},
        {"kDebugParts", 0, 5123},   {"kDebugParts", 7, -1},        {"kGlobalMidiChannel", 1, -1},
        {"kNoSuchParameter", 0, -1}};
    for (auto [name, part, id] : parts) EXPECT_EQ(f.manager.getPartParamByName(name, part), id) << name << " " << part;
}

TEST(RegistryTable, TheNamesCoverEveryIdOnceExceptTheUnnamedBlocks)
{
    std::vector<int> owners(kParameterCount, 0);
    std::set<std::string> names;
    for (size_t i = 0; i < kParamTableSize; ++i) {
        const ParamTableRow& row = kParamTable[i];
        EXPECT_TRUE(names.insert(row.name).second) << "twice: " << row.name;
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
