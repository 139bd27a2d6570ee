#pragma once
// Writing a user's file without ever losing it: every writer of user files goes through here.

#include <cstddef>
#include <string>

namespace kit {

// Replaces path's content. The bytes go to a hidden temporary file in the same folder, which is
// synced and renamed over path, and the folder is synced. An existing file keeps its permission
// bits; a new one gets 0666 less the umask. On failure the old file stays whole, the temporary
// is removed, and *error (when given) says why.
bool WriteFileReplacing(const std::string& path, const void* data, size_t size, std::string* error = nullptr);

// Creates path with the bytes only if no file of that name exists; never replaces. On failure
// *existed (when given) tells whether the name was taken.
bool WriteFileNew(const std::string& path, const void* data, size_t size, std::string* error = nullptr,
                  bool* existed = nullptr);

// Renames from to to unless to exists. Answers 0, or the errno value: EEXIST when the name is
// taken; EXDEV, EINVAL or ENOSYS when this file system cannot rename without replacing.
int RenameNoReplace(const std::string& from, const std::string& to);

} // namespace kit
