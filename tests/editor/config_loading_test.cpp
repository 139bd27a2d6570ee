// Loading the enciphered configuration: the bundle loader, block decipherment, the order of
// the whole configuration run, files that cannot be used, and the files the build makes.
#include "Project_Source/src/ImageTable.h"
#include "Project_Source/src/UIConfigManager.h"
#include "config_test_support.h"
#include "kit/plugin/IPluginAU.h"
#include "support/testpaths.h"

#include <CoreFoundation/CFBundlePrivate.h>
#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <cstring>

using namespace configtest;

namespace {

const char* kSysexXml = "<sysexlist><sysex><values><value>F0 00 20 29 F7</value></values></sysex></sysexlist>";
const char* kLayoutXml = "<uiconfig><valueLists><list name=\"dataType\"><value>Program</value></list></valueLists>"
                         "<layer name=\"root\"/></uiconfig>";

// Records what is in place when the layout walk starts.
class RecordingManager : public UIConfigManager {
public:
    int walks = 0;
    size_t templatesAtWalk = 0, imagesAtWalk = 0, namesAtWalk = 0;
    std::string firstChildName;

protected:
    void processLayout(tinyxml2::XMLElement* root) override
    {
        ++walks;
        templatesAtWalk = sysexContainers.size();
        imagesAtWalk = images.size();
        namesAtWalk = paramIds.size();
        if (tinyxml2::XMLElement* first = root->FirstChildElement()) firstChildName = first->Name();
    }
};

void runConfig(RecordingManager& manager, IGraphics* loader, double scale = 1.0)
{
    testing::internal::CaptureStdout();
    manager.readUIConfig(loader, nullptr, nullptr, 0, scale);
    manager.ClearImageCache();
    testing::internal::GetCapturedStdout();
}

TEST(ConfigRun, ReadersRunInTheirFixedOrderAndFillEverythingBeforeTheLayoutWalk)
{
    ConfigFolder<RecordingManager> f;
    ::mkdir(f.dir.file("img").c_str(), 0755);
    for (size_t i = 0; i < kImageTableSize; ++i) {
        std::string file = kImageTable[i].file;
        ASSERT_TRUE(writePng(f.dir.file("img/" + file.substr(file.find_last_of('/') + 1)), 4, 4));
    }
    writeFile(f.dir.file("sysex.tea"), encipher(kSysexXml));
    writeFile(f.dir.file("uiconfig.tea"), encipher(kLayoutXml));
    runConfig(f.manager, &f.surface);
    EXPECT_EQ(f.manager.walks, 1);
    EXPECT_EQ(f.manager.templatesAtWalk, 1u);
    EXPECT_EQ(f.manager.imagesAtWalk, 101u);
    EXPECT_GT(f.manager.namesAtWalk, 500u);
    EXPECT_EQ(f.manager.firstChildName, "valueLists");
    EXPECT_EQ(f.manager.valueLists["dataType"], std::vector<std::string>({"Program"}));
    const std::vector<std::string> expected = {
        "CONFIG READER: Started to read SysEx Data...",       "CONFIG READER: Completed reading SysEx data!",
        "CONFIG READER: Started to read image resources...", "CONFIG READER: Completed!",
        "CONFIG READER: Started to initialize parameters...", "CONFIG READER: Completed!",
        // ClearImageCache walks the table again.
        "CONFIG READER: Started to read image resources...", "CONFIG READER: Completed!",
    };
    EXPECT_EQ(f.logTexts(), expected);
}

// Plain text deciphers to noise, so an unenciphered file is one that cannot be parsed.
TEST(ConfigRun, ALayoutFileThatCannotBeUsedIsLoggedAndBuildsNothing)
{
    const struct {
        bool present;
        std::string bytes;
        const char* logPrefix;
    } cases[] = {
        {false, "", "CONFIG READER: Configuration file resources/uiconfig.tea MISSING!"},
        {true, "", "CONFIG READER: Configuration file resources/uiconfig.tea is empty!"},
        {true, encipher("<uiconfig><valueLists><list name=\"a\">"),
         "CONFIG READER: Configuration file resources/uiconfig.tea could not be parsed"},
        {true, kLayoutXml, "CONFIG READER: Configuration file resources/uiconfig.tea could not be parsed"},
        {true, encipher("<layout><valueLists/></layout>"),
         "CONFIG READER: Configuration file resources/uiconfig.tea has no uiconfig element!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.logPrefix);
        ConfigFolder<RecordingManager> f;
        writeFile(f.dir.file("sysex.tea"), encipher(kSysexXml));
        if (c.present) writeFile(f.dir.file("uiconfig.tea"), c.bytes);
        runConfig(f.manager, &f.surface);
        EXPECT_EQ(f.manager.walks, 0);
        EXPECT_TRUE(f.manager.valueLists.empty());
        EXPECT_EQ(f.manager.sysexContainers.size(), 1u);
        bool found = false;
        for (const auto& t : f.logTexts()) found |= t.rfind(c.logPrefix, 0) == 0;
        EXPECT_TRUE(found);
    }
    RecordingManager noLoader;
    runConfig(noLoader, nullptr, 0.85);
    EXPECT_EQ(noLoader.walks, 0);
    EXPECT_TRUE(noLoader.sysexContainers.empty());
    EXPECT_DOUBLE_EQ(noLoader.scale, 0.85);
}

// A file deciphers to whole blocks; a partial last block is completed with zeros and
// deciphered whole.
TEST(Decipher, AFileDeciphersToWholeBlocks)
{
    ConfigFolder<UIConfigManager> f;
    auto decipher = [&](const std::string& bytes) {
        writeFile(f.dir.file("uiconfig.tea"), bytes);
        return f.manager.decipherResource(UIConfigManager::kLayoutResourceId, UIConfigManager::kLayoutResource);
    };
    std::string text = decipher(encipher("<a>xy</a>"));
    EXPECT_EQ(text, std::string("<a>xy</a>") + std::string(7, '\0'));

    std::string cut = encipher("<uiconfig/>").substr(0, 13);
    unsigned int key[4];
    Tea::configurationKey(key);
    unsigned char last[8] = {0};
    std::memcpy(last, cut.data() + 8, 5);
    Tea().simpledecrypt(last, key);
    EXPECT_EQ(decipher(cut), "<uiconfi" + std::string(reinterpret_cast<const char*>(last), 8));
}

TEST(BundleLoader, TheBufferEndsInAZeroAfterAShortFileAndAtTheCapAndAMissingFileGivesNone)
{
    TempDir dir;
    BundleFolder bundle(dir.path);
    const std::string big(static_cast<size_t>(kResourceBufferSize) + 100, 'y');
    for (const std::string& content : {std::string("abc"), big}) {
        writeFile(dir.file("r.tea"), content);
        const size_t kept = std::min(content.size(), static_cast<size_t>(kResourceBufferSize));
        int size = -1;
        std::unique_ptr<char[]> buffer(loadBundleResource(kQORBundleIdentifier, "resources/r.tea", &size));
        ASSERT_NE(buffer, nullptr);
        EXPECT_EQ(size, static_cast<int>(kept));
        EXPECT_EQ(std::string(buffer.get()), content.substr(0, kept));
    }
    int size = 77;
    testing::internal::CaptureStdout();
    EXPECT_EQ(loadBundleResource(kQORBundleIdentifier, "resources/none.tea", &size), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "failed to open file\n");
    EXPECT_EQ(size, 77);
}

TEST(EnciphererTool, ItsOutputIsTheTextZeroPaddedAndEncipheredAndAZeroByteIsRefused)
{
    const std::string tool = testsupport::binaryDir() + "/tools/tea-encipher/tea-encipher";
    TempDir dir;
    auto run = [&](const std::string& input) {
        writeFile(dir.file("in.xml"), input);
        std::remove(dir.file("out.tea").c_str());
        return std::system(("'" + tool + "' '" + dir.file("in.xml") + "' '" + dir.file("out.tea") + "' 2>/dev/null").c_str());
    };
    const std::string xml = "<sysexlist><sysex/></sysexlist>"; // 30 bytes: a partial last block
    ASSERT_EQ(run(xml), 0) << "build the target tea-encipher";
    EXPECT_EQ(readText(dir.file("out.tea")), encipher(xml));
    EXPECT_NE(run(std::string("<a>\0</a>", 8)), 0);
    EXPECT_EQ(readText(dir.file("out.tea")), "");
}

TEST(BuiltBundle, TheBundleDeclaresTheIdentifierTheReaderAsksForAndCarriesTheBuiltFiles)
{
    const std::string build = testsupport::binaryDir();
    EXPECT_EQ(cf_standin::declaredBundleIdentifier(build + "/QOR.component/Contents"), kQORBundleIdentifier);
    EXPECT_STREQ(kQORBundleIdentifier, QOR_BUNDLE_ID);
    BundleFolder bundle(build + "/QOR.component");
    PlugWithSurface host;
    // Placed there by qor_bundle_resources: the shipped documents parse into byte templates and
    // value lists, and every bitmap loads with whole frames.
    RecordingManager manager;
    testing::internal::CaptureStdout();
    manager.readUIConfig(host.surface, nullptr, nullptr, 0, 1.0);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(manager.walks, 1);
    EXPECT_FALSE(manager.sysexContainers.empty());
    for (size_t i = 0; i < manager.sysexContainers.size(); ++i) {
        std::vector<int> bytes;
        ASSERT_TRUE(manager.getSysexTemplate(static_cast<int>(i), &bytes));
        ASSERT_GE(bytes.size(), 2u);
        EXPECT_EQ(bytes.front(), 0xF0);
        EXPECT_EQ(bytes.back(), 0xF7);
    }
    EXPECT_EQ(manager.valueLists["partMidiChannel"].size(), 16u);
    for (size_t i = 0; i < kImageTableSize; ++i) {
        const ImageTableRow& row = kImageTable[i];
        IBitmap b = manager.getImageByName(host.surface, row.name);
        ASSERT_NE(b.mData, nullptr) << row.file;
        EXPECT_EQ((row.framesHorizontal ? b.W : b.H) % row.frames, 0) << row.name;
    }
    manager.ClearImageCache();
}

} // namespace
