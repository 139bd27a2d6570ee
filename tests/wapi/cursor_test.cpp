// Cursors: ids, the built-in images, cursor files and their fall-backs, resources, showing and
// hiding with the relative mouse mode, and the cursor position.
#include <gtest/gtest.h>

#include "kit/wapi/wapi-input.h"
#include "kit/wapi/wapi-internal.h"
#include "support/tempdir.h"
#include "tools/pngwriter/png_writer.h"
#include "window_fixture.h"

#include <CoreGraphics/CoreGraphics.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace {

using testsupport::Bytes;
using testsupport::TempDir;

void put16(Bytes& b, uint32_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
void put32(Bytes& b, uint32_t v) {
  put16(b, v & 0xFFFF);
  put16(b, v >> 16);
}

// A 32-bit 16 x 16 image as icon files hold it: red at the top left, blue at the bottom right,
// the rest clear.
Bytes iconBitmap() {
  Bytes b;
  for (uint32_t v : {40u, 16u, 32u}) put32(b, v);
  put16(b, 1);
  put16(b, 32);
  for (int i = 0; i < 6; ++i) put32(b, 0);
  for (int row = 15; row >= 0; --row)  // bottom up
    for (int x = 0; x < 16; ++x) {
      const bool red = row == 0 && x == 0, blue = row == 15 && x == 15;
      b.insert(b.end(), {uint8_t(blue ? 255 : 0), 0, uint8_t(red ? 255 : 0), uint8_t(red || blue ? 255 : 0)});
    }
  b.insert(b.end(), 16 * 4, 0);  // the mask
  return b;
}

struct CurEntry {
  int hx = 3, hy = 5;
  uint8_t reserved = 0;
};

// A cursor file (type 2) with one directory entry per given entry, all naming the same image.
Bytes cursorFile(std::vector<CurEntry> entries, uint16_t type = 2) {
  const Bytes image = iconBitmap();
  Bytes b;
  put16(b, 0);
  put16(b, type);
  put16(b, uint16_t(entries.size()));
  const uint32_t offset = uint32_t(6 + 16 * entries.size());
  for (const CurEntry& e : entries) {
    b.insert(b.end(), {16, 16, 0, e.reserved});
    put16(b, uint16_t(e.hx));
    put16(b, uint16_t(e.hy));
    put32(b, uint32_t(image.size()));
    put32(b, offset);
  }
  b.insert(b.end(), image.begin(), image.end());
  return b;
}

NSBitmapImageRep* repOf(NSCursor* c) {
  if (!c || !c->image() || c->image()->representations()->count() == 0) return nullptr;
  return static_cast<NSBitmapImageRep*>(c->image()->representations()->objectAtIndex(0));
}

// Grey and alpha of a built-in cursor's pixel, as 0..255.
std::pair<int, int> greyAlpha(NSCursor* c, int x, int y) {
  NSColor* col = repOf(c)->colorAtX(x, y);
  return {int(col->redComponent() * 255 + 0.5), int(col->alphaComponent() * 255 + 0.5)};
}

class Cursors : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    const char* old = std::getenv("TEMP");
    mOldTemp = old ? old : "";
    mHadTemp = old != nullptr;
    setenv("TEMP", mTemp.path.c_str(), 1);
  }
  void TearDown() override {
    if (mHadTemp)
      setenv("TEMP", mOldTemp.c_str(), 1);
    else
      unsetenv("TEMP");
    while (!WAPI_IsCursorVisible()) WAPI_ShowCursor(true);
    cg_standin::setWarpFails(false);
    WAPI_SetCursor(nullptr);
    WindowTest::TearDown();
  }
  TempDir mTemp{"wapicur"};
  TempDir mFiles{"wapicurfiles"};
  std::string mOldTemp;
  bool mHadTemp = false;
};

}  // namespace

