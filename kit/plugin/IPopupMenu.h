#pragma once
// The platform-neutral model of a popup menu: ordered text items, each of which may be
// checked, disabled, indented, a separator or the parent of a submenu, a numbering style, and
// after showing, the index of the chosen item. Submenus belong to whoever made them.
#include <string>

#include "kit/kitstring.h"
#include "kit/ptrlist.h"

class IPopupMenu;

class IPopupMenuItem {
public:
    enum EFlags { kNoFlags = 0, kDisabled = 1, kTitle = 2, kChecked = 4, kSeparator = 8 };

    IPopupMenuItem(const char* text, int flags = kNoFlags, IPopupMenu* submenu = nullptr);

    const char* GetText() const { return mText.Get(); }
    void SetText(const char* text) { mText.Set(text ? text : ""); }
    IPopupMenu* GetSubmenu() const { return mSubmenu; }
    int GetFlags() const { return mFlags; }
    void SetChecked(bool checked) { mFlags = checked ? (mFlags | kChecked) : (mFlags & ~kChecked); }
    bool GetChecked() const { return (mFlags & kChecked) != 0; }
    bool GetEnabled() const { return (mFlags & kDisabled) == 0; }
    bool GetIsTitle() const { return (mFlags & kTitle) != 0; }
    bool GetIsSeparator() const { return (mFlags & kSeparator) != 0; }

private:
    KIT_String mText{"", 0, 128};
    IPopupMenu* mSubmenu;
    int mFlags;
};

class IPopupMenu {
public:
    IPopupMenu() = default;
    ~IPopupMenu();
    IPopupMenu(const IPopupMenu&) = delete;
    IPopupMenu& operator=(const IPopupMenu&) = delete;

    // index -1 appends; any other index inserts at the index limited to 0..count.
    IPopupMenuItem* AddItem(const char* text, int index = -1, int flags = IPopupMenuItem::kNoFlags);
    IPopupMenuItem* AddItem(const char* text, int index, IPopupMenu* submenu);
    IPopupMenuItem* AddItem(const char* text, IPopupMenu* submenu);
    // The menu takes the item over.
    IPopupMenuItem* AddItem(IPopupMenuItem* item, int index = -1);
    IPopupMenuItem* AddSeparator(int index = -1);

    // 0 none, 1 "%1d: ", 2 "%02d: ", 3 "%03d: "; other values are ignored.
    void SetPrefix(int prefix);
    int GetPrefix() const { return mPrefix; }

    int GetNItems() const { return mMenuItems.GetSize(); }
    IPopupMenuItem* GetItem(int i) const { return mMenuItems.Get(i); }
    // "" out of range; an item without text reads as "".
    const char* GetItemText(int i) const;
    // The text shown for item i: the number i + 1 in the menu's style, then the text.
    std::string GetItemTitle(int i) const;

    void CheckItem(int i, bool checked);
    // Checks item i and clears every other item of this menu (not submenus); an index naming
    // no item clears all.
    void CheckItemAlone(int i);
    bool IsItemChecked(int i) const;

    int GetChosenItemIdx() const { return mChosenItemIdx; }
    void SetChosenItemIdx(int i) { mChosenItemIdx = i; }

private:
    KIT_PtrList<IPopupMenuItem> mMenuItems{4096};
    int mPrefix = 0;
    int mChosenItemIdx = -1;
};
