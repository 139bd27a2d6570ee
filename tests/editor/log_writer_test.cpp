// The diagnostic log: line format, the start-up switch, and the data-folder paths.
#include "Project_Source/src/DataFolder.h"
#include "Project_Source/src/UIConfigManager.h"
#include "Project_Source/src/debugger.h"
#include "config_test_support.h"

#include <gtest/gtest.h>

#include <regex>
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

// Each line is the local time "YYYY-MM-DD.HH:MM:SS", a tab, a blank and the text; texts are
// appended in call order; a line feed breaks the line unescaped; a text ends at its first zero.
TEST(LogLine, EachTextIsAppendedAsAStampedLineUpToAZeroCharacter)
{
    const std::string stamp = "\\d{4}-\\d\\d-\\d\\d\\.\\d\\d:\\d\\d:\\d\\d\t ";
    const struct {
        std::vector<std::string> texts;
        std::string file; // a regular expression
        const char* echo;
    } cases[] = {
        {{"CONFIG READER: Completed!"}, stamp + "CONFIG READER: Completed!\n", "Build LOG: \t CONFIG READER: Completed!\n"},
        {{"first", "second"}, stamp + "first\n" + stamp + "second\n", "Build LOG: \t first\nBuild LOG: \t second\n"},
        {{"one\ntwo"}, stamp + "one\ntwo\n", "Build LOG: \t one\ntwo\n"},
        {{std::string("abc\0def", 7)}, stamp + "abc\n", "Build LOG: \t abc\n"},
        {{""}, stamp + "\n", "Build LOG: \t \n"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        EXPECT_EQ(logAll(dir.file("log.txt"), c.texts), c.echo);
        const std::string file = readText(dir.file("log.txt"));
        EXPECT_TRUE(std::regex_match(file, std::regex(c.file))) << file;
    }
}

TEST(LogLine, ADeletedLogIsCreatedAgainAndAnUnopenablePathWritesAndEchoesNothing)
{
    TempDir dir;
    logAll(dir.file("log.txt"), {"before"});
    std::remove(dir.file("log.txt").c_str());
    logAll(dir.file("log.txt"), {"after"});
    EXPECT_EQ(logTextsOf(dir.file("log.txt")), std::vector<std::string>{"after"});
    EXPECT_EQ(logAll(dir.file("no-such-folder/log.txt"), {"lost"}), "");
    EXPECT_NE(::access(dir.file("no-such-folder/log.txt").c_str(), F_OK), 0);
}

TEST(LogSwitch, TheManagerLogsOnlyWhenARegularLogFileExistedAtStartUpAndEmptiesIt)
{
    TempDir dir;
    const std::string path = dir.file("QOR Editor LOG.txt");
    auto start = [&](UIConfigManager& manager) {
        testing::internal::CaptureStdout();
        const bool on = DebuggerOutput::openDebugFile(path);
        manager.setLogging(on, path);
        manager.initParams();
        manager.getParamByName("kNoSuchParameter");
        testing::internal::GetCapturedStdout();
        return on;
    };
    UIConfigManager off;
    EXPECT_FALSE(start(off));
    EXPECT_NE(::access(path.c_str(), F_OK), 0) << "no log file is made";

    ::mkdir(path.c_str(), 0755); // a folder of the log file's name is no log file
    UIConfigManager folder;
    EXPECT_FALSE(start(folder));
    ::rmdir(path.c_str());

    writeFile(path, "left over\n");
    UIConfigManager on;
    EXPECT_TRUE(start(on));
    EXPECT_EQ(logTextsOf(path), (std::vector<std::string>{"CONFIG READER: Started to initialize parameters...",
                                                         "CONFIG READER: Completed!",
                                                         "CONFIG READER: parameter kNoSuchParameter NOT FOUND!"}));
}

TEST(DataFolderPaths, TheEnvironmentReplacesTheCompiledInFolderAndAMissingSlashIsAdded)
{
    const std::string mac = "/Library/Audio/Presets/Tessmoor Audio/Brixtane QOR Editor/";
    const struct {
        const char* env;
        std::string folder;
    } cases[] = {{nullptr, mac}, {"/tmp/qor-data", "/tmp/qor-data/"}, {"/tmp/qor-data/", "/tmp/qor-data/"}};
    for (const auto& c : cases) {
        if (c.env) ::setenv("QOR_DATA_FOLDER", c.env, 1);
        else ::unsetenv("QOR_DATA_FOLDER");
        EXPECT_EQ(DataFolder::getDataFolder(), c.folder);
        EXPECT_EQ(DataFolder::getPatchesFolderStr(), c.folder + "Patches");
        EXPECT_EQ(DataFolder::getPatchesFolderLength(), static_cast<int>(c.folder.size() + 7));
        EXPECT_EQ(DataFolder::logFilePath(), c.folder + "QOR Editor LOG.txt");
        EXPECT_EQ(DataFolder::uiFilePath(), c.folder + "QOR Editor UI.txt");
    }
    ::unsetenv("QOR_DATA_FOLDER");
}

} // namespace
