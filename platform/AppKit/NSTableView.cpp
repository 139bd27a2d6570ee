#include "NSTableView.h"

#include "NSEvent.h"

#include <Foundation/NSFormatter.h>

#include <CoreText/CTFieldText.h>

#include <algorithm>
#include <cmath>

NS_STANDIN_CLASS_IMPL(NSIndexSet, NSObject)
NS_STANDIN_CLASS_IMPL(NSMutableIndexSet, NSIndexSet)
NS_STANDIN_CLASS_IMPL(NSTableColumn, NSObject)
NS_STANDIN_CLASS_IMPL(NSTableHeaderView, NSView)
NS_STANDIN_CLASS_IMPL(NSTableView, NSControl)

namespace
{

template <class T> void Retain(T*& slot, T* value)
{
    if (value) value->retain();
    if (slot) slot->release();
    slot = value;
}

void fill(CGContextRef c, NSRect r, double red, double green, double blue)
{
    CGContextSetRGBFillColor(c, red, green, blue, 1);
    CGContextFillRect(c, r);
}

void fill(CGContextRef c, NSRect r, const NSColor* color)
{
    fill(c, r, color->redComponent(), color->greenComponent(), color->blueComponent());
}

// The selection fill of the stand-in's tables.
constexpr double kSelection[3] = {0.22, 0.46, 0.84};

} // namespace

void drawFlippedText(CGContextRef c, NSRect box, const std::string& text, NSTextAlignment align, const NSColor* color)
{
    if (text.empty() || box.size.width <= 0) return;
    ct_standin::FieldText how;
    how.align = align == NSCenterTextAlignment ? 1 : align == NSRightTextAlignment ? 2 : 0;
    how.size = 11;
    if (color) {
        how.rgb[0] = color->redComponent();
        how.rgb[1] = color->greenComponent();
        how.rgb[2] = color->blueComponent();
    }
    // Text lays out upward: flipped views turn the box over first.
    CGContextSaveGState(c);
    CGContextTranslateCTM(c, 0, 2 * box.origin.y + box.size.height);
    CGContextScaleCTM(c, 1, -1);
    ct_standin::DrawFieldText(c, box, NSStandinCharacters(text.c_str()), how);
    CGContextRestoreGState(c);
}

NSIndexSet* NSIndexSet::indexSet()
{
    return static_cast<NSIndexSet*>(class_()->alloc()->autorelease());
}

NSIndexSet* NSIndexSet::indexSetWithIndex(NSUInteger index)
{
    NSIndexSet* s = indexSet();
    s->mIndexes.insert(index);
    return s;
}

NSUInteger NSIndexSet::indexGreaterThanIndex(NSUInteger index) const
{
    auto it = mIndexes.upper_bound(index);
    return it == mIndexes.end() ? NSNotFound : *it;
}

NSMutableIndexSet* NSMutableIndexSet::indexSet()
{
    return static_cast<NSMutableIndexSet*>(class_()->alloc()->autorelease());
}

void NSMutableIndexSet::addIndexes(const NSIndexSet* other)
{
    if (other) mIndexes.insert(other->indexes().begin(), other->indexes().end());
}

void NSMutableIndexSet::removeIndexesInRange(NSUInteger location, NSUInteger length)
{
    mIndexes.erase(mIndexes.lower_bound(location), mIndexes.lower_bound(location + length));
}

void NSMutableIndexSet::shiftIndexesStartingAtIndex(NSUInteger index, NSInteger delta)
{
    std::set<NSUInteger> out(mIndexes.begin(), mIndexes.lower_bound(index));
    if (delta < 0) {
        const NSUInteger gone = NSUInteger(-delta) > index ? index : NSUInteger(-delta);
        // Indexes the shift passes over are dropped.
        out.erase(out.lower_bound(index - gone), out.end());
    }
    for (auto it = mIndexes.lower_bound(index); it != mIndexes.end(); ++it)
        if (NSInteger(*it) + delta >= 0) out.insert(NSUInteger(NSInteger(*it) + delta));
    mIndexes.swap(out);
}

