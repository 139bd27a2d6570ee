#pragma once
// Files and folders for tests: one temporary folder type and whole-file reads and writes.

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

using Bytes = std::vector<uint8_t>;

// A fresh folder under /tmp, removed with everything in it when the object goes.
class TempDir {
public:
    explicit TempDir(const char* prefix = "qor");
    // A fresh folder under parent instead (a memory-backed one keeps syncs cheap).
    TempDir(const char* prefix, const std::string& parent);
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    // The names in the folder, sorted.
    std::vector<std::string> list() const;
    // path + "/" + name.
    std::string file(const std::string& name) const { return path + "/" + name; }
    std::string path;
};

// Writes a whole file (throws when it cannot); reads one (empty when missing).
void writeFile(const std::string& path, const Bytes& data);
void writeFile(const std::string& path, const std::string& text);
Bytes readFile(const std::string& path);
std::string readText(const std::string& path);

} // namespace testsupport
