// SysEx templates and value lists read from their documents, and the two text functions.
#include "Project_Source/src/UIConfigManager.h"
#include "config_test_support.h"

#include <gtest/gtest.h>
#include <tinyxml2.h>

using namespace configtest;

namespace {

using Lists = std::vector<Values>;

struct SysexDocument : ConfigFolder<UIConfigManager> {
    explicit SysexDocument(const char* xml)
    {
        if (xml) writeFile(dir.file("sysex.tea"), encipher(xml));
        testing::internal::CaptureStdout();
        manager.readSysexValues();
        testing::internal::GetCapturedStdout();
    }
};

// Plain lists skip empty texts but an element without text is a blank; multi lists hold one
// list per multivalue; any element after the first entry counts as an entry.
TEST(SysexTemplates, EachEntryKeepsItsPlainAndMultiListsAsWritten)
{
    const struct {
        const char* entries;
        size_t count;
        Lists values;          // of the first entry
        std::vector<Lists> multi;
        bool isMulti;
    } cases[] = {
        {"<sysex><values><value>F0 00 01 F7</value></values></sysex>", 1, {{"F0 00 01 F7"}}, {}, false},
        {"<sysex><values><value/><value>A</value><value> F0\t7F </value></values></sysex>", 1,
         {{" ", "A", " F0\t7F "}}, {}, false},
        {"<sysex><values></values></sysex>", 1, {}, {{}}, true},
        {"<sysex><values><value>F0 01 F7</value></values><values><multivalue><value>1</value><value/></multivalue>"
         "<multivalue><value>2</value></multivalue></values></sysex>",
         1, {{"F0 01 F7"}}, {{{"1", " "}, {"2"}}}, true},
        {"<!-- c --><sysex><values><value>F0 F7</value></values></sysex><other/>text<sysex/>", 3, {{"F0 F7"}}, {}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entries);
        SysexDocument d((std::string("<sysexlist>") + c.entries + "</sysexlist>").c_str());
        ASSERT_EQ(d.manager.sysexContainers.size(), c.count);
        const SysExContainer& e = d.manager.sysexContainers[0];
        EXPECT_EQ(e.values, c.values);
        EXPECT_EQ(e.multiValues, c.multi);
        EXPECT_EQ(e.isMulti, c.isMulti);
    }
}

TEST(SysexTemplates, AMissingDocumentOrOneWithoutItsRootLeavesNoTemplatesAndSaysSo)
{
    const struct {
        const char* xml;
        const char* line;
    } cases[] = {
        {nullptr, "CONFIG READER: Configuration file resources/sysex.tea MISSING!"},
        {"<notsysex><sysex><values><value>F0 F7</value></values></sysex></notsysex>",
         "CONFIG READER: Configuration file resources/sysex.tea has no sysexlist element!"},
    };
    for (const auto& c : cases) {
        SysexDocument d(c.xml);
        EXPECT_TRUE(d.manager.sysexContainers.empty());
        EXPECT_FALSE(d.manager.getSysexTemplate(0, nullptr));
        EXPECT_EQ(d.logTexts().at(1), c.line);
    }
}

// A later list of a name replaces the earlier one; other elements and nameless lists are
// skipped; a value without text is empty; without valueLists or the root nothing is read.
TEST(ValueLists, EachNamedListHoldsItsValueTextsInOrder)
{
    using Map = std::map<std::string, std::vector<std::string>>;
    const struct {
        const char* xml;
        Map lists;
    } cases[] = {
        {"<uiconfig><valueLists><list name=\"dataType\"><value>Program</value><value>Performance</value></list>"
         "<list name=\"x\"><value>1</value></list></valueLists></uiconfig>",
         {{"dataType", {"Program", "Performance"}}, {"x", {"1"}}}},
        {"<uiconfig><valueLists><list name=\"a\"><value>1</value></list>"
         "<list name=\"a\"><value>2</value><value>3</value></list></valueLists></uiconfig>",
         {{"a", {"2", "3"}}}},
        {"<uiconfig><valueLists><!-- note -->text<other name=\"o\"><value>1</value></other>"
         "<list><value>lost</value></list><list name=\"b\"><value/><skip>no</skip><value>B</value></list>"
         "<list name=\"empty\"/></valueLists></uiconfig>",
         {{"b", {"", "B"}}, {"empty", {}}}},
        {"<uiconfig><layer/></uiconfig>", {}},
        {"<other><valueLists><list name=\"a\"><value>1</value></list></valueLists></other>", {}},
    };
    for (const auto& c : cases) {
        UIConfigManager manager;
        tinyxml2::XMLDocument document(true, tinyxml2::PRESERVE_WHITESPACE);
        document.Parse(c.xml);
        manager.readReasources(&document);
        EXPECT_EQ(Map(manager.valueLists.begin(), manager.valueLists.end()), c.lists) << c.xml;
    }
    UIConfigManager manager;
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
        {"  a  b ", " ", {"a", "b"}}, {"", " ", {}}, {"    ", " ", {}},
        {"k1,,k2+3,", ",+", {"k1", "k2", "3"}}, {"single", ",", {"single"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> tokens = {"kept"};
        UIConfigManager::Tokenize(c.text, tokens, c.delimiters);
        std::vector<std::string> expected = {"kept"};
        expected.insert(expected.end(), c.tokens.begin(), c.tokens.end());
        EXPECT_EQ(tokens, expected) << c.text;
    }
}

// No range is checked, a prefix is accepted, a token is read to its first non-digit, and a token
// that is no number or too large for an int gives zero. A tab is no delimiter.
TEST(HexConversion, EachBlankSeparatedTokenIsOneHexadecimalValue)
{
    const std::pair<const char*, std::vector<int>> cases[] = {
        {"F0 01 7F F7", {240, 1, 127, 247}}, {"F0 1FF", {240, 511}}, {"f0 7e", {240, 126}},
        {"0x7f zz 10", {127, 0, 16}},        {"G1 - 0X10", {0, 0, 16}}, {"7Fq 1g", {127, 1}},
        {"F0\t01 F7", {240, 247}},           {"", {}},                  {"   ", {}},
        {"FFFFFFFFFF 01", {0, 1}},
    };
    for (const auto& [text, values] : cases) EXPECT_EQ(UIConfigManager::convertStringSysextoVector(text), values) << text;
}

} // namespace
