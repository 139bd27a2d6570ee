#pragma once
// Umbrella header of the CoreFoundation stand-in: each part sits in its own header, and a part
// that another folder adds later is picked up here without editing this list.
#if __has_include("CFBase.h")
#include "CFBase.h"
#endif
#if __has_include("CFString.h")
#include "CFString.h"
#endif
#if __has_include("CFURL.h")
#include "CFURL.h"
#endif
#if __has_include("CFBundle.h")
#include "CFBundle.h"
#endif
#if __has_include("CFNumber.h")
#include "CFNumber.h"
#endif
#if __has_include("CFData.h")
#include "CFData.h"
#endif
#if __has_include("CFDictionary.h")
#include "CFDictionary.h"
#endif
#if __has_include("CFArray.h")
#include "CFArray.h"
#endif
#if __has_include("CFPropertyList.h")
#include "CFPropertyList.h"
#endif
#if __has_include("CFUserNotification.h")
#include "CFUserNotification.h"
#endif
#if __has_include("CFRunLoop.h")
#include "CFRunLoop.h"
#endif
#if __has_include("CFPresenter.h")
#include "CFPresenter.h"
#endif
