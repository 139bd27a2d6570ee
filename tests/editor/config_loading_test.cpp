// Loading the configuration: the bundle stand-in and loader, the order of the whole run, files
// that cannot be used, the bitmap table at the editor scales, and the files the build makes.
#include "Project_Source/src/ImageTable.h"
#include "Project_Source/src/UIConfigManager.h"
#include "config_test_support.h"
#include "kit/plugin/IPluginAU.h"
#include "support/tempdir.h"
#include "support/testpaths.h"

#include <CoreFoundation/CFBundlePrivate.h>
#include <CoreFoundation/CoreFoundation.h>
#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

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

// Each frame of a test image measures 6 by 4 pixels.
int fileWidth(const ImageTableRow& row) { return row.framesHorizontal ? 6 * row.frames : 6; }
int fileHeight(const ImageTableRow& row) { return row.framesHorizontal ? 4 : 4 * row.frames; }

// Every bitmap of the table as a PNG in the bundle folder's img/.
void writeImages(const TempDir& dir)
{
    ::mkdir(dir.file("img").c_str(), 0755);
    for (size_t i = 0; i < kImageTableSize; ++i) {
        const std::string file = kImageTable[i].file;
        ASSERT_TRUE(writePng(dir.file("img/" + file.substr(file.find_last_of('/') + 1)), fileWidth(kImageTable[i]),
                             fileHeight(kImageTable[i])));
    }
}

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
    writeImages(f.dir);
    writeFile(f.dir.file("sysex.tea"), encipher(kSysexXml));
    writeFile(f.dir.file("uiconfig.tea"), encipher(kLayoutXml));
    runConfig(f.manager, &f.surface);
    EXPECT_EQ(std::vector<size_t>({size_t(f.manager.walks), f.manager.templatesAtWalk, f.manager.imagesAtWalk}),
              std::vector<size_t>({1, 1, 101}));
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
        {true, encipher("<layout><valueLists/></layout>"),
         "CONFIG READER: Configuration file resources/uiconfig.tea has no uiconfig element!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.logPrefix);
        ConfigFolder<RecordingManager> f;
        writeFile(f.dir.file("sysex.tea"), encipher(kSysexXml));
        if (c.present) writeFile(f.dir.file("uiconfig.tea"), c.bytes);
        runConfig(f.manager, &f.surface);
        EXPECT_EQ(f.manager.walks + f.manager.valueLists.size(), 0u);
        EXPECT_EQ(f.manager.sysexContainers.size(), 1u);
        const auto texts = f.logTexts();
        EXPECT_TRUE(std::any_of(texts.begin(), texts.end(), [&](const std::string& t) { return t.rfind(c.logPrefix, 0) == 0; }));
    }
    RecordingManager noLoader;
    runConfig(noLoader, nullptr, 0.85);
    EXPECT_EQ(noLoader.walks, 0);
    EXPECT_TRUE(noLoader.sysexContainers.empty());
    EXPECT_DOUBLE_EQ(noLoader.scale, 0.85);
}

TEST(BuiltBundle, TheBundleDeclaresTheIdentifierTheReaderAsksForAndCarriesTheBuiltFiles)
{
    const std::string build = testsupport::binaryDir();
    EXPECT_EQ(cf_standin::declaredBundleIdentifier(build + "/QOR.component/Contents"), QOR_BUNDLE_ID);
    ConfigFolder<RecordingManager> f;
    BundleFolder bundle(build + "/QOR.component");
    // Placed there by qor_bundle_resources: the shipped documents parse into byte templates and
    // value lists, and every bitmap loads with whole frames.
    RecordingManager& manager = f.manager;
    testing::internal::CaptureStdout();
    manager.readUIConfig(&f.surface, nullptr, nullptr, 0, 1.0);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(manager.walks, 1);
    EXPECT_FALSE(manager.sysexContainers.empty());
    // The chart's parameter messages: no framing, device at index 2, value at index 6 (byte 7),
    // never the pattern dump's type 13.
    for (size_t i = 0; i < manager.sysexContainers.size(); ++i) {
        std::vector<int> bytes;
        ASSERT_TRUE(manager.getSysexTemplate(static_cast<int>(i), &bytes));
        ASSERT_EQ(bytes.size(), 7u) << i;
        EXPECT_EQ(std::vector<int>({bytes[0], bytes[1], bytes[2], bytes[6]}), std::vector<int>({0x3E, 0x0F, 0, 0})) << i;
        EXPECT_NE(bytes[3], 13) << i;
    }
    EXPECT_EQ(manager.valueLists.size(), 43u);
    EXPECT_EQ(manager.valueLists["partMidiChannel"].size(), 17u);
    for (size_t i = 0; i < kImageTableSize; ++i) {
        const ImageTableRow& row = kImageTable[i];
        IBitmap b = manager.getImageByName(&f.surface, row.name);
        ASSERT_NE(b.mData, nullptr) << row.file;
        EXPECT_EQ((row.framesHorizontal ? b.W : b.H) % row.frames, 0) << row.name;
    }
    manager.ClearImageCache();
}

} // namespace

