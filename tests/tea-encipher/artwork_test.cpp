// The editor bitmaps the build draws: every file and the shape the loader reads from it, knob
// strips that scale frame by frame, pointers that turn, the progress overlay, the section table,
// and the same bytes from every run.
#include "Project_Source/src/ImageTable.h"
#include "editor/config_test_support.h"
#include "kit/raster/rast_blit.h"
#include "kit/raster/rast_rect.h"
#include "kit/raster/rast_scaled.h"
#include "support/tempdir.h"
#include "support/testpaths.h"
#include "tools/pngwriter/png_writer.h"
#include "tools/tea-encipher/artwork.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <unistd.h>

using namespace configtest;
using testsupport::binaryDir;

namespace
{

std::string imageDir()
{
    return binaryDir() + "/resources/img";
}

// What the build drew from: the tree's chart folder.
artwork::Inputs buildInputs()
{
    return artwork::readInputs(testsupport::sourceDir() + "/resources/chart", nullptr);
}

std::string fileName(const ImageTableRow& row)
{
    return artwork::imageFileName(row);
}

const ImageTableRow& rowOf(int id)
{
    for (size_t i = 0; i < kImageTableSize; ++i)
        if (kImageTable[i].id == id) return kImageTable[i];
    throw std::runtime_error("no row " + std::to_string(id));
}

std::unique_ptr<RAST_IBitmap> loadFile(const std::string& path)
{
    return std::unique_ptr<RAST_IBitmap>(RAST_LoadPNG(path.c_str()));
}

// Frames (and radio buttons) across and down the image of a row.
void cutOf(const ImageTableRow& row, const artwork::Picture& p, int* across, int* down)
{
    const int buttons = std::max(p.buttons, 1);
    *across = row.framesHorizontal ? row.frames : buttons;
    *down = row.framesHorizontal ? buttons : row.frames;
}

int channelDistance(unsigned int a, unsigned int b)
{
    int d = 0;
    for (int s = 0; s < 32; s += 8) d = std::max(d, std::abs(int((a >> s) & 255) - int((b >> s) & 255)));
    return d;
}

const int kKnobs[] = {110, 111, 112, 113, 114, 115, 169};

// Every image on one sheet for a look by eye: knob strips show eight of their frames side by
// side, small images are magnified, large ones shrunk.
void writeContactSheet(const std::string& path)
{
    const int sheetW = 1900, gap = 12;
    std::vector<std::pair<std::unique_ptr<RAST_IBitmap>, int>> shown; // image, magnified size
    RAST_MemBitmap sheet(sheetW, 4000, 4);
    RAST_Clear(&sheet, RAST_MakePixel(96, 98, 102, 255));
    int x = gap, y = gap, rowH = 0;
    for (size_t i = 0; i < kImageTableSize; ++i) {
        const ImageTableRow& row = kImageTable[i];
        std::unique_ptr<RAST_IBitmap> image = loadFile(imageDir() + "/" + fileName(row));
        if (!image) continue;
        int w = image->getWidth(), h = image->getHeight();
        std::unique_ptr<RAST_IBitmap> view;
        if (!row.framesHorizontal && row.frames > 2) {
            const int f = h / row.frames, picks = 8;
            view.reset(new RAST_MemBitmap(w * picks, f, 4));
            RAST_Clear(view.get(), 0);
            for (int k = 0; k < picks; ++k)
                RAST_Blit(view.get(), image.get(), k * w, 0, 0, (k * (row.frames - 1) / (picks - 1)) * f, w, f, 1.0f,
                          0);
            w *= picks, h = f;
        } else {
            view = std::move(image);
        }
        const double m = std::min({3.0, 440.0 / w, 300.0 / h});
        const int dw = std::max(1, int(w * m)), dh = std::max(1, int(h * m));
        if (x + dw > sheetW - gap) x = gap, y += rowH + gap, rowH = 0;
        RAST_ScaledBlit(&sheet, view.get(), x, y, dw, dh, 0, 0, float(w), float(h), 1.0f, m < 1 ? 0x10100 : 0x10000);
        x += dw + gap, rowH = std::max(rowH, dh);
    }
    const int used = std::min(sheet.getHeight(), y + rowH + gap);
    pngw::writeFile(pngw::encodeArgbWords(sheet.getBits(), sheetW, used, sheet.getRowSpan()), path);
}

TEST(Artwork, EveryFilePassesPngcheckAndLoadsWithTheFramesOfItsRowAtEveryScale)
{
    std::string command = "pngcheck -q";
    for (size_t i = 0; i < kImageTableSize; ++i) command += " " + imageDir() + "/" + fileName(kImageTable[i]);
    EXPECT_EQ(std::system((command + " >/dev/null").c_str()), 0);

    ConfigFolder<UIConfigManager> f;
    ASSERT_EQ(::symlink(imageDir().c_str(), f.dir.file("img").c_str()), 0);
    const artwork::Inputs in = buildInputs();
    for (auto [scale, k] : {std::pair{0.85, 17}, {1.0, 20}, {1.15, 23}}) {
        SCOPED_TRACE(scale);
        UIConfigManager manager;
        manager.graphics = &f.surface;
        manager.scale = scale;
        testing::internal::CaptureStdout();
        manager.initImages(&f.surface);
        testing::internal::GetCapturedStdout();
        for (size_t i = 0; i < kImageTableSize; ++i) {
            const ImageTableRow& row = kImageTable[i];
            std::unique_ptr<RAST_IBitmap> file = loadFile(imageDir() + "/" + fileName(row));
            ASSERT_TRUE(file) << row.file;
            const IBitmap b = manager.getImageByName(&f.surface, row.name);
            ASSERT_NE(b.mData, nullptr) << row.name;
            EXPECT_EQ(std::vector<int>({b.N, b.mFramesAreHorizontal}),
                      std::vector<int>({row.frames, row.framesHorizontal}))
                << row.name;
            std::string fault;
            const artwork::Picture p = artwork::draw(row, in, &fault);
            ASSERT_TRUE(p.canvas) << fault;
            int across = 1, down = 1;
            cutOf(row, p, &across, &down);
            EXPECT_EQ(std::vector<int>({file->getWidth(), file->getHeight()}),
                      std::vector<int>({p.frameW * across, p.frameH * down}))
                << row.name;
            if (across * down > 1) { // frames and buttons land on whole pixels
                EXPECT_EQ(std::vector<int>({b.W * 20, b.H * 20}),
                          std::vector<int>({file->getWidth() * k, file->getHeight() * k}))
                    << row.name;
            }
        }
        manager.ClearImageCache();
    }
    writeContactSheet(binaryDir() + "/tests/artwork-contact-sheet.png");
}

TEST(Artwork, KnobStripsScaleFrameByFrameAsEachFrameScaledAlone)
{
    for (int id : kKnobs) {
        const ImageTableRow& row = rowOf(id);
        std::unique_ptr<RAST_IBitmap> strip = loadFile(imageDir() + "/" + fileName(row));
        ASSERT_TRUE(strip) << row.file;
        const int fw = strip->getWidth(), fh = strip->getHeight() / row.frames;
        ASSERT_EQ(strip->getHeight(), fh * row.frames) << row.file;
        for (double scale : {0.85, 1.0, 1.15}) {
            // As the bitmap cache loads: the whole strip scaled once, bilinear.
            const int s = int(fw * scale), t = int(fh * scale), th = int(strip->getHeight() * scale);
            ASSERT_EQ(th, t * row.frames) << row.file << " at " << scale;
            RAST_MemBitmap whole(s, th, 4), alone(s, t, 4), aligned(s, t, 4);
            RAST_ScaledBlit(&whole, strip.get(), 0, 0, s, th, 0, 0, float(fw), float(strip->getHeight()), 1.0f, 0x100);
            // The scaled blit steps through the source in 16.16 fixed point, so frame i of the
            // strip starts up to i x t / 65536 pixels away from i x fh. A frame scaled alone from
            // that same start shows whether anything of its neighbours came in; one scaled from
            // i x fh is compared where the step has not yet moved the start by 1/128 pixel.
            const long long step = static_cast<long long>(double(float(fh) / float(t)) * 65536);
            int worstAligned = 0, worstAlone = 0, worstAnywhere = 0;
            for (int i = 0; i < row.frames; ++i) {
                const double start = double(i) * t * step / 65536.0;
                RAST_ScaledBlit(&alone, strip.get(), 0, 0, s, t, 0, float(i * fh), float(fw), float(fh), 1.0f, 0x100);
                RAST_ScaledBlit(&aligned, strip.get(), 0, 0, s, t, 0, float(start), float(fw), float(fh), 1.0f, 0x100);
                int a = 0, e = 0;
                for (int y = 0; y < t; ++y)
                    for (int x = 0; x < s; ++x) {
                        const unsigned int p = RAST_GetPixel(&whole, x, i * t + y);
                        a = std::max(a, channelDistance(p, RAST_GetPixel(&aligned, x, y)));
                        e = std::max(e, channelDistance(p, RAST_GetPixel(&alone, x, y)));
                    }
                worstAligned = std::max(worstAligned, a);
                worstAnywhere = std::max(worstAnywhere, e);
                if (std::fabs(start - i * fh) < 1.0 / 128) worstAlone = std::max(worstAlone, e);
            }
            EXPECT_LE(worstAligned, 2) << row.file << " at " << scale;
            EXPECT_LE(worstAlone, 2) << row.file << " at " << scale;
            if (scale == 1.0) {
                EXPECT_EQ(worstAnywhere, 0) << row.file;
            }
            std::printf("%s at %.2f: frames differ from frames scaled alone by at most %d levels\n",
                        fileName(row).c_str(), scale, worstAnywhere);
        }
    }
}

// The pointer's direction from the white pixels of one frame, in degrees from twelve o'clock
// around the knob's centre; the knob is as wide as the frame and sits at its top.
double pointerAngle(RAST_IBitmap* strip, int frame, int fw, int fh)
{
    double sx = 0, sy = 0, n = 0;
    for (int y = 0; y < fh; ++y)
        for (int x = 0; x < fw; ++x) {
            const unsigned int p = RAST_GetPixel(strip, x, frame * fh + y);
            // Weighted by how white the pixel is, so that a pointer a few pixels long still
            // resolves steps of two degrees.
            const int lightest = std::min({RAST_PixelR(p), RAST_PixelG(p), RAST_PixelB(p)});
            const double w = RAST_PixelA(p) < 200 ? 0 : std::max(0, lightest - 150);
            sx += w * (x + 0.5 - fw / 2.0), sy += w * (y + 0.5 - fw / 2.0), n += w;
        }
    return n ? std::atan2(sx, -sy) * 180.0 / M_PI : 1e9;
}

TEST(Artwork, KnobPointersTurnFromMinus135To135InEqualSteps)
{
    for (int id : kKnobs) {
        const ImageTableRow& row = rowOf(id);
        std::unique_ptr<RAST_IBitmap> strip = loadFile(imageDir() + "/" + fileName(row));
        ASSERT_TRUE(strip) << row.file;
        const int fw = strip->getWidth(), fh = strip->getHeight() / row.frames;
        double last = -1e9, worst = 0;
        for (int i = 0; i < row.frames; ++i) {
            const double angle = pointerAngle(strip.get(), i, fw, fh);
            worst = std::max(worst, std::fabs(angle - (-135.0 + 270.0 * i / (row.frames - 1))));
            EXPECT_GT(angle, last) << row.file << " frame " << i;
            last = angle;
        }
        EXPECT_LT(worst, 3.0) << row.file;
    }
}

TEST(Artwork, FramesKeepATransparentBorder)
{
    const artwork::Inputs in = buildInputs();
    for (size_t i = 0; i < kImageTableSize; ++i) {
        const ImageTableRow& row = kImageTable[i];
        std::string fault;
        artwork::Picture p = artwork::draw(row, in, &fault);
        int across = 1, down = 1;
        cutOf(row, p, &across, &down);
        if (across * down < 2) continue;
        RAST_IBitmap* bm = p.canvas->bitmap();
        int opaque = 0;
        for (int fy = 0; fy < down; ++fy)
            for (int fx = 0; fx < across; ++fx)
                for (int t = 0; t < std::max(p.frameW, p.frameH); ++t) {
                    const int x0 = fx * p.frameW, y0 = fy * p.frameH, x1 = x0 + p.frameW - 1, y1 = y0 + p.frameH - 1;
                    const int x = x0 + std::min(t, p.frameW - 1), y = y0 + std::min(t, p.frameH - 1);
                    for (unsigned int px : {RAST_GetPixel(bm, x, y0), RAST_GetPixel(bm, x, y1),
                                            RAST_GetPixel(bm, x0, y), RAST_GetPixel(bm, x1, y)})
                        opaque += RAST_PixelA(px) != 0;
                }
        EXPECT_EQ(opaque, 0) << row.file;
    }
}

TEST(Artwork, ProgressOverlayDarkensAWhiteSurfaceEvenly)
{
    std::unique_ptr<RAST_IBitmap> overlay = loadFile(imageDir() + "/qor-progress-overlay.png");
    ASSERT_TRUE(overlay);
    ASSERT_EQ(std::vector<int>({overlay->getWidth(), overlay->getHeight()}), std::vector<int>({1724, 870}));
    RAST_MemBitmap white(1724, 870, 4);
    RAST_Clear(&white, 0xFFFFFFFFu);
    RAST_Blit(&white, overlay.get(), 0, 0, nullptr, 1.0f, 0x10000);
    const unsigned int first = RAST_GetPixel(&white, 0, 0);
    int differing = 0;
    for (int y = 0; y < 870; ++y)
        for (int x = 0; x < 1724; ++x) differing += RAST_GetPixel(&white, x, y) != first;
    EXPECT_EQ(differing, 0);
    EXPECT_EQ(RAST_PixelR(first), RAST_PixelB(first));
    EXPECT_NEAR(RAST_PixelR(first), 102, 4); // 60 % dark
}

TEST(Artwork, SizesScaleWholeExactlyForTheMultiplesOf20TheLoaderKeeps)
{
    std::vector<int> whole;
    for (int v = 20; v <= 640; v += 20)
        if (artwork::scalesWhole(v)) whole.push_back(v);
    EXPECT_EQ(whole, std::vector<int>({20,  40,  60,  80,  120, 140, 160, 240, 260, 280, 300,
                                       320, 460, 480, 500, 520, 540, 560, 580, 600, 620, 640}));
    for (int v : {1, 17, 45, 127, 18, 35}) EXPECT_FALSE(artwork::scalesWhole(v)) << v;
}

TEST(Artwork, ChartFolderGivesSectionFramesAndButtonCountsAndSizesTheImageCannotHaveAreRefused)
{
    testsupport::TempDir dir;
    writeFile(dir.file("sections.tsv"), "# kind name parent image x y w h title cols rows cellW cellH\n"
                                        "\n"
                                        "page\toscillators\t-\tOSCILLATORS_ID\t0\t100\t1500\t560\t-\t-\t-\t-\t-\n"
                                        "section\tosc1\toscillators\t-\t20\t120\t300\t200\tOscillator 1\t2\t2\t60\t60\n"
                                        "section\tbroken\toscillators\t-\tx\t1\t2\t3\tno\n"
                                        "panel\tbrowser\tpatchLibrarian\t103\t379\t208\t1000\t500\t-\n"
                                        "section\tmatrixTabs\toscillators\t-\t80\t282\t320\t20\t-\t1\t1\t320\t20\n"
                                        "section\tmainTabs\t-\t-\t80\t8\t560\t28\t-\t1\t1\t560\t28\n");
    writeFile(dir.file("lists.tsv"), "# name, then texts\n"
                                     "oscillatorShape\tSawtooth\tPulse\tTriangle\n"
                                     "\tSine\tFormant\n"
                                     "dataType\tPrograms\tMultis\n");
    writeFile(dir.file("chart.tsv"),
              "# name label type image bounds list address channel link layer section\n"
              "kMatrixSelector\tMatrix\tradio\tMOD_TAB_ID\t4\t-\t-\t-\t-\teffects1Panel\tmatrixTabs\n"
              "kMainTab\tMain Tab\tradio\tBUTTON_TAB_TOPBAR_ID\t7\t-\t-\t-\t-\t-\tmainTabs\n"
              "kCurrentModel\tModel\tradio\tBTN_SMALL_LED_SM_ID\t3\t-\t-\t-\t-\t-\tmainTabs\n");
    std::vector<std::string> notes;
    const artwork::Inputs in = artwork::readInputs(dir.path, &notes);
    EXPECT_EQ(in.sections.size(), 5u);
    EXPECT_EQ(notes, std::vector<std::string>({dir.file("sections.tsv") + ":5: not a row of the section table, skipped",
                                               dir.file("lists.tsv") + ": dataType has 2 entries, the artwork needs "
                                                                       "3; the tool's own are drawn"}));

    // Button counts and sizes: the waveform strip has a button for each of the chart's five
    // shapes, 60 wide as 5 x 40 would not scale whole; the matrix tabs fill their cell; the main
    // tabs' cell is 28 high, which no strip can take.
    std::string fault;
    artwork::Picture shapes = artwork::draw(rowOf(321), in, &fault);
    ASSERT_TRUE(shapes.canvas) << fault;
    artwork::Picture matrix = artwork::draw(rowOf(327), in, &fault);
    ASSERT_TRUE(matrix.canvas) << fault;
    EXPECT_EQ(std::vector<int>({shapes.buttons, shapes.canvas->width(), shapes.canvas->height(), matrix.buttons,
                                matrix.canvas->width(), matrix.canvas->height()}),
              std::vector<int>({5, 300, 40, 4, 320, 40}));
    EXPECT_EQ(artwork::sizeFault(rowOf(321), shapes, in) + artwork::sizeFault(rowOf(327), matrix, in), "");
    EXPECT_FALSE(artwork::draw(rowOf(132), in, &fault).canvas);
    EXPECT_EQ(fault, "main-tab-selector.png: the layout's cell gives buttons of 80x28; 28 pixels do not scale to "
                     "whole pixels at 0.85 and 1.15");
    EXPECT_EQ(artwork::radioNote(rowOf(319), in), "buttom-small-led.png: kCurrentModel is a radio of 3 buttons on it, "
                                                  "but it is a single button, not a strip");
    EXPECT_EQ(artwork::radioNote(rowOf(327), in), "");

    artwork::Picture page = artwork::draw(rowOf(504), in, &fault);
    ASSERT_TRUE(page.canvas);
    EXPECT_EQ(std::vector<int>({page.canvas->width(), page.canvas->height()}), std::vector<int>({1500, 560}));
    EXPECT_EQ(artwork::sizeFault(rowOf(504), page, in), "");
    // The frame's edge at the section's rectangle less the page's corner, against the bare page.
    RAST_IBitmap* bm = page.canvas->bitmap();
    EXPECT_GT(channelDistance(RAST_GetPixel(bm, 20, 60), RAST_GetPixel(bm, 10, 60)), 20);
    EXPECT_GT(channelDistance(RAST_GetPixel(bm, 100, 20 + 199), RAST_GetPixel(bm, 100, 20 + 205)), 20);
    artwork::Picture bare = artwork::draw(rowOf(504), artwork::defaultInputs(), &fault);
    EXPECT_EQ(
        channelDistance(RAST_GetPixel(bare.canvas->bitmap(), 20, 60), RAST_GetPixel(bare.canvas->bitmap(), 10, 60)), 0);

    artwork::Picture browser = artwork::draw(rowOf(103), in, &fault);
    EXPECT_EQ(artwork::sizeFault(rowOf(103), browser, in),
              "qor-browser-layer-bg.png: the layout expects 1000x500 for browser, the image is 1064x500");
    EXPECT_TRUE(artwork::readSections(dir.file("missing.tsv")).empty());

    // A background larger than the loader reads is refused before it is drawn.
    artwork::Inputs huge = artwork::defaultInputs();
    huge.sections.resize(1);
    huge.sections[0].kind = "page", huge.sections[0].image = "OSCILLATORS_ID";
    huge.sections[0].w = huge.sections[0].h = 100000;
    EXPECT_FALSE(artwork::draw(rowOf(504), huge, &fault).canvas);
    EXPECT_EQ(fault, "qor-oscillators.png: 100000x100000 is larger than the loader reads");
}

// Whether a titled frame of a section is drawn at (x, y) of a background: its title's accent mark.
bool titledFrameAt(artwork::Picture& p, int x, int y)
{
    const unsigned int mark = RAST_GetPixel(p.canvas->bitmap(), x + 9, y + 10);
    return RAST_PixelR(mark) > 200 && RAST_PixelG(mark) < 120;
}

TEST(Artwork, SectionsLandOnTheBackgroundUpTheirLayersAndTakingTurnsDropsTheirTitles)
{
    testsupport::TempDir dir;
    writeFile(dir.file("sections.tsv"),
              "page\tosc\t-\tOSCILLATORS_ID\t70\t100\t1430\t612\t-\t-\t-\t-\t-\t2\t-\n"
              "page\tfx\t-\tEFFECTS_ID\t70\t100\t1430\t612\t-\t-\t-\t-\t-\t5\t-\n"
              "panel\toscPanel\tosc\t-\t70\t100\t1430\t612\t-\t-\t-\t-\t-\t-\t-\n"
              "section\tosc1\toscPanel\t-\t80\t110\t400\t200\tOscillator 1\t1\t1\t56\t56\t-\t-\n"
              "strip\tlfo1\toscPanel\t-\t80\t320\t400\t200\t-\t-\t-\t-\t-\t10\talt\n"
              "section\tm1\tlfo1\t-\t80\t320\t400\t200\tLFO 1\t1\t1\t56\t56\t-\t-\n"
              "strip\tlfo2\toscPanel\t-\t80\t320\t400\t200\t-\t-\t-\t-\t-\t11\talt\n"
              "section\tm2\tlfo2\t-\t80\t320\t400\t200\tLFO 2\t1\t1\t56\t56\t-\t-\n"
              "strip\tvocoderLayer\t-\t-\t600\t110\t400\t130\t-\t-\t-\t-\t-\t-\tpages=5\n"
              "section\tvocoder\tvocoderLayer\t-\t600\t110\t400\t130\tVocoder\t1\t1\t56\t56\t-\t-\n"
              "section\treadouts\t-\t-\t660\t8\t470\t88\tRead-out\t1\t1\t56\t56\t-\t-\n"
              "window\tmidiFilterSettings\t-\tBG_ID_MIDI_FILTERS\t450\t200\t600\t350\t-\t-\t-\t-\t-\t-\toverlay\n"
              "section\tmidiFilters\tmidiFilterSettings\t-\t470\t240\t560\t290\tMIDI filters\t7\t3\t80\t60\t-\t-\n");
    const artwork::Inputs in = artwork::readInputs(dir.path, nullptr);
    ASSERT_EQ(in.sections.size(), 13u);
    std::string fault;
    artwork::Picture osc = artwork::draw(rowOf(504), in, &fault), fx = artwork::draw(rowOf(507), in, &fault),
                     window = artwork::draw(rowOf(104), in, &fault);
    // A section on a panel lands on the panel's page; the two that take turns keep their frame
    // and lose their titles.
    EXPECT_TRUE(titledFrameAt(osc, 10, 10));
    EXPECT_FALSE(titledFrameAt(osc, 10, 220));
    EXPECT_GT(
        channelDistance(RAST_GetPixel(osc.canvas->bitmap(), 10, 300), RAST_GetPixel(osc.canvas->bitmap(), 5, 300)), 20);
    // A top-level layer over the pages lands on the pages it shows with; one in the header on the
    // window.
    EXPECT_TRUE(titledFrameAt(fx, 530, 10));
    EXPECT_FALSE(titledFrameAt(osc, 530, 10));
    EXPECT_FALSE(titledFrameAt(window, 600, 110));
    EXPECT_TRUE(titledFrameAt(window, 660, 8));
    // A window whose section carries its title does not say it twice.
    artwork::Picture alone = artwork::draw(rowOf(317), artwork::defaultInputs(), &fault),
                     placed = artwork::draw(rowOf(317), in, &fault);
    EXPECT_GT(RAST_PixelR(RAST_GetPixel(alone.canvas->bitmap(), 100, 29)), 200);
    EXPECT_LT(RAST_PixelR(RAST_GetPixel(placed.canvas->bitmap(), 100, 29)), 100);
    EXPECT_TRUE(titledFrameAt(placed, 20, 40));
}

// The bank-edit menu draws nothing of its own: its one-line section must say what it is. The
// category strip between the librarian's panes is a caption: words with nothing around them that
// could pass for a menu.
TEST(Artwork, AOneLineSectionShowsItsTitleAndTheCategoryStripIsAPlainCaption)
{
    testsupport::TempDir dir;
    writeFile(
        dir.file("sections.tsv"),
        "page\tpatchLibrarian\troot\tMANAGER_BG_ID2\t70\t100\t1430\t612\t-\t-\t-\t-\t-\t1\t-\n"
        "section\tbankEditMenu\tpatchLibrarian\t-\t824\t187\t77\t19\tEdit bank\t-\t-\t-\t-\t-\t-\n"
        "strip\tcategoryLimit\t-\tBG_ID_CATEGORY_FILTER\t800\t461\t250\t19\t-\t-\t-\t-\t-\t-\talt,overlay,pages=1\n");
    const artwork::Inputs in = artwork::readInputs(dir.path, nullptr);
    std::string fault;
    artwork::Picture page = artwork::draw(rowOf(102), in, &fault);
    ASSERT_TRUE(page.canvas) << fault;
    int lit = 0;
    for (int y = 87; y < 87 + 19; ++y)
        for (int x = 754; x < 754 + 77; ++x) lit += RAST_PixelR(RAST_GetPixel(page.canvas->bitmap(), x, y)) > 180;
    EXPECT_GT(lit, 40) << "the title's letters in the section's box";

    artwork::Picture strip = artwork::draw(rowOf(316), in, &fault);
    ASSERT_TRUE(strip.canvas) << fault;
    ASSERT_EQ(std::vector<int>({strip.canvas->width(), strip.canvas->height()}), std::vector<int>({250, 19}));
    RAST_IBitmap* bm = strip.canvas->bitmap();
    int inked = 0;
    for (int y = 0; y < 19; ++y)
        for (int x = 0; x < 250; ++x) inked += RAST_PixelR(RAST_GetPixel(bm, x, y)) > 100;
    EXPECT_GT(inked, 20) << "the caption's letters";
    // No edge and no accent mark: along each row the ends and the middle are one shade.
    for (int y : {0, 9, 18})
        EXPECT_EQ(RAST_GetPixel(bm, 0, y), RAST_GetPixel(bm, 249, y)) << y;
    EXPECT_FALSE(titledFrameAt(strip, -1, -1));
    // Alone, at the size of a window, it keeps its window's look.
    artwork::Picture alone = artwork::draw(rowOf(316), artwork::defaultInputs(), &fault);
    EXPECT_EQ(alone.canvas->height(), 60);
    EXPECT_GT(RAST_PixelR(RAST_GetPixel(alone.canvas->bitmap(), 100, 29)), 200);
}

// A control's name goes where the generator placed it, wrapped at its spaces; one that does not
// fit its place is refused, naming the image.
TEST(Artwork, PlacedNamesAreDrawnWrappedOrRefused)
{
    artwork::Inputs in = artwork::defaultInputs();
    in.labels.push_back({"500", 100, 100, 60, 24, false, "Sync Keyfollow"});
    std::string fault;
    artwork::Picture p = artwork::draw(rowOf(500), in, &fault);
    ASSERT_TRUE(fault.empty()) << fault;
    auto inked = [&](int top) { // the brightest red of a line of the place
        int most = 0;
        for (int y = top; y < top + 12; ++y)
            for (int x = 100; x < 160; ++x) most = std::max(most, RAST_PixelR(RAST_GetPixel(p.canvas->bitmap(), x, y)));
        return most;
    };
    EXPECT_GT(inked(100), 120); // "Sync"
    EXPECT_GT(inked(112), 120); // "Keyfollow", on the second line
    const std::pair<std::string, int> refused[] = {{"Supercalifragilistic", 24}, {"Sync Keyfollow", 12}};
    for (const auto& [text, h] : refused) {
        in.labels[0].text = text, in.labels[0].h = h;
        EXPECT_FALSE(artwork::draw(rowOf(500), in, &fault).canvas);
        EXPECT_NE(fault.find("main-bg.png: the name \"" + text + "\" does not fit"), std::string::npos) << fault;
    }
    // Two long names in neighbouring places of a knob grid keep a clear column between them.
    in.labels = {{"500", 100, 200, 74, 24, false, "Env2filter Freq Amnt"},
                 {"500", 176, 200, 74, 24, false, "Env3filter Freq Amnt"}};
    artwork::Picture two = artwork::draw(rowOf(500), in, &fault);
    ASSERT_TRUE(two.canvas) << fault;
    auto clear = [&](int x) {
        for (int y = 200; y < 224; ++y)
            if (RAST_PixelR(RAST_GetPixel(two.canvas->bitmap(), x, y)) > 80) return false;
        return true;
    };
    int clearColumns = 0;
    for (int x = 170; x < 180; ++x) clearColumns += clear(x);
    EXPECT_GE(clearColumns, 8);
}

// What the drawing would get wrong (a radio over a single button, a label list too short) fails
// the run, as a refused image does.
TEST(Artwork, ARadioOnASingleButtonFailsTheRun)
{
    testsupport::TempDir chart, out;
    writeFile(chart.file("chart.tsv"), "kCurrentModel\tModel\tradio\tBTN_SMALL_LED_SM_ID\t3\t-\t-\t-\t-\t-\t-\n");
    const std::string tool = binaryDir() + "/tools/tea-encipher/qor-make-images ";
    const std::string log = out.file("stderr.txt");
    EXPECT_NE(std::system((tool + out.path + " " + chart.path + " 2>" + log + " >/dev/null").c_str()), 0);
    const testsupport::Bytes said = testsupport::readFile(log);
    EXPECT_NE(std::string(said.begin(), said.end()).find("kCurrentModel is a radio of 3 buttons on it"), std::string::npos);
}

TEST(Artwork, TwoRunsWriteTheSameBytesAsTheBuild)
{
    testsupport::TempDir one, two;
    const std::string tool = binaryDir() + "/tools/tea-encipher/qor-make-images ";
    // The build draws the controls' names from the generator's placement listing.
    const std::string chart = testsupport::sourceDir() + "/resources/chart " + binaryDir() + "/resources/labels.tsv";
    ASSERT_EQ(std::system((tool + one.path + " " + chart + " >/dev/null 2>&1").c_str()), 0);
    ASSERT_EQ(std::system((tool + two.path + " " + chart + " >/dev/null 2>&1").c_str()), 0);
    for (size_t i = 0; i < kImageTableSize; ++i) {
        const std::string name = fileName(kImageTable[i]);
        const testsupport::Bytes first = testsupport::readFile(one.file(name));
        EXPECT_FALSE(first.empty()) << name;
        EXPECT_TRUE(first == testsupport::readFile(two.file(name))) << name;
        EXPECT_TRUE(first == testsupport::readFile(imageDir() + "/" + name)) << name;
    }
}

} // namespace
