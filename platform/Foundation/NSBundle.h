#pragma once
// Bundles of the Foundation stand-in, over the CoreFoundation stand-in's bundles.
#include <CoreFoundation/CoreFoundation.h>

#include <string>

#include "NSString.h"

class NSBundle : public NSObject {
    NS_STANDIN_CLASS(NSBundle)
public:
    NSBundle() = default;
    // Autoreleased; null when CF finds no bundle of that identifier.
    static NSBundle* bundleWithIdentifier(NSString* identifier);
    // The bundle folder at the path or file URL (one object per folder, kept for the process);
    // null when there is no such folder.
    static NSBundle* bundleWithPath(NSString* path);
    static NSBundle* bundleWithURL(class NSURL* url);
    // Loads the executable (Contents/MacOS/ and the Info.plist's CFBundleExecutable, else the
    // folder's name without its extension) once; its classes join the class registry. False
    // when it cannot be loaded.
    bool load();
    bool isLoaded() const { return mModule != nullptr; }
    // A class the bundle's executable defines, loading it first; null for a class of that name
    // defined elsewhere, or none.
    Class classNamed(NSString* name);
    // The path of name.type in the resources, or null.
    NSString* pathForResource(NSString* name, NSString* type) const;
    NSString* bundlePath() const;
    // Null when the bundle's executable is not known.
    NSString* executablePath() const;

private:
    CFBundleRef mBundle = nullptr;
    // Bundles made from a path.
    std::string mPath, mExecutable;
    void* mModule = nullptr; // never unloaded: classes and their instances live in it
};
