// The application: pumping its waiting events, quitting, and keeping the process out of idle
// throttling while asked. Main thread.
#include "kit/wapi/wapi-internal.h"

#include <cmath>

int g_wapi_terminating = 0;

void WAPI_RunEvents() {
  NSAutoreleasePool pool;
  NSApplication* app = NSApp;
  for (int i = 0; i < 100; ++i) {
    NSEvent* e = app->nextEventMatchingMask(NSAnyEventMask, CFAbsoluteTimeGetCurrent() + 0.001, NSDefaultRunLoopMode,
                                            true);
    if (!e) break;
    app->sendEvent(e);
  }
}

void WAPI_PostQuitMessage(void* sender) {
  g_wapi_terminating = 1;
  NSApp->terminate(static_cast<NSObject*>(sender));
}

void WAPI_DisableAppNap(int delta) {
  static int requests = 0;
  static NSObject* activity = nullptr;  // retained while held
  if (g_wapi_terminating || std::floor(NSFoundationVersionNumber) <= 945) return;
  requests += delta;
  try {
    if (requests <= 0 && activity) {
      NSObject* held = activity;
      activity = nullptr;
      NSProcessInfo::processInfo()->endActivity(held);
      held->release();
    } else if (requests > 0 && !activity) {
      activity = NSProcessInfo::processInfo()
                     ->beginActivityWithOptions(NSActivityLatencyCritical | NSActivityIdleSystemSleepDisabled,
                                                NSString::stringWithUTF8String("WAPI_DisableAppNap"))
                     ->retain();
    }
  } catch (NSException*) {
  }
}
