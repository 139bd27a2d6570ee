// Importing a patch file chosen by the user: a copy of it goes into the library root, where the
// next scan of the library finds it.
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "PatchFileImage.h"
#include "PatchLibrarian.h"
#include "QOR.h"
#include "kit/kitstring.h"
#include "kit/plugin/IGraphics.h"

namespace
{

// The status of an import that copied nothing into the library.
constexpr char kImportFailed[] = "File could not be imported!";

// The whole of a regular file of at most limit bytes, or false with why. Opened without
// blocking, so that a pipe or a device under the chosen name cannot hold up the editor.
bool readSourceFile(const std::string& path, size_t limit, std::vector<uint8_t>& bytes, std::string& why)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        why = std::strerror(errno);
        return false;
    }
    struct stat st {
    };
    bool ok = false;
    if (::fstat(fd, &st) != 0)
        why = std::strerror(errno);
    else if (!S_ISREG(st.st_mode))
        why = "not a regular file";
    else if (uint64_t(st.st_size) > limit)
        why = "larger than a bank file can be";
    else
        ok = true;
    if (ok) {
        bytes.resize(size_t(st.st_size));
        size_t got = 0;
        while (got < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                why = n < 0 ? std::strerror(errno) : "the file got shorter while it was read";
                ok = false;
                break;
            }
            got += size_t(n);
        }
    }
    ::close(fd);
    return ok;
}

} // namespace

bool QOR::saveImportedFile(bool mid)
{
    IGraphics* graphics = GetGUI();
    if (!graphics) return false;
    KIT_String chosen("", 0, 128);
    char extension[] = "syx";
    if (mid) std::memcpy(extension, "mid", sizeof extension);
    graphics->PromptForFile(&chosen, kFileOpen, &previousPath, extension);
    const std::string source = chosen.Get() ? chosen.Get() : "";
    if (source.empty()) return false;

    const size_t slash = source.rfind('/');
    const std::string name = slash == std::string::npos ? source : source.substr(slash + 1);
    std::vector<uint8_t> bytes;
    std::string why;
    if (name.empty() || !readSourceFile(source, size_t(PatchLibrarian::kMaxBankFileBytes), bytes, why)) {
        log("FILE IMPORTER: cannot read " + source + ": " + (name.empty() ? "no file name" : why));
        showStatus(kImportFailed);
        return false;
    }
    // Never over another file: a name already in the library becomes "Name (2).ext" and so on.
    const size_t dot = name.rfind('.');
    const std::string stem = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
    const std::string ext = stem.size() == name.size() ? std::string() : name.substr(dot + 1);
    const std::string root = getPatchesFolderStr();
    const std::string written = PatchFileImage::writeUnderFreeName(root + "/", stem, ext, bytes, &why);
    if (written.empty()) {
        log("FILE IMPORTER: " + why); // names the file and the reason
        showStatus(kImportFailed);
        return false;
    }
    log("FILE IMPORTER: patch file copied to " + root);
    return true;
}
