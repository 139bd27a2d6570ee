// Drags out of a layer view: one promised file written only where it is dropped (a taken name
// asked about, kept both under the next free number, replaced, or left), and lists of existing
// files dropped on another window's view.
#include "tests/wapi/window_fixture.h"

#include "kit/safefile.h"
#include "kit/wapi/wapi-bridges.h"
#include "kit/wapi/wapi-gdi.h"
#include "kit/wapi/wapi-imagelist.h"
#include "kit/wapi/wapi-input.h"
#include "tests/support/tempdir.h"

#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

std::vector<std::string> gWrites;

// Writes "new" as an application would: a fresh file, or over the one the person chose to replace.
void WriteNew(const char* path) {
  gWrites.push_back(path);
  if (!kit::WriteFileNew(path, "new", 3)) kit::WriteFileReplacing(path, "new", 3);
}

std::vector<std::string> namesOf(NSArray* list) {
  std::vector<std::string> out;
  for (NSUInteger i = 0; list && i < list->count(); ++i)
    out.push_back(static_cast<NSString*>(list->objectAtIndex(i))->UTF8String());
  return out;
}

enum Answer : unsigned long { kKeepBoth = 0, kStop = 1, kReplace = 2, kNotAsked = 9 };

class DragSource : public PresenterWindowTest<> {
 protected:
  void SetUp() override {
    PresenterWindowTest<>::SetUp();
    gWrites.clear();
    mWindow = makeWindow();
    mView = makeView(nullptr, mWindow, nullptr);
    mView->setHidden(false);
  }
  void TearDown() override {
    WAPI_FinishDragDrop();
    PresenterWindowTest<>::TearDown();
  }
  // Starts a drag of the source name that the person drops in the folder.
  void dragInto(const char* source, const std::string& folder, Answer answer) {
    mPresenter.dragAnswers.push_back({cf_standin::DragDrop::kInFolder, 0, 0, folder});
    if (answer != kNotAsked) mPresenter.alertAnswers.push_back(answer);
    const RECT from{5, 6, 25, 36};
    WAPI_InitiateDragDrop(H(mView), &from, source, WriteNew);
  }

 public:
  NSWindow* window(NSRect frame) { return makeWindow(frame); }
  Wapi_vQOR_hwnd* view(const WAPI_DialogResourceIndex* res, NSObject* parent) { return makeView(res, parent, nullptr); }

 protected:
  NSWindow* mWindow = nullptr;
  Wapi_vQOR_hwnd* mView = nullptr;
};

TEST_F(DragSource, APromisedFileDroppedWhereItsNameIsTakenGoesAsTheAnswerSays) {
  const struct Case {
    const char* source;
    std::vector<std::string> existing;
    Answer answer;
    const char* written;  // "" when nothing is written
  } cases[] = {
      {"/src/Patch 7.syx", {}, kNotAsked, "Patch 7.syx"},
      {"/src/Patch 7.syx", {"Patch 7.syx"}, kKeepBoth, "Patch 008.syx"},
      {"/src/Patch 7.syx", {"Patch 7.syx", "Patch 008.syx"}, kKeepBoth, "Patch 009.syx"},
      {"/src/Bank.syx", {"Bank.syx"}, kKeepBoth, "Bank 001.syx"},
      {"/src/Bank_12.mid", {"Bank_12.mid"}, kKeepBoth, "Bank_013.mid"},
      {"/src/Take-999.syx", {"Take-999.syx"}, kKeepBoth, ""},
      {"/src/Notes", {"Notes"}, kKeepBoth, "Notes 001"},
      {"/src/7.syx", {"7.syx"}, kKeepBoth, "7 001.syx"},
      {"/src/Song 1234.syx", {"Song 1234.syx"}, kKeepBoth, "Song 1234 001.syx"},
      {"/src/a.b/Patch 7", {"Patch 7"}, kKeepBoth, "Patch 008"},
      {"/src/Patch 7.syx", {"Patch 7.syx"}, kReplace, "Patch 7.syx"},
      {"/src/Patch 7.syx", {"Patch 7.syx"}, kStop, ""},
  };
  for (const Case& c : cases) {
    testsupport::TempDir folder("drag");
    for (const std::string& e : c.existing) testsupport::writeFile(folder.file(e), "old");
    mPresenter.alerts.clear();
    gWrites.clear();
    dragInto(c.source, folder.path, c.answer);
    ASSERT_EQ(mPresenter.drags.size(), 1u) << c.source;
    mPresenter.drags.clear();
    const std::string name = c.source + std::string(c.source).find_last_of('/') + 1;
    if (c.answer == kNotAsked) {
      EXPECT_TRUE(mPresenter.alerts.empty()) << c.source;
    } else {
      ASSERT_EQ(mPresenter.alerts.size(), 1u) << c.source;
      const cf_standin::AlertShown& a = mPresenter.alerts[0];
      EXPECT_EQ(a.header, "Copy");
      EXPECT_EQ(a.message,
                "An item named \"" + name +
                    "\" already exists in this location. Do you want to replace it with the one you're moving?");
      EXPECT_EQ(a.defaultButton, "Keep Both Files");
      EXPECT_EQ(a.alternateButton, "Stop");
      EXPECT_EQ(a.otherButton, "Replace");
    }
    if (*c.written) {
      ASSERT_EQ(gWrites, std::vector<std::string>{folder.file(c.written)}) << c.source;
      EXPECT_EQ(testsupport::readText(folder.file(c.written)), "new") << c.source;
    } else {
      EXPECT_TRUE(gWrites.empty()) << c.source;
    }
    for (const std::string& e : c.existing) {
      if (e != c.written) { EXPECT_EQ(testsupport::readText(folder.file(e)), "old") << c.source; }
    }
  }
}

