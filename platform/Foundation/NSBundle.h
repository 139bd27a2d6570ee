#pragma once
// Bundles of the Foundation stand-in, over the CoreFoundation stand-in's bundles.
#include <CoreFoundation/CoreFoundation.h>

#include "NSString.h"

class NSBundle : public NSObject {
    NS_STANDIN_CLASS(NSBundle)
public:
    NSBundle() = default;
    // Autoreleased; null when CF finds no bundle of that identifier.
    static NSBundle* bundleWithIdentifier(NSString* identifier);
    // The path of name.type in the resources, or null.
    NSString* pathForResource(NSString* name, NSString* type) const;
    NSString* bundlePath() const;
    // Null when the bundle's executable is not known.
    NSString* executablePath() const;

private:
    CFBundleRef mBundle = nullptr;
};