TEST_F(Cursors, IdsGiveThePlatformCursorsAndBuiltInImagesMadeOnce) {
  EXPECT_EQ(WAPI_LoadCursor(IDC_ARROW), NSCursor::arrowCursor());
  EXPECT_EQ(WAPI_LoadCursor(IDC_SIZEWE), NSCursor::resizeLeftRightCursor());
  EXPECT_EQ(WAPI_LoadCursor(IDC_SIZENS), NSCursor::resizeUpDownCursor());
  EXPECT_EQ(WAPI_LoadCursor(IDC_UPARROW), NSCursor::resizeUpCursor());
  EXPECT_EQ(WAPI_LoadCursor(IDC_IBEAM), NSCursor::IBeamCursor());
  EXPECT_EQ(WAPI_LoadCursor(IDC_HAND), NSCursor::openHandCursor());
  EXPECT_EQ(WAPI_LoadCursor((const char*)(intptr_t)-1008), nullptr);
  EXPECT_EQ(WAPI_LoadCursor(nullptr), nullptr);

  std::vector<NSCursor*> built;
  for (const char* id : {IDC_SIZEALL, IDC_NO, IDC_SIZENWSE, IDC_SIZENESW}) {
    NSCursor* c = WAPI_LoadCursor(id);
    ASSERT_NE(repOf(c), nullptr) << intptr_t(id);
    EXPECT_EQ(WAPI_LoadCursor(id), c) << "cached";
    EXPECT_EQ(c->hotSpot().x, 8);
    EXPECT_EQ(c->hotSpot().y, 8);
    EXPECT_EQ(repOf(c)->pixelsWide(), 16);
    EXPECT_EQ(repOf(c)->samplesPerPixel(), 2);
    for (NSCursor* other : built) EXPECT_NE(other, c);
    built.push_back(c);
  }
  // The north-east cursor is the north-west one mirrored, row by row.
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) EXPECT_EQ(greyAlpha(built[3], x, y), greyAlpha(built[2], 15 - x, y)) << x << "," << y;
  // Each nibble widens to a byte: black opaque inside, white opaque on the rim, clear outside.
  EXPECT_EQ(greyAlpha(built[2], 1, 1), std::make_pair(0, 255));
  EXPECT_EQ(greyAlpha(built[2], 0, 0), std::make_pair(255, 255));
  EXPECT_EQ(greyAlpha(built[2], 15, 0).second, 0);
}

TEST_F(Cursors, ACursorFileGivesItsHotSpotAndLeavesNoFileInTemp) {
  const std::string path = mFiles.file("hand.CUR");
  testsupport::writeFile(path, cursorFile({CurEntry{}}));
  NSCursor* c = WAPI_LoadCursorFromFile(path.c_str());
  ASSERT_NE(repOf(c), nullptr);
  EXPECT_EQ(c->hotSpot().x, 3);
  EXPECT_EQ(c->hotSpot().y, 5);
  NSColor* topLeft = repOf(c)->colorAtX(0, 0);
  NSColor* bottomRight = repOf(c)->colorAtX(15, 15);
  EXPECT_EQ(topLeft->redComponent(), 1.0);
  EXPECT_EQ(bottomRight->blueComponent(), 1.0);
  EXPECT_EQ(repOf(c)->colorAtX(5, 5)->alphaComponent(), 0.0);
  EXPECT_TRUE(mTemp.list().empty());
  EXPECT_NE(c, WAPI_LoadCursorFromFile(path.c_str())) << "each call makes a new cursor";
  c->release();
  ns_standin::drainLoopPool();
}

TEST_F(Cursors, BadCursorFilesFallBackAndLeaveNoFileInTemp) {
  struct Case {
    const char* what;
    Bytes bytes;
    bool readsAsImage = false;
  } cases[] = {
      {"two images", cursorFile({CurEntry{}, CurEntry{}})},
      {"reserved byte set", cursorFile({CurEntry{3, 5, 1}})},
      {"an icon, not a cursor: an image with the hot spot at the origin", cursorFile({CurEntry{}}, 1), true},
      {"hot spot outside the image", cursorFile({CurEntry{16, 0}})},
      {"cut short inside the image", [] {
         Bytes b = cursorFile({CurEntry{}});
         b.resize(b.size() - 100);
         return b;
       }()},
      {"only the header", Bytes{0, 0, 2, 0, 1, 0}},
      {"empty", Bytes{}},
  };
  for (const Case& c : cases) {
    const std::string path = mFiles.file("bad.cur");
    testsupport::writeFile(path, c.bytes);
    // A path that is not converted is read as an image.
    NSCursor* cursor = WAPI_LoadCursorFromFile(path.c_str());
    EXPECT_EQ(cursor != nullptr, c.readsAsImage) << c.what;
    if (cursor) {
      EXPECT_EQ(cursor->hotSpot().x, 0) << c.what;
      EXPECT_EQ(cursor->hotSpot().y, 0) << c.what;
      cursor->release();
    }
    EXPECT_TRUE(mTemp.list().empty()) << c.what;
  }
  EXPECT_EQ(WAPI_LoadCursorFromFile(mFiles.file("missing.cur").c_str()), nullptr);
  EXPECT_EQ(WAPI_LoadCursorFromFile(nullptr), nullptr);
}

