// The bundle stand-in finds the plug-in's resources the way the configuration loader asks.
#include <CoreFoundation/CoreFoundation.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <dlfcn.h>

namespace {

std::string makeTempDir()
{
    char tmpl[] = "/tmp/qor-bundle-XXXXXX";
    const char* d = mkdtemp(tmpl);
    return d ? d : "";
}

void writeFile(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
}

std::string urlPath(CFURLRef url)
{
    uint8_t buf[4096];
    if (!url || !CFURLGetFileSystemRepresentation(url, true, buf, sizeof buf)) return {};
    return reinterpret_cast<const char*>(buf);
}

class BundleLookup : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = makeTempDir() + "/QOR.component";
        ::mkdir(root.c_str(), 0755);
        ::mkdir((root + "/Contents").c_str(), 0755);
        ::mkdir((root + "/Contents/Resources").c_str(), 0755);
        ::mkdir((root + "/Contents/Resources/img").c_str(), 0755);
        writeFile(root + "/Contents/Resources/uiconfig.tea", "12345678");
        writeFile(root + "/Contents/Resources/img/main-bg.png", "png");
        ::setenv("QOR_BUNDLE_PATH", root.c_str(), 1);
    }
    void TearDown() override { ::unsetenv("QOR_BUNDLE_PATH"); }

    // Where the plug-in's bundle finds a resource; empty when it finds none.
    static std::string lookUp(CFStringRef name, CFStringRef type)
    {
        CFBundleRef bundle = CFBundleGetBundleWithIdentifier(CFSTR("com.tessmoor.audiounit.QOR"));
        if (!bundle) return "no bundle";
        CFURLRef url = CFBundleCopyResourceURL(bundle, name, type, nullptr);
        std::string path = urlPath(url);
        if (url) CFRelease(url);
        return path;
    }

    std::string root;
};

TEST_F(BundleLookup, AResourceIsFoundByNameAndTypeAlsoInASubFolderOfTheResources)
{
    EXPECT_EQ(lookUp(CFSTR("uiconfig"), CFSTR("tea")), root + "/Contents/Resources/uiconfig.tea");
    EXPECT_EQ(lookUp(CFSTR("main-bg"), CFSTR("png")), root + "/Contents/Resources/img/main-bg.png");
}

TEST_F(BundleLookup, AMissingResourceOrOneThatClimbsOutOfTheBundleGivesNoUrl)
{
    CFBundleRef bundle = CFBundleGetBundleWithIdentifier(CFSTR("com.tessmoor.audiounit.QOR"));
    ASSERT_NE(bundle, nullptr);
    EXPECT_EQ(CFBundleCopyResourceURL(bundle, CFSTR("sysex"), CFSTR("tea"), nullptr), nullptr);
    EXPECT_EQ(CFBundleCopyResourceURL(bundle, CFSTR("../Resources/uiconfig"), CFSTR("tea"), nullptr), nullptr);
    EXPECT_EQ(CFBundleCopyResourceURL(bundle, CFSTR("uiconfig"), CFSTR("tea"), CFSTR("../..")), nullptr);
    // A folder of the searched name is not a resource file.
    EXPECT_EQ(CFBundleCopyResourceURL(bundle, CFSTR("img"), nullptr, nullptr), nullptr);
}

TEST_F(BundleLookup, AnInfoPlistNamingAnotherIdentifierHidesTheBundle)
{
    writeFile(root + "/Contents/Info.plist",
              "<plist><dict><key>CFBundleIdentifier</key><string>com.tessmoor.audiounit.QOR</string></dict></plist>");
    EXPECT_NE(CFBundleGetBundleWithIdentifier(CFSTR("com.tessmoor.audiounit.QOR")), nullptr);
    EXPECT_EQ(CFBundleGetBundleWithIdentifier(CFSTR("com.other.plugin")), nullptr);
}

TEST_F(BundleLookup, APlainFolderServesAsTheResourcesFolder)
{
    std::string plain = makeTempDir();
    writeFile(plain + "/sysex.tea", "x");
    ::setenv("QOR_BUNDLE_PATH", plain.c_str(), 1);
    EXPECT_EQ(lookUp(CFSTR("sysex"), CFSTR("tea")), plain + "/sysex.tea");
}

TEST(BundleOutsideABundle, AProgramThatIsNotInsideABundleFindsNone)
{
    ::unsetenv("QOR_BUNDLE_PATH");
    // The test program lives in the build tree, not in Contents/MacOS of a bundle.
    EXPECT_EQ(CFBundleGetBundleWithIdentifier(CFSTR("com.tessmoor.audiounit.QOR")), nullptr);
}

TEST(BundleOfTheLoadedLibrary, ALibraryInContentsMacosFindsTheResourcesBesideIt)
{
    ::unsetenv("QOR_BUNDLE_PATH");
    // Made by the build target qor_bundle_probe.
    const std::string probe = std::string(QOR_BINARY_DIR) + "/tools/tea-encipher/libqor_bundle_probe.so";
    std::string root = makeTempDir() + "/QOR.component";
    for (const char* d : {"", "/Contents", "/Contents/MacOS", "/Contents/Resources"}) ::mkdir((root + d).c_str(), 0755);
    writeFile(root + "/Contents/Resources/sysex.tea", "x");
    std::string copy = root + "/Contents/MacOS/QOR.so";
    {
        std::ifstream in(probe, std::ios::binary);
        ASSERT_TRUE(in.good()) << "build the target qor_bundle_probe";
        std::ofstream out(copy, std::ios::binary);
        out << in.rdbuf();
    }
    void* lib = dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
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

TEST(CFStrings, ACreatedStringRoundTripsAndATooSmallBufferIsRefused)
{
    CFStringRef s = CFStringCreateWithCString(kCFAllocatorDefault, "QOR Editor", kCFStringEncodingUTF8);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(CFStringGetLength(s), 10);
    char buf[16];
    EXPECT_TRUE(CFStringGetCString(s, buf, sizeof buf, kCFStringEncodingUTF8));
    EXPECT_STREQ(buf, "QOR Editor");
    char small[10];
    EXPECT_FALSE(CFStringGetCString(s, small, sizeof small, kCFStringEncodingUTF8));
    EXPECT_STREQ(small, "");
    CFRelease(s);
}

TEST(CFStrings, ConstantStringsOfEqualTextAreOneObjectAndSurviveRelease)
{
    CFStringRef a = CFSTR("annq");
    CFStringRef b = CFSTR("annq");
    EXPECT_EQ(a, b);
    CFRelease(a);
    EXPECT_STREQ(CFStringGetCStringPtr(b, kCFStringEncodingUTF8), "annq");
}

TEST(CFURLs, ADirectoryUrlAndItsLastComponentReadBack)
{
    CFStringRef p = CFStringCreateWithCString(kCFAllocatorDefault, "/a/b/QOR.component", kCFStringEncodingUTF8);
    CFURLRef url = CFURLCreateWithFileSystemPath(kCFAllocatorDefault, p, kCFURLPOSIXPathStyle, true);
    ASSERT_NE(url, nullptr);
    EXPECT_EQ(urlPath(url), "/a/b/QOR.component");
    CFStringRef last = CFURLCopyLastPathComponent(url);
    EXPECT_STREQ(CFStringGetCStringPtr(last, kCFStringEncodingUTF8), "QOR.component");
    CFRelease(last);
    CFRelease(url);
    CFRelease(p);
}

} // namespace
