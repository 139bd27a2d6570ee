// Arbitrary text for the stand-in host: a bundle's Info.plist (first byte even), or script lines
// run against an open instance of the framework's test bundle (first byte odd).
//
// Opening an instance costs some milliseconds, a script line microseconds: the scripts share one
// instance. After each script the host forgets what it left (other instances, the editor, saved
// class information, the transport), and the instance is uninitialized, reset and rid of the
// notifications and listeners the script added. What a script sets on the instance itself
// (formats, values) can outlast it: a fault found that way is confirmed by running its input
// alone. The host stays reachable, so a block a script loses is still a leak.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "support/tempdir.h"
#include "support/testpaths.h"
#include "tools/qor-host/host.h"

namespace {

// Render lengths and blocks held to this (see runLines); the instance takes 1,024 frames a block
// until told more, and refuses blocks past kLargestBlock.
constexpr int kMaxFrames = 4096;
constexpr UInt32 kLargestBlock = 1u << 20;

// The host flushes every line it prints: into /dev/null that is a system call per line.
FILE* quiet()
{
    static FILE* sink =
        fopencookie(nullptr, "w", {nullptr, [](void*, const char*, size_t n) { return ssize_t(n); }, nullptr, nullptr});
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
    static Host& host = *[] {
        auto* h = new Host(quiet());
        if (!h->Load(testsupport::binaryDir() + "/tests/QORStandin.component")) __builtin_trap();
        return h;
    }();
    host.Run("open"); // again when the last script closed it
    std::vector<std::string> undo = {"uninit", "reset"};
    std::istringstream lines(text);
    int count = 0;
    for (std::string line; std::getline(lines, line) && count < 32; ++count) {
        std::istringstream split(line);
        std::vector<std::string> words;
        for (std::string w; split >> w;) words.push_back(w);
        if (words.empty()) continue;
        const std::string& command = words[0];
        // Commands that write files where the script says, or wait on the run loop for as long
        // as it says, are the script author's to use: not outside bytes.
        if (command == "screenshot" || command == "uisize" || command == "tick" || command == "advance") continue;
        const bool setsNumber = (command == "setu32" || command == "setf64") && words.size() > 1;
        const unsigned long id = setsNumber ? std::strtoul(words[1].c_str(), nullptr, 0) : 0;
        // A number given as the class information would be taken for the dictionary's address:
        // a host's pointers are trusted, not read as outside bytes.
        if (setsNumber && id == kAudioUnitProperty_ClassInfo) continue;
        // A render costs what its length fills (megabytes at a million frames), while its paths
        // stop changing past the block the instance takes: render lengths, and blocks the
        // instance would accept, are held to kMaxFrames. A block past what it accepts stays, so
        // the refusal is still reached.
        if ((command == "render" || command == "render-null") && words.size() > 1 &&
            std::strtod(words[1].c_str(), nullptr) > kMaxFrames)
            words[1] = std::to_string(kMaxFrames);
        if (command == "setu32" && id == kAudioUnitProperty_MaximumFramesPerSlice && words.size() > 4) {
            const unsigned long frames = std::strtoul(words[4].c_str(), nullptr, 0);
            if (UInt32(frames) > kMaxFrames && UInt32(frames) <= kLargestBlock) words[4] = std::to_string(kMaxFrames);
        }
        // Each notification added is one more call on every render of the shared instance.
        if (command == "notify") undo.push_back("unnotify");
        if (command == "listen") undo.push_back("unlisten " + (words.size() > 1 ? words[1] : std::string()));
        std::string joined;
        for (const std::string& w : words) joined += (joined.empty() ? "" : " ") + w;
        host.Run(joined);
    }
    // On the first instance, whichever the script left current; what the script made goes
    // before libFuzzer counts the input's allocations.
    host.Run("use 0");
    for (const std::string& line : undo) host.Run(line);
    host.ForgetAllButFirstInstance();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The test bundle reports on standard output, a flushed line for each call it takes: the
    // lines go where the host's go, or they alone run to tens of megabytes a minute.
    static const bool quietBundle = (stdout = quiet(), true);
    (void)quietBundle;
    if (size < 1 || size > 64 * 1024) return 0;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    if (data[0] & 1) runLines(text);
    else loadInfoPlist(text);
    return 0;
}