TEST_F(Cursors, AnUnwritableTempLeavesTheConversionOut) {
  const std::string path = mFiles.file("a.cur");
  testsupport::writeFile(path, cursorFile({CurEntry{}}));
  setenv("TEMP", mFiles.file("no-such-folder").c_str(), 1);
  EXPECT_EQ(WAPI_LoadCursorFromFile(path.c_str()), nullptr);
  setenv("TEMP", "", 1);  // empty means /tmp
  NSCursor* c = WAPI_LoadCursorFromFile(path.c_str());
  ASSERT_NE(c, nullptr);
  c->release();
}

TEST_F(Cursors, OtherPathsLoadAsImagesWithTheHotSpotAtTheOrigin) {
  pngw::Image im;
  im.width = 4;
  im.height = 2;
  im.pixels.assign(8, {0, 255, 0, 255});
  const std::string png = mFiles.file("dot.png");
  ASSERT_TRUE(pngw::writeFile(pngw::encode(im), png));
  NSCursor* c = WAPI_LoadCursorFromFile(png.c_str());
  ASSERT_NE(repOf(c), nullptr);
  EXPECT_EQ(c->hotSpot().x, 0);
  EXPECT_EQ(c->image()->size().width, 4);
  EXPECT_EQ(repOf(c)->colorAtX(3, 1)->greenComponent(), 1.0);
  c->release();
  // A PNG named ".cur" is not a cursor file: it falls back to loading as an image.
  const std::string disguised = mFiles.file("dot.cur");
  ASSERT_TRUE(pngw::writeFile(pngw::encode(im), disguised));
  c = WAPI_LoadCursorFromFile(disguised.c_str());
  EXPECT_NE(c, nullptr);
  if (c) c->release();
}

TEST_F(Cursors, ResourceRecordsLoadOnceAndTakeTheFilesHotSpot) {
  const std::string path = mFiles.file("res.cur");
  testsupport::writeFile(path, cursorFile({CurEntry{7, 2}}));
  WAPI_CursorResourceIndex missing{4001, "no/such/file.cur", 1, 1, nullptr, nullptr};
  WAPI_CursorResourceIndex real{4001, nullptr, 0, 0, nullptr, &missing};
  real.resname = path.c_str();
  WAPI_CursorResourceIndex other{4002, "no/such/file.cur", 0, 0, nullptr, &real};
  WAPI_curmodule_cursorresource_head = &other;
  NSCursor* c = WAPI_LoadCursor((const char*)(intptr_t)4001);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(real.cachedCursor, c);
  EXPECT_EQ(real.hsx, 7);
  EXPECT_EQ(real.hsy, 2);
  EXPECT_EQ(c->hotSpot().x, 7);
  std::remove(path.c_str());
  EXPECT_EQ(WAPI_LoadCursor((const char*)(intptr_t)4001), c) << "from the record once loaded";
  EXPECT_EQ(WAPI_LoadCursor((const char*)(intptr_t)4002), nullptr) << "a record that fails to load";
  EXPECT_EQ(WAPI_LoadCursor((const char*)(intptr_t)4003), nullptr);
  WAPI_curmodule_cursorresource_head = nullptr;
  c->release();
}

TEST_F(Cursors, ResourceNamesReadTheApplicationsCursorFileElseItsNamedImage) {
  // A test program's bundle is its folder; the names are this run's own.
  char exe[4096];
  const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  ASSERT_GT(n, 0);
  const std::string dir = std::string(exe, size_t(n)).substr(0, std::string(exe, size_t(n)).rfind('/'));
  const std::string tag = std::to_string(getpid());
  const std::string resources = dir + "/Contents/Resources";
  ASSERT_EQ(std::system(("mkdir -p '" + resources + "'").c_str()), 0);
  const std::string curName = "wapicur_res_" + tag, pngName = "wapicur_img_" + tag;
  testsupport::writeFile(resources + "/" + curName + ".cur", cursorFile({CurEntry{6, 1}}));
  pngw::Image im;
  im.width = 3;
  im.height = 5;
  im.pixels.assign(15, {0, 0, 255, 255});
  ASSERT_TRUE(pngw::writeFile(pngw::encode(im), dir + "/" + pngName + ".png"));

  NSCursor* fromCur = WAPI_LoadCursorFromFile(curName.c_str());
  NSCursor* fromImage = WAPI_LoadCursorFromFile(pngName.c_str());
  NSCursor* none = WAPI_LoadCursorFromFile(("wapicur_none_" + tag).c_str());
  std::remove((resources + "/" + curName + ".cur").c_str());
  std::remove((dir + "/" + pngName + ".png").c_str());
  ASSERT_NE(fromCur, nullptr);
  EXPECT_EQ(fromCur->hotSpot().x, 6);
  EXPECT_EQ(fromCur->hotSpot().y, 1);
  ASSERT_NE(fromImage, nullptr) << "a name without a cursor file falls back to the named image";
  EXPECT_EQ(fromImage->image()->size().height, 5);
  EXPECT_EQ(fromImage->hotSpot().x, 0);
  EXPECT_EQ(none, nullptr);
  EXPECT_TRUE(mTemp.list().empty());
  fromCur->release();
  fromImage->release();
}

