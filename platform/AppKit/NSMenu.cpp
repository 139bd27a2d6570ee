#include "NSMenu.h"

#include <CoreFoundation/CFPresenter.h>

#include <algorithm>

#include "NSControl.h"
#include "NSView.h"

NS_STANDIN_CLASS_IMPL(NSMenuItem, NSObject)
NS_STANDIN_CLASS_IMPL(NSMenu, NSObject)
NS_STANDIN_CLASS_IMPL(NSCursor, NSObject)

NSMenuItem::~NSMenuItem()
{
    if (mTitle) mTitle->release();
    if (mSubmenu) mSubmenu->release();
}

NSMenuItem* NSMenuItem::separatorItem()
{
    auto* item = new NSMenuItem;
    item->initWithTitle(NSString::stringWithUTF8String(""), nullptr, nullptr);
    item->mSeparator = true;
    item->mEnabled = false;
    item->autorelease();
    return item;
}

NSMenuItem* NSMenuItem::initWithTitle(NSString* title, SEL action, NSString*)
{
    if (!title) title = NSString::stringWithUTF8String("");
    title->retain();
    if (mTitle) mTitle->release();
    mTitle = title;
    mAction = action;
    return this;
}

NSMenu::~NSMenu()
{
    for (NSMenuItem* item : mItems) {
        item->mMenu = nullptr;
        item->release();
    }
}

NSMenu* NSMenu::initWithTitle(NSString*)
{
    return this;
}

NSMenuItem* NSMenu::addItemWithTitle(NSString* title, SEL action, NSString* keyEquivalent)
{
    auto* item = new NSMenuItem;
    item->initWithTitle(title, action, keyEquivalent);
    addItem(item);
    item->release();
    return item;
}

void NSMenu::addItem(NSMenuItem* item)
{
    if (!item || item->mMenu) return;
    item->retain();
    item->mMenu = this;
    mItems.push_back(item);
}

void NSMenu::setSubmenu(NSMenu* submenu, NSMenuItem* item)
{
    if (!item || indexOfItem(item) < 0) return;
    if (submenu) submenu->retain();
    if (item->mSubmenu) item->mSubmenu->release();
    item->mSubmenu = submenu;
}

NSMenuItem* NSMenu::itemAtIndex(NSInteger i) const
{
    return i >= 0 && i < numberOfItems() ? mItems[size_t(i)] : nullptr;
}

NSInteger NSMenu::indexOfItem(NSMenuItem* item) const
{
    auto it = std::find(mItems.begin(), mItems.end(), item);
    return it == mItems.end() ? -1 : NSInteger(it - mItems.begin());
}

namespace
{

std::vector<cf_standin::MenuItemShown> Shown(const NSMenu* menu)
{
    std::vector<cf_standin::MenuItemShown> items;
    for (NSInteger i = 0; i < menu->numberOfItems(); ++i) {
        NSMenuItem* item = menu->itemAtIndex(i);
        cf_standin::MenuItemShown shown;
        shown.separator = item->isSeparatorItem();
        shown.title = shown.separator ? "" : item->title()->UTF8String();
        shown.enabled = item->isEnabled();
        shown.checked = item->state() == NSOnState;
        shown.indented = item->indentationLevel() > 0;
        if (NSMenu* sub = item->submenu()) {
            shown.hasSubmenu = true;
            shown.submenu = Shown(sub);
        }
        items.push_back(shown);
    }
    return items;
}

} // namespace

void NSMenu::popUpContextMenu(NSMenu* menu, NSEvent* event, NSView* view)
{
    if (!menu) return;
    SEL update = sel_registerName("menuNeedsUpdate:");
    if (NSObject* d = menu->delegate(); d && d->respondsToSelector(update)) d->performSelector(update, menu);
    cf_standin::MenuShown shown;
    shown.items = Shown(menu);
    if (event) {
        shown.x = event->locationInWindow().x;
        shown.y = event->locationInWindow().y;
    }
    const std::vector<int> path = cf_standin::presenter()->Menu(shown);
    // Only an enabled item without a submenu at the end of the path is a choice.
    NSMenuItem* chosen = nullptr;
    const NSMenu* at = menu;
    for (size_t i = 0; i < path.size() && at; ++i) {
        NSMenuItem* item = at->itemAtIndex(path[i]);
        if (!item || item->isSeparatorItem() || !item->isEnabled()) return;
        if (i + 1 == path.size()) chosen = item->hasSubmenu() ? nullptr : item;
        at = item->submenu();
    }
    if (!chosen || !chosen->action() || !view) return;
    view->retain();
    view->performSelector(chosen->action(), chosen);
    view->release();
}

namespace
{
NSCursor* gCurrentCursor = nullptr;

NSCursor* Kept()
{
    return new NSCursor; // lives for the process
}
} // namespace

NSCursor* NSCursor::arrowCursor()
{
    static NSCursor* arrow = Kept();
    return arrow;
}

NSCursor* NSCursor::IBeamCursor()
{
    static NSCursor* beam = Kept();
    return beam;
}

NSCursor* NSCursor::resizeLeftRightCursor()
{
    static NSCursor* c = Kept();
    return c;
}

NSCursor* NSCursor::resizeUpDownCursor()
{
    static NSCursor* c = Kept();
    return c;
}

NSCursor* NSCursor::resizeUpCursor()
{
    static NSCursor* c = Kept();
    return c;
}

NSCursor* NSCursor::openHandCursor()
{
    static NSCursor* c = Kept();
    return c;
}

NSCursor* NSCursor::initWithImage(NSImage* image, NSPoint hotSpot)
{
    if (image) image->retain();
    if (mImage) mImage->release();
    mImage = image;
    mHotSpot = hotSpot;
    return this;
}

NSCursor::~NSCursor()
{
    if (gCurrentCursor == this) gCurrentCursor = nullptr;
    if (mImage) mImage->release();
}

void NSCursor::set()
{
    gCurrentCursor = this;
}
NSCursor* NSCursor::currentCursor()
{
    return gCurrentCursor;
}
