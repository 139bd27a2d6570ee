#pragma once
// Outline views: a table whose rows are the shown items of a tree given by the data source;
// an expanded item shows its children below it, one level deeper. The outline column (the
// first) indents each level by the indentation (16 unless set) plus 14 for the disclosure mark,
// drawn beside expandable items; a press on the mark expands or collapses the item.
#include <set>
#include <vector>

#include "NSTableView.h"

class NSOutlineView;

class NSOutlineViewDataSource
{
public:
    // A null item stands for the root.
    virtual NSInteger outlineViewNumberOfChildrenOfItem(NSOutlineView* view, NSObject* item) = 0;
    virtual bool outlineViewIsItemExpandable(NSOutlineView* view, NSObject* item) = 0;
    virtual NSObject* outlineViewChildOfItem(NSOutlineView* view, NSInteger index, NSObject* item) = 0;
    // Autoreleased; null reads as empty.
    virtual NSString* outlineViewObjectValue(NSOutlineView* view, NSTableColumn* column, NSObject* item) = 0;

protected:
    ~NSOutlineViewDataSource() = default;
};

class NSOutlineView : public NSTableView, private NSTableViewDataSource
{
    NS_STANDIN_CLASS(NSOutlineView)
public:
    static constexpr double kDisclosureWidth = 14;

    NSOutlineView() = default;
    NSView* initWithFrame(NSRect frame) override;
    void setOutlineDataSource(NSOutlineViewDataSource* source) { mOutlineSource = source; }
    // Walks the tree again: the shown rows and the expanded items still in it.
    void reloadData() override;
    bool isItemExpanded(NSObject* item) const { return item && mExpanded.count(item) != 0; }
    void expandItem(NSObject* item);
    void collapseItem(NSObject* item);
    // -1 when the item is not shown.
    NSInteger rowForItem(const NSObject* item) const;
    // Null outside the rows.
    NSObject* itemAtRow(NSInteger row) const;
    NSInteger levelForRow(NSInteger row) const;
    void setIndentationPerLevel(double indent) { mIndent = indent; }
    double indentationPerLevel() const { return mIndent; }
    void mouseDown(NSEvent* e) override;

protected:
    void drawCellsOfRow(CGContextRef c, NSInteger row, NSRect clip) override;
    // The delegate hears outlineViewSelectionDidChange: instead of the table's method.
    void selectionDidChange() override;

private:
    NSInteger numberOfRowsInTableView(NSTableView*) override { return NSInteger(mShown.size()); }
    NSString* tableViewObjectValue(NSTableView*, NSTableColumn* column, NSInteger row) override;
    void walk(NSObject* item, int level, bool shown, std::set<NSObject*>& found);

    NSOutlineViewDataSource* mOutlineSource = nullptr;
    struct Shown {
        NSObject* item;
        int level;
    };
    std::vector<Shown> mShown;
    std::set<NSObject*> mExpanded; // items only compared, never read
    double mIndent = 16;
};
