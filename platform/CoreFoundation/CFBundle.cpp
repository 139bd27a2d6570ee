#include "CFBundle.h"

#include <dlfcn.h>
#include "CFBundlePrivate.h"

#include <dirent.h>
#include <link.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <vector>

CFTypeID CFBundleGetTypeID(void) { return kCFStandInBundleTypeID; }

static bool isDirectory(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

static bool isRegularFile(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

static std::string parentOf(const std::string& path)
{
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

static std::string withoutTrailingSlash(std::string path)
{
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

std::string cf_standin::declaredBundleIdentifier(const std::string& contentsPath)
{
    return declaredBundleValue(contentsPath, "CFBundleIdentifier");
}

std::string cf_standin::declaredBundleValue(const std::string& contentsPath, const std::string& name)
{
    std::ifstream in(contentsPath + "/Info.plist");
    if (!in) return {};
    std::stringstream text;
    text << in.rdbuf();
    const std::string s = text.str();
    const std::string key = "<key>" + name + "</key>";
    size_t k = s.find(key);
    if (k == std::string::npos) return {};
    size_t open = s.find("<string>", k + key.size());
    if (open == std::string::npos) return {};
    open += 8;
    size_t close = s.find("</string>", open);
    if (close == std::string::npos) return {};
    return s.substr(open, close - open);
}

struct BundleLocation {
    std::string root, resources, executable;
};

// The loaded objects (libraries, and the program) laid out as a bundle's executable,
// <root>/Contents/MacOS/<name>, in loading order.
static std::vector<std::string> loadedBundleExecutables()
{
    std::vector<std::string> found;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* out) {
            std::string path = info->dlpi_name ? info->dlpi_name : "";
            if (path.empty()) return 0;
            std::string macos = parentOf(path), contents = parentOf(macos);
            auto endsWith = [](const std::string& s, const std::string& tail) {
                return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
            };
            if (endsWith(macos, "/MacOS") && endsWith(contents, "/Contents"))
                static_cast<std::vector<std::string>*>(out)->push_back(path);
            return 0;
        },
        &found);
    return found;
}

// The bundle that declares the identifier among the loaded ones; a bundle that declares none
// answers to any identifier when no other one claims it.
static bool locateBundle(const std::string& identifier, BundleLocation& where)
{
    if (const char* env = std::getenv("QOR_BUNDLE_PATH"); env && *env) {
        std::string root = withoutTrailingSlash(env);
        if (!isDirectory(root)) return false;
        if (std::string d = cf_standin::declaredBundleIdentifier(root + "/Contents"); !d.empty() && d != identifier)
            return false;
        where.root = root;
        where.resources = isDirectory(root + "/Contents/Resources") ? root + "/Contents/Resources" : root;
        where.executable.clear();
        return true;
    }
    std::string fallback;
    for (const std::string& object : loadedBundleExecutables()) {
        std::string contents = parentOf(parentOf(object));
        std::string declared = cf_standin::declaredBundleIdentifier(contents);
        if (declared == identifier) {
            fallback = object;
            break;
        }
        if (declared.empty() && fallback.empty()) fallback = object;
    }
    if (fallback.empty()) return false;
    std::string contents = parentOf(parentOf(fallback));
    where.root = parentOf(contents);
    where.resources = contents + "/Resources";
    where.executable = fallback;
    return true;
}

CFBundleRef CFBundleGetBundleWithIdentifier(CFStringRef bundleID)
{
    if (!bundleID) return nullptr;
    BundleLocation where;
    if (!locateBundle(bundleID->utf8, where)) return nullptr;

    // One object per identifier and place, kept while the library is loaded.
    static std::mutex lock;
    static std::map<std::string, std::unique_ptr<__CFBundle>> bundles;
    std::lock_guard<std::mutex> guard(lock);
    std::string key = bundleID->utf8 + '\n' + where.root + '\n' + where.resources + '\n' + where.executable;
    auto it = bundles.find(key);
    if (it != bundles.end()) return it->second.get();
    auto made = std::make_unique<__CFBundle>(bundleID->utf8, where.root, where.resources, where.executable);
    return bundles.emplace(key, std::move(made)).first->second.get();
}

void* CFBundleGetFunctionPointerForName(CFBundleRef bundle, CFStringRef functionName)
{
    if (!bundle || !functionName || bundle->executablePath.empty()) return nullptr;
    // Only an executable already loaded is asked: looking up a name loads nothing.
    void* lib = ::dlopen(bundle->executablePath.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!lib) return nullptr;
    void* f = ::dlsym(lib, functionName->utf8.c_str());
    ::dlclose(lib);
    return f;
}

CFStringRef CFBundleGetIdentifier(CFBundleRef bundle)
{
    return bundle ? __CFStringMakeConstantString(bundle->identifier.c_str()) : nullptr;
}

CFURLRef CFBundleCopyBundleURL(CFBundleRef bundle)
{
    return bundle ? new __CFURL(bundle->bundlePath + "/", true) : nullptr;
}

CFURLRef CFBundleCopyExecutableURL(CFBundleRef bundle)
{
    if (!bundle || bundle->executablePath.empty()) return nullptr;
    return new __CFURL(bundle->executablePath, false);
}

CFURLRef CFBundleCopyResourcesDirectoryURL(CFBundleRef bundle)
{
    return bundle ? new __CFURL(bundle->resourcesPath + "/", true) : nullptr;
}

static std::string findFile(const std::string& folder, const std::string& fileName, int depth)
{
    std::string direct = folder + "/" + fileName;
    if (isRegularFile(direct)) return direct;
    if (depth == 0) return {};
    std::vector<std::string> subFolders;
    if (DIR* d = opendir(folder.c_str())) {
        while (dirent* e = readdir(d)) {
            std::string n = e->d_name;
            if (n == "." || n == "..") continue;
            if (isDirectory(folder + "/" + n)) subFolders.push_back(n);
        }
        closedir(d);
    }
    // A fixed order, so the same file wins on every machine.
    std::sort(subFolders.begin(), subFolders.end());
    for (const std::string& sub : subFolders) {
        std::string found = findFile(folder + "/" + sub, fileName, depth - 1);
        if (!found.empty()) return found;
    }
    return {};
}

CFURLRef CFBundleCopyResourceURL(CFBundleRef bundle, CFStringRef resourceName, CFStringRef resourceType,
                                 CFStringRef subDirName)
{
    if (!bundle || !resourceName || resourceName->utf8.empty()) return nullptr;
    std::string fileName = resourceName->utf8;
    if (resourceType && !resourceType->utf8.empty()) {
        const std::string& type = resourceType->utf8;
        fileName += (type[0] == '.') ? type : "." + type;
    }
    // A name that climbs out of the resources folder is not a resource.
    if (fileName.find('/') != std::string::npos) return nullptr;
    std::string folder = bundle->resourcesPath;
    if (subDirName && !subDirName->utf8.empty()) {
        if (subDirName->utf8.find("..") != std::string::npos) return nullptr;
        folder += "/" + withoutTrailingSlash(subDirName->utf8);
    }
    std::string found = findFile(folder, fileName, 3);
    if (found.empty()) return nullptr;
    return new __CFURL(found, false);
}
