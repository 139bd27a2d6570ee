// Loading the enciphered configuration: the bundle loader, block decipherment, the order of
// the whole configuration run, and files that are missing, empty or broken.
#include "Project_Source/src/ImageTable.h"
#include "Project_Source/src/UIConfigManager.h"
#include "config_test_support.h"
#include "kit/plugin/IPluginAU.h"

#include <CoreFoundation/CFBundlePrivate.h>
#include <gtest/gtest.h>
#include <tinyxml2.h>

using namespace configtest;

namespace {

const char* kSysexXml = "<sysexlist><sysex><values><value>F0 00 20 29 F7</value></values></sysex></sysexlist>";
const char* kLayoutXml = "<uiconfig><valueLists><list name=\"dataType\"><value>Program</value></list></valueLists>"
                         "<layer name=\"root\"/></uiconfig>";

// Records what is in place when the layout walk starts.
class RecordingManager : public UIConfigManager {
public:
    int walks = 0;
    size_t templatesAtWalk = 0, imagesAtWalk = 0, namesAtWalk = 0, listsAtWalk = 0;
    std::string firstChildName;

protected:
    void processLayout(tinyxml2::XMLElement* root) override
    {
        ++walks;
        templatesAtWalk = sysexContainers.size();
        imagesAtWalk = images.size();
        namesAtWalk = paramIds.size();
        listsAtWalk = valueLists.size();
        if (tinyxml2::XMLElement* first = root->FirstChildElement()) firstChildName = first->Name();
    }
};

class ConfigRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = makeTempDir();
        bundle = std::make_unique<BundleFolder>(folder);
        logPath = folder + "/log.txt";
        writeBytes(logPath, "");
    }

    void writeImages()
    {
        ::mkdir((folder + "/img").c_str(), 0755);
        for (size_t i = 0; i < kImageTableSize; ++i) {
            std::string f = kImageTable[i].file;
            ASSERT_TRUE(writePng(folder + "/img/" + f.substr(f.find_last_of('/') + 1), 4, 4));
        }
    }

    void run(RecordingManager& manager)
    {
        manager.setLogging(true, logPath);
        testing::internal::CaptureStdout();
        manager.readUIConfig(&cache, nullptr, nullptr, 0, 1.0);
        manager.ClearImageCache();
        testing::internal::GetCapturedStdout();
    }

    std::vector<std::string> logTexts() { return logTextsOf(logPath); }

    std::string folder, logPath;
    std::unique_ptr<BundleFolder> bundle;
    TestBitmapCache cache;
};

TEST_F(ConfigRun, ReadersRunInTheirFixedOrderAndFillEverythingBeforeTheLayoutWalk)
{
    writeImages();
    writeBytes(folder + "/sysex.tea", encipher(kSysexXml));
    writeBytes(folder + "/uiconfig.tea", encipher(kLayoutXml));
    RecordingManager manager;
    run(manager);
    EXPECT_EQ(manager.walks, 1);
    EXPECT_EQ(manager.templatesAtWalk, 1u);
    EXPECT_EQ(manager.imagesAtWalk, 101u);
    EXPECT_GT(manager.namesAtWalk, 500u);
    EXPECT_EQ(manager.listsAtWalk, 1u);
    EXPECT_EQ(manager.firstChildName, "valueLists");
    EXPECT_EQ(manager.valueLists["dataType"], std::vector<std::string>({"Program"}));
    EXPECT_DOUBLE_EQ(manager.scale, 1.0);
    const std::vector<std::string> expected = {
        "CONFIG READER: Started to read SysEx Data...",
        "CONFIG READER: Completed reading SysEx data!",
        "CONFIG READER: Started to read image resources...",
        "CONFIG READER: Completed!",
        "CONFIG READER: Started to initialize parameters...",
        "CONFIG READER: Completed!",
        // ClearImageCache walks the table again.
        "CONFIG READER: Started to read image resources...",
        "CONFIG READER: Completed!",
    };
    EXPECT_EQ(logTexts(), expected);
}

