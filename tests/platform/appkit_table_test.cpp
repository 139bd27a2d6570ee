// The AppKit stand-in's index sets, tables, outlines and tab views.
#include <AppKit/AppKit.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<NSUInteger> all(const NSIndexSet* s) {
  return std::vector<NSUInteger>(s->indexes().begin(), s->indexes().end());
}

TEST(AppKitIndexSet, ShiftsMoveAndDropIndexesAsTheyPass) {
  struct Case {
    const char* what;
    NSUInteger at;
    NSInteger delta;
    std::vector<NSUInteger> out;
  } cases[] = {
      {"insert in front", 0, 1, {3, 5, 8}},
      {"insert between", 3, 2, {2, 6, 9}},
      {"delete row 3: later indexes move down", 4, -1, {2, 3, 6}},
      {"delete row 4: its own index goes", 5, -1, {2, 6}},
      {"a shift past the start keeps nothing below 0", 4, -5, {2}},
  };
  for (const Case& c : cases) {
    auto* s = NSMutableIndexSet::indexSet();
    for (NSUInteger i : {2u, 4u, 7u}) s->addIndex(i);
    s->shiftIndexesStartingAtIndex(c.at, c.delta);
    EXPECT_EQ(all(s), c.out) << c.what;
  }
  ns_standin::drainLoopPool();
}

class Rows : public NSTableViewDataSource {
 public:
  NSInteger numberOfRowsInTableView(NSTableView*) override { return count; }
  NSString* tableViewObjectValue(NSTableView*, NSTableColumn*, NSInteger row) override {
    return NSString::stringWithUTF8String(std::to_string(row).c_str());
  }
  NSInteger count = 40;
};

TEST(AppKitTable, ReloadsDropSelectionPastTheRowsAndScrollingStaysInside) {
  Rows rows;
  auto* scroll = static_cast<NSScrollView*>(NSScrollView::class_()->alloc());
  scroll->initWithFrame(NSMakeRect(0, 0, 200, 118 + 15));
  scroll->setHasHorizontalScroller(true);
  auto* table = static_cast<NSTableView*>(NSTableView::class_()->alloc());
  table->initWithFrame(NSMakeRect(0, 0, 200, 100));
  auto* col = static_cast<NSTableColumn*>(NSTableColumn::class_()->alloc());
  col->setWidth(100);
  table->addTableColumn(col);
  col->release();
  scroll->setDocumentView(table);
  table->setDataSource(&rows);
  table->setAllowsMultipleSelection(true);
  table->reloadData();
  EXPECT_EQ(table->visibleRect().size.height, 100) << "the header takes 18";
  auto* pick = NSMutableIndexSet::indexSet();
  for (NSUInteger i : {3u, 20u, 39u}) pick->addIndex(i);
  table->selectRowIndexes(pick, false);
  EXPECT_EQ(table->selectedRow(), 39);
  rows.count = 21;
  table->reloadData();
  EXPECT_EQ(all(table->selectedRowIndexes()), (std::vector<NSUInteger>{3, 20}));
  EXPECT_EQ(table->selectedRow(), 20);
  table->scrollRowToVisible(20);
  EXPECT_EQ(table->visibleRect().origin.y, 21 * 18 - 100);
  EXPECT_EQ(table->rowAtPoint(NSMakePoint(5, 21 * 18 - 1)), 20);
  EXPECT_EQ(table->rowAtPoint(NSMakePoint(5, 21 * 18)), -1);
  table->scrollToPoint(NSMakePoint(0, 1e6));
  EXPECT_EQ(table->visibleRect().origin.y, 21 * 18 - 100) << "clamped to the table";
  EXPECT_EQ(table->frameOfCellAtColumn(0, 2).origin.y, 37);
  EXPECT_EQ(table->columnAtPoint(NSMakePoint(102, 0)), 0) << "the spacing belongs to the column";
  EXPECT_EQ(table->columnAtPoint(NSMakePoint(104, 0)), -1);
  table->release();
  scroll->release();
  ns_standin::drainLoopPool();
}

class Tree : public NSOutlineViewDataSource {
 public:
  // Two top-level items, the first with two children.
  NSObject* items[4] = {};
  NSInteger outlineViewNumberOfChildrenOfItem(NSOutlineView*, NSObject* item) override {
    return !item ? 2 : item == items[0] ? 2 : 0;
  }
  bool outlineViewIsItemExpandable(NSOutlineView*, NSObject* item) override { return item == items[0]; }
  NSObject* outlineViewChildOfItem(NSOutlineView*, NSInteger i, NSObject* item) override {
    return !item ? items[i] : items[2 + i];
  }
  NSString* outlineViewObjectValue(NSOutlineView*, NSTableColumn*, NSObject*) override { return nullptr; }
};

TEST(AppKitOutline, ExpandingShowsChildrenOneLevelDownAndCollapsingShiftsTheSelection) {
  Tree tree;
  for (NSObject*& o : tree.items) o = NSObject::class_()->alloc();
  auto* view = static_cast<NSOutlineView*>(NSOutlineView::class_()->alloc());
  view->initWithFrame(NSMakeRect(0, 0, 100, 100));
  view->setOutlineDataSource(&tree);
  view->reloadData();
  EXPECT_EQ(view->numberOfRows(), 2);
  view->expandItem(tree.items[1]);
  EXPECT_FALSE(view->isItemExpanded(tree.items[1])) << "not expandable";
  view->expandItem(tree.items[0]);
  EXPECT_EQ(view->numberOfRows(), 4);
  EXPECT_EQ(view->rowForItem(tree.items[3]), 2);
  EXPECT_EQ(view->levelForRow(2), 1);
  EXPECT_EQ(view->itemAtRow(3), tree.items[1]);
  view->selectRowIndexes(NSIndexSet::indexSetWithIndex(3), false);
  view->collapseItem(tree.items[0]);
  EXPECT_EQ(view->selectedRow(), 1) << "the selection follows its item up";
  EXPECT_EQ(view->itemAtRow(9), nullptr);
  view->release();
  for (NSObject* o : tree.items) o->release();
  ns_standin::drainLoopPool();
}

class TabLog : public NSTabViewDelegate {
 public:
  void tabViewDidSelectTabViewItem(NSTabView* v, NSTabViewItem* item) override {
    picks.push_back(v->indexOfTabViewItem(item));
  }
  std::vector<NSInteger> picks;
};

TEST(AppKitTabView, TheFirstItemIsSelectedAndRemovalsPickANeighbour) {
  TabLog log;
  auto* tabs = static_cast<NSTabView*>(NSTabView::class_()->alloc());
  tabs->initWithFrame(NSMakeRect(0, 0, 300, 100));
  tabs->setDelegate(&log);
  for (const char* label : {"A", "B", "C"}) {
    auto* item = static_cast<NSTabViewItem*>(NSTabViewItem::class_()->alloc());
    item->setLabel(label);
    tabs->insertTabViewItem(item, 0);
    item->release();
  }
  EXPECT_EQ(log.picks, (std::vector<NSInteger>{0})) << "only the first insert selects";
  EXPECT_EQ(tabs->selectedTabViewItem()->label(), "A");
  tabs->removeTabViewItem(tabs->selectedTabViewItem());
  EXPECT_EQ(tabs->selectedTabViewItem()->label(), "B");
  EXPECT_TRUE(NSIsEmptyRect(tabs->rectOfTab(2)));
  EXPECT_GT(tabs->rectOfTab(1).origin.x, tabs->rectOfTab(0).origin.x);
  tabs->release();
}

}  // namespace