TEST_F(Cursors, SetCursorRemembersCursorsAndAnythingElseSetsTheArrow) {
  NSCursor* no = WAPI_LoadCursor(IDC_NO);
  WAPI_SetCursor(no);
  EXPECT_EQ(WAPI_GetCursor(), no);
  EXPECT_EQ(WAPI_GetLastSetCursor(), no);
  int notAnObject[4] = {1, 2, 3, 4};
  for (HCURSOR other : {reinterpret_cast<HCURSOR>(NSApp), reinterpret_cast<HCURSOR>(notAnObject), HCURSOR(nullptr)}) {
    WAPI_SetCursor(no);
    WAPI_SetCursor(other);
    EXPECT_EQ(WAPI_GetCursor(), NSCursor::arrowCursor());
    EXPECT_EQ(WAPI_GetLastSetCursor(), nullptr);
  }
}

TEST_F(Cursors, HidingTwiceAndShowingOnceStaysHiddenAndTheLastShowReturnsWhereItWasMoved) {
  NSWindow* w = makeWindow(NSMakeRect(100, 100, 400, 300));
  NSEvent::mouseEventWithType(NSMouseMoved, NSMakePoint(50.25, 60.25), 0, 0, w->windowNumber(), nullptr, 0, 0, 0);
  POINT p{};
  GetCursorPos(&p);
  EXPECT_EQ(p.x, 150) << "x to the floor";
  EXPECT_EQ(p.y, 161) << "y to the ceiling";
  EXPECT_EQ(GetMessagePos(), (161u << 16) | 150u);

  struct Step {
    bool show;
    int count;
    bool visible;
    int hideCalls;
  } steps[] = {{false, -1, false, 1}, {false, -2, false, 1}, {true, -1, false, 1}};
  const int hiddenBefore = cg_standin::cursorHideCount();
  for (const Step& s : steps) {
    EXPECT_EQ(WAPI_ShowCursor(s.show), s.count);
    EXPECT_EQ(WAPI_IsCursorVisible(), s.visible);
    EXPECT_EQ(cg_standin::cursorHideCount() - hiddenBefore, s.hideCalls);
  }
  EXPECT_FALSE(cg_standin::mouseAssociated());
  // Relative mode: moves add up in the virtual position while the real one stays.
  NSEvent* move =
      NSEvent::mouseEventWithType(NSMouseMoved, NSMakePoint(60.25, 50.25), 0, 0, w->windowNumber(), nullptr, 0, 0, 0);
  auto* v = makeView(nullptr, w, nullptr);
  wapiProcessMouseEvent(WM_MOUSEMOVE, v, move);
  GetCursorPos(&p);
  EXPECT_EQ(p.x, 160);
  EXPECT_EQ(p.y, 151);
  EXPECT_TRUE(WAPI_SetCursorPos(500, 400));
  cg_standin::setWarpFails(true);
  EXPECT_TRUE(WAPI_SetCursorPos(510, 410)) << "relative mode only moves the virtual position";
  cg_standin::setWarpFails(false);
  GetCursorPos(&p);
  EXPECT_EQ(p.x, 510);
  EXPECT_EQ(WAPI_ShowCursor(true), 0);
  EXPECT_TRUE(WAPI_IsCursorVisible());
  EXPECT_TRUE(cg_standin::mouseAssociated());
  EXPECT_EQ(cg_standin::cursorHideCount(), hiddenBefore);
  EXPECT_EQ(cg_standin::cursorPosition().x, 510);
  EXPECT_EQ(cg_standin::cursorPosition().y, 1080 - 410);
  GetCursorPos(&p);
  EXPECT_EQ(p.x, 510);
  EXPECT_EQ(p.y, 410);
}