// A layout file that is missing, empty, broken, not enciphered with the key (plain text deciphers
// to noise) or without its root element builds nothing, and says why.
TEST_F(ConfigRun, ALayoutFileThatCannotBeUsedIsLoggedAndBuildsNothing)
{
    struct Case {
        const char* what;
        bool present;
        std::string bytes;
        const char* logPrefix; // nullptr: no particular line
    };
    const Case cases[] = {
        {"missing", false, "", "CONFIG READER: Configuration file resources/uiconfig.tea MISSING!"},
        {"empty", true, "", "CONFIG READER: Configuration file resources/uiconfig.tea is empty!"},
        {"unparsable", true, encipher("<uiconfig><valueLists><list name=\"a\">"),
         "CONFIG READER: Configuration file resources/uiconfig.tea could not be parsed"},
        {"not enciphered", true, kLayoutXml, nullptr},
        {"no root element", true, encipher("<layout><valueLists/></layout>"),
         "CONFIG READER: Configuration file resources/uiconfig.tea has no uiconfig element!"},
    };
    writeBytes(folder + "/sysex.tea", encipher(kSysexXml));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::remove((folder + "/uiconfig.tea").c_str());
        if (c.present) writeBytes(folder + "/uiconfig.tea", c.bytes);
        writeBytes(logPath, "");
        RecordingManager manager;
        run(manager);
        EXPECT_EQ(manager.walks, 0);
        EXPECT_TRUE(manager.valueLists.empty());
        EXPECT_EQ(manager.sysexContainers.size(), 1u);
        if (!c.logPrefix) continue;
        bool found = false;
        for (const auto& t : logTexts()) found |= t.rfind(c.logPrefix, 0) == 0;
        EXPECT_TRUE(found);
    }
}

TEST_F(ConfigRun, WithoutAFileLoaderNothingIsReadAndNothingCrashes)
{
    RecordingManager manager;
    manager.setLogging(true, logPath);
    testing::internal::CaptureStdout();
    manager.readUIConfig(nullptr, nullptr, nullptr, 0, 0.85);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(manager.walks, 0);
    EXPECT_TRUE(manager.sysexContainers.empty());
    EXPECT_GT(manager.paramIds.size(), 500u);
    EXPECT_DOUBLE_EQ(manager.scale, 0.85);
}

class Decipher : public ConfigRun {
protected:
    std::string decipher(const std::string& fileBytes)
    {
        writeBytes(folder + "/uiconfig.tea", fileBytes);
        UIConfigManager manager;
        manager.graphics = &cache;
        return manager.decipherResource(UIConfigManager::kLayoutResourceId, UIConfigManager::kLayoutResource);
    }
};

TEST_F(Decipher, A16ByteFileDeciphersTo16BytesWithItsTrailingZeros)
{
    std::string text = decipher(encipher("<a>xy</a>"));
    ASSERT_EQ(text.size(), 16u);
    EXPECT_EQ(text.substr(0, 9), "<a>xy</a>");
    EXPECT_EQ(text.substr(9), std::string(7, '\0'));
    // The document ends at the first zero byte.
    tinyxml2::XMLDocument document(true, tinyxml2::PRESERVE_WHITESPACE);
    EXPECT_EQ(document.Parse(text.c_str()), tinyxml2::XML_SUCCESS);
    EXPECT_STREQ(document.FirstChildElement("a")->GetText(), "xy");
    std::string shortText = decipher(encipher("<a/>"));
    ASSERT_EQ(shortText.size(), 8u);
    EXPECT_EQ(std::string(shortText.c_str()), "<a/>");
}

