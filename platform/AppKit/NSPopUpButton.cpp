#include "NSPopUpButton.h"

#include <CoreFoundation/CFPresenter.h>
#include <CoreText/CTFieldText.h>

#include <algorithm>

NS_STANDIN_CLASS_IMPL(NSPopUpButton, NSButton)
NS_STANDIN_CLASS_IMPL(NSComboBox, NSTextField)

namespace
{

// A small downward arrow centred in the box.
void drawArrow(CGContextRef c, NSRect box)
{
    const double cx = box.origin.x + box.size.width / 2, cy = box.origin.y + box.size.height / 2;
    CGContextSetRGBFillColor(c, 0.2, 0.2, 0.2, 1);
    for (int row = 0; row < 4; ++row) CGContextFillRect(c, CGRectMake(cx - 4 + row, cy + 2 - row, 8 - 2 * row, 1));
}

} // namespace

NSPopUpButton::~NSPopUpButton()
{
    if (mMenu) mMenu->release();
}

NSView* NSPopUpButton::initWithFrame(NSRect frame)
{
    NSButton::initWithFrame(frame);
    auto* menu = static_cast<NSMenu*>(NSMenu::class_()->alloc());
    menu->initWithTitle(NSString::stringWithUTF8String(""));
    setMenu(menu);
    menu->release();
    return this;
}

void NSPopUpButton::setMenu(NSMenu* menu)
{
    if (menu) menu->retain();
    if (mMenu) mMenu->release();
    mMenu = menu;
    mSelected = nullptr;
    setNeedsDisplay(true);
}

std::vector<NSMenuItem*> NSPopUpButton::itemArray() const
{
    std::vector<NSMenuItem*> items;
    for (NSInteger i = 0; i < numberOfItems(); ++i) items.push_back(itemAtIndex(i));
    return items;
}

NSInteger NSPopUpButton::indexOfSelectedItem() const
{
    return mSelected && mMenu ? mMenu->indexOfItem(mSelected) : -1;
}

void NSPopUpButton::selectItemAtIndex(NSInteger i)
{
    mSelected = i >= 0 && i < numberOfItems() ? itemAtIndex(i) : nullptr;
    setNeedsDisplay(true);
}

void NSPopUpButton::removeAllItems()
{
    while (numberOfItems() > 0) mMenu->removeItem(itemAtIndex(0));
    mSelected = nullptr;
    setNeedsDisplay(true);
}

void NSPopUpButton::drawRect(NSRect)
{
    CGContextRef c = beginDrawingInBounds();
    if (!c) return;
    const NSRect b = bounds();
    CGContextSetRGBFillColor(c, 0.45, 0.45, 0.45, 1);
    CGContextFillRect(c, b);
    CGContextSetRGBFillColor(c, 0.97, 0.97, 0.97, 1);
    CGContextFillRect(c, NSInsetRect(b, 1, 1));
    const double arrowW = std::min(16.0, b.size.width / 2);
    NSRect arrow = NSMakeRect(b.origin.x + b.size.width - arrowW, b.origin.y, arrowW, b.size.height);
    if (mArrowPosition == 2) arrow.size.height = std::min(b.size.height, 10.0);
    if (mArrowPosition) drawArrow(c, arrow);
    const NSInteger sel = indexOfSelectedItem();
    if (sel >= 0) {
        ct_standin::FieldText how;
        if (font()) {
            how.font = font()->fontName();
            how.size = font()->pointSize();
        }
        NSRect text = NSInsetRect(b, 4, 1);
        text.size.width = std::max(0.0, text.size.width - arrowW);
        ct_standin::DrawFieldText(c, text, NSStandinCharacters(itemAtIndex(sel)->title()->UTF8String()), how);
    }
    CGContextRestoreGState(c);
}

NSComboBox::~NSComboBox() = default;

NSView* NSComboBox::initWithFrame(NSRect frame)
{
    NSTextField::initWithFrame(frame);
    setBezeled(true);
    setDrawsBackground(true);
    return this;
}

NSString* NSComboBox::itemObjectValueAtIndex(NSInteger i) const
{
    if (i < 0 || i >= numberOfItems()) return nullptr;
    return NSString::stringWithUTF8String(mValues[size_t(i)].c_str());
}

std::vector<NSString*> NSComboBox::objectValues() const
{
    std::vector<NSString*> values;
    for (const std::string& v : mValues) values.push_back(NSString::stringWithUTF8String(v.c_str()));
    return values;
}

void NSComboBox::addItemWithObjectValue(NSString* value)
{
    insertItemWithObjectValue(value, numberOfItems());
}

void NSComboBox::insertItemWithObjectValue(NSString* value, NSInteger index)
{
    index = std::clamp<NSInteger>(index, 0, numberOfItems());
    mValues.insert(mValues.begin() + index, value ? value->UTF8String() : "");
    if (mSelected >= index) ++mSelected;
}

void NSComboBox::removeItemAtIndex(NSInteger index)
{
    if (index < 0 || index >= numberOfItems()) return;
    mValues.erase(mValues.begin() + index);
    if (mSelected == index)
        mSelected = -1;
    else if (mSelected > index)
        --mSelected;
}

void NSComboBox::removeAllItems()
{
    mValues.clear();
    mSelected = -1;
}

void NSComboBox::selectItemAtIndex(NSInteger i)
{
    if (i < 0 || i >= numberOfItems()) {
        mSelected = -1;
        return;
    }
    mSelected = i;
    setStringValue(itemObjectValueAtIndex(i));
}

NSRect NSComboBox::buttonRect() const
{
    const NSRect b = bounds();
    const double w = std::min(18.0, b.size.width / 2);
    return NSMakeRect(b.origin.x + b.size.width - w, b.origin.y, w, b.size.height);
}

void NSComboBox::mouseDown(NSEvent* e)
{
    if (!NSPointInRect(convertPoint(e->locationInWindow(), nullptr), buttonRect())) {
        NSTextField::mouseDown(e);
        return;
    }
    retain();
    tellDelegate("comboBoxWillPopUp:", "NSComboBoxWillPopUpNotification");
    cf_standin::MenuShown shown;
    for (size_t i = 0; i < mValues.size(); ++i) {
        cf_standin::MenuItemShown item;
        item.title = mValues[i];
        item.checked = NSInteger(i) == mSelected;
        shown.items.push_back(item);
    }
    shown.x = e->locationInWindow().x, shown.y = e->locationInWindow().y;
    const std::vector<int> path = cf_standin::presenter()->Menu(shown);
    if (path.size() == 1 && path[0] >= 0 && path[0] < numberOfItems() && path[0] != mSelected) {
        selectItemAtIndex(path[0]);
        tellDelegate("comboBoxSelectionDidChange:", "NSComboBoxSelectionDidChangeNotification");
    }
    release();
}

void NSComboBox::drawRect(NSRect rect)
{
    NSTextField::drawRect(rect);
    CGContextRef c = beginDrawingInBounds();
    if (!c) return;
    const NSRect button = buttonRect();
    CGContextSetRGBFillColor(c, 0.45, 0.45, 0.45, 1);
    CGContextFillRect(c, button);
    CGContextSetRGBFillColor(c, 0.9, 0.9, 0.9, 1);
    CGContextFillRect(c, NSInsetRect(button, 1, 1));
    drawArrow(c, button);
    CGContextRestoreGState(c);
}
