#pragma once
// Umbrella header of the AppKit stand-in.
#include <Foundation/Foundation.h>

#include "NSGeometry.h"
#include "NSAccessibility.h"
#include "NSResponder.h"
#include "NSView.h"
#include "NSWindow.h"
#include "NSEvent.h"
#include "NSApplication.h"
#include "NSMenu.h"
#include "NSControl.h"
#include "NSTextField.h"
#include "NSDragging.h"
#include "NSIndexSet.h"
#include "NSTableView.h"
#include "NSTabView.h"
#include "NSOutlineView.h"
#include "NSPopUpButton.h"
#include "NSOpenGL.h"
#include "AppKitStandin.h"
