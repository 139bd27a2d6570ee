// The main bundle of the running program: outside a bundle it has no identifier; a program that
// sits in a bundle's Contents/MacOS reads the identifier its Info.plist declares. The second case
// copies this test program into a bundle and runs the probe below there.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include <CoreFoundation/CoreFoundation.h>

namespace {

std::string SelfPath()
{
    char buf[4096];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, size_t(n)) : std::string();
}

std::string RunAndRead(const std::string& cmd)
{
    std::string out;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return out;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) out.append(buf.data(), n);
    pclose(p);
    return out;
}

} // namespace

// Prints what the main bundle says when the probe variable is set; does nothing otherwise.
TEST(CFMainBundleProbe, PrintsTheMainBundle)
{
    if (!std::getenv("QOR_MAIN_BUNDLE_PROBE")) GTEST_SKIP() << "runs only inside a copied bundle";
    CFBundleRef b = CFBundleGetMainBundle();
    ASSERT_NE(b, nullptr);
    std::printf("id=[%s]\nroot=[%s]\nresources=[%s]\n", b->identifier.c_str(), b->bundlePath.c_str(),
                b->resourcesPath.c_str());
}

TEST(CFMainBundle, AProgramOutsideABundleHasNoIdentifierAndIsItsOwnExecutable)
{
    CFBundleRef b = CFBundleGetMainBundle();
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->identifier, "");
    EXPECT_EQ(b->executablePath, SelfPath());
    EXPECT_EQ(CFBundleGetMainBundle(), b); // one object for the process
}

TEST(CFMainBundle, AProgramInsideABundleReadsTheIdentifierItsInfoPlistDeclares)
{
    char dir[] = "/tmp/qor_main_bundle_XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string root = std::string(dir) + "/Probe.app";
    std::string macos = root + "/Contents/MacOS";
    ASSERT_EQ(std::system(("mkdir -p '" + macos + "' '" + root + "/Contents/Resources'").c_str()), 0);
    std::ofstream(root + "/Contents/Info.plist")
        << "<?xml version=\"1.0\"?>\n<plist><dict>\n<key>CFBundleName</key><string>Probe</string>\n"
           "<key>CFBundleIdentifier</key><string>com.example.probe</string>\n</dict></plist>\n";
    ASSERT_EQ(std::system(("cp '" + SelfPath() + "' '" + macos + "/probe'").c_str()), 0);

    std::string out = RunAndRead("QOR_MAIN_BUNDLE_PROBE=1 '" + macos +
                                 "/probe' --gtest_filter=CFMainBundleProbe.* 2>&1");
    EXPECT_NE(out.find("id=[com.example.probe]\n"), std::string::npos) << out;
    EXPECT_NE(out.find("root=[" + root + "]\n"), std::string::npos) << out;
    EXPECT_NE(out.find("resources=[" + root + "/Contents/Resources]\n"), std::string::npos) << out;

    // Without an Info.plist the bundle is still found, with no identifier.
    std::remove((root + "/Contents/Info.plist").c_str());
    out = RunAndRead("QOR_MAIN_BUNDLE_PROBE=1 '" + macos + "/probe' --gtest_filter=CFMainBundleProbe.* 2>&1");
    EXPECT_NE(out.find("id=[]\n"), std::string::npos) << out;
    EXPECT_NE(out.find("root=[" + root + "]\n"), std::string::npos) << out;

    std::system(("rm -rf '" + std::string(dir) + "'").c_str());
}
