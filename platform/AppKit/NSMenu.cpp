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
    if (mRepresented) mRepresented->release();
    if (mImage) mImage->release();
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
        // A submenu the person opens tells its delegate first.
        if (at && i + 1 < path.size()) {
            if (NSObject* d = at->delegate(); d && d->respondsToSelector(update))
                d->performSelector(update, const_cast<NSMenu*>(at));
        }
    }
    if (!chosen || !chosen->action()) return;
    NSObject* to = chosen->target() ? chosen->target() : view;
    if (!to) return;
    to->retain();
    chosen->retain();
    to->performSelector(chosen->action(), chosen);
    chosen->release();
    to->release();
}

void NSMenuItem::setTitle(NSString* title)
{
    if (!title) title = NSString::stringWithUTF8String("");
    title->retain();
    if (mTitle) mTitle->release();
    mTitle = title;
}

void NSMenuItem::setRepresentedObject(NSObject* object)
{
    if (object) object->retain();
    if (mRepresented) mRepresented->release();
    mRepresented = object;
}

void NSMenuItem::setKeyEquivalent(NSString* key)
{
    mKey = key ? key->UTF8String() : "";
}
NSString* NSMenuItem::keyEquivalent() const
{
    return NSString::stringWithUTF8String(mKey.c_str());
}

void NSMenuItem::setImage(NSImage* image)
{
    if (image) image->retain();
    if (mImage) mImage->release();
    mImage = image;
}

void NSMenu::insertItem(NSMenuItem* item, NSInteger index)
{
    if (!item || item->mMenu) return;
    item->retain();
    item->mMenu = this;
    const auto at = index < 0 || index > numberOfItems() ? mItems.end() : mItems.begin() + index;
    mItems.insert(at, item);
}

void NSMenu::removeItem(NSMenuItem* item)
{
    const NSInteger i = indexOfItem(item);
    if (i < 0) return;
    mItems.erase(mItems.begin() + i);
    item->mMenu = nullptr;
    item->release();
}

NSInteger NSMenu::indexOfItemWithTag(NSInteger tag) const
{
    for (size_t i = 0; i < mItems.size(); ++i)
        if (mItems[i]->tag() == tag) return NSInteger(i);
    return -1;
}

NSMenuItem* NSMenu::itemWithTag(NSInteger tag) const
{
    return itemAtIndex(indexOfItemWithTag(tag));
}

NSString* NSMenu::title() const
{
    return NSString::stringWithUTF8String(mTitle.c_str());
}
void NSMenu::setTitle(NSString* title)
{
    mTitle = title ? title->UTF8String() : "";
}

NSMenu* NSMenu::copy() const
{
    auto* menu = static_cast<NSMenu*>(getClass()->alloc());
    menu->mTitle = mTitle;
    menu->mAutoenables = mAutoenables;
    menu->mDelegate = mDelegate;
    for (NSMenuItem* item : mItems) {
        auto* twin = new NSMenuItem;
        twin->initWithTitle(item->mTitle, item->mAction, nullptr);
        twin->mSeparator = item->mSeparator;
        twin->mTarget = item->mTarget;
        twin->setRepresentedObject(item->mRepresented);
        twin->setImage(item->mImage);
        twin->mKey = item->mKey;
        twin->mKeyMask = item->mKeyMask;
        twin->mState = item->mState;
        twin->mEnabled = item->mEnabled;
        twin->mIndentation = item->mIndentation;
        twin->mTag = item->mTag;
        menu->addItem(twin);
        twin->release();
        if (item->mSubmenu) {
            NSMenu* sub = item->mSubmenu->copy();
            menu->setSubmenu(sub, twin);
            sub->release();
        }
    }
    return menu;
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
