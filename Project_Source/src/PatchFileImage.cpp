#include "PatchFileImage.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "PatchFile.h"

namespace PatchFileImage {

namespace {

const uint8_t kMidiPrefix[kMidiPrefixSize] = {
    'M', 'T', 'h', 'd', 0x00, 0x00, 0x00, 0x06, // header chunk of 6 bytes
    0x00, 0x01, 0x00, 0x02, 0x01, 0xE0,         // format 1, two tracks, 480 ticks a quarter
    'M', 'T', 'r', 'k', 0x00, 0x00, 0x00, 0x13, // tempo track of 19 bytes
    0x00, 0xFF, 0x58, 0x04, 0x04, 0x02, 0x18, 0x08, // 4/4
    0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,       // 120 beats a minute
    0x00, 0xFF, 0x2F, 0x00,                         // End of Track
    'M', 'T', 'r', 'k', 0x00, 0x00, 0x00, 0x00, // SysEx track, length set when known
};

std::string errnoText(const char* what, const std::string& path)
{
    return std::string(what) + " " + path + ": " + std::strerror(errno);
}

std::string folderOf(const std::string& path)
{
    size_t cut = path.find_last_of('/');
    if (cut == std::string::npos) return ".";
    if (cut == 0) return "/";
    return path.substr(0, cut);
}

// Writes the image to a new hidden temporary file beside path and syncs it. Returns the
// temporary's path, or an empty string after removing what it made.
std::string writeTemporary(const std::string& path, const std::vector<uint8_t>& image,
                           std::string* error)
{
    std::string folder = folderOf(path);
    std::string base = path.substr(path.find_last_of('/') == std::string::npos ? 0 : path.find_last_of('/') + 1);
    std::string pattern = folder + "/." + base + ".tmpXXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = mkstemp(name.data());
    if (fd < 0) {
        if (error) *error = errnoText("cannot create a temporary file for", path);
        return std::string();
    }
    std::string tmp(name.data());
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);

    const uint8_t* p = image.data();
    size_t left = image.size();
    bool ok = true;
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            ok = false;
            break;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    if (ok && ::fsync(fd) != 0) ok = false;
    if (!ok && error) *error = errnoText("cannot write", path);
    if (::close(fd) != 0 && ok) {
        ok = false;
        if (error) *error = errnoText("cannot close", path);
    }
    if (!ok) {
        ::unlink(tmp.c_str());
        return std::string();
    }
    return tmp;
}

void syncFolder(const std::string& path)
{
    int fd = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

void appendVariableLength(std::vector<uint8_t>& image, uint32_t value)
{
    uint8_t groups[5];
    int n = 0;
    do {
        groups[n++] = static_cast<uint8_t>(value & 0x7F);
        value >>= 7;
    } while (value != 0);
    while (n > 1) image.push_back(static_cast<uint8_t>(groups[--n] | 0x80));
    image.push_back(groups[0]);
}

std::vector<uint8_t> build(const PatchFile& bank, bool midi)
{
    std::vector<const PatchSysexMessage*> messages;
    size_t total = 0;
    for (const LibrarianPatch& entry : bank.patches) {
        for (const PatchSysexMessage& m : entry.messages) {
            if (!m.isWhole()) continue;
            messages.push_back(&m);
            total += m.bytes.size() + 6;
        }
    }
    std::vector<uint8_t> image;
    image.reserve(total + kMidiPrefixSize + 4);
    if (midi) {
        image.assign(kMidiPrefix, kMidiPrefix + kMidiPrefixSize);
        if (!messages.empty()) {
            image.push_back(0x00);
            image.push_back(0xF0);
            appendVariableLength(image, static_cast<uint32_t>(messages.front()->bytes.size() - 1));
        }
    }
    for (size_t k = 0; k < messages.size(); ++k)
        messages[k]->save(image, midi, k + 1 < messages.size() ? messages[k + 1] : nullptr);
    if (midi) {
        const uint8_t endOfTrack[4] = {0x00, 0xFF, 0x2F, 0x00};
        image.insert(image.end(), endOfTrack, endOfTrack + 4);
        uint32_t trackLength = static_cast<uint32_t>(image.size() - kMidiPrefixSize);
        image[45] = static_cast<uint8_t>(trackLength >> 24);
        image[46] = static_cast<uint8_t>(trackLength >> 16);
        image[47] = static_cast<uint8_t>(trackLength >> 8);
        image[48] = static_cast<uint8_t>(trackLength);
    }
    return image;
}

bool writeReplacing(const std::string& path, const std::vector<uint8_t>& image, std::string* error)
{
    std::string tmp = writeTemporary(path, image, error);
    if (tmp.empty()) return false;
    // The new file takes the place of the old one with the old one's permissions.
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) ::chmod(tmp.c_str(), old.st_mode & 07777);
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        if (error) *error = errnoText("cannot replace", path);
        ::unlink(tmp.c_str());
        return false;
    }
    syncFolder(path);
    return true;
}

bool writeNew(const std::string& path, const std::vector<uint8_t>& image, std::string* error,
              bool* existed)
{
    if (existed) *existed = false;
    std::string tmp = writeTemporary(path, image, error);
    if (tmp.empty()) return false;
    // A hard link fails when the name is taken, so an existing file is never replaced.
    bool ok = ::link(tmp.c_str(), path.c_str()) == 0;
    if (!ok) {
        if (existed) *existed = errno == EEXIST;
        if (error) *error = errnoText("cannot create", path);
    }
    ::unlink(tmp.c_str());
    if (ok) syncFolder(path);
    return ok;
}

std::string writeUnderFreeName(const std::string& folder, const std::string& stem, const std::string& extension,
                               const std::vector<uint8_t>& image, std::string* error)
{
    for (int attempt = 1; attempt <= 1000; ++attempt) {
        std::string path = folder + stem + (attempt == 1 ? std::string() : " (" + std::to_string(attempt) + ")") +
                           (extension.empty() ? std::string() : "." + extension);
        bool existed = false;
        if (writeNew(path, image, error, &existed)) return path;
        if (!existed) return std::string();
    }
    if (error) *error = "no free name for " + folder + stem + "." + extension;
    return std::string();
}

} // namespace PatchFileImage
