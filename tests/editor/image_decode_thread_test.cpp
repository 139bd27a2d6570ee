// The bitmap table decoded on several threads from the bundle: a missing or damaged file still
// gives its one log line, in table order, and an empty bitmap, while every other row loads.
#include "Project_Source/src/ImageTable.h"
#include "Project_Source/src/UIConfigManager.h"
#include "config_test_support.h"
#include "kit/plugin/IGraphicsMac.h"
#include "kit/raster/rast_png.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <new>
#include <thread>

using namespace configtest;

namespace {

// The bundle's own loader, counting the images it had to decode one by one on the calling
// thread.
class CountingMacSurface : public IGraphicsMac {
public:
    using IGraphicsMac::IGraphicsMac;
    RAST_IBitmap* OSLoadBitmap(int id, const char* name) override
    {
        ++serialLoads;
        return IGraphicsMac::OSLoadBitmap(id, name);
    }
    std::atomic<int> serialLoads{0};
};

// The bundle folder holds the images at its top.
std::string imagePath(const TempDir& dir, const std::string& file)
{
    return dir.file(file.substr(file.find_last_of('/') + 1));
}

int threadsOfProcess()
{
    int n = 0;
    if (DIR* d = ::opendir("/proc/self/task")) {
        while (dirent* e = ::readdir(d)) n += e->d_name[0] != '.';
        ::closedir(d);
    }
    return n;
}

// A joined thread may still be listed for a moment: the count as it settles, within a second.
int threadsSettledAt(int expected)
{
    int n = threadsOfProcess();
    for (int waited = 0; n != expected && waited < 1000; ++waited) {
        ::usleep(1000);
        n = threadsOfProcess();
    }
    return n;
}

// The build links this test with the PNG reader wrapped (tests/editor/rules.cmake): the file
// whose name holds gFailingFile fails to decode with bad_alloc, on a decode thread only or on
// every thread.
std::string gFailingFile;
bool gFailOnCallingThread = false;
std::thread::id gCallingThread;

} // namespace

extern "C" RAST_IBitmap* __real__Z12RAST_LoadPNGPKcP12RAST_IBitmap(const char* file, RAST_IBitmap* bmp);
extern "C" RAST_IBitmap* __wrap__Z12RAST_LoadPNGPKcP12RAST_IBitmap(const char* file, RAST_IBitmap* bmp)
{
    const bool failing = !gFailingFile.empty() && std::strstr(file, gFailingFile.c_str());
    if (failing && (gFailOnCallingThread || std::this_thread::get_id() != gCallingThread)) throw std::bad_alloc();
    return __real__Z12RAST_LoadPNGPKcP12RAST_IBitmap(file, bmp);
}

