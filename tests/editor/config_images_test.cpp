// The editor bitmap table: loading the 101 bitmaps at the editor scale, lookups by image name,
// failures, and releasing them when an instance closes.
#include "Project_Source/src/ImageTable.h"
#include "Project_Source/src/UIConfigManager.h"
#include "config_test_support.h"

#include <gtest/gtest.h>

#include <set>
#include <unistd.h>

using namespace configtest;

namespace {

// Each frame of a test image measures 6 by 4 pixels.
constexpr int kFrameW = 6;
constexpr int kFrameH = 4;

int fileWidth(const ImageTableRow& row) { return row.framesHorizontal ? kFrameW * row.frames : kFrameW; }
int fileHeight(const ImageTableRow& row) { return row.framesHorizontal ? kFrameH : kFrameH * row.frames; }

std::string baseName(const char* file)
{
    std::string f = file;
    return f.substr(f.find_last_of('/') + 1);
}

// The 101 test images, written once for all tests into a fresh folder each test links to.
const std::string& imageFolder()
{
    static const std::string folder = [] {
        std::string f = makeTempDir() + "/img";
        ::mkdir(f.c_str(), 0755);
        for (size_t i = 0; i < kImageTableSize; ++i)
            writePng(f + "/" + baseName(kImageTable[i].file), fileWidth(kImageTable[i]), fileHeight(kImageTable[i]));
        return f;
    }();
    return folder;
}

class ImageFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = makeTempDir();
        ::mkdir((folder + "/img").c_str(), 0755);
        for (size_t i = 0; i < kImageTableSize; ++i) {
            std::string name = baseName(kImageTable[i].file);
            ASSERT_EQ(::symlink((imageFolder() + "/" + name).c_str(), (folder + "/img/" + name).c_str()), 0);
        }
        bundle = std::make_unique<BundleFolder>(folder);
        logPath = folder + "/log.txt";
        writeBytes(logPath, "");
    }

    std::vector<std::string> logTexts() { return logTextsOf(logPath); }

    void load(UIConfigManager& manager, double scale)
    {
        manager.setLogging(true, logPath);
        manager.graphics = &cache;
        manager.scale = scale;
        testing::internal::CaptureStdout();
        manager.initImages(&cache);
        testing::internal::GetCapturedStdout();
    }

    void clear(UIConfigManager& manager)
    {
        testing::internal::CaptureStdout();
        manager.ClearImageCache();
        testing::internal::GetCapturedStdout();
    }

    std::string folder;
    std::string logPath;
    std::unique_ptr<BundleFolder> bundle;
    TestBitmapCache cache;
};

class ImagesAtScale : public ImageFixture, public ::testing::WithParamInterface<double> {};

TEST_P(ImagesAtScale, EveryImageNameGivesTheFramesOrientationAndScaledSizeOfItsRow)
{
    const double scale = GetParam();
    UIConfigManager manager;
    load(manager, scale);
    ASSERT_EQ(manager.images.size(), kImageTableSize);
    for (size_t i = 0; i < kImageTableSize; ++i) {
        const ImageTableRow& row = kImageTable[i];
        ConfigBitmap b = manager.getImageByName(&cache, row.name);
        ASSERT_NE(b.bitmap, nullptr) << row.name;
        EXPECT_EQ(b.frames, row.frames) << row.name;
        EXPECT_EQ(b.framesHorizontal, row.framesHorizontal) << row.name;
        EXPECT_EQ(b.width, static_cast<int>(fileWidth(row) * scale)) << row.name;
        EXPECT_EQ(b.height, static_cast<int>(fileHeight(row) * scale)) << row.name;
    }
    // Each bitmap is decoded once and shared by every lookup.
    EXPECT_EQ(cache.decodes, 101);
    EXPECT_EQ(manager.getImageByName(&cache, "MAIN_BG_ID").bitmap, manager.getImageByName(&cache, "MAIN_BG_ID").bitmap);
    EXPECT_EQ(cache.decodes, 101);
    clear(manager);
}

INSTANTIATE_TEST_SUITE_P(EditorScales, ImagesAtScale, ::testing::Values(0.85, 1.0, 1.15));

TEST_F(ImageFixture, TheNamedRowsHaveTheFramesAndOrientationTheEditorDrawsWith)
{
    UIConfigManager manager;
    load(manager, 1.0);
    struct Expect {
        const char* name;
        int frames;
        bool horizontal;
    };
    const Expect expected[] = {
        {"MAIN_BG_ID", 1, true},
        {"BUTTON_TAB_SIDEBAR_ID", 2, true},
        {"BUTTON_TAB_TOPBAR_ID", 2, false},
        {"IKNOBROTATERCONTROL_ID3", 128, false},
        {"IKNOBROTATERCONTROL_ID5", 5, false},
        {"SLIDER_VAAKA", 1, false},
    };
    for (const auto& e : expected) {
        ConfigBitmap b = manager.getImageByName(&cache, e.name);
        EXPECT_EQ(b.frames, e.frames) << e.name;
        EXPECT_EQ(b.framesHorizontal, e.horizontal) << e.name;
    }
    EXPECT_EQ(manager.images.at("MAIN_BG_ID").id, 500);
    EXPECT_EQ(manager.images.at("IKNOBROTATERCONTROL_ID3").id, 169);
    clear(manager);
}

