// SysEx templates and value lists read from their documents, and the two text functions.
#include "Project_Source/src/UIConfigManager.h"
#include "config_test_support.h"

#include <gtest/gtest.h>
#include <tinyxml2.h>

using namespace configtest;

namespace {

class SysexDocument : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = makeTempDir();
        bundle = std::make_unique<BundleFolder>(folder);
        logPath = folder + "/log.txt";
        writeBytes(logPath, "");
        manager.setLogging(true, logPath);
        manager.graphics = &cache;
    }

    void read(const std::string& xml)
    {
        writeBytes(folder + "/sysex.tea", encipher(xml));
        testing::internal::CaptureStdout();
        manager.readSysexValues();
        testing::internal::GetCapturedStdout();
    }

    std::vector<std::string> logTexts() { return logTextsOf(logPath); }

    std::string folder, logPath;
    std::unique_ptr<BundleFolder> bundle;
    TestBitmapCache cache;
    UIConfigManager manager;
};

TEST_F(SysexDocument, APlainEntryGivesOneListWithItsTextAndConvertsToBytes)
{
    read("<sysexlist><sysex><values><value>F0 00 01 F7</value></values></sysex></sysexlist>");
    ASSERT_EQ(manager.sysexContainers.size(), 1u);
    const SysExContainer& e = manager.sysexContainers[0];
    ASSERT_EQ(e.values.size(), 1u);
    EXPECT_EQ(e.values[0], Values({"F0 00 01 F7"}));
    EXPECT_TRUE(e.multiValues.empty());
    EXPECT_FALSE(e.isMulti);
    std::vector<int> bytes;
    ASSERT_TRUE(manager.getSysexTemplate(0, &bytes));
    EXPECT_EQ(bytes, std::vector<int>({240, 0, 1, 247}));
}

TEST_F(SysexDocument, AnElementWithoutTextIsABlankAndTextsKeepTheirWhiteSpace)
{
    read("<sysexlist><sysex><values><value/><value>A</value><value> F0\t7F </value></values></sysex></sysexlist>");
    ASSERT_EQ(manager.sysexContainers.size(), 1u);
    EXPECT_EQ(manager.sysexContainers[0].values[0], Values({" ", "A", " F0\t7F "}));
}

TEST_F(SysexDocument, AListWithoutValueOrMultivalueChildrenMakesTheEntryMultiAndEmpty)
{
    read("<sysexlist><sysex><values></values></sysex></sysexlist>");
    ASSERT_EQ(manager.sysexContainers.size(), 1u);
    const SysExContainer& e = manager.sysexContainers[0];
    EXPECT_TRUE(e.isMulti);
    ASSERT_EQ(e.multiValues.size(), 1u);
    EXPECT_TRUE(e.multiValues[0].empty());
    EXPECT_TRUE(e.values.empty());
}

TEST_F(SysexDocument, MultiListsHoldOneListPerMultivalueWithEmptyTextsKept)
{
    read("<sysexlist><sysex>"
         "<values><value>F0 01 F7</value></values>"
         "<values><multivalue><value>1</value><value/></multivalue><multivalue><value>2</value></multivalue></values>"
         "</sysex></sysexlist>");
    const SysExContainer& e = manager.sysexContainers.at(0);
    EXPECT_TRUE(e.isMulti);
    ASSERT_EQ(e.values.size(), 1u);
    ASSERT_EQ(e.multiValues.size(), 1u);
    ASSERT_EQ(e.multiValues[0].size(), 2u);
    EXPECT_EQ(e.multiValues[0][0], Values({"1", " "}));
    EXPECT_EQ(e.multiValues[0][1], Values({"2"}));
}

TEST_F(SysexDocument, AnElementOfAnotherNameAfterTheFirstEntryCountsAsAnEntry)
{
    read("<sysexlist><!-- c --><sysex><values><value>F0 01 F7</value></values></sysex>"
         "<other/>text<sysex><values><value>F0 02 F7</value></values></sysex></sysexlist>");
    ASSERT_EQ(manager.sysexContainers.size(), 3u);
    std::vector<int> bytes;
    ASSERT_TRUE(manager.getSysexTemplate(2, &bytes));
    EXPECT_EQ(bytes, std::vector<int>({0xF0, 2, 0xF7}));
}

TEST_F(SysexDocument, AnIndexOutsideTheListIsRefusedWithALogLine)
{
    read("<sysexlist><sysex><values><value>F0 F7</value></values></sysex></sysexlist>");
    std::vector<int> bytes = {9};
    EXPECT_FALSE(manager.getSysexTemplate(1, &bytes));
    EXPECT_FALSE(manager.getSysexTemplate(-1, &bytes));
    EXPECT_EQ(bytes, std::vector<int>({9}));
    auto texts = logTexts();
    ASSERT_EQ(texts.size(), 4u);
    EXPECT_EQ(texts[2], "CONFIG READER: SysEx template 1 does not exist!");
    EXPECT_EQ(texts[3], "CONFIG READER: SysEx template -1 does not exist!");
}

TEST_F(SysexDocument, AnEntryWhoseFirstListIsEmptyOrMissingIsRefusedWithALogLine)
{
    read("<sysexlist>"
         "<sysex><values><value></value></values></sysex>"                       // only an empty text
         "<sysex><values><multivalue><value>1</value></multivalue></values></sysex>" // multi only
         "</sysexlist>");
    ASSERT_EQ(manager.sysexContainers.size(), 2u);
    // An element with an empty text counts as a blank, which is a text.
    EXPECT_TRUE(manager.getSysexTemplate(0, nullptr));
    EXPECT_FALSE(manager.getSysexTemplate(1, nullptr));
    EXPECT_EQ(logTexts().back(), "CONFIG READER: SysEx template 1 has no template text!");
}

