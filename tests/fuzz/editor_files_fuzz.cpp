// Arbitrary bytes for the editor's small readers of outside bytes, picked by the first byte:
// the UI-size file in the data folder, the bundle's Info.plist as the bundle stand-in reads it,
// and program messages of the sibling synthesizers rewritten into this family's layout.
#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "Project_Source/src/PatchLibrarian.h"
#include "Project_Source/src/QOR.h"
#include "platform/CoreFoundation/CFBundlePrivate.h"
#include "support/tempdir.h"

namespace {

void uiSettings(const std::string& bytes)
{
    std::array<std::string, QOR::kUILines> lines;
    QOR::parseUISettings(bytes, lines);
    size_t total = 0;
    for (const std::string& line : lines) {
        // A line holds no line break and ends in no blank.
        if (line.find('\n') != std::string::npos) __builtin_trap();
        if (!line.empty() && std::string(" \r\t").find(line.back()) != std::string::npos) __builtin_trap();
        total += line.size();
    }
    if (total > bytes.size()) __builtin_trap();
}

void infoPlist(const std::string& bytes)
{
    // Rewriting a file on disk costs a flush on every close, and as much as the disk is busy:
    // in memory the rate no longer follows whatever else the machine writes.
    static testsupport::TempDir bundle("qor_plist_fuzz", ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp");
    static const std::string contents = [] {
        ::mkdir(bundle.file("Contents").c_str(), 0755);
        return bundle.file("Contents");
    }();
    testsupport::writeFile(contents + "/Info.plist", bytes);
    const std::string id = cf_standin::declaredBundleIdentifier(contents);
    // The identifier is text of the file, never the end of its element.
    if (id.find("</string>") != std::string::npos || (!id.empty() && bytes.find(id) == std::string::npos))
        __builtin_trap();
}

void siblingFormats(PatchLibrarian& lib, uint8_t which, const uint8_t* data, size_t size)
{
    PatchSysexMessage message;
    message.bytes.assign(data, data + size);
    switch (which % 3) {
    case 0: lib.alterPatchFromQuarnelFormat(&message); break;
    case 1: lib.alterPatchFromStrovaneFormat(&message); break;
    default: lib.alterStrovaneCategoryFormat(&message); break;
    }
    volatile size_t sink = message.bytes.size();
    (void)sink;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static PatchLibrarian lib;
    if (size < 1 || size > (1u << 20)) return 0;
    const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
    switch (data[0] & 3) {
    case 0: uiSettings(rest); break;
    case 1: infoPlist(rest); break;
    default: siblingFormats(lib, data[0] >> 2, data + 1, size - 1); break;
    }
    return 0;
}