TEST_F(ImageFixture, AnUnknownNameGivesTheEmptyBitmapAndOneMissingLine)
{
    UIConfigManager manager;
    load(manager, 1.0);
    size_t before = logTexts().size();
    testing::internal::CaptureStdout();
    ConfigBitmap b = manager.getImageByName(&cache, "NO_SUCH_IMAGE");
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(b.bitmap, nullptr);
    EXPECT_EQ(b.width, 0);
    EXPECT_EQ(b.height, 0);
    EXPECT_EQ(b.frames, 1);
    EXPECT_FALSE(b.framesHorizontal);
    auto texts = logTexts();
    ASSERT_EQ(texts.size(), before + 1);
    EXPECT_EQ(texts.back(), "CONFIG READER: Image NO_SUCH_IMAGE MISSING!");
    clear(manager);
}

TEST_F(ImageFixture, AMissingOrUndecodableFileGivesAnEmptyBitmapAndALogLine)
{
    std::remove((folder + "/img/main-bg.png").c_str());
    // The link goes first, so the shared image stays whole.
    std::remove((folder + "/img/btn-search.png").c_str());
    writeBytes(folder + "/img/btn-search.png", "\x89PNG\r\n\x1a\n this is no image");
    UIConfigManager manager;
    load(manager, 1.0);
    EXPECT_EQ(cache.decodes, 99);
    for (const char* name : {"MAIN_BG_ID", "BUTTON_BANK_SEARCH_ID"}) {
        ConfigBitmap b = manager.getImageByName(&cache, name);
        EXPECT_EQ(b.bitmap, nullptr) << name;
        EXPECT_EQ(b.width, 0) << name;
        EXPECT_EQ(b.height, 0) << name;
    }
    auto texts = logTexts();
    EXPECT_TRUE(contains(texts, "CONFIG READER: Image MAIN_BG_ID could not be loaded from resources/img/main-bg.png!"));
    EXPECT_TRUE(contains(texts, "CONFIG READER: Image BUTTON_BANK_SEARCH_ID could not be loaded from "
                                "resources/img/btn-search.png!"));
    // The rest of the table loaded normally.
    EXPECT_NE(manager.getImageByName(&cache, "MAIN_BG_FRAME_ID").bitmap, nullptr);
    clear(manager);
    EXPECT_TRUE(cache.cache.empty());
}

TEST_F(ImageFixture, ClosingOneInstanceKeepsTheBitmapsAnotherOpenInstanceDraws)
{
    UIConfigManager first, second;
    load(first, 1.0);
    load(second, 1.0);
    EXPECT_EQ(cache.decodes, 101);
    EXPECT_EQ(UIConfigManager::imageUsers(MAIN_BG_ID), 2);

    clear(first);
    EXPECT_EQ(cache.cache.size(), 101u);
    EXPECT_EQ(cache.releases, 0);
    ConfigBitmap stillThere = second.getImageByName(&cache, "MAIN_BG_ID");
    EXPECT_NE(stillThere.bitmap, nullptr);
    EXPECT_EQ(UIConfigManager::imageUsers(MAIN_BG_ID), 1);

    // Clearing the closed instance again releases nothing more.
    clear(first);
    EXPECT_EQ(cache.cache.size(), 101u);
    EXPECT_EQ(UIConfigManager::imageUsers(MAIN_BG_ID), 1);

    clear(second);
    EXPECT_TRUE(cache.cache.empty());
    EXPECT_EQ(cache.releases, 101);
    for (size_t i = 0; i < kImageTableSize; ++i) {
        EXPECT_EQ(UIConfigManager::imageUsers(kImageTable[i].id), 0);
        EXPECT_EQ(second.getImageByName(&cache, kImageTable[i].name).bitmap, nullptr);
    }
    // The table keeps its rows; only the bitmaps are gone.
    EXPECT_EQ(second.images.size(), 101u);
    EXPECT_FALSE(second.releaseMode);
}

TEST_F(ImageFixture, AManagerDeletedWithoutClearingStopsCountingAsAUser)
{
    {
        UIConfigManager gone;
        load(gone, 1.0);
        EXPECT_EQ(UIConfigManager::imageUsers(MAIN_BG_ID), 1);
    }
    EXPECT_EQ(UIConfigManager::imageUsers(MAIN_BG_ID), 0);
    UIConfigManager manager;
    load(manager, 1.0);
    clear(manager);
    EXPECT_TRUE(cache.cache.empty());
}

TEST_F(ImageFixture, WithLoggingOffTheTableWritesNothing)
{
    std::remove(logPath.c_str());
    UIConfigManager manager;
    manager.setLogging(false, logPath);
    manager.scale = 1.0;
    manager.graphics = &cache;
    manager.initImages(&cache);
    manager.getImageByName(&cache, "NO_SUCH_IMAGE");
    manager.ClearImageCache();
    struct stat st;
    EXPECT_NE(::stat(logPath.c_str(), &st), 0);
}

} // namespace