TEST_F(DragSource, ThePromisedTypeIsTheExtensionOrTheWholeNameAndTheDropAnswersTheWrittenName) {
  testsupport::TempDir folder("drag");
  dragInto("/src/Patch 7.syx", folder.path, kNotAsked);
  dragInto("/src/README", folder.path, kNotAsked);
  ASSERT_EQ(mPresenter.drags.size(), 2u);
  EXPECT_EQ(mPresenter.drags[0].types, std::vector<std::string>{NSFilesPromisePboardType});
  EXPECT_EQ(mPresenter.drags[0].items, std::vector<std::string>{"syx"});
  EXPECT_EQ(mPresenter.drags[1].items, std::vector<std::string>{"README"});
  EXPECT_TRUE(mPresenter.drags[0].slideBack);
  // The view's rectangle (5, 6) in the flipped view: 300 - 6 up from the window's origin.
  EXPECT_EQ(mPresenter.drags[0].x, 105);
  EXPECT_EQ(mPresenter.drags[0].y, 394);
  EXPECT_EQ(folder.list(), (std::vector<std::string>{"Patch 7.syx", "README"}));

  // Dropped through the view as the platform asks it: the name written comes back.
  const RECT from{0, 0, 10, 10};
  mPresenter.dragAnswers.push_back({});  // refused: the drag stays pending
  WAPI_InitiateDragDrop(H(mView), &from, "/src/Bank.syx", WriteNew);
  NSURL* url = NSURL::fileURLWithPath(NSString::stringWithUTF8String(folder.path.c_str()));
  EXPECT_EQ(namesOf(mView->namesOfPromisedFilesDroppedAtDestination(url)), std::vector<std::string>{"Bank.syx"});
  EXPECT_EQ(mView->namesOfPromisedFilesDroppedAtDestination(url), nullptr) << "the drag is forgotten once dropped";
}

TEST_F(DragSource, NothingIsWrittenWithoutAPendingDragAPlaceOrAPathThatFits) {
  testsupport::TempDir folder("drag");
  NSURL* url = NSURL::fileURLWithPath(NSString::stringWithUTF8String(folder.path.c_str()));
  EXPECT_EQ(WAPI_DoDragDrop(url), nullptr) << "no pending drag";
  const RECT from{0, 0, 10, 10};
  mPresenter.dragAnswers = {{}, {}, {}, {}};
  WAPI_InitiateDragDrop(H(mView), &from, "/src/Bank.syx", WriteNew);
  EXPECT_EQ(WAPI_DoDragDrop(nullptr), nullptr) << "no folder";
  EXPECT_EQ(WAPI_DoDragDrop(url), nullptr) << "a drop without a folder forgets the drag too";

  // A destination path of 4096 bytes or more is never cut to fit: deep folders, short names.
  std::string deep = folder.path;
  while (deep.size() < 3900) {
    deep += "/" + std::string(std::min<size_t>(200, 3900 - deep.size() - 1), 'd');
    ASSERT_EQ(mkdir(deep.c_str(), 0700), 0);
  }
  ASSERT_EQ(deep.size(), 3900u);
  NSURL* deepUrl = NSURL::fileURLWithPath(NSString::stringWithUTF8String(deep.c_str()));
  const std::string tooLong(4096 - deep.size() - 1, 'n');  // the path is 4096 bytes
  WAPI_InitiateDragDrop(H(mView), &from, ("/src/" + tooLong).c_str(), WriteNew);
  EXPECT_EQ(WAPI_DoDragDrop(deepUrl), nullptr);
  EXPECT_TRUE(gWrites.empty());
  // Under the limit it is written (leaving the safe writer room for its temporary name).
  const std::string fits = tooLong.substr(64);
  WAPI_InitiateDragDrop(H(mView), &from, ("/src/" + fits).c_str(), WriteNew);
  EXPECT_EQ(namesOf(WAPI_DoDragDrop(deepUrl)), std::vector<std::string>{fits});
  EXPECT_EQ(gWrites.size(), 1u);

  // A press in any layer view forgets the pending drag; drags start only from layer views.
  WAPI_InitiateDragDrop(H(mView), &from, "/src/Bank.syx", WriteNew);
  ns_standin::mouseAtView(mView, NSLeftMouseDown, NSMakePoint(3, 3));
  url = NSURL::fileURLWithPath(NSString::stringWithUTF8String(folder.path.c_str()));  // the press drained the last
  EXPECT_EQ(WAPI_DoDragDrop(url), nullptr);
  NSView* platform = addControl<NSView>(mView, 0);
  WAPI_InitiateDragDrop(H(platform), &from, "/src/Bank.syx", WriteNew);
  EXPECT_EQ(WAPI_DoDragDrop(url), nullptr);
  EXPECT_EQ(gWrites.size(), 1u);
}