NSTableColumn::~NSTableColumn()
{
    Retain(mCell, static_cast<NSCell*>(nullptr));
}

NSCell* NSTableColumn::dataCell()
{
    if (!mCell) mCell = static_cast<NSCell*>(NSTextFieldCell::class_()->alloc());
    return mCell;
}

void NSTableColumn::setDataCell(NSCell* cell)
{
    Retain(mCell, cell);
}

void NSCell::drawInteriorWithFrame(NSRect frame, NSView*)
{
    NSGraphicsContext* g = NSGraphicsContext::currentContext();
    if (g) drawFlippedText(g->graphicsPort(), NSInsetRect(frame, 2, 0), mText, mAlignment, nullptr);
}

NSColor* NSTextFieldCell::highlightColorWithFrame(NSRect, NSView*)
{
    return NSColor::colorWithCalibratedRed(kSelection[0], kSelection[1], kSelection[2], 1);
}

void NSTextFieldCell::drawWithFrame(NSRect frame, NSView* view)
{
    NSGraphicsContext* g = NSGraphicsContext::currentContext();
    if (g && isHighlighted())
        if (NSColor* h = highlightColorWithFrame(frame, view)) fill(g->graphicsPort(), frame, h);
    drawInteriorWithFrame(frame, view);
}

void NSTextFieldCell::drawInteriorWithFrame(NSRect frame, NSView*)
{
    NSGraphicsContext* g = NSGraphicsContext::currentContext();
    if (g) drawFlippedText(g->graphicsPort(), NSInsetRect(frame, 2, 0), text(), alignment(), mTextColor);
}

void NSTableHeaderView::drawRect(NSRect)
{
    CGContextRef c = beginDrawingInBounds();
    if (!c) return;
    const NSRect b = bounds();
    fill(c, b, 0.55, 0.55, 0.55);
    fill(c, NSMakeRect(0, 0, b.size.width, b.size.height - 1), 0.93, 0.93, 0.93);
    if (mTable) {
        const double dx = -mTable->visibleRect().origin.x;
        for (size_t i = 0; i < mTable->tableColumns().size(); ++i) {
            NSTableColumn* col = mTable->tableColumns()[i];
            if (col->isHidden()) continue;
            NSRect r = mTable->rectOfColumn(NSInteger(i));
            r = NSMakeRect(r.origin.x + dx, 0, r.size.width, b.size.height - 1);
            fill(c, NSMakeRect(r.origin.x + r.size.width - 1, 2, 1, r.size.height - 4), 0.55, 0.55, 0.55);
            const std::string mark = mTable->indicatorImageName(col);
            double markWidth = 0;
            if (!mark.empty()) {
                // A small triangle: up for ascending, down for descending.
                markWidth = 10;
                const bool up = mark == "NSAscendingSortIndicator";
                const double mx = r.origin.x + r.size.width - 10, my = r.origin.y + r.size.height / 2;
                for (int k = 0; k < 4; ++k) {
                    const double half = up ? k : 3 - k;
                    fill(c, NSMakeRect(mx - half, my - 2 + k, 2 * half + 1, 1), 0.2, 0.2, 0.2);
                }
            }
            drawFlippedText(c, NSMakeRect(r.origin.x + 3, r.origin.y, r.size.width - 6 - markWidth, r.size.height),
                            col->headerTitle(), col->headerAlignment(), nullptr);
        }
    }
    CGContextRestoreGState(c);
}

NSTableView::~NSTableView()
{
    for (NSTableColumn* c : mColumns) {
        c->mTable = nullptr;
        c->release();
    }
    // The header stays where it is: the scroll view holding it may be the one going away, and
    // it releases its subviews itself.
    if (mHeader) mHeader->mTable = nullptr;
    Retain(mHeader, static_cast<NSTableHeaderView*>(nullptr));
    Retain(mSelection, static_cast<NSMutableIndexSet*>(nullptr));
    Retain(mGridColor, static_cast<NSColor*>(nullptr));
    Retain(mBackground, static_cast<NSColor*>(nullptr));
}

