// Arbitrary text for the stand-in host: a bundle's Info.plist (first byte even), or script lines
// run against an open instance of the framework's test bundle (first byte odd).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <sys/stat.h>

#include "support/tempdir.h"
#include "support/testpaths.h"
#include "tools/qor-host/host.h"

namespace {

FILE* quiet()
{
    static FILE* sink = std::fopen("/dev/null", "w");
    return sink;
}

void loadInfoPlist(const std::string& text)
{
    // MacOS is a file, not a folder: whatever executable the text names, nothing is loaded.
    static testsupport::TempDir bundle("qor_host_fuzz");
    static const bool made = [] {
        ::mkdir(bundle.file("Contents").c_str(), 0755);
        testsupport::writeFile(bundle.file("Contents/MacOS"), std::string());
        return true;
    }();
    (void)made;
    testsupport::writeFile(bundle.file("Contents/Info.plist"), text);
    Host host(quiet());
    host.Load(bundle.path);
}

void runLines(const std::string& text)
{
    // A host and an instance of their own for every input, so that nothing one input leaves
    // behind (saved states, listeners) outlives it.
    Host host(quiet());
    if (!host.Load(testsupport::binaryDir() + "/tests/QORStandin.component")) __builtin_trap();
    host.Run("open");
    std::istringstream lines(text);
    int count = 0;
    for (std::string line; std::getline(lines, line) && count < 32; ++count) {
        std::istringstream words(line);
        std::string command;
        words >> command;
        // Commands that write files where the script says, or wait on the run loop for as long
        // as it says, are the script author's to use: not outside bytes.
        if (command == "screenshot" || command == "uisize" || command == "tick" || command == "advance") continue;
        // A number given as the class information would be taken for the dictionary's address:
        // a host's pointers are trusted, not read as outside bytes.
        if (command == "setu32" || command == "setf64") {
            std::string id;
            words >> id;
            if (std::strtoul(id.c_str(), nullptr, 0) == kAudioUnitProperty_ClassInfo) continue;
        }
        host.Run(line);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > 64 * 1024) return 0;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    if (data[0] & 1) runLines(text);
    else loadInfoPlist(text);
    return 0;
}
