// The services under the configuration reader: the log, data-folder paths, the parameter
// registry, SysEx templates and value lists, the text functions, the cipher and the clock.
#include "Project_Source/src/DataFolder.h"
#include "Project_Source/src/ParamTable.h"
#include "Project_Source/src/clock_gettime_stub.h"
#include "Project_Source/src/debugger.h"
#include "config_test_support.h"
#include "support/tempdir.h"
#include "support/testpaths.h"

#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <regex>
#include <tuple>
#include <unistd.h>

using namespace configtest;

namespace {
// Logs each text in turn; gives what was echoed.
std::string logAll(const std::string& path, const std::vector<std::string>& texts)
{
    testing::internal::CaptureStdout();
    for (const std::string& t : texts) DebuggerOutput::printDebugInfo(path, t);
    return testing::internal::GetCapturedStdout();
}

// Each line is the local time "YYYY-MM-DD.HH:MM:SS", a tab, a blank and the text; a line feed
// breaks the line unescaped; a text ends at its first zero. A deleted log is made again; an
// unopenable path writes and echoes nothing.
TEST(LogLine, EachTextIsAppendedAsAStampedLineUpToAZeroCharacter)
{
    const std::string stamp = "\\d{4}-\\d\\d-\\d\\d\\.\\d\\d:\\d\\d:\\d\\d\t ";
    const struct {
        std::string text, file; // file: a regular expression
        const char* echo;
    } cases[] = {{"one\ntwo", stamp + "one\ntwo\n", "Build LOG: \t one\ntwo\n"},
                 {std::string("abc\0def", 7), stamp + "abc\n", "Build LOG: \t abc\n"},
                 {"", stamp + "\n", "Build LOG: \t \n"}};
    TempDir dir;
    for (const auto& c : cases) {
        std::remove(dir.file("log.txt").c_str());
        EXPECT_EQ(logAll(dir.file("log.txt"), {c.text}), c.echo);
        EXPECT_TRUE(std::regex_match(readText(dir.file("log.txt")), std::regex(c.file))) << c.echo;
    }
    EXPECT_EQ(logAll(dir.file("no-such-folder/log.txt"), {"lost"}), "");
    EXPECT_NE(::access(dir.file("no-such-folder/log.txt").c_str(), F_OK), 0);
}

// No file, or a folder of the log file's name: no log. A file: emptied, then logged into.
TEST(LogSwitch, TheManagerLogsOnlyWhenARegularLogFileExistedAtStartUpAndEmptiesIt)
{
    TempDir dir;
    const std::string path = dir.file("QOR Editor LOG.txt");
    for (int state : {0, 1, 2}) {
        if (state == 1) ::mkdir(path.c_str(), 0755);
        if (state == 2) ::rmdir(path.c_str()), writeFile(path, "left over\n");
        UIConfigManager manager;
        testing::internal::CaptureStdout();
        const bool on = DebuggerOutput::openDebugFile(path);
        manager.setLogging(on, path);
        manager.initParams();
        manager.getParamByName("kNoSuchParameter");
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(on, state == 2);
        EXPECT_EQ(::access(path.c_str(), F_OK) == 0, state > 0);
    }
    EXPECT_EQ(logTextsOf(path), (std::vector<std::string>{"CONFIG READER: Started to initialize parameters...",
                                                         "CONFIG READER: Completed!",
                                                         "CONFIG READER: parameter kNoSuchParameter NOT FOUND!"}));
}

TEST(DataFolderPaths, TheEnvironmentReplacesTheCompiledInFolderAndAMissingSlashIsAdded)
{
    const std::pair<const char*, std::string> cases[] = {
        {nullptr, "/Library/Audio/Presets/Tessmoor Audio/Brixtane QOR Editor/"}, {"/tmp/qor-data", "/tmp/qor-data/"}};
    for (const auto& [env, folder] : cases) {
        env ? ::setenv("QOR_DATA_FOLDER", env, 1) : ::unsetenv("QOR_DATA_FOLDER");
        EXPECT_EQ(DataFolder::getPatchesFolderStr() + std::to_string(DataFolder::getPatchesFolderLength()),
                  folder + "Patches" + std::to_string(folder.size() + 7));
        EXPECT_EQ(DataFolder::logFilePath() + "|" + DataFolder::uiFilePath(),
                  folder + "QOR Editor LOG.txt|" + folder + "QOR Editor UI.txt");
    }
    ::unsetenv("QOR_DATA_FOLDER");
}

TEST(Registry, NamesAnswerTheirIdsCaseExactlyAndUnknownOrRepeatedNamesAreLogged)
{
    ConfigFolder<UIConfigManager> f;
    testing::internal::CaptureStdout();
    f.manager.initParams();
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(f.manager.paramIds.size(), kParamTableSize);
    for (size_t i = 0; i < kParamTableSize; ++i)
        EXPECT_EQ(f.manager.getParamByName(kParamTable[i].name), kParamTable[i].id) << kParamTable[i].name;
    EXPECT_EQ(f.manager.getParamByName("kfiltercutoff"), -1);
    f.manager.mapParamToString("kFilterCutoff", 7);
    EXPECT_EQ(f.manager.getParamByName("kFilterCutoff"), 1504);
    const auto texts = f.logTexts();
    EXPECT_EQ(std::vector<std::string>(texts.begin() + 2, texts.end()),
              (std::vector<std::string>{"CONFIG READER: parameter kfiltercutoff NOT FOUND!",
                                        "CONFIG READER: parameter kFilterCutoff ALREADY EXISTS!"}));
    // A per-part parameter owns eight consecutive ids, part one first; 5123 is single and last.
    const std::tuple<const char*, int, int> parts[] = {{"kFilterCutoff", 7, 1511}, {"kFilterCutoff", 8, -1},
                                                       {"kFilterCutoff", -1, -1},  {"kDebugParts", 0, 5123},
                                                       {"kDebugParts", 7, -1},     {"kNoSuchParameter", 0, -1}};
    for (auto [name, part, id] : parts) EXPECT_EQ(f.manager.getPartParamByName(name, part), id) << name << " " << part;
    // Every id has one owner but the unnamed blocks; the two count names own none.
    std::vector<int> owners(kParameterCount, 0);
    for (size_t i = 0; i < kParamTableSize; ++i)
        for (int p = 0; p < kParamTable[i].parts && std::strncmp(kParamTable[i].name, "kNum", 4) != 0; ++p)
            ++owners.at(size_t(kParamTable[i].id + p));
    for (int id = 0; id < kParameterCount; ++id) {
        const bool unnamed = (id >= 2649 && id <= 4184) || (id >= 4896 && id <= 4903) || id == 5013 || id == 5017 ||
                             id == 5041 || id == 5042;
        EXPECT_EQ(owners[size_t(id)], unnamed ? 0 : 1) << "id " << id;
    }
}

using Lists = std::vector<Values>;

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
        ConfigFolder<UIConfigManager> d;
        writeFile(d.dir.file("sysex.tea"), encipher(std::string("<sysexlist>") + c.entries + "</sysexlist>"));
        d.manager.readSysexValues();
        ASSERT_EQ(d.manager.sysexContainers.size(), c.count);
        const SysExContainer& e = d.manager.sysexContainers[0];
        EXPECT_EQ(e.values, c.values);
        EXPECT_EQ(e.multiValues, c.multi);
        EXPECT_EQ(e.isMulti, c.isMulti);
    }
}