NSView* NSTableView::initWithFrame(NSRect frame)
{
    NSControl::initWithFrame(frame);
    if (!mSelection) mSelection = static_cast<NSMutableIndexSet*>(NSMutableIndexSet::class_()->alloc());
    if (!mHeader) {
        mHeader = static_cast<NSTableHeaderView*>(NSTableHeaderView::class_()->alloc());
        mHeader->initWithFrame(NSMakeRect(0, 0, frame.size.width, kHeaderHeight));
        mHeader->mTable = this;
    }
    return this;
}

void NSTableView::setHeaderView(NSTableHeaderView* header)
{
    if (mHeader) {
        mHeader->mTable = nullptr;
        mHeader->removeFromSuperview();
    }
    Retain(mHeader, header);
    if (mHeader) mHeader->mTable = this;
    tile();
}

void NSTableView::reloadData()
{
    if (!mSelection) initWithFrame(frame());
    mRows = mSource ? std::max<NSInteger>(0, mSource->numberOfRowsInTableView(this)) : 0;
    mSelection->removeIndexesInRange(NSUInteger(mRows), NSNotFound - NSUInteger(mRows));
    if (mSelectedRow >= mRows || !isRowSelected(mSelectedRow))
        mSelectedRow = mSelection->count() ? NSInteger(mSelection->lastIndex()) : -1;
    tile();
    setNeedsDisplay(true);
}

void NSTableView::addTableColumn(NSTableColumn* column)
{
    if (!column || column->mTable) return;
    column->retain();
    column->mTable = this;
    mColumns.push_back(column);
    tile();
}

void NSTableView::removeTableColumn(NSTableColumn* column)
{
    auto it = std::find(mColumns.begin(), mColumns.end(), column);
    if (it == mColumns.end()) return;
    mColumns.erase(it);
    mIndicators.erase(
        std::remove_if(mIndicators.begin(), mIndicators.end(), [&](const auto& p) { return p.first == column; }),
        mIndicators.end());
    column->mTable = nullptr;
    column->release();
    tile();
}

void NSTableView::moveColumn(NSInteger from, NSInteger to)
{
    const NSInteger n = NSInteger(mColumns.size());
    if (from < 0 || from >= n || to < 0 || to >= n || from == to) return;
    NSTableColumn* c = mColumns[size_t(from)];
    mColumns.erase(mColumns.begin() + from);
    mColumns.insert(mColumns.begin() + to, c);
    setNeedsDisplay(true);
}

NSInteger NSTableView::columnWithTableColumn(const NSTableColumn* column) const
{
    auto it = std::find(mColumns.begin(), mColumns.end(), column);
    return it == mColumns.end() ? -1 : NSInteger(it - mColumns.begin());
}

void NSTableView::setIndicatorImageName(const char* name, NSTableColumn* column)
{
    if (columnWithTableColumn(column) < 0) return;
    mIndicators.erase(
        std::remove_if(mIndicators.begin(), mIndicators.end(), [&](const auto& p) { return p.first == column; }),
        mIndicators.end());
    if (name && *name) mIndicators.emplace_back(column, name);
    if (mHeader) mHeader->setNeedsDisplay(true);
}

const char* NSTableView::indicatorImageName(NSTableColumn* column) const
{
    for (const auto& p : mIndicators)
        if (p.first == column) return p.second.c_str();
    return "";
}

void NSTableView::setGridColor(NSColor* color)
{
    Retain(mGridColor, color);
}

void NSTableView::setBackgroundColor(NSColor* color)
{
    Retain(mBackground, color);
    setNeedsDisplay(true);
}

NSRect NSTableView::rectOfRow(NSInteger row) const
{
    if (row < 0 || row >= mRows) return NSMakeRect(0, 0, 0, 0);
    const double pitch = kRowHeight + kSpacingHeight;
    return NSMakeRect(0, row * pitch, frame().size.width, pitch);
}

