#pragma once
// Helpers the bundle stand-in's sources share; not part of the CoreFoundation interface.
#include <string>

namespace cf_standin {

// The identifier the Info.plist in a bundle's Contents folder declares, or empty when there is
// no Info.plist or it names none.
std::string declaredBundleIdentifier(const std::string& contentsPath);
// The string value of a key of that Info.plist, or empty.
std::string declaredBundleValue(const std::string& contentsPath, const std::string& key);

} // namespace cf_standin