TEST_F(Decipher, APartialLastBlockIsCompletedWithZerosAndDecipheredWhole)
{
    std::string full = encipher("<uiconfig/>"); // 16 bytes
    std::string cut = full.substr(0, 13);
    std::string text = decipher(cut);
    ASSERT_EQ(text.size(), 16u);
    // The last block is what deciphering its 5 bytes and 3 zeros gives.
    unsigned int key[4];
    Tea::configurationKey(key);
    unsigned char block[8] = {0};
    std::memcpy(block, cut.data() + 8, 5);
    Tea().simpledecrypt(block, key);
    EXPECT_EQ(text.substr(0, 8), "<uiconfi");
    EXPECT_EQ(text.substr(8), std::string(reinterpret_cast<const char*>(block), 8));
}

TEST_F(Decipher, AFileLongerThanTheLoaderBufferIsCutAtTheBufferSize)
{
    std::string big(static_cast<size_t>(kResourceBufferSize) + 13, 'x');
    std::string text = decipher(big);
    EXPECT_EQ(text.size(), static_cast<size_t>(kResourceBufferSize));
}

TEST(BundleLoader, TheBufferEndsInAZeroByteAfterAShortFileAndAtTheSizeCap)
{
    std::string folder = makeTempDir();
    BundleFolder bundle(folder);
    const std::string big(static_cast<size_t>(kResourceBufferSize) + 100, 'y');
    for (const std::string& content : {std::string("abc"), big}) {
        writeBytes(folder + "/r.tea", content);
        const size_t kept = std::min(content.size(), static_cast<size_t>(kResourceBufferSize));
        SCOPED_TRACE(content.size());
        int size = -1;
        std::unique_ptr<char[]> buffer(loadBundleResource(kQORBundleIdentifier, "resources/r.tea", &size));
        ASSERT_NE(buffer, nullptr);
        EXPECT_EQ(size, static_cast<int>(kept));
        EXPECT_EQ(std::string(buffer.get()), content.substr(0, kept));
        EXPECT_EQ(buffer[kept], '\0');
    }
}

TEST(BundleLoader, AMissingResourceGivesNoBufferLeavesTheSizeAndSaysSo)
{
    std::string folder = makeTempDir();
    BundleFolder bundle(folder);
    int size = 77;
    testing::internal::CaptureStdout();
    char* buffer = loadBundleResource(kQORBundleIdentifier, "resources/none.tea", &size);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "failed to open file\n");
    EXPECT_EQ(buffer, nullptr);
    EXPECT_EQ(size, 77);
}

TEST(BuiltResources, TheToolsOutputReadBackByTheLoaderGivesTheOriginalXml)
{
    // Made by the build target qor_config_resources.
    const std::string built = std::string(QOR_BINARY_DIR) + "/resources";
    const std::string sources = std::string(QOR_SOURCE_DIR) + "/resources";
    for (const char* doc : {"uiconfig", "sysex"}) {
        struct stat st;
        ASSERT_EQ(::stat((built + "/" + doc + ".tea").c_str(), &st), 0)
            << doc << ".tea is missing: build the target qor_config_resources";
        BundleFolder bundle(built);
        TestBitmapCache loader;
        UIConfigManager manager;
        manager.graphics = &loader;
        std::string path = std::string("resources/") + doc + ".tea";
        std::string text = manager.decipherResource(doc[0] == 'u' ? 100 : 101, path.c_str());
        std::string original = readBytes(sources + "/" + doc + ".xml");
        ASSERT_FALSE(original.empty());
        EXPECT_EQ(text.size() % 8, 0u);
        EXPECT_EQ(std::string(text.c_str()), original) << doc;
    }
}

const std::string kEnciphererTool = std::string(QOR_BINARY_DIR) + "/tools/tea-encipher/tea-encipher";

TEST(EnciphererTool, ItsOutputIsTheTextZeroPaddedAndEncipheredWithTheKey)
{
    const std::string& tool = kEnciphererTool;
    std::string folder = makeTempDir();
    const std::string xml = "<sysexlist><sysex/></sysexlist>"; // 30 bytes: a partial last block
    writeBytes(folder + "/in.xml", xml);
    ASSERT_EQ(std::system(("'" + tool + "' '" + folder + "/in.xml' '" + folder + "/out.tea'").c_str()), 0)
        << "build the target tea-encipher";
    std::string out = readBytes(folder + "/out.tea");
    EXPECT_EQ(out.size(), 32u);
    EXPECT_EQ(out, encipher(xml));
}

