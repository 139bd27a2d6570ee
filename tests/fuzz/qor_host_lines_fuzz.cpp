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

// Opening an instance or an editor costs milliseconds (an editor draws its whole surface into a
// new window), a script line microseconds. Two of each per script reach what a third would (two
// instances side by side, a second editor replacing the first); later ones are refused, counted
// in gRefused and reported when the target exits.
constexpr int kMostOpens = 2;
constexpr int kMostEditors = 2;
int gRefused[2] = {};

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
        // Every instance opened, every state saved or restored and every attach of the editor
        // walks the whole parameter table: 256 entries reach the same code as 5,124.
        setenv("QOR_STANDIN_PARAMS", "256", 1);
        auto* h = new Host(quiet());
        if (!h->Load(testsupport::binaryDir() + "/tests/QORStandin.component")) __builtin_trap();
        h->Run("open");
        return h;
    }();
    std::vector<std::string> undo = {"uninit", "reset"};
    std::istringstream lines(text);
    int count = 0, opens = 0, editors = 0;
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
        if (command == "open" && ++opens > kMostOpens) {
            ++gRefused[0];
            continue;
        }
        if ((command == "editor-open" || command == "carbon-editor") && ++editors > kMostEditors) {
            ++gRefused[1];
            continue;
        }
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
    // Opened again by the input that closed it, not by the next one: libFuzzer runs an input
    // that ends holding more blocks than it began with again and scans the whole heap for
    // leaks, so each input gives back what it took.
    host.Run("open");
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The test bundle reports on standard output, a flushed line for each call it takes: the
    // lines go where the host's go, or they alone run to tens of megabytes a minute.
    static const bool quietBundle = (stdout = quiet(), true);
    (void)quietBundle;
    static const int reported = std::atexit([] {
        std::fprintf(stderr, "qor_host_lines_fuzz: refused %d instance opens and %d editor opens past the cap\n",
                     gRefused[0], gRefused[1]);
    });
    (void)reported;
    if (size < 1 || size > 64 * 1024) return 0;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    if (data[0] & 1) runLines(text);
    else loadInfoPlist(text);
    return 0;
}
