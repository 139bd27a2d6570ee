// The bitmap table decoded on several threads from the bundle: a missing or damaged file still
// gives its one log line, in table order, and an empty bitmap, while every other row loads.
#include "Project_Source/src/ImageTable.h"
#include "Project_Source/src/UIConfigManager.h"
#include "config_test_support.h"
#include "kit/plugin/IGraphicsMac.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <unistd.h>

#include <atomic>
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
        const int threadsAfter = threadsOfProcess();
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(threadsAfter, threadsBefore); // the decode threads are gone

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

} // namespace
