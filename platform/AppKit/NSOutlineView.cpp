#include "NSOutlineView.h"

#include <Foundation/NSFormatter.h>

#include "NSEvent.h"

NS_STANDIN_CLASS_IMPL(NSOutlineView, NSTableView)

NSView* NSOutlineView::initWithFrame(NSRect frame)
{
    NSTableView::initWithFrame(frame);
    setDataSource(this);
    return this;
}

void NSOutlineView::walk(NSObject* item, int level, bool shown, std::set<NSObject*>& found)
{
    const NSInteger n = mOutlineSource->outlineViewNumberOfChildrenOfItem(this, item);
    for (NSInteger i = 0; i < n; ++i) {
        NSObject* child = mOutlineSource->outlineViewChildOfItem(this, i, item);
        if (!child) continue;
        found.insert(child);
        if (shown) mShown.push_back({child, level});
        if (mOutlineSource->outlineViewIsItemExpandable(this, child))
            walk(child, level + 1, shown && isItemExpanded(child), found);
    }
}

void NSOutlineView::reloadData()
{
    mShown.clear();
    if (mOutlineSource) {
        std::set<NSObject*> found;
        walk(nullptr, 0, true, found);
        for (auto it = mExpanded.begin(); it != mExpanded.end();)
            it = found.count(*it) ? std::next(it) : mExpanded.erase(it);
    } else {
        mExpanded.clear();
    }
    NSTableView::reloadData();
}

void NSOutlineView::expandItem(NSObject* item)
{
    if (!item || !mOutlineSource || !mOutlineSource->outlineViewIsItemExpandable(this, item) || isItemExpanded(item))
        return;
    // Rows below the item move down by the children shown; their selection goes with them.
    const NSInteger row = rowForItem(item);
    const size_t before = mShown.size();
    mExpanded.insert(item);
    reloadData();
    if (row >= 0 && mShown.size() > before) shiftSelection(row + 1, NSInteger(mShown.size() - before));
}

void NSOutlineView::collapseItem(NSObject* item)
{
    if (!item || !isItemExpanded(item)) return;
    // The rows shown below the item go with their selection; later rows move up.
    const NSInteger row = rowForItem(item);
    if (row >= 0) {
        NSInteger gone = 0;
        while (size_t(row + 1 + gone) < mShown.size() &&
               mShown[size_t(row + 1 + gone)].level > mShown[size_t(row)].level)
            ++gone;
        if (gone) shiftSelection(row + 1 + gone, -gone);
    }
    mExpanded.erase(item);
    reloadData();
}

NSInteger NSOutlineView::rowForItem(const NSObject* item) const
{
    for (size_t i = 0; i < mShown.size(); ++i)
        if (mShown[i].item == item) return NSInteger(i);
    return -1;
}

NSObject* NSOutlineView::itemAtRow(NSInteger row) const
{
    return row >= 0 && size_t(row) < mShown.size() ? mShown[size_t(row)].item : nullptr;
}

NSInteger NSOutlineView::levelForRow(NSInteger row) const
{
    return row >= 0 && size_t(row) < mShown.size() ? mShown[size_t(row)].level : -1;
}

NSString* NSOutlineView::tableViewObjectValue(NSTableView*, NSTableColumn* column, NSInteger row)
{
    NSObject* item = itemAtRow(row);
    return item && mOutlineSource ? mOutlineSource->outlineViewObjectValue(this, column, item) : nullptr;
}

void NSOutlineView::mouseDown(NSEvent* e)
{
    const NSPoint p = convertPoint(e->locationInWindow(), nullptr);
    const NSInteger row = rowAtPoint(p);
    NSObject* item = itemAtRow(row);
    const double markX = levelForRow(row) * mIndent;
    if (item && mOutlineSource && mOutlineSource->outlineViewIsItemExpandable(this, item) && p.x >= markX &&
        p.x < markX + kDisclosureWidth) {
        if (isItemExpanded(item))
            collapseItem(item);
        else
            expandItem(item);
        return;
    }
    NSTableView::mouseDown(e);
}

void NSOutlineView::drawCellsOfRow(CGContextRef c, NSInteger row, NSRect)
{
    NSObject* item = itemAtRow(row);
    for (size_t i = 0; i < tableColumns().size(); ++i) {
        NSTableColumn* col = tableColumns()[i];
        if (col->isHidden()) continue;
        NSRect f = frameOfCellAtColumn(NSInteger(i), row);
        if (i == 0) {
            const double indent = levelForRow(row) * mIndent;
            if (item && mOutlineSource && mOutlineSource->outlineViewIsItemExpandable(this, item)) {
                // A triangle: pointing right when collapsed, down when expanded.
                CGContextSetRGBFillColor(c, 0.35, 0.35, 0.35, 1);
                const double x = f.origin.x + indent + 4, y = f.origin.y + 4;
                for (int k = 0; k < 5; ++k) {
                    if (isItemExpanded(item))
                        CGContextFillRect(c, NSMakeRect(x + k, y + 2 + k, 9 - 2 * k, 1));
                    else
                        CGContextFillRect(c, NSMakeRect(x + 2 + k, y + k, 1, 9 - 2 * k));
                }
            }
            f.origin.x += indent + kDisclosureWidth;
            f.size.width -= indent + kDisclosureWidth;
        }
        NSCell* cell = col->dataCell();
        cell->setStringValue(cellText(col, row).c_str());
        cell->setHighlighted(isRowSelected(row));
        willDisplayCell(cell, col, row);
        cell->drawWithFrame(f, this);
    }
}

void NSOutlineView::selectionDidChange()
{
    tellDelegate("outlineViewSelectionDidChange:",
                 NSNotification::notificationWithName(
                     NSString::stringWithUTF8String("NSOutlineViewSelectionDidChangeNotification"), this));
}
