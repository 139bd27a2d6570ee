// Combo controls (a pop-up button or an editable combo box), track bars and owner-drawn buttons:
// the convenience functions dialog code fills and queries them with, by dialog and control id.
#pragma once

#include "kit/wapi/wapi-controls.h"

#include "kit/heapbuf.h"

#include <AppKit/AppKit.h>

enum : UINT {
  CB_DELETESTRING = 0x0144,
  CB_GETCOUNT = 0x0146,
  CB_GETCURSEL = 0x0147,
  CB_GETLBTEXT = 0x0148,
  CB_GETLBTEXTLEN = 0x0149,
  CB_INSERTSTRING = 0x014A,
  CB_RESETCONTENT = 0x014B,
  CB_FINDSTRING = 0x014C,
  CB_SETCURSEL = 0x014E,
  CB_GETITEMDATA = 0x0150,
  CB_SETITEMDATA = 0x0151,
  CB_FINDSTRINGEXACT = 0x0158,
};
enum : int { CBS_SORT = 0x100, CBS_DROPDOWNLIST = 3, ODT_BUTTON = 4 };

// A pop-up button of the layer: its creation style.
class Wapi_vQOR_pub : public NSPopUpButton, public WapiStyleHolder {
  NS_STANDIN_CLASS(Wapi_vQOR_pub)

 public:
  Wapi_vQOR_pub() = default;
  LONG_PTR getWapiStyle() override { return m_style; }
  void setWapiStyle(LONG_PTR style) override { m_style = style; }
  void setNeedsDisplay(bool flag) override;
  void setNeedsDisplayInRect(NSRect rect) override;

 private:
  LONG_PTR m_style = 0;
};

// A combo box of the layer: its creation style and one item-data word per item.
class Wapi_vQOR_cbox : public NSComboBox, public WapiStyleHolder {
  NS_STANDIN_CLASS(Wapi_vQOR_cbox)

 public:
  Wapi_vQOR_cbox() = default;
  LONG_PTR getWapiStyle() override { return m_style; }
  void setWapiStyle(LONG_PTR style) override { m_style = style; }
  // The item-data list, parallel to the items.
  int idCount() const { return m_ids.GetSize() / int(sizeof(void*)); }
  void** ids() { return static_cast<void**>(m_ids.Get()); }
  // A 0 entry at the index (clamped to the list), kept parallel to an inserted item.
  void insertId(int index);
  void removeId(int index);
  void clearIds() { m_ids.Resize(0, false); }
  void setNeedsDisplay(bool flag) override;
  void setNeedsDisplayInRect(NSRect rect) override;

 private:
  LONG_PTR m_style = 0;
  KIT_HeapBuf m_ids{4096};
};

// The cell of an owner-drawn button: the button's parent draws it on WM_DRAWITEM.
class Wapi_vQOR_ODbuttoncell : public NSButtonCell {
  NS_STANDIN_CLASS(Wapi_vQOR_ODbuttoncell)

 public:
  Wapi_vQOR_ODbuttoncell() = default;
  bool isTransparent() const { return true; }
  bool isOpaque() const { return false; }
  void drawWithFrame(NSRect frame, NSView* view) override;
};

int WAPI_CB_AddString(HWND dlg, int id, const char* text);
int WAPI_CB_InsertString(HWND dlg, int id, int pos, const char* text);
void WAPI_CB_DeleteString(HWND dlg, int id, int index);
int WAPI_CB_GetNumItems(HWND dlg, int id);
int WAPI_CB_GetCurSel(HWND dlg, int id);
void WAPI_CB_SetCurSel(HWND dlg, int id, int index);
// Writes nothing into a buffer of size below 1.
int WAPI_CB_GetItemText(HWND dlg, int id, int index, char* buffer, int size);
void WAPI_CB_Empty(HWND dlg, int id);
LRESULT WAPI_CB_GetItemData(HWND dlg, int id, int index);
void WAPI_CB_SetItemData(HWND dlg, int id, int index, LRESULT value);
int WAPI_CB_FindString(HWND dlg, int id, int start, const char* text, bool exact);

int WAPI_TB_GetPos(HWND dlg, int id);
void WAPI_TB_SetPos(HWND dlg, int id, int pos);
void WAPI_TB_SetRange(HWND dlg, int id, int min, int max);
void WAPI_TB_SetTic(HWND dlg, int id, int pos);

// Below 3 in the low two style bits an editable combo box 22 pixels high, else a pop-up button
// 18 pixels high; h is not used.
HWND WAPI_MakeCombo(int id, int x, int y, int w, int h, int style);

// SendMessage's emulation of the combo-box range on plain pop-up buttons and combo boxes, and of
// the image messages on the layer's buttons; false when the message or object is not theirs.
bool wapiEmulateComboMessage(NSObject* o, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result);
// Gives a button made with BS_OWNERDRAW its owner-drawn cell.
void wapiSetOwnerDrawnCell(NSButton* button);

// From the control maker: the live owner, the frame from dialog units and the auto-right overrun.
NSView* wapiMakeOwner();
NSRect wapiMakeCoords(int x, int y, int w, int h, bool wantAutoRight, bool ignoreYScaleForHeight);
void wapiMakeRecordOverrun(NSView* control);
