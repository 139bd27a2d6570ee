#pragma once
// Tables: rows from a data source under columns, a header view with the column titles, a
// selection as a set of row indexes and scrolling inside the enclosing scroll view. The table
// is flipped (row 0 at the top). Fixed measures: rows 16 high with 3 by 2 units of spacing
// between cells (a row takes 18), the header 18 high.
#include <string>
#include <vector>

#include "NSIndexSet.h"
#include "NSTextField.h"

class NSTableView;
class NSTableColumn;

// Text of the stand-in's flipped views (11 points, black unless a colour is given) in a box.
void drawFlippedText(CGContextRef c, NSRect box, const std::string& text, NSTextAlignment align, const NSColor* color);

class NSTableViewDataSource
{
public:
    virtual NSInteger numberOfRowsInTableView(NSTableView* table) = 0;
    // Autoreleased text of the cell; null reads as empty.
    virtual NSString* tableViewObjectValue(NSTableView* table, NSTableColumn* column, NSInteger row) = 0;

protected:
    ~NSTableViewDataSource() = default;
};

// A column: width, hidden flag, the header's title and alignment and the data cell that draws
// its rows (retained; a text cell unless replaced).
class NSTableColumn : public NSObject
{
    NS_STANDIN_CLASS(NSTableColumn)
public:
    NSTableColumn() = default;
    ~NSTableColumn() override;
    double width() const { return mWidth; }
    void setWidth(double width) { mWidth = width < 0 ? 0 : width; }
    bool isHidden() const { return mHidden; }
    void setHidden(bool hidden) { mHidden = hidden; }
    bool isEditable() const { return mEditable; }
    void setEditable(bool on) { mEditable = on; }
    const std::string& headerTitle() const { return mTitle; }
    void setHeaderTitle(const char* title) { mTitle = title ? title : ""; }
    NSTextAlignment headerAlignment() const { return mHeaderAlign; }
    void setHeaderAlignment(NSTextAlignment a) { mHeaderAlign = a; }
    NSCell* dataCell();
    void setDataCell(NSCell* cell);
    NSTableView* tableView() const { return mTable; }

private:
    friend class NSTableView;
    double mWidth = 100;
    bool mHidden = false, mEditable = true;
    std::string mTitle;
    NSTextAlignment mHeaderAlign = NSLeftTextAlignment;
    NSCell* mCell = nullptr;       // retained
    NSTableView* mTable = nullptr; // the table holds the column
};

// The header: a strip drawn above the clip view of the table's scroll view.
class NSTableHeaderView : public NSView
{
    NS_STANDIN_CLASS(NSTableHeaderView)
public:
    NSTableHeaderView() = default;
    NSTableView* tableView() const { return mTable; }
    void drawRect(NSRect rect) override;
    // A press on a column's title tells the table's delegate.
    void mouseDown(NSEvent* e) override;
    bool isFlipped() const override { return true; }

private:
    friend class NSTableView;
    NSTableView* mTable = nullptr;
};

enum : NSUInteger {
    NSTableViewGridNone = 0,
    NSTableViewSolidVerticalGridLineMask = 1,
    NSTableViewSolidHorizontalGridLineMask = 2
};

class NSTableView : public NSControl
{
    NS_STANDIN_CLASS(NSTableView)
public:
    static constexpr double kRowHeight = 16, kSpacingWidth = 3, kSpacingHeight = 2, kHeaderHeight = 18;

    NSTableView() = default;
    ~NSTableView() override;
    NSView* initWithFrame(NSRect frame) override;
    bool isFlipped() const override { return true; }
    bool acceptsFirstResponder() override { return true; }

    // Not retained, as delegates are not. A click that changes the selection sends it
    // tableViewSelectionDidChange: with a notification about the table, a press on a column's
    // title tableView:didClickTableColumn:, whose one argument here is the column (its
    // tableView() is the table).
    void setDelegate(NSObject* delegate) { mDelegate = delegate; }
    NSObject* delegate() const { return mDelegate; }
    void setDataSource(NSTableViewDataSource* source) { mSource = source; }
    NSTableViewDataSource* dataSource() const { return mSource; }
    // Asks the data source for the row count again; selected indexes past the last row go.
    virtual void reloadData();
    NSInteger numberOfRows() const { return mRows; }
    double rowHeight() const { return kRowHeight; }

    // Columns in display order; the table retains them.
    const std::vector<NSTableColumn*>& tableColumns() const { return mColumns; }
    void addTableColumn(NSTableColumn* column);
    void removeTableColumn(NSTableColumn* column);
    void moveColumn(NSInteger from, NSInteger to);
    NSInteger columnWithTableColumn(const NSTableColumn* column) const;
    void setAllowsColumnReordering(bool on) { mReorder = on; }
    bool allowsColumnReordering() const { return mReorder; }
    void setColumnAutoresizingStyle(NSUInteger style) { mAutoresize = style; }

    NSTableHeaderView* headerView() const { return mHeader; }
    // Null removes the header.
    void setHeaderView(NSTableHeaderView* header);

