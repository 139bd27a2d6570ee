// The diagnostic log: line format, the start-up switch, and the data-folder paths.
#include "Project_Source/src/DataFolder.h"
#include "Project_Source/src/UIConfigManager.h"
#include "Project_Source/src/debugger.h"
#include "config_test_support.h"

#include <gtest/gtest.h>

#include <cctype>

using namespace configtest;

namespace {

// "YYYY-MM-DD.HH:MM:SS", a tab and a blank: the stamp of the C locale.
bool isStamped(const std::string& line)
{
    const std::string shape = "dddd-dd-dd.dd:dd:dd\t ";
    if (line.size() < shape.size()) return false;
    for (size_t i = 0; i < shape.size(); ++i) {
        if (shape[i] == 'd' ? !std::isdigit(static_cast<unsigned char>(line[i])) : line[i] != shape[i]) return false;
    }
    return true;
}

bool exists(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

// Logs each text to path in turn; gives what was echoed.
std::string logAll(const std::string& path, const std::vector<std::string>& texts)
{
    testing::internal::CaptureStdout();
    for (const std::string& t : texts) DebuggerOutput::printDebugInfo(path, t);
    return testing::internal::GetCapturedStdout();
}

TEST(LogLine, ALineIsTheLocalTimeATabABlankAndTheText)
{
    std::string path = makeTempDir() + "/QOR Editor LOG.txt";
    EXPECT_EQ(logAll(path, {"CONFIG READER: Completed!"}), "Build LOG: \t CONFIG READER: Completed!\n");
    auto lines = readLines(path);
    ASSERT_EQ(lines.size(), 1u);
    ASSERT_TRUE(isStamped(lines[0])) << lines[0];
    EXPECT_EQ(lines[0].substr(21), "CONFIG READER: Completed!");
}

// Lines are appended in call order; a line feed in a text breaks the line unescaped; a text ends
// at its first zero character; an empty text gives the stamp, a tab and a blank.
TEST(LogLine, TextsAreAppendedInCallOrderAsWrittenUpToAZeroCharacter)
{
    const struct {
        std::vector<std::string> texts;
        std::vector<std::string> lines; // after the stamp of the first
        const char* echo;
    } cases[] = {
        {{"first", "second"}, {"first", "second"}, nullptr},
        {{"one\ntwo"}, {"one", "two"}, nullptr},
        {{std::string("abc\0def", 7)}, {"abc"}, "Build LOG: \t abc\n"},
        {{""}, {""}, "Build LOG: \t \n"},
    };
    for (const auto& c : cases) {
        std::string path = makeTempDir() + "/log.txt";
        std::string echo = logAll(path, c.texts);
        if (c.echo) {
            EXPECT_EQ(echo, c.echo);
        }
        auto lines = readLines(path);
        ASSERT_EQ(lines.size(), c.lines.size()) << c.lines[0];
        for (size_t i = 0; i < lines.size(); ++i) {
            bool continued = i > 0 && c.texts.size() == 1;
            EXPECT_EQ(continued ? lines[i] : logText(lines[i]), c.lines[i]);
            if (!continued) {
                EXPECT_TRUE(isStamped(lines[i])) << lines[i];
            }
        }
    }
    // The empty text's line ends in a tab and a blank.
    std::string path = makeTempDir() + "/log.txt";
    logAll(path, {""});
    std::string bytes = readBytes(path);
    ASSERT_GE(bytes.size(), 3u);
    EXPECT_EQ(bytes.substr(bytes.size() - 3), "\t \n");
}

TEST(LogLine, ALogFileDeletedWhileRunningIsCreatedAgain)
{
    std::string path = makeTempDir() + "/log.txt";
    logAll(path, {"before"});
    std::remove(path.c_str());
    logAll(path, {"after"});
    auto lines = readLines(path);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(logText(lines[0]), "after");
}

TEST(LogLine, APathThatCannotBeOpenedWritesAndEchoesNothing)
{
    std::string path = makeTempDir() + "/no-such-folder/log.txt";
    EXPECT_EQ(logAll(path, {"lost"}), "");
    EXPECT_FALSE(exists(path));
}

TEST(LogSwitch, AFolderOfTheLogFileNameDoesNotTurnLoggingOn)
{
    std::string path = makeTempDir() + "/QOR Editor LOG.txt";
    ::mkdir(path.c_str(), 0755);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(DebuggerOutput::openDebugFile(path));
    testing::internal::GetCapturedStdout();
}

TEST(LogSwitch, TheManagerWritesLinesOnlyWhenTheLogFileExistedAtStartUp)
{
    std::string folder = makeTempDir();
    std::string path = folder + "/QOR Editor LOG.txt";

    // Without a log file logging stays off, and none is made.
    testing::internal::CaptureStdout();
    const bool started = DebuggerOutput::openDebugFile(path);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Unable to open file");
    EXPECT_FALSE(started);
    testing::internal::CaptureStdout();
    UIConfigManager off;
    off.setLogging(started, path);
    off.initParams();
    off.mapParamToString("kFilterCutoff", 1);
    off.getParamByName("kNoSuchParameter");
    EXPECT_FALSE(exists(path));

    // A log file left from an earlier run turns logging on and is emptied.
    writeBytes(path, "left over\n");
    UIConfigManager on;
    on.setLogging(DebuggerOutput::openDebugFile(path), path);
    on.initParams();
    testing::internal::GetCapturedStdout();
    auto lines = readLines(path);
    ASSERT_EQ(lines.size(), 2u);
    for (const auto& l : lines) EXPECT_TRUE(isStamped(l)) << l;
    EXPECT_EQ(logText(lines[0]), "CONFIG READER: Started to initialize parameters...");
    EXPECT_EQ(logText(lines[1]), "CONFIG READER: Completed!");
}

class DataFolderPaths : public ::testing::Test {
protected:
    void TearDown() override { ::unsetenv("QOR_DATA_FOLDER"); }
};

TEST_F(DataFolderPaths, TheCompiledInFolderIsThePresetsFolderWithATrailingSlash)
{
    ::unsetenv("QOR_DATA_FOLDER");
    EXPECT_EQ(DataFolder::getDataFolder(), "/Library/Audio/Presets/Tessmoor Audio/Brixtane QOR Editor/");
    EXPECT_EQ(DataFolder::getPatchesFolderStr(), "/Library/Audio/Presets/Tessmoor Audio/Brixtane QOR Editor/Patches");
    EXPECT_EQ(DataFolder::logFilePath(), "/Library/Audio/Presets/Tessmoor Audio/Brixtane QOR Editor/QOR Editor LOG.txt");
    EXPECT_EQ(DataFolder::uiFilePath(), "/Library/Audio/Presets/Tessmoor Audio/Brixtane QOR Editor/QOR Editor UI.txt");
}

TEST_F(DataFolderPaths, TheEnvironmentReplacesTheFolderAndAMissingSlashIsAdded)
{
    ::setenv("QOR_DATA_FOLDER", "/tmp/qor-data", 1);
    EXPECT_EQ(DataFolder::getDataFolder(), "/tmp/qor-data/");
    EXPECT_EQ(DataFolder::getPatchesFolderStr(), "/tmp/qor-data/Patches");
    EXPECT_EQ(DataFolder::logFilePath(), "/tmp/qor-data/QOR Editor LOG.txt");
    ::setenv("QOR_DATA_FOLDER", "/tmp/qor-data/", 1);
    EXPECT_EQ(DataFolder::getDataFolder(), "/tmp/qor-data/");
}

TEST_F(DataFolderPaths, TheLibraryRootLengthIsTheByteLengthOfItsPath)
{
    ::unsetenv("QOR_DATA_FOLDER");
    EXPECT_EQ(DataFolder::getPatchesFolderLength(), static_cast<int>(DataFolder::getPatchesFolderStr().size()));
    EXPECT_EQ(DataFolder::getPatchesFolderLength(), 65);
}

} // namespace
