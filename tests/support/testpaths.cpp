#include "support/testpaths.h"

#include <fstream>
#include <limits.h>
#include <unistd.h>

namespace testsupport {

const std::string& binaryDir()
{
    static const std::string dir = [] {
        char exe[PATH_MAX];
        ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
        std::string path(exe, n > 0 ? size_t(n) : 0);
        for (int up = 0; up < 2; ++up) path = path.substr(0, path.find_last_of('/'));
        return path;
    }();
    return dir;
}

const std::string& sourceDir()
{
    static const std::string dir = [] {
        std::ifstream cache(binaryDir() + "/CMakeCache.txt");
        const std::string key = "CMAKE_HOME_DIRECTORY:INTERNAL=";
        for (std::string line; std::getline(cache, line);)
            if (line.rfind(key, 0) == 0) return line.substr(key.size());
        return std::string();
    }();
    return dir;
}

} // namespace testsupport
