// The bundle stand-in finds the plug-in's resources the way the configuration loader asks.
#include "support/tempdir.h"
#include "support/testpaths.h"

#include <CoreFoundation/CoreFoundation.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <dlfcn.h>
#include <string>
#include <sys/stat.h>

using testsupport::TempDir;
using testsupport::writeFile;

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
        {CFSTR("sysex"), CFSTR("tea"), nullptr, ""},
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

// The one thing no caller reaches: a buffer too small for the text is refused and left empty.
TEST(CFStrings, ATooSmallBufferIsRefused)
{
    char small[10] = "x";
    EXPECT_FALSE(CFStringGetCString(CFSTR("/a/b/QOR.component"), small, sizeof small, kCFStringEncodingUTF8));
    EXPECT_STREQ(small, "");
}

} // namespace