namespace {

class Images : public ::testing::Test {
protected:
    void SetUp() override { writeImages(f.dir); }
    void load(UIConfigManager& manager, double scale = 1.0)
    {
        manager.setLogging(true, f.logPath);
        manager.graphics = &f.surface;
        manager.scale = scale;
        quiet([&] { manager.initImages(&f.surface); });
    }
    template <class F>
    static void quiet(F fn)
    {
        testing::internal::CaptureStdout();
        fn();
        testing::internal::GetCapturedStdout();
    }
    ConfigFolder<UIConfigManager> f;
};

TEST_F(Images, EveryNameGivesTheFramesOrientationAndScaledSizeOfItsRowDecodedOnce)
{
    for (double scale : {0.85, 1.0, 1.15}) {
        SCOPED_TRACE(scale);
        UIConfigManager manager;
        load(manager, scale);
        ASSERT_EQ(manager.images.size(), kImageTableSize);
        for (size_t i = 0; i < kImageTableSize; ++i) {
            const ImageTableRow& row = kImageTable[i];
            IBitmap b = manager.getImageByName(&f.surface, row.name);
            ASSERT_NE(b.mData, nullptr) << row.name;
            EXPECT_EQ(std::vector<int>({b.N, b.mFramesAreHorizontal, b.W, b.H}),
                      std::vector<int>({row.frames, row.framesHorizontal, int(fileWidth(row) * scale), int(fileHeight(row) * scale)}))
                << row.name;
        }
        EXPECT_EQ(f.surface.decodes, 101);
        quiet([&] { manager.ClearImageCache(); });
        f.surface.decodes = 0;
    }
}

TEST_F(Images, AnUnknownNameOrAMissingOrUndecodableFileGivesAnEmptyBitmapAndALogLine)
{
    std::remove(f.dir.file("img/main-bg.png").c_str());
    writeFile(f.dir.file("img/btn-search.png"), "\x89PNG\r\n\x1a\n this is no image");
    UIConfigManager manager;
    load(manager);
    EXPECT_EQ(f.surface.decodes, 99);
    for (const char* name : {"MAIN_BG_ID", "BUTTON_BANK_SEARCH_ID", "NO_SUCH_IMAGE"}) {
        IBitmap b;
        quiet([&] { b = manager.getImageByName(&f.surface, name); });
        EXPECT_EQ(b.mData, nullptr) << name;
        EXPECT_EQ(b.W + b.H, 0) << name;
        EXPECT_EQ(b.N, 1) << name;
    }
    auto texts = f.logTexts();
    for (const char* line : {"CONFIG READER: Image MAIN_BG_ID could not be loaded from resources/img/main-bg.png!",
                             "CONFIG READER: Image BUTTON_BANK_SEARCH_ID could not be loaded from "
                             "resources/img/btn-search.png!",
                             "CONFIG READER: Image NO_SUCH_IMAGE MISSING!"})
        EXPECT_EQ(std::count(texts.begin(), texts.end(), line), 1) << line;
    EXPECT_NE(manager.getImageByName(&f.surface, "MAIN_BG_FRAME_ID").mData, nullptr);
    quiet([&] { manager.ClearImageCache(); });
    for (size_t i = 0; i < kImageTableSize; ++i) EXPECT_EQ(BitmapStorage::Instance().Find(kImageTable[i].id), nullptr); // the shared cache is empty
}

// Bitmaps are shared by every open instance: closing one (even twice) keeps what another draws.
TEST_F(Images, ClosingOneInstanceKeepsTheBitmapsAnotherOpenInstanceDraws)
{
    UIConfigManager first, second;
    load(first);
    load(second);
    for (int i = 0; i < 2; ++i) {
        quiet([&] { first.ClearImageCache(); });
        EXPECT_NE(BitmapStorage::Instance().Find(kImageTable[0].id), nullptr);
        EXPECT_EQ(UIConfigManager::imageUsers(MAIN_BG_ID), 1);
    }
    quiet([&] { second.ClearImageCache(); });
    EXPECT_EQ(BitmapStorage::Instance().Find(kImageTable[0].id), nullptr);
    {
        UIConfigManager gone; // deleted without clearing: no longer a user
        load(gone);
        EXPECT_EQ(UIConfigManager::imageUsers(MAIN_BG_ID), 1);
    }
    EXPECT_EQ(UIConfigManager::imageUsers(MAIN_BG_ID), 0);
}

} // namespace

