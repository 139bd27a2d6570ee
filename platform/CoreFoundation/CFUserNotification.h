#pragma once
// Alerts of the CoreFoundation stand-in. What the user answers comes from the presenter
// (CFPresenter.h); the default one answers as a dismissed alert.
#include "CFBase.h"
#include "CFString.h"
#include "CFURL.h"

typedef double CFTimeInterval;

enum : CFOptionFlags {
    kCFUserNotificationStopAlertLevel = 0,
    kCFUserNotificationNoteAlertLevel = 1,
    kCFUserNotificationCautionAlertLevel = 2,
    kCFUserNotificationPlainAlertLevel = 3,
};
enum : CFOptionFlags {
    kCFUserNotificationDefaultResponse = 0,
    kCFUserNotificationAlternateResponse = 1,
    kCFUserNotificationOtherResponse = 2,
    kCFUserNotificationCancelResponse = 3,
};

// Shows an alert and waits for the answer, which goes into *responseFlags; a null button title
// means the system's default button (default) or no button (the other two). Answers 0.
int32_t CFUserNotificationDisplayAlert(CFTimeInterval timeout, CFOptionFlags flags, CFURLRef iconURL,
                                       CFURLRef soundURL, CFURLRef localizationURL, CFStringRef alertHeader,
                                       CFStringRef alertMessage, CFStringRef defaultButtonTitle,
                                       CFStringRef alternateButtonTitle, CFStringRef otherButtonTitle,
                                       CFOptionFlags* responseFlags);
