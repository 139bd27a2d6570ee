// The layer's bridges to older and neighbouring platform facilities: a Carbon window hosted in a
// view, an Audio Unit's own Cocoa view, drags out of a view (one promised file written when it is
// dropped, or a list of existing files), and OpenGL contexts on views. Main thread only.
#pragma once

#include "kit/wapi/wapi-window.h"

#include <AudioUnit/AudioUnit.h>
#include <Carbon/Carbon.h>

class NSArray;
class NSURL;

// A hosting view in the parent over the rectangle (parent client coordinates), holding a new
// Carbon window kept above the host window; the Carbon window goes to *window (null when it
// could not be made). Null for a parent that is no layer view or window.
HWND WAPI_CreateCarbonWindowView(HWND parent, WindowRef* window, const RECT* rect, bool composited);
WindowRef WAPI_GetWindowFromCarbonWindowView(HWND hwnd);
// The view follows bounds changes of the control too.
void WAPI_AddCarbonPaneToView(HWND hwnd, ControlRef control);
// With the flag, every key stays with the Carbon window.
void WAPI_CarbonWndHost_SetWantAllKeys(HWND hwnd, bool on);
OSStatus CarbonEvtHandler(EventHandlerCallRef call, EventRef event, void* hostingView);

// The unit's Cocoa view from the class the information names in its bundle, added to the parent;
// *size becomes (0, 0, view width, view height). Null when the class name, the bundle, the class,
// its protocol or the view is missing.
HWND WAPI_GetAudioUnitCocoaView(HWND parent, AudioUnit unit, const AudioUnitCocoaViewInfo* info, RECT* size);

// Writes the promised file to the destination path it is given.
typedef void (*WAPI_DragDropWriteProc)(const char* destinationPath);
// Starts a drag of one file, written only when dropped, from the rectangle of a layer view.
void WAPI_InitiateDragDrop(HWND hwnd, const RECT* source, const char* fileName, WAPI_DragDropWriteProc write);
// The pending drag was dropped in the folder: writes the file there (asking first when the name
// is taken) and answers its name in an array (autoreleased), or null. A destination path of
// 4096 bytes or more writes nothing.
NSArray* WAPI_DoDragDrop(NSURL* folder);
// Forgets the pending drag.
void WAPI_FinishDragDrop();
// Starts a drag of existing files from a layer view, showing the icon (else the files' own).
void WAPI_InitiateDragDropOfFileList(HWND hwnd, const RECT* source, const char** paths, int count, HGDIOBJ icon);

// OpenGL on a layer view: a context made or dropped, asked for, or made current (null: none).
void WAPI_SetViewGL(HWND hwnd, bool enable);
bool WAPI_GetViewGL(HWND hwnd);
bool WAPI_SetGLContextToView(HWND hwnd);
