#include "support/tempdir.h"

#include <algorithm>
#include <cstdio>
#include <dirent.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace testsupport {

namespace {

void removeTree(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return;
    if (S_ISDIR(st.st_mode)) {
        if (DIR* d = opendir(path.c_str())) {
            while (dirent* e = readdir(d)) {
                std::string name = e->d_name;
                if (name != "." && name != "..") removeTree(path + "/" + name);
            }
            closedir(d);
        }
        ::chmod(path.c_str(), 0700);
        ::rmdir(path.c_str());
    } else {
        ::unlink(path.c_str());
    }
}

} // namespace

TempDir::TempDir(const char* prefix) : TempDir(prefix, "/tmp") {}

TempDir::TempDir(const char* prefix, const std::string& parent)
{
    std::string tmpl = parent + "/" + (prefix ? prefix : "qor") + "_XXXXXX";
    const char* made = mkdtemp(&tmpl[0]);
    if (!made) throw std::runtime_error("cannot make a temporary folder");
    path = made;
}

TempDir::~TempDir() { removeTree(path); }

std::vector<std::string> TempDir::list() const
{
    std::vector<std::string> names;
    if (DIR* d = opendir(path.c_str())) {
        while (dirent* e = readdir(d))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.push_back(e->d_name);
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

void writeFile(const std::string& path, const Bytes& data)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) throw std::runtime_error("cannot write " + path);
    if (!data.empty()) std::fwrite(data.data(), 1, data.size(), f);
    std::fclose(f);
}

void writeFile(const std::string& path, const std::string& text) { writeFile(path, Bytes(text.begin(), text.end())); }

Bytes readFile(const std::string& path)
{
    Bytes out;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return out;
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.insert(out.end(), buf, buf + n);
    std::fclose(f);
    return out;
}

std::string readText(const std::string& path)
{
    Bytes b = readFile(path);
    return std::string(b.begin(), b.end());
}

} // namespace testsupport