NSRect NSTableView::rectOfColumn(NSInteger column) const
{
    if (column < 0 || column >= NSInteger(mColumns.size())) return NSMakeRect(0, 0, 0, 0);
    double x = 0;
    for (NSInteger i = 0; i < column; ++i)
        if (!mColumns[size_t(i)]->isHidden()) x += mColumns[size_t(i)]->width() + kSpacingWidth;
    const NSTableColumn* c = mColumns[size_t(column)];
    return NSMakeRect(x, 0, c->isHidden() ? 0 : c->width() + kSpacingWidth, mRows * (kRowHeight + kSpacingHeight));
}

NSRect NSTableView::frameOfCellAtColumn(NSInteger column, NSInteger row) const
{
    const NSRect r = rectOfRow(row), c = rectOfColumn(column);
    if (NSIsEmptyRect(r) || NSIsEmptyRect(c)) return NSMakeRect(0, 0, 0, 0);
    return NSMakeRect(c.origin.x + kSpacingWidth / 2, r.origin.y + kSpacingHeight / 2, c.size.width - kSpacingWidth,
                      kRowHeight);
}

NSInteger NSTableView::rowAtPoint(NSPoint p) const
{
    if (p.y < 0 || p.x < 0 || p.x >= frame().size.width) return -1;
    const NSInteger row = NSInteger(std::floor(p.y / (kRowHeight + kSpacingHeight)));
    return row < mRows ? row : -1;
}

NSInteger NSTableView::columnAtPoint(NSPoint p) const
{
    if (p.x < 0) return -1;
    for (NSInteger i = 0; i < NSInteger(mColumns.size()); ++i) {
        const NSRect r = rectOfColumn(i);
        if (r.size.width > 0 && p.x >= r.origin.x && p.x < r.origin.x + r.size.width) return i;
    }
    return -1;
}

void NSTableView::selectRowIndexes(const NSIndexSet* rows, bool extend)
{
    if (!mSelection) initWithFrame(frame());
    if (!extend) mSelection->removeAllIndexes();
    NSInteger last = -1;
    if (rows)
        for (NSUInteger i : rows->indexes()) {
            if (NSInteger(i) >= mRows) break;
            mSelection->addIndex(i);
            last = NSInteger(i);
        }
    if (last >= 0)
        mSelectedRow = last;
    else if (!isRowSelected(mSelectedRow))
        mSelectedRow = mSelection->count() ? NSInteger(mSelection->lastIndex()) : -1;
    setNeedsDisplay(true);
}

void NSTableView::deselectRow(NSInteger row)
{
    if (row < 0 || !mSelection) return;
    mSelection->removeIndex(NSUInteger(row));
    if (mSelectedRow == row) mSelectedRow = mSelection->count() ? NSInteger(mSelection->lastIndex()) : -1;
    setNeedsDisplay(true);
}

void NSTableView::deselectAll(NSObject*)
{
    if (mSelection) mSelection->removeAllIndexes();
    mSelectedRow = -1;
    setNeedsDisplay(true);
}

void NSTableView::shiftSelection(NSInteger row, NSInteger delta)
{
    if (!mSelection || row < 0) return;
    mSelection->shiftIndexesStartingAtIndex(NSUInteger(row), delta);
    if (mSelectedRow >= row) mSelectedRow += delta;
    if (mSelectedRow < 0 || !isRowSelected(mSelectedRow))
        mSelectedRow = mSelection->count() ? NSInteger(mSelection->lastIndex()) : -1;
}

NSScrollView* NSTableView::enclosingScrollView() const
{
    NSView* clip = superview();
    if (!clip || !clip->isKindOfClass(NSClipView::class_())) return nullptr;
    NSView* s = clip->superview();
    return s && s->isKindOfClass(NSScrollView::class_()) ? static_cast<NSScrollView*>(s) : nullptr;
}

