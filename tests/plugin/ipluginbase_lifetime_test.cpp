// The plug-in base's destructor frees what it owns in a fixed order. The order is observed by
// replacing the global allocation functions of this test program: while a destruction is being
// watched, every pointer handed to operator delete is recorded, then matched against the objects
// the plug-in owned.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <map>
#include <new>
#include <string>
#include <vector>

#include "test_plug.h"

namespace {

constexpr int kMaxFreed = 1 << 16;
void* gFreed[kMaxFreed];
std::atomic<int> gFreedCount{0};
std::atomic<bool> gWatching{false};

void NoteFreed(void* p)
{
    if (!p || !gWatching.load(std::memory_order_relaxed)) return;
    int i = gFreedCount.fetch_add(1, std::memory_order_relaxed);
    if (i < kMaxFreed) gFreed[i] = p;
}

void* Allocate(std::size_t n)
{
    void* p = std::malloc(n ? n : 1);
    return p ? p : throw std::bad_alloc();
}

} // namespace

// The allocation pair is replaced as a whole so that new and delete stay matched under the
// sanitizers.
void* operator new(std::size_t n) { return Allocate(n); }
void* operator new[](std::size_t n) { return Allocate(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return n ? std::malloc(n) : std::malloc(1); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return n ? std::malloc(n) : std::malloc(1); }
void operator delete(void* p) noexcept { NoteFreed(p); std::free(p); }
void operator delete[](void* p) noexcept { NoteFreed(p); std::free(p); }
void operator delete(void* p, std::size_t) noexcept { NoteFreed(p); std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { NoteFreed(p); std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { NoteFreed(p); std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { NoteFreed(p); std::free(p); }

namespace {

// Names every object the plug-in owns, by the list it sits in.
class LifetimePlug : public RecordingPlug {
public:
    void GiveDelayLine() { latencyDelay = new LatencyDelayLine; }
    void NameOwned(std::map<const void*, std::string>& owner) const
    {
        Name(owner, params, "param");
        Name(owner, presets, "preset");
        Name(owner, inChannels, "input channel");
        Name(owner, outChannels, "output channel");
        Name(owner, channelIO, "configuration");
        Name(owner, inputBusLabels, "input bus label");
        Name(owner, outputBusLabels, "output bus label");
        owner[latencyDelay] = "delay line";
    }

private:
    template <typename T> static void Name(std::map<const void*, std::string>& owner, const KIT_PtrList<T>& list, const char* what)
    {
        for (int i = 0; i < list.GetSize(); ++i) owner[list.Get(i)] = what;
    }
};

TEST(PluginBaseLifetime, DestructionFreesSurfaceParamsPresetsChannelsConfigurationsLabelsThenDelayLine)
{
    std::map<const void*, std::string> owner;
    {
        auto* p = new LifetimePlug;
        p->initialize(0, kQorParams, "1-1 2-2", 3, "QOR Editor", "", "Tessmoor Audio", kQorVersion,
                      kQorUniqueID, kQorMfrID, 128, false, true, true);
        p->addNonAutomateParamCount(kQorParams);
        for (int i = 0; i < 2; ++i) {
            p->SetInputBusLabel(i, "in");
            p->SetOutputBusLabel(i, "out");
        }
        p->GiveDelayLine();
        auto* g = new RecordingGraphics(p);
        p->AttachGraphics(g);
        owner[g] = "graphics";
        p->NameOwned(owner);
        owner[p] = "plug-in";
        gFreedCount = 0;
        gWatching = true;
        delete p;
        gWatching = false;
    }
    // The run of owner names in the order the objects were freed, repeats folded into one.
    std::vector<std::string> runs;
    std::map<std::string, int> counts;
    for (int i = 0; i < std::min(gFreedCount.load(), kMaxFreed); ++i) {
        auto it = owner.find(gFreed[i]);
        if (it == owner.end()) continue;
        ++counts[it->second];
        if (runs.empty() || runs.back() != it->second) runs.push_back(it->second);
    }
    EXPECT_EQ(runs, (std::vector<std::string>{"graphics", "param", "preset", "input channel", "output channel", "configuration",
                                              "input bus label", "output bus label", "delay line", "plug-in"}));
    EXPECT_EQ(counts["param"], kQorParams);
    EXPECT_EQ(counts["preset"], 3);
    for (const char* two : {"input channel", "output channel", "configuration", "input bus label", "output bus label"})
        EXPECT_EQ(counts[two], 2) << two;
}

} // namespace
