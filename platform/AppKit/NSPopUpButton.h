#pragma once
// Choice controls: a pop-up button shows the chosen item of its menu; a combo box is an editable
// field with a list of object values to pick from.
#include <string>
#include <vector>

#include "NSControl.h"
#include "NSTextField.h"

class NSPopUpButton : public NSButton
{
    NS_STANDIN_CLASS(NSPopUpButton)
public:
    NSPopUpButton() = default;
    ~NSPopUpButton() override;
    // Made with an empty menu.
    NSView* initWithFrame(NSRect frame) override;
    NSMenu* menu() const { return mMenu; }
    // Retained; null leaves the button without items.
    void setMenu(NSMenu* menu);
    NSInteger numberOfItems() const { return mMenu ? mMenu->numberOfItems() : 0; }
    NSMenuItem* itemAtIndex(NSInteger i) const { return mMenu ? mMenu->itemAtIndex(i) : nullptr; }
    // The menu's items in order (not retained by the vector).
    std::vector<NSMenuItem*> itemArray() const;
    // -1 when nothing is selected; a removed item takes the selection with it.
    NSInteger indexOfSelectedItem() const;
    NSMenuItem* selectedItem() const { return mSelected; }
    // An index outside the items selects nothing.
    void selectItemAtIndex(NSInteger i);
    void removeAllItems();
    void setAutoenablesItems(bool on)
    {
        if (mMenu) mMenu->setAutoenablesItems(on);
    }
    bool autoenablesItems() const { return mMenu && mMenu->autoenablesItems(); }
    // 0 none, 1 centre, 2 bottom.
    void setArrowPosition(NSUInteger position) { mArrowPosition = position; }
    NSUInteger arrowPosition() const { return mArrowPosition; }
    // A framed face with the selected item's title and a small arrow at the right.
    void drawRect(NSRect rect) override;

private:
    NSMenu* mMenu = nullptr;         // retained
    NSMenuItem* mSelected = nullptr; // one of the menu's items, checked before use
    NSUInteger mArrowPosition = 1;
};

class NSComboBox : public NSTextField
{
    NS_STANDIN_CLASS(NSComboBox)
public:
    NSComboBox() = default;
    ~NSComboBox() override;
    // Bezelled, with a background.
    NSView* initWithFrame(NSRect frame) override;
    NSInteger numberOfItems() const { return NSInteger(mValues.size()); }
    // Autoreleased; null outside the items.
    NSString* itemObjectValueAtIndex(NSInteger i) const;
    // Autoreleased copies of the values.
    std::vector<NSString*> objectValues() const;
    void addItemWithObjectValue(NSString* value);
    // An index past the end appends; a negative one inserts at the front.
    void insertItemWithObjectValue(NSString* value, NSInteger index);
    void removeItemAtIndex(NSInteger index);
    void removeAllItems();
    NSInteger numberOfVisibleItems() const { return mVisible; }
    void setNumberOfVisibleItems(NSInteger n) { mVisible = n; }
    // The selection follows the item list; selecting puts the item's value into the field.
    NSInteger indexOfSelectedItem() const { return mSelected; }
    void selectItemAtIndex(NSInteger i);
    // The field with a list button at the right.
    void drawRect(NSRect rect) override;
    // A press on the list button tells the delegate comboBoxWillPopUp:, shows the values through
    // the presenter, and selects the one chosen, telling it comboBoxSelectionDidChange: when the
    // selection moved.
    void mouseDown(NSEvent* e) override;

private:
    // The list button, at the right of the bounds.
    NSRect buttonRect() const;
    std::vector<std::string> mValues;
    NSInteger mVisible = 5, mSelected = -1;
};