void NSTableView::tile()
{
    double width = 0;
    for (NSTableColumn* c : mColumns)
        if (!c->isHidden()) width += c->width() + kSpacingWidth;
    const double height = mRows * (kRowHeight + kSpacingHeight);
    NSScrollView* scroll = enclosingScrollView();
    if (!scroll) {
        setFrameSize(NSMakeSize(std::max(width, frame().size.width), std::max(height, frame().size.height)));
        return;
    }
    const NSSize content = scroll->contentSize();
    const double header = mHeader ? kHeaderHeight : 0;
    NSClipView* clip = scroll->contentView();
    clip->setFrame(NSMakeRect(0, scroll->frame().size.height - content.height, content.width,
                              std::max(0.0, content.height - header)));
    if (mHeader) {
        if (mHeader->superview() != scroll) scroll->addSubview(mHeader);
        mHeader->setFrame(NSMakeRect(0, clip->frame().origin.y + clip->frame().size.height, content.width, header));
        mHeader->setNeedsDisplay(true);
    }
    setFrameSize(NSMakeSize(std::max(width, clip->frame().size.width), std::max(height, clip->frame().size.height)));
    scrollToPoint(mScroll);
}

NSRect NSTableView::visibleRect() const
{
    const NSView* clip = enclosingScrollView() ? superview() : nullptr;
    if (!clip) return bounds();
    return NSMakeRect(mScroll.x, mScroll.y, clip->frame().size.width, clip->frame().size.height);
}

void NSTableView::scrollToPoint(NSPoint origin)
{
    NSView* clip = enclosingScrollView() ? superview() : nullptr;
    if (!clip) return;
    const NSSize c = clip->frame().size, f = frame().size;
    mScroll.x = std::max(0.0, std::min(origin.x, f.width - c.width));
    mScroll.y = std::max(0.0, std::min(origin.y, f.height - c.height));
    // The clip view is not flipped: the table's top shows at the clip's top.
    setFrameOrigin(NSMakePoint(-mScroll.x, c.height - f.height + mScroll.y));
    setNeedsDisplay(true);
    if (mHeader) mHeader->setNeedsDisplay(true);
}

void NSTableView::scrollRowToVisible(NSInteger row)
{
    const NSRect r = rectOfRow(row), v = visibleRect();
    if (NSIsEmptyRect(r)) return;
    if (r.origin.y < v.origin.y)
        scrollToPoint(NSMakePoint(v.origin.x, r.origin.y));
    else if (r.origin.y + r.size.height > v.origin.y + v.size.height)
        scrollToPoint(NSMakePoint(v.origin.x, r.origin.y + r.size.height - v.size.height));
}

void NSTableView::scrollColumnToVisible(NSInteger column)
{
    const NSRect r = rectOfColumn(column), v = visibleRect();
    if (r.size.width <= 0) return;
    if (r.origin.x < v.origin.x)
        scrollToPoint(NSMakePoint(r.origin.x, v.origin.y));
    else if (r.origin.x + r.size.width > v.origin.x + v.size.width)
        scrollToPoint(NSMakePoint(r.origin.x + r.size.width - v.size.width, v.origin.y));
}

std::string NSTableView::cellText(NSTableColumn* column, NSInteger row)
{
    NSString* s = mSource ? mSource->tableViewObjectValue(this, column, row) : nullptr;
    return s ? s->UTF8String() : "";
}

void NSTableView::highlightSelectionInClipRect(NSRect clip)
{
    NSGraphicsContext* g = NSGraphicsContext::currentContext();
    if (!g || !mSelection) return;
    for (NSUInteger i : mSelection->indexes()) {
        const NSRect r = NSIntersectionRect(rectOfRow(NSInteger(i)), clip);
        if (!NSIsEmptyRect(r)) fill(g->graphicsPort(), r, kSelection[0], kSelection[1], kSelection[2]);
    }
}

void NSTableView::drawCellsOfRow(CGContextRef, NSInteger row, NSRect)
{
    for (size_t i = 0; i < mColumns.size(); ++i) {
        NSTableColumn* col = mColumns[i];
        if (col->isHidden()) continue;
        NSCell* cell = col->dataCell();
        cell->setStringValue(cellText(col, row).c_str());
        cell->setHighlighted(isRowSelected(row));
        willDisplayCell(cell, col, row);
        cell->drawWithFrame(frameOfCellAtColumn(NSInteger(i), row), this);
    }
}