std::vector<std::string> gDropped;
HWND gDroppedOn = nullptr;

LRESULT DropProc(HWND h, UINT m, WPARAM w, LPARAM) {
  if (m != WM_DROPFILES) return 0;
  gDroppedOn = h;
  const UINT n = DragQueryFile(reinterpret_cast<HANDLE>(w), 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < n; ++i) {
    char name[256];
    DragQueryFile(reinterpret_cast<HANDLE>(w), i, name, sizeof name);
    gDropped.push_back(name);
  }
  return 0;
}

const WAPI_DialogResourceIndex kTakesDrops{"900", "drops", 0x20 | 0x04, nullptr, 200, 100, nullptr};

// A layer view taking drops in another window at (600, 100), 200 by 100, shown in front.
Wapi_vQOR_hwnd* dropTarget(DragSource& test) {
  gDropped.clear();
  gDroppedOn = nullptr;
  NSWindow* other = test.window(NSMakeRect(600, 100, 200, 100));
  other->orderFront(nullptr);
  Wapi_vQOR_hwnd* target = test.view(&kTakesDrops, other);
  SetWindowLong(wapiHandle(target), GWL_WNDPROC, reinterpret_cast<LONG_PTR>(DropProc));
  target->setHidden(false);
  return target;
}

TEST_F(DragSource, AFileListDroppedOnAnotherWindowsViewArrivesAsDropFiles) {
  Wapi_vQOR_hwnd* target = dropTarget(*this);
  const char* paths[] = {"/music/one.syx", "/music/two.mid"};
  const RECT from{10, 20, 30, 40};
  mPresenter.dragAnswers.push_back({cf_standin::DragDrop::kAtPoint, 650, 150, ""});
  WAPI_InitiateDragDropOfFileList(H(mView), &from, paths, 2, nullptr);
  EXPECT_EQ(gDroppedOn, H(target));
  EXPECT_EQ(gDropped, (std::vector<std::string>{"/music/one.syx", "/music/two.mid"}));
  ASSERT_EQ(mPresenter.drags.size(), 1u);
  const cf_standin::DragShown& d = mPresenter.drags[0];
  EXPECT_EQ(d.types, std::vector<std::string>{NSFilenamesPboardType});
  EXPECT_EQ(d.items, (std::vector<std::string>{"/music/one.syx", "/music/two.mid"}));
  EXPECT_EQ(d.imageWidth, 32) << "the files' own icon";
  EXPECT_FALSE(d.imageFlipped);

  // With an icon: a flipped copy of it; refused, nothing arrives.
  std::vector<uint8_t> argb(48 * 40 * 4, 0xFF);
  HGDIOBJ icon = CreateBitmap(48, 40, 1, 32, argb.data());
  gDropped.clear();
  mPresenter.dragAnswers.push_back({});
  WAPI_InitiateDragDropOfFileList(H(mView), &from, paths, 1, icon);
  EXPECT_TRUE(gDropped.empty());
  ASSERT_EQ(mPresenter.drags.size(), 2u);
  EXPECT_EQ(mPresenter.drags[1].imageWidth, 48);
  EXPECT_TRUE(mPresenter.drags[1].imageFlipped);
  DeleteObject(icon);
}

const char* gTargetFolder = nullptr;
const char* TargetFolder(const char*) {
  return gTargetFolder;
}

TEST_F(DragSource, APromisedFileDroppedOnAnotherWindowsViewIsWrittenIntoItsFolderAndArrivesAsDropFiles) {
  Wapi_vQOR_hwnd* target = dropTarget(*this);
  testsupport::TempDir folder("drag");
  gTargetFolder = folder.path.c_str();
  WAPI_DDrop_getDroppedFileTargetPath = TargetFolder;
  mPresenter.dragAnswers.push_back({cf_standin::DragDrop::kAtPoint, 650, 150, ""});
  const RECT from{0, 0, 10, 10};
  WAPI_InitiateDragDrop(H(mView), &from, "/src/Patch 7.syx", WriteNew);
  WAPI_DDrop_getDroppedFileTargetPath = nullptr;
  EXPECT_EQ(gDroppedOn, H(target));
  EXPECT_EQ(gDropped, std::vector<std::string>{folder.file("Patch 7.syx")});
  EXPECT_EQ(testsupport::readText(folder.file("Patch 7.syx")), "new");
}

}  // namespace
