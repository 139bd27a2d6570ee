#pragma once
// Tab views: labelled items in a row of tabs across the top (24 high, each tab as wide as its
// label plus 16); a click on a tab selects it and tells the delegate. Progress indicators: a
// bar filled from the left by the value within the range.
#include <string>
#include <vector>

#include "NSControl.h"
#include "NSIndexSet.h"

class NSTabView;

class NSTabViewItem : public NSObject
{
    NS_STANDIN_CLASS(NSTabViewItem)
public:
    NSTabViewItem() = default;
    const std::string& label() const { return mLabel; }
    void setLabel(const char* label) { mLabel = label ? label : ""; }

private:
    std::string mLabel;
};

class NSTabViewDelegate
{
public:
    virtual void tabViewDidSelectTabViewItem(NSTabView* tabView, NSTabViewItem* item) = 0;

protected:
    ~NSTabViewDelegate() = default;
};

class NSTabView : public NSView
{
    NS_STANDIN_CLASS(NSTabView)
public:
    static constexpr double kTabHeight = 24;

    NSTabView() = default;
    ~NSTabView() override;
    bool isFlipped() const override { return true; }
    NSInteger numberOfTabViewItems() const { return NSInteger(mItems.size()); }
    // Null outside the range.
    NSTabViewItem* tabViewItemAtIndex(NSInteger index) const;
    NSInteger indexOfTabViewItem(const NSTabViewItem* item) const;
    // Retained. The first item of an empty view becomes the selected one (the delegate is told).
    void insertTabViewItem(NSTabViewItem* item, NSInteger index);
    void removeTabViewItem(NSTabViewItem* item);
    void selectTabViewItemAtIndex(NSInteger index);
    NSTabViewItem* selectedTabViewItem() const { return mSelected; }
    void setDelegate(NSTabViewDelegate* d) { mDelegate = d; }
    NSTabViewDelegate* delegate() const { return mDelegate; }
    void setAllowsTruncatedLabels(bool on) { mTruncated = on; }
    // The tab's rectangle in the view; empty outside the range.
    NSRect rectOfTab(NSInteger index) const;
    void mouseDown(NSEvent* e) override;
    void drawRect(NSRect rect) override;

private:
    std::vector<NSTabViewItem*> mItems; // retained
    NSTabViewItem* mSelected = nullptr;
    NSTabViewDelegate* mDelegate = nullptr;
    bool mTruncated = false;
};

enum : NSUInteger { NSProgressIndicatorBarStyle = 0, NSProgressIndicatorSpinningStyle = 1 };

class NSProgressIndicator : public NSView
{
    NS_STANDIN_CLASS(NSProgressIndicator)
public:
    NSProgressIndicator() = default;
    double minValue() const { return mMin; }
    double maxValue() const { return mMax; }
    void setMinValue(double v) { mMin = v; }
    void setMaxValue(double v) { mMax = v; }
    double doubleValue() const { return mValue; }
    void setDoubleValue(double v);
    void incrementBy(double delta) { setDoubleValue(mValue + delta); }
    void setStyle(NSUInteger style) { mStyle = style; }
    NSUInteger style() const { return mStyle; }
    void setIndeterminate(bool on) { mIndeterminate = on; }
    bool isIndeterminate() const { return mIndeterminate; }
    void startAnimation(NSObject*) { mAnimating = true; }
    void stopAnimation(NSObject*) { mAnimating = false; }
    bool isAnimating() const { return mAnimating; }
    // The filled share of the bar, 0 to 1.
    double fraction() const;
    void drawRect(NSRect rect) override;

private:
    double mMin = 0, mMax = 100, mValue = 0;
    NSUInteger mStyle = NSProgressIndicatorBarStyle;
    bool mIndeterminate = true, mAnimating = false;
};