// Tokens are appended; any delimiter splits and runs make no empty token. Each blank-separated
// token is one hexadecimal value read to its first non-digit: no range check, a prefix accepted,
// no number or one too large for an int gives zero; a tab is no delimiter.
TEST(TextFunctions, TokenizeAndHexConversionSplitAsTheReaderNeeds)
{
    std::vector<std::string> tokens = {"kept"};
    UIConfigManager::Tokenize("  ", tokens, " ");
    UIConfigManager::Tokenize("k1,,k2+3,", tokens, ",+");
    EXPECT_EQ(tokens, (std::vector<std::string>{"kept", "k1", "k2", "3"}));
    const std::pair<const char*, std::vector<int>> cases[] = {
        {"F0 1FF f0", {240, 511, 240}}, {"0x7f zz 10", {127, 0, 16}}, {"7Fq 1g", {127, 1}},
        {"F0\t01 F7", {240, 247}},     {"   ", {}},                  {"FFFFFFFFFF 01", {0, 1}},
    };
    for (const auto& [text, values] : cases) EXPECT_EQ(UIConfigManager::convertStringSysextoVector(text), values) << text;
}

// The published result for a zero key and block, bytes most significant first; a framed buffer
// round-trips, and a damaged trailer never claims more than the data.
TEST(Tea, ThePublishedVectorHoldsAndAFramedBufferRoundTrips)
{
    unsigned int zeroKey[4] = {0, 0, 0, 0}, v[2] = {0, 0};
    Tea().encryptTea(v, zeroKey);
    EXPECT_EQ(std::vector<unsigned>({v[0], v[1]}), std::vector<unsigned>({0x41EA3A0Au, 0x94BAA940u}));
    unsigned char block[8] = {0};
    Tea().simpleencrypt(block, zeroKey);
    EXPECT_EQ(std::vector<unsigned char>(block, block + 8), (std::vector<unsigned char>{0x41, 0xEA, 0x3A, 0x0A, 0x94, 0xBA, 0xA9, 0x40}));
    unsigned int key[4] = {0x01234567, 0x89ABCDEF, 0xFEDCBA98, 0x76543210};
    Tea tea;
    for (unsigned int len : {0u, 7u, 8u, 13u}) {
        std::vector<unsigned char> data(len + 16, 0xEE);
        for (unsigned int i = 0; i < len; ++i) data[i] = static_cast<unsigned char>(i * 7 + 1);
        const std::vector<unsigned char> original(data.begin(), data.begin() + len);
        unsigned int length = len;
        EXPECT_EQ(tea.encryptBlock(data.data(), &length, key), (len + 7) / 8 + 1);
        EXPECT_EQ(length, (len + 7) / 8 * 8 + 8);
        EXPECT_EQ(tea.decryptBlock(data.data(), &length, key), len);
        EXPECT_EQ(length, len);
        EXPECT_TRUE(std::equal(original.begin(), original.end(), data.begin()));
    }
    unsigned char noise[16];
    for (int i = 0; i < 16; ++i) noise[i] = static_cast<unsigned char>(0xA5 ^ i);
    unsigned int length = 16, zero = 0;
    EXPECT_LE(tea.decryptBlock(noise, &length, key), 8u);
    EXPECT_EQ(tea.decryptBlock(noise, &zero, key), 0u);
}