void NSTableView::drawRect(NSRect rect)
{
    CGContextRef c = beginDrawingInBounds();
    if (!c) return;
    // Only the part the clip view shows.
    rect = NSIntersectionRect(rect, visibleRect());
    if (NSIsEmptyRect(rect)) {
        CGContextRestoreGState(c);
        return;
    }
    CGContextClipToRect(c, rect);
    if (mBackground)
        fill(c, rect, mBackground);
    else
        fill(c, rect, 1, 1, 1);
    highlightSelectionInClipRect(rect);
    const double pitch = kRowHeight + kSpacingHeight;
    const NSInteger first = std::max<NSInteger>(0, NSInteger(rect.origin.y / pitch));
    for (NSInteger row = first; row < mRows && row * pitch < rect.origin.y + rect.size.height; ++row)
        drawCellsOfRow(c, row, rect);
    if (mGrid) {
        const NSColor* g = mGridColor;
        const double gray[3] = {0.8, 0.8, 0.8};
        auto line = [&](NSRect r) {
            if (g)
                fill(c, r, g);
            else
                fill(c, r, gray[0], gray[1], gray[2]);
        };
        if (mGrid & NSTableViewSolidHorizontalGridLineMask)
            for (NSInteger row = first; row < mRows && row * pitch < rect.origin.y + rect.size.height; ++row)
                line(NSMakeRect(rect.origin.x, (row + 1) * pitch - 1, rect.size.width, 1));
        if (mGrid & NSTableViewSolidVerticalGridLineMask)
            for (size_t i = 0; i < mColumns.size(); ++i) {
                const NSRect r = rectOfColumn(NSInteger(i));
                if (r.size.width > 0)
                    line(NSMakeRect(r.origin.x + r.size.width - 1, rect.origin.y, 1, rect.size.height));
            }
    }
    CGContextRestoreGState(c);
}

void NSTableView::mouseDown(NSEvent* e)
{
    selectByPress(e, mSelection ? mSelection->indexes() : std::set<NSUInteger>());
}

void NSTableView::selectByPress(NSEvent* e, const std::set<NSUInteger>& before)
{
    const NSPoint p = convertPoint(e->locationInWindow(), nullptr);
    const NSInteger row = rowAtPoint(p);
    mPressedRow = row;
    mPressedColumn = row < 0 ? -1 : columnAtPoint(p);
    const NSEventModifierFlags f = e->modifierFlags();
    if (row < 0) {
        if (mEmptySel) deselectAll(nullptr);
    } else if (mMultiple && (f & NSCommandKeyMask) && isRowSelected(row)) {
        deselectRow(row);
    } else {
        selectRowIndexes(NSIndexSet::indexSetWithIndex(NSUInteger(row)),
                         mMultiple && (f & (NSCommandKeyMask | NSShiftKeyMask)));
    }
    if (mSelection && mSelection->indexes() != before) selectionDidChange();
}

void NSTableView::mouseUp(NSEvent* e)
{
    SEL a = e->clickCount() >= 2 && mDoubleAction ? mDoubleAction : action();
    if (a) sendAction(a, target());
    mPressedRow = mPressedColumn = -1;
}

void NSTableView::selectionDidChange()
{
    tellDelegate("tableViewSelectionDidChange:",
                 NSNotification::notificationWithName(
                     NSString::stringWithUTF8String("NSTableViewSelectionDidChangeNotification"), this));
}

void NSTableView::tellDelegate(const char* selector, NSObject* arg)
{
    SEL sel = sel_registerName(selector);
    if (!mDelegate || !mDelegate->respondsToSelector(sel)) return;
    retain();
    mDelegate->performSelector(sel, arg);
    release();
}

void NSTableHeaderView::mouseDown(NSEvent* e)
{
    if (!mTable) return;
    const NSPoint p = convertPoint(e->locationInWindow(), nullptr);
    const NSInteger column = mTable->NSTableView::columnAtPoint(NSMakePoint(p.x + mTable->visibleRect().origin.x, 0));
    if (column >= 0) mTable->tellDelegate("tableView:didClickTableColumn:", mTable->tableColumns()[size_t(column)]);
}
