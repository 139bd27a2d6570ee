// An application delegate that forwards the posted-message queue's calls to the layer, as a
// host application does. Shared by the tests and the bench.
#pragma once

#include "kit/wapi/wapi-internal.h"

class PostForwardingDelegate : public NSObject, public WapiPostMessageDelegate {
 public:
  BOOL wapiPostMessage(HWND h, UINT m, WPARAM w, LPARAM l) override { return WAPI_Internal_PostMessage(h, m, w, l); }
  void wapiPostMessageTick() override { WAPI_MessageQueue_Flush(); }
  void wapiPostMessageClearQ(HWND h) override { WAPI_Internal_PMQ_ClearAllMessages(h); }
};