    // Indicator images are named ("NSAscendingSortIndicator", "NSDescendingSortIndicator");
    // an empty name clears the column's.
    void setIndicatorImageName(const char* name, NSTableColumn* column);
    const char* indicatorImageName(NSTableColumn* column) const;

    void setGridStyleMask(NSUInteger mask) { mGrid = mask; }
    NSUInteger gridStyleMask() const { return mGrid; }
    void setGridColor(NSColor* color);
    void setBackgroundColor(NSColor* color);
    NSColor* backgroundColor() const { return mBackground; }

    // Geometry in the table's coordinates. Rows outside give empty rectangles; points outside
    // give -1.
    NSRect rectOfRow(NSInteger row) const;
    NSRect rectOfColumn(NSInteger column) const;
    NSRect frameOfCellAtColumn(NSInteger column, NSInteger row) const;
    NSInteger rowAtPoint(NSPoint p) const;
    virtual NSInteger columnAtPoint(NSPoint p) const;

    // Selection.
    void setAllowsMultipleSelection(bool on) { mMultiple = on; }
    bool allowsMultipleSelection() const { return mMultiple; }
    void setAllowsEmptySelection(bool on) { mEmptySel = on; }
    NSIndexSet* selectedRowIndexes() const { return mSelection; }
    // The row selected last, -1 when none.
    NSInteger selectedRow() const { return mSelectedRow; }
    bool isRowSelected(NSInteger row) const { return row >= 0 && mSelection->containsIndex(NSUInteger(row)); }
    NSInteger numberOfSelectedRows() const { return NSInteger(mSelection->count()); }
    void selectRowIndexes(const NSIndexSet* rows, bool extend);
    void deselectRow(NSInteger row);
    void deselectAll(NSObject* sender);
    // Indexes at or above row move by delta (insert and delete of rows).
    void shiftSelection(NSInteger row, NSInteger delta);

    // Scrolling through the enclosing scroll view's clip view.
    class NSScrollView* enclosingScrollView() const;
    // The part shown, in the table's coordinates.
    NSRect visibleRect() const;
    void scrollRowToVisible(NSInteger row);
    void scrollColumnToVisible(NSInteger column);
    // Shows the table from that point (clamped to the table's extent).
    void scrollToPoint(NSPoint origin);

    // Drawing: background, selection highlight, grid and the cells of each row.
    void drawRect(NSRect rect) override;
    virtual void highlightSelectionInClipRect(NSRect clip);
    // The base selection: a press selects the row (Shift or Command extends in a multiple
    // selection table, Command toggles), the release sends the action (the double action for
    // a second click).
    void mouseDown(NSEvent* e) override;
    void mouseUp(NSEvent* e) override;
    // While a click's action is sent, the row and column clicked; -1 otherwise and outside.
    NSInteger clickedRow() const { return mPressedRow; }
    NSInteger clickedColumn() const { return mPressedColumn; }
    void setDoubleAction(SEL action) { mDoubleAction = action; }
    SEL doubleAction() const { return mDoubleAction; }
    void setFocusRingType(NSFocusRingType type) { mFocusRing = type; }
    // Lays out the header and the clip view inside the enclosing scroll view and sizes the
    // table to its rows and columns.
    void tile();

protected:
    // The base press; the delegate hears of a change from the selection given, which a subclass
    // that changes the selection itself before the press passes as it found it.
    void selectByPress(NSEvent* e, const std::set<NSUInteger>& before);
    // Tells the delegate that a click changed the selection.
    virtual void selectionDidChange();
    // The delegate's method of that selector with the argument, when it has one.
    void tellDelegate(const char* selector, NSObject* arg);
    // The text of a cell through the data source.
    std::string cellText(NSTableColumn* column, NSInteger row);
    // Told before each cell draws, after its text and highlight are set.
    virtual void willDisplayCell(NSCell*, NSTableColumn*, NSInteger) {}
    virtual void drawCellsOfRow(CGContextRef c, NSInteger row, NSRect clip);

private:
    friend class NSTableHeaderView;
    NSTableViewDataSource* mSource = nullptr;
    NSInteger mRows = 0;
    std::vector<NSTableColumn*> mColumns;
    std::vector<std::pair<NSTableColumn*, std::string>> mIndicators;
    NSTableHeaderView* mHeader = nullptr;    // retained
    NSMutableIndexSet* mSelection = nullptr; // retained
    NSInteger mSelectedRow = -1;
    NSUInteger mGrid = 0, mAutoresize = 0;
    NSColor* mGridColor = nullptr;  // retained
    NSColor* mBackground = nullptr; // retained
    NSPoint mScroll{};
    bool mReorder = true, mMultiple = false, mEmptySel = true;
    SEL mDoubleAction = nullptr;
    NSFocusRingType mFocusRing = NSFocusRingTypeDefault;
    NSInteger mPressedRow = -1, mPressedColumn = -1;
    NSObject* mDelegate = nullptr;
};