TEST_F(Cursors, SetCursorPosWarpsFlippedAndReportsAFailedWarp) {
  EXPECT_TRUE(WAPI_SetCursorPos(-20, 30));
  EXPECT_EQ(cg_standin::cursorPosition().y, 1080 - 30);
  EXPECT_EQ(GetMessagePos(), (30u << 16) | (uint32_t(-20) & 0xFFFF)) << "x keeps its low 16 bits";
  cg_standin::setWarpFails(true);
  EXPECT_FALSE(WAPI_SetCursorPos(5, 5));
}

TEST_F(Cursors, MouseEventsReportTheirPointInTheViewOrTheVirtualPositionWhileHidden) {
  NSWindow* w = makeWindow(NSMakeRect(100, 100, 400, 300));
  static const WAPI_DialogResourceIndex flipped{nullptr, "", 1 | 4, nullptr, 400, 300, nullptr};
  auto* v = makeView(&flipped, w, nullptr);
  NSEvent* e = NSEvent::mouseEventWithType(NSLeftMouseDown, NSMakePoint(30, 280), 0, 0, w->windowNumber(), nullptr, 0,
                                           1, 1);
  NSPoint p = wapiProcessMouseEvent(WM_LBUTTONDOWN, v, e);
  EXPECT_EQ(p.x, 30);
  EXPECT_EQ(p.y, 20) << "a flipped view counts from its top";
  WAPI_ShowCursor(false);
  WAPI_SetCursorPos(140, 380);  // screen: 40 in, 80 below the window's top
  p = wapiProcessMouseEvent(WM_LBUTTONDOWN, v, e);
  EXPECT_EQ(p.x, 40);
  EXPECT_EQ(p.y, 20);
  WAPI_ShowCursor(true);
}

TEST_F(Cursors, TheBuiltInAndFileCursorsDrawAsScreenshot) {
  const std::string path = mFiles.file("file.cur");
  testsupport::writeFile(path, cursorFile({CurEntry{}}));
  NSCursor* fromFile = WAPI_LoadCursorFromFile(path.c_str());
  std::vector<NSCursor*> shown{WAPI_LoadCursor(IDC_SIZEALL), WAPI_LoadCursor(IDC_NO), WAPI_LoadCursor(IDC_SIZENWSE),
                               WAPI_LoadCursor(IDC_SIZENESW), fromFile};
  const int scale = 8, cell = 16 * scale + 8;
  const int width = cell * int(shown.size()) + 8, height = cell + 8;
  std::vector<uint32_t> words(size_t(width) * size_t(height));
  auto word = [](int a, int r, int g, int b) { return uint32_t(a) | uint32_t(r) << 8 | uint32_t(g) << 16 | uint32_t(b) << 24; };
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) words[size_t(y) * width + x] = ((x / 8 + y / 8) & 1) ? word(255, 150, 150, 150) : word(255, 110, 110, 110);
  for (size_t i = 0; i < shown.size(); ++i) {
    NSBitmapImageRep* rep = repOf(shown[i]);
    ASSERT_NE(rep, nullptr);
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) {
        NSColor* c = rep->colorAtX(x, y);
        for (int dy = 0; dy < scale; ++dy)
          for (int dx = 0; dx < scale; ++dx) {
            uint32_t& d = words[size_t(8 + y * scale + dy) * width + size_t(8 + int(i) * cell + x * scale + dx)];
            const double a = c->alphaComponent();
            auto mix = [&](double s, int shift) { return int(s * 255 * a + ((d >> shift) & 255) * (1 - a) + 0.5); };
            d = word(255, mix(c->redComponent(), 8), mix(c->greenComponent(), 16), mix(c->blueComponent(), 24));
          }
      }
    // The hot spot, as a small red square.
    const NSPoint hs = shown[i]->hotSpot();
    for (int dy = 2; dy < 6; ++dy)
      for (int dx = 2; dx < 6; ++dx)
        words[size_t(8 + int(hs.y) * scale + dy) * width + size_t(8 + int(i) * cell + int(hs.x) * scale + dx)] = word(255, 230, 0, 0);
  }
  const std::vector<uint8_t> png = pngw::encodeArgbWords(words.data(), width, height, width);
  ASSERT_FALSE(png.empty());
  ASSERT_TRUE(pngw::writeFile(png, mFiles.file("cursors.png")));
  if (const char* keep = std::getenv("QOR_SCREENSHOT_DIR")) pngw::writeFile(png, std::string(keep) + "/wapi_cursors.png");
  fromFile->release();
}
