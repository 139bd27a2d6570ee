#include <unistd.h>

#include <climits>
#include <fstream>
#include <mutex>
#include <sstream>

#include "CFBundle.h"

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

std::string PlistIdentifier(const std::string& contents)
{
    std::ifstream in(contents + "/Info.plist");
    if (!in) return {};
    std::stringstream text;
    text << in.rdbuf();
    const std::string s = text.str();
    const std::string key = "<key>CFBundleIdentifier</key>";
    size_t k = s.find(key);
    if (k == std::string::npos) return {};
    size_t open = s.find("<string>", k + key.size());
    if (open == std::string::npos) return {};
    open += 8;
    size_t close = s.find("</string>", open);
    return close == std::string::npos ? std::string() : s.substr(open, close - open);
}

} // namespace

CFBundleRef CFBundleGetMainBundle(void)
{
    static std::once_flag once;
    static __CFBundle* mainBundle = nullptr;
    std::call_once(once, [] {
        char buf[PATH_MAX];
        ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
        std::string exe = n > 0 ? std::string(buf, size_t(n)) : std::string();
        std::string macos = Parent(exe), contents = Parent(macos);
        std::string id, root = macos, resources = macos;
        if (!exe.empty() && EndsWith(macos, "/MacOS") && EndsWith(contents, "/Contents")) {
            id = PlistIdentifier(contents);
            root = Parent(contents);
            resources = contents + "/Resources";
        }
        mainBundle = new __CFBundle(id, root, resources, exe);
    });
    return mainBundle;
}
