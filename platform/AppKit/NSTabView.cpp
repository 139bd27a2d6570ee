#include "NSTabView.h"

#include "NSEvent.h"
#include "NSTableView.h"
#include "NSTextField.h"

#include <CoreText/CTFieldText.h>

#include <algorithm>

NS_STANDIN_CLASS_IMPL(NSTabViewItem, NSObject)
NS_STANDIN_CLASS_IMPL(NSTabView, NSView)
NS_STANDIN_CLASS_IMPL(NSProgressIndicator, NSView)

namespace
{

void fill(CGContextRef c, NSRect r, double v)
{
    CGContextSetRGBFillColor(c, v, v, v, 1);
    CGContextFillRect(c, r);
}

double labelWidth(const std::string& label)
{
    return ct_standin::TextWidth("", 11, NSStandinCharacters(label.c_str())) + 16;
}

} // namespace

NSTabView::~NSTabView()
{
    for (NSTabViewItem* i : mItems) i->release();
}

NSTabViewItem* NSTabView::tabViewItemAtIndex(NSInteger index) const
{
    return index >= 0 && index < numberOfTabViewItems() ? mItems[size_t(index)] : nullptr;
}

NSInteger NSTabView::indexOfTabViewItem(const NSTabViewItem* item) const
{
    auto it = std::find(mItems.begin(), mItems.end(), item);
    return it == mItems.end() ? NSNotFound : NSInteger(it - mItems.begin());
}

void NSTabView::insertTabViewItem(NSTabViewItem* item, NSInteger index)
{
    if (!item || indexOfTabViewItem(item) != NSNotFound) return;
    item->retain();
    index = std::max<NSInteger>(0, std::min(index, numberOfTabViewItems()));
    mItems.insert(mItems.begin() + index, item);
    if (!mSelected) selectTabViewItemAtIndex(index);
    setNeedsDisplay(true);
}

void NSTabView::removeTabViewItem(NSTabViewItem* item)
{
    const NSInteger i = indexOfTabViewItem(item);
    if (i == NSNotFound) return;
    mItems.erase(mItems.begin() + i);
    if (mSelected == item) {
        mSelected = nullptr;
        if (!mItems.empty()) selectTabViewItemAtIndex(std::min<NSInteger>(i, numberOfTabViewItems() - 1));
    }
    item->release();
    setNeedsDisplay(true);
}

void NSTabView::selectTabViewItemAtIndex(NSInteger index)
{
    NSTabViewItem* item = tabViewItemAtIndex(index);
    if (!item) return;
    mSelected = item;
    setNeedsDisplay(true);
    if (mDelegate) mDelegate->tabViewDidSelectTabViewItem(this, item);
}

NSRect NSTabView::rectOfTab(NSInteger index) const
{
    if (!tabViewItemAtIndex(index)) return NSMakeRect(0, 0, 0, 0);
    double x = 6;
    for (NSInteger i = 0; i < index; ++i) x += labelWidth(mItems[size_t(i)]->label());
    return NSMakeRect(x, 0, labelWidth(mItems[size_t(index)]->label()), kTabHeight);
}

void NSTabView::mouseDown(NSEvent* e)
{
    const NSPoint p = convertPoint(e->locationInWindow(), nullptr);
    for (NSInteger i = 0; i < numberOfTabViewItems(); ++i)
        if (NSPointInRect(p, rectOfTab(i))) {
            selectTabViewItemAtIndex(i);
            return;
        }
}

void NSTabView::drawRect(NSRect)
{
    CGContextRef c = beginDrawingInBounds();
    if (!c) return;
    const NSRect b = bounds();
    fill(c, NSMakeRect(0, kTabHeight - 1, b.size.width, b.size.height - kTabHeight + 1), 0.5);
    fill(c, NSMakeRect(1, kTabHeight, b.size.width - 2, b.size.height - kTabHeight - 1), 0.9);
    for (NSInteger i = 0; i < numberOfTabViewItems(); ++i) {
        const NSRect r = rectOfTab(i);
        const bool on = mItems[size_t(i)] == mSelected;
        fill(c, r, 0.5);
        fill(c, NSMakeRect(r.origin.x + 1, r.origin.y + 1, r.size.width - 2, r.size.height - (on ? 0 : 2)),
             on ? 0.9 : 0.78);
        drawFlippedText(c, r, mItems[size_t(i)]->label(), NSCenterTextAlignment, nullptr);
    }
    CGContextRestoreGState(c);
}

void NSProgressIndicator::setDoubleValue(double v)
{
    mValue = v;
    setNeedsDisplay(true);
}

double NSProgressIndicator::fraction() const
{
    if (!(mMax > mMin)) return 0;
    return std::max(0.0, std::min(1.0, (mValue - mMin) / (mMax - mMin)));
}

void NSProgressIndicator::drawRect(NSRect)
{
    CGContextRef c = beginDrawingInBounds();
    if (!c) return;
    const NSRect b = bounds();
    fill(c, b, 0.45);
    fill(c, NSInsetRect(b, 1, 1), 0.88);
    const NSRect in = NSInsetRect(b, 1, 1);
    CGContextSetRGBFillColor(c, 0.2, 0.5, 0.9, 1);
    CGContextFillRect(c, NSMakeRect(in.origin.x, in.origin.y, in.size.width * fraction(), in.size.height));
    CGContextRestoreGState(c);
}
