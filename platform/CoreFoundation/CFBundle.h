#pragma once
// Bundles of the CoreFoundation stand-in.
//
// The plug-in bundle is laid out as on the real system, QOR.component/Contents/{MacOS,Resources},
// and is found among the loaded libraries: the one whose path is <root>/Contents/MacOS/<name>
// and whose Info.plist declares the identifier. The environment variable QOR_BUNDLE_PATH
// replaces that: it names either a bundle folder (with Contents/Resources) or a plain folder
// that holds the resources itself.
#include "CFBase.h"
#include "CFString.h"
#include "CFURL.h"

typedef struct __CFBundle* CFBundleRef;

struct __CFBundle : CFRuntimeObject {
    __CFBundle(std::string id, std::string root, std::string resources, std::string executable)
        : CFRuntimeObject(kCFStandInBundleTypeID, true), identifier(std::move(id)), bundlePath(std::move(root)),
          resourcesPath(std::move(resources)), executablePath(std::move(executable)) {}
    const std::string identifier;
    const std::string bundlePath;     // the bundle folder, no trailing "/"
    const std::string resourcesPath;  // the folder searched for resources, no trailing "/"
    const std::string executablePath; // empty when unknown
};

CFTypeID CFBundleGetTypeID(void);
// Not retained (the Get rule): bundles live as long as the process. Null when no bundle is
// found, or when the bundle's Info.plist names another identifier.
CFBundleRef CFBundleGetBundleWithIdentifier(CFStringRef bundleID);
CFStringRef CFBundleGetIdentifier(CFBundleRef bundle);
CFURLRef CFBundleCopyBundleURL(CFBundleRef bundle);
CFURLRef CFBundleCopyExecutableURL(CFBundleRef bundle);
CFURLRef CFBundleCopyResourcesDirectoryURL(CFBundleRef bundle);
// A function the bundle's executable exports, when that executable is loaded; else null.
void* CFBundleGetFunctionPointerForName(CFBundleRef bundle, CFStringRef functionName);
// Finds resourceName.resourceType (resourceName alone when the type is null or empty) in the
// resources folder, or in subDirName beneath it when given; then in the sub-folders of the
// search folder, so a build that keeps the source tree's folders is served as well.
// Null when there is no such regular file.
CFURLRef CFBundleCopyResourceURL(CFBundleRef bundle, CFStringRef resourceName, CFStringRef resourceType,
                                 CFStringRef subDirName);

// The bundle of the running program (the host application): its Contents/Info.plist names the
// identifier when the program sits in a bundle's Contents/MacOS; otherwise the identifier is
// empty. Not retained.
CFBundleRef CFBundleGetMainBundle(void);