namespace {

const CFStringRef kId = CFSTR("com.tessmoor.audiounit.QOR");

std::string urlPath(CFURLRef url)
{
    uint8_t buf[4096];
    if (!url || !CFURLGetFileSystemRepresentation(url, true, buf, sizeof buf)) return {};
    return reinterpret_cast<const char*>(buf);
}

// Where the plug-in's bundle finds a resource; empty when it finds none.
std::string lookUp(CFStringRef name, CFStringRef type, CFStringRef subFolder = nullptr)
{
    CFBundleRef bundle = CFBundleGetBundleWithIdentifier(kId);
    if (!bundle) return "no bundle";
    CFURLRef url = CFBundleCopyResourceURL(bundle, name, type, subFolder);
    std::string path = urlPath(url);
    if (url) CFRelease(url);
    return path;
}

std::string makeBundle(const TempDir& dir)
{
    std::string root = dir.file("QOR.component");
    for (const char* d : {"", "/Contents", "/Contents/MacOS", "/Contents/Resources", "/Contents/Resources/img"})
        ::mkdir((root + d).c_str(), 0755);
    return root;
}

TEST(BundleLookup, AResourceIsFoundByNameAndTypeInsideTheResourcesFolderOnly)
{
    TempDir dir;
    const std::string res = makeBundle(dir) + "/Contents/Resources";
    writeFile(res + "/uiconfig.tea", "12345678");
    writeFile(res + "/img/main-bg.png", "png");
    ::setenv("QOR_BUNDLE_PATH", dir.file("QOR.component").c_str(), 1);
    const struct {
        CFStringRef name, type, sub;
        std::string path;
    } cases[] = {
        {CFSTR("uiconfig"), CFSTR("tea"), nullptr, res + "/uiconfig.tea"},
        {CFSTR("main-bg"), CFSTR("png"), nullptr, res + "/img/main-bg.png"},
        {CFSTR("../Resources/uiconfig"), CFSTR("tea"), nullptr, ""},
        {CFSTR("uiconfig"), CFSTR("tea"), CFSTR("../.."), ""},
        {CFSTR("img"), nullptr, nullptr, ""}, // a folder is no resource file
    };
    for (const auto& c : cases) EXPECT_EQ(lookUp(c.name, c.type, c.sub), c.path) << c.path;

    writeFile(res + "/../Info.plist",
              "<plist><dict><key>CFBundleIdentifier</key><string>com.tessmoor.audiounit.QOR</string></dict></plist>");
    EXPECT_NE(CFBundleGetBundleWithIdentifier(kId), nullptr);
    EXPECT_EQ(CFBundleGetBundleWithIdentifier(CFSTR("com.other.plugin")), nullptr);

    ::setenv("QOR_BUNDLE_PATH", res.c_str(), 1); // a plain folder serves as the resources
    EXPECT_EQ(lookUp(CFSTR("uiconfig"), CFSTR("tea")), res + "/uiconfig.tea");
    // The test program lives in the build tree, not in Contents/MacOS of a bundle.
    ::unsetenv("QOR_BUNDLE_PATH");
    EXPECT_EQ(CFBundleGetBundleWithIdentifier(kId), nullptr);
}

TEST(BundleOfTheLoadedLibrary, ALibraryInContentsMacosFindsTheResourcesBesideIt)
{
    ::unsetenv("QOR_BUNDLE_PATH");
    TempDir dir;
    const std::string root = makeBundle(dir);
    writeFile(root + "/Contents/Resources/sysex.tea", "x");
    const auto probe = testsupport::readFile(testsupport::binaryDir() + "/tools/tea-encipher/libqor_bundle_probe.so");
    ASSERT_FALSE(probe.empty()) << "build the target qor_bundle_probe";
    writeFile(root + "/Contents/MacOS/QOR.so", probe);
    void* lib = dlopen((root + "/Contents/MacOS/QOR.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    using Probe = int (*)(const char*, const char*, const char*, char*, int);
    auto fn = reinterpret_cast<Probe>(dlsym(lib, "qorBundleProbe"));
    ASSERT_NE(fn, nullptr);
    char out[4096];
    EXPECT_EQ(fn("com.tessmoor.audiounit.QOR", "sysex", "tea", out, sizeof out), 1);
    EXPECT_EQ(std::string(out), root + "/Contents/Resources/sysex.tea");
    EXPECT_EQ(fn("com.tessmoor.audiounit.QOR", "uiconfig", "tea", out, sizeof out), 0);
    dlclose(lib);
}

} // namespace
