#include "kit/plugin/IPopupMenu.h"

#include <cstdio>

IPopupMenuItem::IPopupMenuItem(const char* text, int flags, IPopupMenu* submenu) : mSubmenu(submenu), mFlags(flags)
{
    SetText(text);
}

IPopupMenu::~IPopupMenu()
{
    mMenuItems.Empty(true);
}

IPopupMenuItem* IPopupMenu::AddItem(IPopupMenuItem* item, int index)
{
    if (!item) return nullptr;
    IPopupMenuItem* added = index == -1 ? mMenuItems.Add(item) : mMenuItems.Insert(index, item);
    // A list that could not grow must not leak the item it was handed.
    if (!added) delete item;
    return added;
}

IPopupMenuItem* IPopupMenu::AddItem(const char* text, int index, int flags)
{
    return AddItem(new IPopupMenuItem(text, flags), index);
}

IPopupMenuItem* IPopupMenu::AddItem(const char* text, int index, IPopupMenu* submenu)
{
    return AddItem(new IPopupMenuItem(text, IPopupMenuItem::kNoFlags, submenu), index);
}

IPopupMenuItem* IPopupMenu::AddItem(const char* text, IPopupMenu* submenu)
{
    return AddItem(text, -1, submenu);
}

IPopupMenuItem* IPopupMenu::AddSeparator(int index)
{
    return AddItem("", index, IPopupMenuItem::kSeparator);
}

void IPopupMenu::SetPrefix(int prefix)
{
    if (prefix >= 0 && prefix <= 3) mPrefix = prefix;
}

const char* IPopupMenu::GetItemText(int i) const
{
    IPopupMenuItem* item = GetItem(i);
    return item ? item->GetText() : "";
}

std::string IPopupMenu::GetItemTitle(int i) const
{
    static const char* const kFormats[] = {"", "%1d: ", "%02d: ", "%03d: "};
    char number[16] = "";
    if (mPrefix > 0) std::snprintf(number, sizeof number, kFormats[mPrefix], i + 1);
    return std::string(number) + GetItemText(i);
}

void IPopupMenu::CheckItem(int i, bool checked)
{
    if (IPopupMenuItem* item = GetItem(i)) item->SetChecked(checked);
}

void IPopupMenu::CheckItemAlone(int i)
{
    for (int k = 0, n = GetNItems(); k < n; ++k) GetItem(k)->SetChecked(k == i);
}

bool IPopupMenu::IsItemChecked(int i) const
{
    IPopupMenuItem* item = GetItem(i);
    return item && item->GetChecked();
}