namespace
{

enum class Damage { Missing, Truncated, BadChecksum };

TEST(ImageTableThreads, ADamagedOrMissingFileGivesItsLogLineAndAnEmptyBitmapWhileTheOthersLoad)
{
    IGraphics::SetBitmapDecodeThreads(3);
    // A runtime that starts a helper with the process's first thread (a sanitizer's) does so here,
    // so that the count of threads before and after a load compares the decode threads only.
    std::thread([] {}).join();
    const size_t last = kImageTableSize - 1;
    const struct {
        Damage damage;
        size_t row;
    } cases[] = {
        {Damage::Missing, 0},     {Damage::Missing, last / 2},     {Damage::Missing, last},
        {Damage::Truncated, 0},   {Damage::Truncated, last / 2},   {Damage::Truncated, last},
        {Damage::BadChecksum, 0}, {Damage::BadChecksum, last / 2}, {Damage::BadChecksum, last},
    };
    for (const auto& c : cases) {
        const ImageTableRow& bad = kImageTable[c.row];
        SCOPED_TRACE(std::string(bad.name) + " damage " + std::to_string(int(c.damage)));
        TempDir dir;
        for (size_t i = 0; i < kImageTableSize; ++i) ASSERT_TRUE(writePng(imagePath(dir, kImageTable[i].file), 20, 12));
        const std::string badPath = imagePath(dir, bad.file);
        std::string bytes = readText(badPath);
        // Cut in the middle of the image data, or a wrong checksum on the header chunk.
        if (c.damage == Damage::Truncated) bytes.resize(bytes.size() / 2);
        if (c.damage == Damage::BadChecksum) bytes[29] = char(bytes[29] ^ 0x5A);
        if (c.damage == Damage::Missing)
            ASSERT_EQ(::unlink(badPath.c_str()), 0);
        else
            writeFile(badPath, bytes);
        BundleFolder bundle(dir.path);
        SurfacePlug plug{16};
        CountingMacSurface surface(&plug, 1500, 757, 0);
        surface.SetBundleID(QOR_BUNDLE_ID);
        const std::string logPath = dir.file("log.txt");
        writeFile(logPath, "");
        UIConfigManager manager;
        manager.setLogging(true, logPath);
        manager.graphics = &surface;
        manager.scale = 0.85;
        testing::internal::CaptureStdout();
        const int threadsBefore = threadsOfProcess();
        manager.initImages(&surface);
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(threadsSettledAt(threadsBefore), threadsBefore); // the decode threads are gone

        EXPECT_EQ(surface.serialLoads, 0); // every file went through the decode threads
        EXPECT_EQ(logTextsOf(logPath), std::vector<std::string>({"CONFIG READER: Started to read image resources...",
                                                                 std::string("CONFIG READER: Image ") + bad.name +
                                                                     " could not be loaded from " + bad.file + "!",
                                                                 "CONFIG READER: Completed!"}));
        for (size_t i = 0; i < kImageTableSize; ++i) {
            const IBitmap b = manager.getImageByName(&surface, kImageTable[i].name);
            if (i == c.row)
                EXPECT_EQ(std::vector<int>({b.mData != nullptr, b.W, b.H}), std::vector<int>({0, 0, 0}));
            else
                EXPECT_EQ(std::vector<int>({b.W, b.H}), std::vector<int>({17, 10})) << kImageTable[i].name;
        }
        manager.ClearImageCache(); // the next row decodes again
    }
    IGraphics::SetBitmapDecodeThreads(0);
}

// A decode thread whose image cannot be decoded (out of memory) leaves it to the calling thread,
// which loads it, or, failing there too, hands the failure to the caller.
TEST(ImageTableThreads, AnImageADecodeThreadFailsOnIsLoadedOnTheCallingThread)
{
    IGraphics::SetBitmapDecodeThreads(3);
    const ImageTableRow& failing = kImageTable[kImageTableSize / 2];
    for (const bool onCallingThread : {false, true}) {
        SCOPED_TRACE(onCallingThread ? "failing on every thread" : "failing on the decode threads");
        TempDir dir;
        for (size_t i = 0; i < kImageTableSize; ++i) ASSERT_TRUE(writePng(imagePath(dir, kImageTable[i].file), 20, 12));
        BundleFolder bundle(dir.path);
        SurfacePlug plug{16};
        CountingMacSurface surface(&plug, 1500, 757, 0);
        surface.SetBundleID(QOR_BUNDLE_ID);
        UIConfigManager manager;
        manager.graphics = &surface;
        manager.scale = 0.85;
        gFailingFile = imagePath(dir, failing.file);
        gFailOnCallingThread = onCallingThread;
        gCallingThread = std::this_thread::get_id();
        testing::internal::CaptureStdout();
        if (onCallingThread) {
            EXPECT_THROW(manager.initImages(&surface), std::bad_alloc);
        } else {
            manager.initImages(&surface);
        }
        testing::internal::GetCapturedStdout();
        gFailingFile.clear();
        EXPECT_EQ(surface.serialLoads, 1);
        const IBitmap b = manager.getImageByName(&surface, failing.name);
        EXPECT_EQ(std::vector<int>({b.W, b.H}),
                  onCallingThread ? std::vector<int>({0, 0}) : std::vector<int>({17, 10}));
        manager.ClearImageCache();
    }
    IGraphics::SetBitmapDecodeThreads(0);
}

} // namespace
