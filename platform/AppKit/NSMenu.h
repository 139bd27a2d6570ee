#pragma once
// Menus: items with a title, an action, a state, an enabled flag, an indentation level and a
// submenu. A context menu runs modally through the presenter, which answers a path of item
// indexes; the chosen item's action goes to the view the menu was shown for.
#include <string>
#include <vector>

#include "NSEvent.h"

class NSMenu;
class NSView;

typedef NSInteger NSControlStateValue;
enum : NSInteger { NSOffState = 0, NSOnState = 1 };

class NSMenuItem : public NSObject
{
    NS_STANDIN_CLASS(NSMenuItem)
public:
    NSMenuItem() = default;
    ~NSMenuItem() override;
    // Autoreleased.
    static NSMenuItem* separatorItem();
    NSMenuItem* initWithTitle(NSString* title, SEL action, NSString* keyEquivalent);
    void setTitle(NSString* title);
    // The chosen item's action goes to its target, else to the view the menu was shown for. The
    // target is not retained.
    void setTarget(NSObject* target) { mTarget = target; }
    NSObject* target() const { return mTarget; }
    void setAction(SEL action) { mAction = action; }
    // Retained.
    void setRepresentedObject(NSObject* object);
    NSObject* representedObject() const { return mRepresented; }
    // One character (or none) and the modifier mask; the string is autoreleased.
    void setKeyEquivalent(NSString* key);
    NSString* keyEquivalent() const;
    void setKeyEquivalentModifierMask(NSUInteger mask) { mKeyMask = mask; }
    NSUInteger keyEquivalentModifierMask() const { return mKeyMask; }
    // Retained.
    void setImage(class NSImage* image);
    class NSImage* image() const { return mImage; }

    NSString* title() const { return mTitle; }
    SEL action() const { return mAction; }
    bool isSeparatorItem() const { return mSeparator; }
    void setState(NSControlStateValue state) { mState = state; }
    NSControlStateValue state() const { return mState; }
    void setEnabled(bool on) { mEnabled = on; }
    bool isEnabled() const { return mEnabled; }
    void setIndentationLevel(NSInteger level) { mIndentation = level; }
    NSInteger indentationLevel() const { return mIndentation; }
    NSMenu* submenu() const { return mSubmenu; }
    bool hasSubmenu() const { return mSubmenu != nullptr; }
    // The menu that holds the item.
    NSMenu* menu() const { return mMenu; }
    void setTag(NSInteger tag) { mTag = tag; }
    NSInteger tag() const { return mTag; }

private:
    friend class NSMenu;
    NSString* mTitle = nullptr; // retained
    SEL mAction = nullptr;
    bool mSeparator = false;
    NSObject* mTarget = nullptr;
    NSObject* mRepresented = nullptr; // retained
    class NSImage* mImage = nullptr;  // retained
    std::string mKey;
    NSUInteger mKeyMask = 0x100000; // Command
    NSControlStateValue mState = NSOffState;
    bool mEnabled = true;
    NSInteger mIndentation = 0;
    NSMenu* mSubmenu = nullptr; // retained
    NSMenu* mMenu = nullptr;    // not retained
    NSInteger mTag = 0;
};

class NSMenu : public NSObject
{
    NS_STANDIN_CLASS(NSMenu)
private:
    std::string mTitle;

public:
    NSMenu() = default;
    ~NSMenu() override;
    NSMenu* initWithTitle(NSString* title);
    void setAutoenablesItems(bool on) { mAutoenables = on; }
    // Not retained. Hears menuNeedsUpdate: (with the menu) before the menu shows.
    void setDelegate(NSObject* delegate) { mDelegate = delegate; }
    NSObject* delegate() const { return mDelegate; }
    bool autoenablesItems() const { return mAutoenables; }

    // The new item, which the menu holds.
    NSMenuItem* addItemWithTitle(NSString* title, SEL action, NSString* keyEquivalent);
    void addItem(NSMenuItem* item);
    void setSubmenu(NSMenu* submenu, NSMenuItem* item);
    NSInteger numberOfItems() const { return NSInteger(mItems.size()); }
    NSMenuItem* itemAtIndex(NSInteger i) const;
    // -1 when the item is not in this menu.
    NSInteger indexOfItem(NSMenuItem* item) const;
    // An index past the end appends.
    void insertItem(NSMenuItem* item, NSInteger index);
    void removeItem(NSMenuItem* item);
    // The first item with the tag, or null; its index, or -1.
    NSMenuItem* itemWithTag(NSInteger tag) const;
    NSInteger indexOfItemWithTag(NSInteger tag) const;
    // Autoreleased.
    NSString* title() const;
    void setTitle(NSString* title);
    // A new menu of the same class (one reference, the caller's) holding copies of the items and
    // of their submenus; represented objects and targets are shared.
    virtual NSMenu* copy() const;

    // Shows the menu at the event's location and waits for the choice; the chosen item's action
    // is sent to the view with the item as argument.
    static void popUpContextMenu(NSMenu* menu, NSEvent* event, NSView* view);

private:
    std::vector<NSMenuItem*> mItems; // retained
    bool mAutoenables = true;
    NSObject* mDelegate = nullptr;
};

class NSImage;

// The cursor of the application: the system's standard cursors (kept for the process) and
// cursors made from an image and a hot spot.
class NSCursor : public NSObject
{
    NS_STANDIN_CLASS(NSCursor)
public:
    NSCursor() = default;
    ~NSCursor() override;
    static NSCursor* arrowCursor();
    static NSCursor* IBeamCursor();
    static NSCursor* resizeLeftRightCursor();
    static NSCursor* resizeUpDownCursor();
    static NSCursor* resizeUpCursor();
    static NSCursor* openHandCursor();
    // Retains the image.
    NSCursor* initWithImage(NSImage* image, NSPoint hotSpot);
    NSImage* image() const { return mImage; }
    NSPoint hotSpot() const { return mHotSpot; }
    void set();
    // The cursor last set, or null.
    static NSCursor* currentCursor();

private:
    NSImage* mImage = nullptr;
    NSPoint mHotSpot{};
};