TEST(EnciphererTool, ATextHoldingAZeroByteIsRefusedAndNothingIsWritten)
{
    const std::string& tool = kEnciphererTool;
    std::string folder = makeTempDir();
    writeBytes(folder + "/in.xml", std::string("<a>\0</a>", 8));
    EXPECT_NE(std::system(("'" + tool + "' '" + folder + "/in.xml' '" + folder + "/out.tea' 2>/dev/null").c_str()), 0);
    struct stat st;
    EXPECT_NE(::stat((folder + "/out.tea").c_str(), &st), 0);
}

TEST(BuiltBundle, TheConfigurationReaderAsksForTheIdentifierTheBundleDeclares)
{
    // The Info.plist is written when the build is configured; the framework names the bundle too.
    const std::string contents = std::string(QOR_BINARY_DIR) + "/QOR.component/Contents";
    EXPECT_EQ(cf_standin::declaredBundleIdentifier(contents), kQORBundleIdentifier);
    EXPECT_STREQ(kQORBundleIdentifier, QOR_BUNDLE_ID);
}

TEST(BuiltBundle, TheBundleCarriesBothConfigurationFilesAndEveryBitmap)
{
    // Placed there by the build target qor_bundle_resources.
    BundleFolder bundle(std::string(QOR_BINARY_DIR) + "/QOR.component");
    for (const char* doc : {"uiconfig", "sysex"}) {
        int size = -1;
        std::string name = std::string("resources/") + doc + ".tea";
        testing::internal::CaptureStdout();
        std::unique_ptr<char[]> buffer(loadBundleResource(kQORBundleIdentifier, name.c_str(), &size));
        testing::internal::GetCapturedStdout();
        ASSERT_NE(buffer, nullptr) << name << " is not in the bundle: build the target qor_bundle_resources";
        std::string built = readBytes(std::string(QOR_BINARY_DIR) + "/resources/" + doc + ".tea");
        ASSERT_FALSE(built.empty());
        EXPECT_EQ(std::string(buffer.get(), static_cast<size_t>(size)), built) << doc;
    }

    // The shipped documents parse into byte templates and value lists, and every bitmap (made by
    // the build target qor_image_resources) loads with whole frames.
    TestBitmapCache cache;
    RecordingManager manager;
    testing::internal::CaptureStdout();
    manager.readUIConfig(&cache, nullptr, nullptr, 0, 1.0);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(manager.walks, 1);
    EXPECT_FALSE(manager.sysexContainers.empty());
    for (size_t i = 0; i < manager.sysexContainers.size(); ++i) {
        std::vector<int> bytes;
        ASSERT_TRUE(manager.getSysexTemplate(static_cast<int>(i), &bytes));
        ASSERT_GE(bytes.size(), 2u);
        EXPECT_EQ(bytes.front(), 0xF0);
        EXPECT_EQ(bytes.back(), 0xF7);
        for (int b : bytes) EXPECT_TRUE(b >= 0 && b <= 0xFF);
    }
    EXPECT_EQ(manager.valueLists["dataType"].size(), 3u);
    EXPECT_EQ(manager.valueLists["partMidiChannel"].size(), 16u);
    for (size_t i = 0; i < kImageTableSize; ++i) {
        const ImageTableRow& row = kImageTable[i];
        ConfigBitmap b = manager.getImageByName(&cache, row.name);
        ASSERT_NE(b.bitmap, nullptr) << row.file;
        EXPECT_EQ((row.framesHorizontal ? b.width : b.height) % row.frames, 0) << row.name;
    }
    manager.ClearImageCache();
}

} // namespace
