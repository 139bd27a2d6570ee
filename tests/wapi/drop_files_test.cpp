// Files dropped onto layer views: WM_DROPFILES with the dropped-file block, the application's
// drop callbacks, promised files, and views that refuse drops.
#include <gtest/gtest.h>

#include "kit/wapi/wapi-input.h"
#include "kit/wapi/wapi.h"
#include "window_fixture.h"

#include <string>

namespace {

struct Dropped {
  HWND to;
  std::vector<std::string> names;
  POINT point;
};
std::vector<Dropped> gDrops;
std::vector<std::string> gCalls;
std::string gTargetFolder;
std::string gAskedType;

std::vector<std::string> namesOf(HANDLE drop) {
  std::vector<std::string> out;
  const UINT n = DragQueryFile(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < n; ++i) {
    char buf[8192];
    DragQueryFile(drop, i, buf, sizeof buf);
    out.push_back(buf);
  }
  return out;
}

LRESULT DropProc(HWND h, UINT m, WPARAM w, LPARAM) {
  if (m == WM_DROPFILES) {
    Dropped d{h, namesOf(reinterpret_cast<HANDLE>(w)), {}};
    DragQueryPoint(reinterpret_cast<HANDLE>(w), &d.point);
    void* repre = GetProp(GetParent(h) ? GetParent(h) : h, "WAPI_DisableWindowRepre");
    if (repre) gCalls.push_back("repre held");
    gDrops.push_back(d);
  }
  return 0;
}

void OnEnter(HANDLE drop, int x, int y) {
  std::string s = "enter " + std::to_string(x) + "," + std::to_string(y);
  for (const std::string& n : namesOf(drop)) s += " " + n;
  gCalls.push_back(s);
}
void OnOver(int x, int y) {
  gCalls.push_back("over " + std::to_string(x) + "," + std::to_string(y));
}
void OnLeave() {
  gCalls.push_back("leave");
}
const char* TargetPath(const char* type) {
  gAskedType = type;
  return gTargetFolder.c_str();
}

const WAPI_DialogResourceIndex kAcceptsDrops{nullptr, "", 1 | 4 | 0x20, nullptr, 400, 300, nullptr};
const WAPI_DialogResourceIndex kNoDrops{nullptr, "", 1 | 4, nullptr, 400, 300, nullptr};

class DropFiles : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    gDrops.clear();
    gCalls.clear();
    gTargetFolder.clear();
    gAskedType.clear();
    WAPI_DDrop_onDragEnter = OnEnter;
    WAPI_DDrop_onDragOver = OnOver;
    WAPI_DDrop_onDragLeave = OnLeave;
    WAPI_DDrop_getDroppedFileTargetPath = TargetPath;
    mWindow = makeWindow(NSMakeRect(100, 100, 400, 300));
    mWindow->makeKeyAndOrderFront(nullptr);
  }
  void TearDown() override {
    WAPI_DDrop_onDragEnter = nullptr;
    WAPI_DDrop_onDragOver = nullptr;
    WAPI_DDrop_onDragLeave = nullptr;
    WAPI_DDrop_getDroppedFileTargetPath = nullptr;
    WindowTest::TearDown();
  }
  Wapi_vQOR_hwnd* view(const WAPI_DialogResourceIndex* res) {
    Wapi_vQOR_hwnd* v = makeView(res, mWindow, nullptr);
    SetWindowLong(H(v), GWL_WNDPROC, reinterpret_cast<LONG_PTR>(DropProc));
    v->setHidden(false);
    return v;
  }
  // A drag of the names under the type, from source; autoreleased.
  NSDraggingInfo* drag(const char* type, std::vector<std::string> list, NSObject* source = nullptr) {
    NSPasteboard* pb = NSPasteboard::pasteboardWithName(NSDragPboard);
    pb->declareTypes({type}, nullptr);
    std::vector<NSObject*> items;
    for (const std::string& s : list) items.push_back(NSString::stringWithUTF8String(s.c_str()));
    pb->setPropertyList(NSArray::arrayWithVector(items), type);
    auto* info = static_cast<NSDraggingInfo*>(NSDraggingInfo::class_()->alloc())->initWithPasteboard(pb, source);
    info->autorelease();
    return info;
  }
  NSWindow* mWindow = nullptr;
};

}  // namespace

TEST_F(DropFiles, TwoFilesArriveAsDropFilesAndTheCallbacksGetScreenPoints) {
  Wapi_vQOR_hwnd* v = view(&kAcceptsDrops);
  NSDraggingInfo* info = drag(NSFilenamesPboardType, {"/music/one.syx", "/music/two.mid"});
  EXPECT_TRUE(ns_standin::dropAt(info, NSMakePoint(130.4, 339.6)));  // window (30.4, 239.6)
  ASSERT_EQ(gDrops.size(), 1u);
  EXPECT_EQ(gDrops[0].to, H(v));
  EXPECT_EQ(gDrops[0].names, (std::vector<std::string>{"/music/one.syx", "/music/two.mid"}));
  EXPECT_EQ(gDrops[0].point.x, 30);
  EXPECT_EQ(gDrops[0].point.y, 60) << "in the flipped view: 300 - 239.6 = 60.4, + 0.5 truncated";
  EXPECT_EQ(gCalls, (std::vector<std::string>{"enter 130,340 /music/one.syx /music/two.mid", "over 130,340", "leave"}));
}

