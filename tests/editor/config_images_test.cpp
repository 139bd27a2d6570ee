// The editor bitmap table: loading at the editor scales, lookups by name, failures, and
// releasing the bitmaps when an instance closes.
#include "Project_Source/src/ImageTable.h"
#include "Project_Source/src/UIConfigManager.h"
#include "config_test_support.h"

#include <gtest/gtest.h>

#include <unistd.h>

using namespace configtest;

namespace {

// Each frame of a test image measures 6 by 4 pixels.
int fileWidth(const ImageTableRow& row) { return row.framesHorizontal ? 6 * row.frames : 6; }
int fileHeight(const ImageTableRow& row) { return row.framesHorizontal ? 4 : 4 * row.frames; }

std::string baseName(const char* file)
{
    std::string f = file;
    return f.substr(f.find_last_of('/') + 1);
}

// The 101 images are written once; each test links them into its own bundle folder.
const std::string& imageFolder()
{
    static TempDir dir;
    static const bool written = [] {
        for (size_t i = 0; i < kImageTableSize; ++i)
            writePng(dir.file(baseName(kImageTable[i].file)), fileWidth(kImageTable[i]), fileHeight(kImageTable[i]));
        return true;
    }();
    (void)written;
    return dir.path;
}

class Images : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::mkdir(f.dir.file("img").c_str(), 0755);
        for (size_t i = 0; i < kImageTableSize; ++i) {
            std::string name = baseName(kImageTable[i].file);
            ASSERT_EQ(::symlink((imageFolder() + "/" + name).c_str(), f.dir.file("img/" + name).c_str()), 0);
        }
    }
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
            EXPECT_EQ(b.N, row.frames) << row.name;
            EXPECT_EQ(b.mFramesAreHorizontal, row.framesHorizontal) << row.name;
            EXPECT_EQ(b.W, static_cast<int>(fileWidth(row) * scale)) << row.name;
            EXPECT_EQ(b.H, static_cast<int>(fileHeight(row) * scale)) << row.name;
        }
        EXPECT_EQ(f.surface.decodes, 101);
        quiet([&] { manager.ClearImageCache(); });
        f.surface.decodes = 0;
    }
}

TEST_F(Images, AnUnknownNameOrAMissingOrUndecodableFileGivesAnEmptyBitmapAndALogLine)
{
    std::remove(f.dir.file("img/main-bg.png").c_str());
    std::remove(f.dir.file("img/btn-search.png").c_str()); // the link, so the shared image stays
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
    for (size_t i = 0; i < kImageTableSize; ++i) EXPECT_FALSE(ConfigSurface::cached(kImageTable[i].id));
}

TEST_F(Images, ClosingOneInstanceKeepsTheBitmapsAnotherOpenInstanceDraws)
{
    UIConfigManager first, second;
    load(first);
    load(second);
    EXPECT_EQ(f.surface.decodes, 101);
    EXPECT_EQ(UIConfigManager::imageUsers(MAIN_BG_ID), 2);
    // Clearing the closed instance a second time releases nothing more.
    for (int i = 0; i < 2; ++i) {
        quiet([&] { first.ClearImageCache(); });
        for (size_t k = 0; k < kImageTableSize; ++k) EXPECT_TRUE(ConfigSurface::cached(kImageTable[k].id));
        EXPECT_NE(second.getImageByName(&f.surface, "MAIN_BG_ID").mData, nullptr);
        EXPECT_EQ(UIConfigManager::imageUsers(MAIN_BG_ID), 1);
    }
    quiet([&] { second.ClearImageCache(); });
    for (size_t i = 0; i < kImageTableSize; ++i) {
        EXPECT_FALSE(ConfigSurface::cached(kImageTable[i].id));
        EXPECT_EQ(UIConfigManager::imageUsers(kImageTable[i].id), 0);
    }
    EXPECT_EQ(second.images.size(), 101u); // the table keeps its rows
    EXPECT_FALSE(second.releaseMode);
    {
        UIConfigManager gone; // deleted without clearing: no longer a user
        load(gone);
        EXPECT_EQ(UIConfigManager::imageUsers(MAIN_BG_ID), 1);
    }
    EXPECT_EQ(UIConfigManager::imageUsers(MAIN_BG_ID), 0);
}

} // namespace