TEST_F(SysexDocument, AMissingDocumentOrOneWithoutItsRootLeavesNoTemplatesAndSaysSo)
{
    testing::internal::CaptureStdout();
    manager.readSysexValues();
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(manager.sysexContainers.empty());
    EXPECT_EQ(logTexts(), (std::vector<std::string>{"CONFIG READER: Started to read SysEx Data...",
                                                    "CONFIG READER: Configuration file resources/sysex.tea MISSING!",
                                                    "CONFIG READER: Completed reading SysEx data!"}));
    EXPECT_FALSE(manager.getSysexTemplate(0, nullptr));

    writeBytes(logPath, "");
    read("<notsysex><sysex><values><value>F0 F7</value></values></sysex></notsysex>");
    EXPECT_TRUE(manager.sysexContainers.empty());
    EXPECT_EQ(logTexts().at(1), "CONFIG READER: Configuration file resources/sysex.tea has no sysexlist element!");
}

class ValueLists : public ::testing::Test {
protected:
    void read(const std::string& xml)
    {
        tinyxml2::XMLDocument document(true, tinyxml2::PRESERVE_WHITESPACE);
        document.Parse(xml.c_str());
        manager.readReasources(&document);
    }
    UIConfigManager manager;
};

TEST_F(ValueLists, EachNamedListHoldsItsValueTextsInOrder)
{
    read("<uiconfig><valueLists><list name=\"dataType\"><value>Program</value><value>Performance</value>"
         "<value>Pattern</value></list><list name=\"x\"><value>1</value></list></valueLists></uiconfig>");
    EXPECT_EQ(manager.valueLists["dataType"], std::vector<std::string>({"Program", "Performance", "Pattern"}));
    EXPECT_EQ(manager.valueLists["x"], std::vector<std::string>({"1"}));
    EXPECT_EQ(manager.valueLists.size(), 2u);
}

TEST_F(ValueLists, ALaterListOfTheSameNameReplacesTheEarlierOne)
{
    read("<uiconfig><valueLists><list name=\"a\"><value>1</value></list>"
         "<list name=\"a\"><value>2</value><value>3</value></list></valueLists></uiconfig>");
    EXPECT_EQ(manager.valueLists["a"], std::vector<std::string>({"2", "3"}));
}

TEST_F(ValueLists, OtherElementsAndNamelessListsAreSkippedAndAValueWithoutTextIsEmpty)
{
    read("<uiconfig><valueLists><!-- note -->text<other name=\"o\"><value>1</value></other>"
         "<list><value>lost</value></list>"
         "<list name=\"b\"><value/><skip>no</skip><value>B</value></list>"
         "<list name=\"empty\"/></valueLists></uiconfig>");
    EXPECT_EQ(manager.valueLists.count("o"), 0u);
    EXPECT_EQ(manager.valueLists["b"], std::vector<std::string>({"", "B"}));
    EXPECT_TRUE(manager.valueLists.at("empty").empty());
    EXPECT_EQ(manager.valueLists.size(), 2u);
}

TEST_F(ValueLists, ALayoutWithoutValueListsOrRootLeavesTheMapEmpty)
{
    read("<uiconfig><layer/></uiconfig>");
    EXPECT_TRUE(manager.valueLists.empty());
    read("<other><valueLists><list name=\"a\"><value>1</value></list></valueLists></other>");
    EXPECT_TRUE(manager.valueLists.empty());
    manager.readReasources(nullptr);
    EXPECT_TRUE(manager.valueLists.empty());
}

TEST(Tokenize, TokensAreAppendedAnyDelimiterSplitsAndRunsOfDelimitersMakeNoEmptyToken)
{
    const struct {
        const char* text;
        const char* delimiters;
        std::vector<std::string> tokens; // after "kept"
    } cases[] = {
        {"  a  b ", " ", {"a", "b"}}, {"", " ", {}},         {"    ", " ", {}},
        {"k1,,k2+3,", ",+", {"k1", "k2", "3"}}, {"single", ",", {"single"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::vector<std::string> tokens = {"kept"};
        UIConfigManager::Tokenize(c.text, tokens, c.delimiters);
        std::vector<std::string> expected = {"kept"};
        expected.insert(expected.end(), c.tokens.begin(), c.tokens.end());
        EXPECT_EQ(tokens, expected);
    }
}

// Each blank-separated token is one hexadecimal value; no range is checked, a prefix is accepted,
// reading a token stops at its first non-digit, and a token that is no number or too large for an
// int gives zero. A tab is no delimiter, so only the part before it counts.
TEST(HexConversion, EachBlankSeparatedTokenIsOneHexadecimalValue)
{
    const std::pair<const char*, std::vector<int>> cases[] = {
        {"F0 01 7F F7", {240, 1, 127, 247}},
        {"F0 1FF", {240, 511}},
        {"f0 7e", {240, 126}},
        {"0x7f zz 10", {127, 0, 16}},
        {"G1 - 0X10", {0, 0, 16}},
        {"7Fq 1g", {127, 1}},
        {"F0\t01 F7", {240, 247}},
        {"", {}},
        {"   ", {}},
        {"FFFFFFFFFF 01", {0, 1}},
    };
    for (const auto& [text, values] : cases) EXPECT_EQ(UIConfigManager::convertStringSysextoVector(text), values) << text;
}

} // namespace