TEST_F(DropFiles, PromisedFilesListAsTmpAndTheirTypeUntilWrittenToTheTargetFolder) {
  Wapi_vQOR_hwnd* v = view(&kAcceptsDrops);
  NSDraggingInfo* info = drag(NSFilesPromisePboardType, {"syx", "mid"});
  info->setPromisedNames({"bank.syx", "song.mid"});
  gTargetFolder = "/data/in";
  EXPECT_TRUE(ns_standin::dropAt(info, NSMakePoint(150, 150)));
  EXPECT_EQ(gCalls.front(), "enter 150,150 tmp.syx tmp.mid");
  EXPECT_EQ(gAskedType, "syx");
  EXPECT_EQ(info->promisedDestination(), "/data/in");
  ASSERT_EQ(gDrops.size(), 1u);
  EXPECT_EQ(gDrops[0].to, H(v));
  EXPECT_EQ(gDrops[0].names, (std::vector<std::string>{"/data/in/bank.syx", "/data/in/song.mid"}));
  // No folder from the callback: the temporary folder.
  gTargetFolder.clear();
  gDrops.clear();
  EXPECT_TRUE(ns_standin::dropAt(info, NSMakePoint(150, 150)));
  EXPECT_EQ(info->promisedDestination(), "/tmp/");
  ASSERT_EQ(gDrops.size(), 1u);
  EXPECT_EQ(gDrops[0].names[0], "/tmp/bank.syx");
  // Without the callback the promise is refused.
  WAPI_DDrop_getDroppedFileTargetPath = nullptr;
  gDrops.clear();
  EXPECT_FALSE(ns_standin::dropAt(info, NSMakePoint(150, 150)));
  EXPECT_TRUE(gDrops.empty());
}

TEST_F(DropFiles, AViewWithoutTheAcceptFilesStyleRefusesTheDrop) {
  Wapi_vQOR_hwnd* v = view(&kNoDrops);
  EXPECT_EQ(GetWindowLong(H(v), GWL_EXSTYLE) & WS_EX_ACCEPTFILES, 0);
  NSDraggingInfo* info = drag(NSFilenamesPboardType, {"/a"});
  EXPECT_FALSE(ns_standin::dropAt(info, NSMakePoint(150, 150)));
  EXPECT_TRUE(gDrops.empty());
  EXPECT_TRUE(gCalls.empty()) << "no callback for a view that refuses";
  // Directly asked, it answers the empty operation and takes nothing.
  EXPECT_EQ(v->draggingEntered(info), 0u);
  EXPECT_EQ(v->draggingUpdated(info), 0u);
  EXPECT_FALSE(v->performDragOperation(info));
  EXPECT_TRUE(gDrops.empty());
  SetWindowLong(H(v), GWL_EXSTYLE, WS_EX_ACCEPTFILES);
  EXPECT_TRUE(ns_standin::dropAt(info, NSMakePoint(150, 150)));
  EXPECT_EQ(gDrops.size(), 1u);
}

TEST_F(DropFiles, TheDeepestLayerViewUnderThePointTakesTheDropWhileTheWindowKeepsItsLook) {
  Wapi_vQOR_hwnd* outer = view(&kAcceptsDrops);
  Wapi_vQOR_hwnd* inner = makeView(&kNoDrops, outer, nullptr);
  SetWindowLong(H(inner), GWL_WNDPROC, reinterpret_cast<LONG_PTR>(DropProc));
  inner->setHidden(false);
  inner->setFrame(NSMakeRect(0, 0, 100, 100));  // flipped outer: the top-left corner
  NSDraggingInfo* info = drag(NSFilenamesPboardType, {"/x"}, inner);  // dragged from this window
  EXPECT_TRUE(ns_standin::dropAt(info, NSMakePoint(120, 380)));
  ASSERT_EQ(gDrops.size(), 1u);
  EXPECT_EQ(gDrops[0].to, H(inner)) << "offered to the view under the point first";
  EXPECT_EQ(gDrops[0].point.x, 20);
  EXPECT_EQ(gDrops[0].point.y, 20);
  EXPECT_NE(std::find(gCalls.begin(), gCalls.end(), "repre held"), gCalls.end());
  EXPECT_EQ(GetProp(H(outer), "WAPI_DisableWindowRepre"), nullptr) << "removed after the drop";
  gDrops.clear();
  EXPECT_TRUE(ns_standin::dropAt(info, NSMakePoint(350, 150)));
  ASSERT_EQ(gDrops.size(), 1u);
  EXPECT_EQ(gDrops[0].to, H(outer));
}

TEST_F(DropFiles, LongNamesAreCutOnACharacterBoundaryAndAnEmptyDragIsRefused) {
  view(&kAcceptsDrops);
  std::string longName(4094, 'a');
  longName += "\xc3\xa9tail";  // the two-byte character would straddle byte 4095
  NSDraggingInfo* info = drag(NSFilenamesPboardType, {longName});
  EXPECT_TRUE(ns_standin::dropAt(info, NSMakePoint(150, 150)));
  ASSERT_EQ(gDrops.size(), 1u);
  EXPECT_EQ(gDrops[0].names[0], std::string(4094, 'a'));
  gDrops.clear();
  EXPECT_FALSE(ns_standin::dropAt(drag(NSFilenamesPboardType, {}), NSMakePoint(150, 150)));
  EXPECT_TRUE(gDrops.empty());
}
