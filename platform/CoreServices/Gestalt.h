#pragma once
// System facts: the stand-in knows one, the system version.
#include "MacTypes.h"

enum : OSType { gestaltSystemVersion = 0x73797376 /* 'sysv' */ };
enum : OSErr { gestaltUndefSelectorErr = -5551 };

// The version of a fixed system, 10.6.8, as 0x1068 for gestaltSystemVersion; other selectors
// are unknown.
OSErr Gestalt(OSType selector, SInt32* response);
