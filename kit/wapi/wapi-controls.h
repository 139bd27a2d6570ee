// The layer's own text, button and box classes. Each marks its enclosing layer views as having a
// dirty descendant whenever it is marked for display.
#pragma once

#include "kit/wapi/wapi-dlggen.h"
#include "kit/wapi/wapi-internal.h"

#include <string>

enum : UINT { WM_SETFONT = 0x0030, EM_SCROLL = 0xF0B5 };
enum : int { SB_TOP = 6, SB_BOTTOM = 7 };

// Sets the descendant-dirty bit on each layer view above the view, up to the first that has it;
// other views between them are passed over.
void wapiMarkDirtyDescendant(NSView* view);

// Every class of the layer: the platform's step first, then the walk up.
#define WAPI_REPAINT_PROPAGATION(Class, Base)      \
  void Class::setNeedsDisplay(bool flag) {         \
    Base::setNeedsDisplay(flag);                   \
    if (flag) wapiMarkDirtyDescendant(this);       \
  }                                                \
  void Class::setNeedsDisplayInRect(NSRect rect) { \
    Base::setNeedsDisplayInRect(rect);             \
    wapiMarkDirtyDescendant(this);                 \
  }

// Buttons of the layer keep radio flags: 1 radio button, 2 starts a group.
class WapiRadioHolder {
 public:
  virtual int wapiGetRadioFlags() = 0;
  virtual void wapiSetRadioFlags(int flags) = 0;

 protected:
  ~WapiRadioHolder() = default;
};

class Wapi_vQOR_textfield : public NSTextField {
  NS_STANDIN_CLASS(Wapi_vQOR_textfield)

 public:
  Wapi_vQOR_textfield() = default;
  void setNeedsDisplay(bool flag) override;
  void setNeedsDisplayInRect(NSRect rect) override;
  // A label: not editable, no border and no background.
  bool isLabel() const { return !isEditable() && !isBordered() && !drawsBackground(); }
};

class Wapi_vQOR_textview : public NSTextView, public WapiMessageTarget, public WapiTagHolder {
  NS_STANDIN_CLASS(Wapi_vQOR_textview)

 public:
  Wapi_vQOR_textview() = default;
  NSInteger tag() const override { return m_tag; }
  void setTag(NSInteger tag) override { m_tag = int(tag); }
  // WM_SETFONT, EM_GETSEL, EM_SETSEL and EM_SCROLL; always 0.
  LRESULT onWapiMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
  void setNeedsDisplay(bool flag) override;
  void setNeedsDisplayInRect(NSRect rect) override;

 private:
  int m_tag = 0;
};

class Wapi_vQOR_button : public NSButton, public WapiUserDataHolder, public WapiRadioHolder {
  NS_STANDIN_CLASS(Wapi_vQOR_button)

 public:
  Wapi_vQOR_button() = default;
  int wapiGetRadioFlags() override { return m_radioflags; }
  void wapiSetRadioFlags(int flags) override { m_radioflags = flags; }
  LONG_PTR getWapiUserData() override { return m_userdata; }
  void setWapiUserData(LONG_PTR value) override { m_userdata = value; }
  HGDIOBJ getWapiGDIImage() const { return m_wapiGDIimage; }
  void setWapiGDIImage(HGDIOBJ image) { m_wapiGDIimage = image; }
  void setNeedsDisplay(bool flag) override;
  void setNeedsDisplayInRect(NSRect rect) override;

 private:
  HGDIOBJ m_wapiGDIimage = nullptr;
  LONG_PTR m_userdata = 0;
  int m_radioflags = 0;
};

class Wapi_vQOR_box : public NSBox, public WapiTagHolder {
  NS_STANDIN_CLASS(Wapi_vQOR_box)

 public:
  Wapi_vQOR_box() = default;
  NSInteger tag() const override { return m_tag; }
  void setTag(NSInteger tag) override { m_tag = int(tag); }
  void setNeedsDisplay(bool flag) override;
  void setNeedsDisplayInRect(NSRect rect) override;

 private:
  int m_tag = 0;
};

// The range EM_SETSEL selects in a text of that many characters: an end of -1 is the end, a start
// of -1 selects nothing at 0, both are kept inside the text and never give a negative length.
void wapiEditSelection(int64_t length, WPARAM wParam, LPARAM lParam, size_t* start, size_t* end);

// The radio group of a clicked button: the other radio buttons of its group among its parent's
// subviews are turned off.
void wapiUpdateRadioGroup(Wapi_vQOR_button* button);

// A control text without its mnemonic ampersands (the character after each one kept, a final one
// dropped): copied up to the end, or to a TAB when asked, at most maxBytes bytes cut on a
// character boundary.
std::string wapiStripAmpersands(const char* text, size_t maxBytes, bool stopAtTab);