// The build's encipherer writes what the reader deciphers and refuses a text holding a zero byte
// (the reader would stop there).
TEST(TeaTool, EnciphersAsTheReaderExpectsAndRefusesAZeroByte)
{
    testsupport::TempDir d;
    const std::string tool = testsupport::binaryDir() + "/tools/tea-encipher/tea-encipher";
    const std::string xml = "<values><list name=\"a\">1 2</list></values>";
    testsupport::writeFile(d.file("in.xml"), xml);
    testsupport::writeFile(d.file("zero.xml"), std::string("<a>\0</a>", 8));
    const auto run = [&](const char* in) {
        return std::system((tool + " " + d.file(in) + " " + d.file("out.tea") + " 2>/dev/null").c_str());
    };
    EXPECT_EQ(run("in.xml"), 0);
    EXPECT_EQ(testsupport::readText(d.file("out.tea")), encipher(xml));
    std::remove(d.file("out.tea").c_str());
    EXPECT_NE(run("zero.xml"), 0);
    EXPECT_TRUE(testsupport::readFile(d.file("out.tea")).empty());
}

// Ids 0 and 1 match the library's clocks, 2 and 3 are call times under a second; others fail.
TEST(ClockGettimeReplacement, ClocksMatchTheLibraryCallTimesAreSmallAndOtherIdsFail)
{
    const std::tuple<int, int, clockid_t> cases[] = {{0, 0, CLOCK_REALTIME}, {1, 0, CLOCK_MONOTONIC}, {3, 0, -1}, {4, -1, 0}, {-1, -1, 0}};
    for (auto [id, result, library] : cases) {
        timespec ours{}, lib{};
        errno = 0;
        ASSERT_EQ(qor_clock_gettime(id, &ours), result) << id;
        if (result) {
            EXPECT_EQ(errno, 22);
            continue;
        }
        if (library >= 0) clock_gettime(library, &lib);
        EXPECT_LE(std::labs(long(ours.tv_sec - lib.tv_sec)), library >= 0 ? 1 : 0) << id;
        EXPECT_TRUE(ours.tv_nsec >= 0 && ours.tv_nsec < 1000000000) << id;
    }
}

} // namespace
