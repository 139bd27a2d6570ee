#include <unistd.h>

#include <climits>
#include <memory>
#include <mutex>

#include "CFBundle.h"
#include "CFBundlePrivate.h"

namespace {

std::string Parent(const std::string& path)
{
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos || slash == 0 ? std::string("/") : path.substr(0, slash);
}

bool EndsWith(const std::string& s, const std::string& tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

} // namespace

CFBundleRef CFBundleGetMainBundle(void)
{
    static std::once_flag once;
    // Owned here so that unloading the library that holds this code frees it.
    static std::unique_ptr<__CFBundle> mainBundle;
    std::call_once(once, [] {
        char buf[PATH_MAX];
        ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
        std::string exe = n > 0 ? std::string(buf, size_t(n)) : std::string();
        std::string macos = Parent(exe), contents = Parent(macos);
        std::string id, root = macos, resources = macos;
        if (!exe.empty() && EndsWith(macos, "/MacOS") && EndsWith(contents, "/Contents")) {
            id = cf_standin::declaredBundleIdentifier(contents);
            root = Parent(contents);
            resources = contents + "/Resources";
        }
        mainBundle = std::make_unique<__CFBundle>(id, root, resources, exe);
    });
    return mainBundle.get();
}
