// Device contexts and drawing objects: memory contexts with their pixel buffer, pens,
// brushes, fonts, object selection, text colour and background state, fonts and native text.
#pragma once

#include "kit/wapi/wapi-types.h"

#include <CoreGraphics/CoreGraphics.h>

typedef struct QORCTFont* CTFontRef;

// The record behind an HDC. The CoreGraphics context must stay the first field: the editor's
// screen copy reads it straight from the handle.
struct GDP_CTX {
  CGContextRef ctx;
  void* ownedAllocation;  // memory contexts only; the frame buffer is this rounded up to 64
  struct GDP_OBJECT* curPen;
  struct GDP_OBJECT* curBrush;
  struct GDP_OBJECT* curFont;
  int textColor;  // R << 16 | G << 8 | B
  int bkColor;
  int bkMode;  // 1 opaque, anything else transparent
  float lastPosX, lastPosY;
  unsigned char inPool;
  GDP_CTX* poolNext;
  CGColorRef textColorCG;
  void* glContext;  // filled by the window layer for the duration of a paint
};

// The record behind an HGDIOBJ.
struct GDP_OBJECT {
  int type;  // a WapiGdiKind
  int extraRefs;
  CGColorRef color;
  int width;  // pen width; -1 in the stock empty pen and brush; images: 1 when owned
  void* image;
  float angle;  // fonts: degrees, stored only
  unsigned char inPool;
  GDP_OBJECT* poolNext;
  CTFontRef font;
  unsigned char antialiasMode;  // 0 leave the context alone, 3 off, 4 on
};

// What a drawing object is. The number of a selectable kind is also the pseudo-handle of
// that kind's default, which SelectObject hands back and accepts.
enum WapiGdiKind : int {
  WAPI_GDI_PEN = 1,
  WAPI_GDI_BRUSH = 2,
  WAPI_GDI_FONT = 3,
  WAPI_GDI_IMAGE = 4,
};
// Handle values below this are pseudo-handles (or NULL) and are never read through.
constexpr uintptr_t WAPI_GDI_FIRST_HANDLE = 5;

// Pseudo-handles of the default pen, brush and font.
#define WAPI_DEFAULT_PEN ((HGDIOBJ)(uintptr_t)WAPI_GDI_PEN)
#define WAPI_DEFAULT_BRUSH ((HGDIOBJ)(uintptr_t)WAPI_GDI_BRUSH)
#define WAPI_DEFAULT_FONT ((HGDIOBJ)(uintptr_t)WAPI_GDI_FONT)

#ifndef NULL_PEN
#define NULL_PEN 1
#endif
#ifndef NULL_BRUSH
#define NULL_BRUSH 2
#endif
#ifndef OPAQUE
#define OPAQUE 1
#endif
#ifndef TRANSPARENT
#define TRANSPARENT 0
#endif

// Records and pools.
HDC WAPI_GDP_CTX_NEW();
GDP_OBJECT* GDP_OBJECT_NEW();
// Pool sizes, for tests and diagnostics.
int WAPI_GetCtxPoolSize();
int WAPI_GetObjPoolSize();

// Memory contexts: width x height pixels of 4 bytes (skipped byte, red, green, blue), rows
// packed, top row first, frame buffer on a 64-byte boundary. NULL for a size that is not
// positive or does not fit in memory.
HDC WAPI_CreateMemContext(HDC reference, int width, int height);
void* WAPI_GetCtxFrameBuffer(HDC ctx);
HDC WAPI_CreateGfxContext(CGContextRef port);
void WAPI_DeleteGfxContext(HDC ctx);
CGContextRef WAPI_GetCtxGC(HDC ctx);

// Objects.
HGDIOBJ SelectObject(HDC ctx, HGDIOBJ obj);
void DeleteObject(HGDIOBJ obj);
HGDIOBJ WAPI_CloneGDIObject(HGDIOBJ obj);
HGDIOBJ GetStockObject(int index);
HGDIOBJ CreatePen(int style, int width, int color);
HGDIOBJ CreatePenAlpha(int style, int width, int color, float alpha);
HGDIOBJ CreateSolidBrush(int color);
HGDIOBJ CreateSolidBrushAlpha(int color, float alpha);

// Text state.
void SetTextColor(HDC ctx, int color);
int GetTextColor(HDC ctx);
void SetBkColor(HDC ctx, int color);
void SetBkMode(HDC ctx, int mode);

// Fonts and native text.
struct TEXTMETRIC {
  int32_t tmHeight;
  int32_t tmAscent;
  int32_t tmDescent;
  int32_t tmInternalLeading;
  int32_t tmAveCharWidth;
};

struct LOGFONT {
  int32_t lfHeight;
  int32_t lfWidth;
  int32_t lfEscapement;
  int32_t lfOrientation;
  int32_t lfWeight;
  char lfItalic;
  char lfUnderline;
  char lfStrikeOut;
  char lfCharSet;
  char lfOutPrecision;
  char lfClipPrecision;
  char lfQuality;
  char lfPitchAndFamily;
  char lfFaceName[32];
};

enum {
  DT_CALCRECT = 0x1,
  DT_VCENTER = 0x2,
  DT_CENTER = 0x4,
  DT_BOTTOM = 0x10,
  DT_RIGHT = 0x20,
  DT_SINGLELINE = 0x40,
  DT_NOPREFIX = 0x80,
  DT_NOCLIP = 0x100,
};

HGDIOBJ CreateFont(int height, int width, int escapement, int orientation, int weight,
                   char italic, char underline, char strikeOut, char charSet,
                   char outputPrecision, char clipPrecision, char quality, char pitchAndFamily,
                   const char* faceName);
HGDIOBJ CreateFontIndirect(const LOGFONT* lf);
BOOL GetTextMetrics(HDC ctx, TEXTMETRIC* tm);
int WAPI_DrawText(HDC ctx, const char* text, int count, RECT* rect, int flags);

// Fills and clip regions the window layer uses.
void WAPI_FillRect(HDC ctx, const RECT* r, HGDIOBJ brush);
// Paints the standard dialog background over the rectangle.
void WAPI_FillDialogBackground(HDC ctx, const RECT* r, int mode);
void WAPI_PushClipRegion(HDC ctx);
void WAPI_SetClipRegion(HDC ctx, const RECT* r);
void WAPI_PopClipRegion(HDC ctx);
// The image held by an image or icon object; NULL for anything else.
void* GetNSImageFromHICON(HGDIOBJ icon);
