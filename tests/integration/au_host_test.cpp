// The built bundle driven by the stand-in host through its component entry: open and close,
// version and can-do answers, channel layouts at initialise, host MIDI, listeners, rendering
// with inputs, bypass, notifications and host timing.
#include "au_host_runner.h"

namespace {

const char* kStereoSetup = "open\nformat in 0 2\nformat out 0 2\ninit\n";

} // namespace

TEST(AuHostIdentity, InfoPrintsTheBundleIdentity)
{
    HostRun r = RunHost("", "", "--info");
    EXPECT_EQ(r.exitCode, 0) << r.out;
    for (const char* line : {"name: Tessmoor Audio: QOR Editor", "component: aumu annq VeB1", "version: 1.0.9 (0x00010009)",
                             "channels: 2-2", "instruments: 1", "plug: created QOR Editor Tessmoor Audio params=5124"})
        EXPECT_TRUE(r.Has(line)) << line << "\n" << r.out;
    // The identity ends with the closing instance, and the last line is a whole line.
    const std::string last = "plug: destroyed\nclose: 0\n";
    ASSERT_GE(r.out.size(), last.size()) << r.out;
    EXPECT_EQ(r.out.substr(r.out.size() - last.size()), last) << r.out;
}

TEST(AuHostEntry, VersionAndCanDoAnswersAndUnknownSelectorsAreRefused)
{
    std::string script = "open\nversion\nselector 8\nselector 0\nselector 300\n";
    for (int s = -4; s <= 20; ++s) script += "cando " + std::to_string(s) + "\n";
    for (int s = 0x101; s <= 0x106; ++s) script += "cando " + std::to_string(s) + "\n";
    HostRun r = RunHost(script + "close\n");
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_TRUE(r.Has("version: 0x00010009")) << r.out;
    for (int s = -4; s <= 20; ++s) {
        bool yes = (s >= 1 && s <= 7) || (s >= 9 && s <= 11) || (s >= 14 && s <= 17);
        EXPECT_TRUE(r.Has("cando " + std::to_string(s) + ": " + (yes ? "1" : "0"))) << s;
    }
    for (int s = 0x101; s <= 0x106; ++s) EXPECT_TRUE(r.Has("cando " + std::to_string(s) + ": 0")) << s;
    for (const char* s : {"8", "0", "300"}) EXPECT_TRUE(r.Has(std::string("selector ") + s + ": -2147450878")) << r.out;
}

TEST(AuHostEntry, InitialiseAcceptsNoFormatOrStereoAndRefusesAMonoInput)
{
    HostRun r = RunHost("open\ninit\nuninit\nformat in 0 2\nformat out 0 2\ninit\n"
                        "uninit\nformat in 0 1\ninit\nformat in 0 2\ninit\nclose\n");
    std::vector<std::string> inits = r.Starting("initialize: ");
    ASSERT_EQ(inits.size(), 4u) << r.out;
    EXPECT_EQ(inits[0], "initialize: 0"); // no format set at all is legal
    EXPECT_EQ(inits[1], "initialize: 0");
    EXPECT_EQ(inits[2], "initialize: -2147450878"); // 1 in, 2 out is no legal layout
    EXPECT_EQ(inits[3], "initialize: 0");
    EXPECT_TRUE(r.Has("format in 0 1: -10879"));
    EXPECT_EQ(r.Starting("plug: activate 1").size(), 3u);
}

TEST(AuHostMidi, EventsNotesAndSysExReachThePluginAsHostInput)
{
    HostRun r = RunHost(std::string(kStereoSetup) +
                        "midi 0x90 60 100 5\nmidi 0x1B0 0x107 0x140 9\nsysex F0 43 10 4C 00 F7\n"
                        "note-on 64.7 99.9 3\nnote-off 64 7\nclose\n");
    EXPECT_TRUE(r.Has("plug: midi status=0x90 data1=60 data2=100 offset=5 fromDevice=0")) << r.out;
    // Only the low byte of each argument is a MIDI byte.
    EXPECT_TRUE(r.Has("plug: midi status=0xB0 data1=7 data2=64 offset=9 fromDevice=0")) << r.out;
    EXPECT_TRUE(r.Has("plug: sysex size=6 bytes=F0 43 10 4C 00 F7 fromDevice=0")) << r.out;
    EXPECT_TRUE(r.Has("plug: midi status=0x90 data1=64 data2=99 offset=3 fromDevice=0")) << r.out;
    EXPECT_TRUE(r.Has("note-on: 0 id 64")) << r.out;
    EXPECT_TRUE(r.Has("plug: midi status=0x80 data1=64 data2=64 offset=7 fromDevice=0")) << r.out;
}

TEST(AuHostRender, InputsArePulledOncePerTimeStamp)
{
    HostRun r = RunHost(std::string(kStereoSetup) +
                        "input 0.25\nrender 256 0\nrender 256 0\nrender 256 256\nclose\n");
    std::vector<std::string> renders = r.Starting("render 256 ");
    ASSERT_EQ(renders.size(), 3u) << r.out;
    EXPECT_NE(renders[0].find(": 0 pulls 1 "), std::string::npos) << renders[0];
    EXPECT_NE(renders[1].find(": 0 pulls 0 "), std::string::npos) << renders[1];
    EXPECT_NE(renders[2].find(": 0 pulls 1 "), std::string::npos) << renders[2];
}

TEST(AuHostRender, BypassCopiesInputToOutputAndProcessingIsSilent)
{
    HostRun r = RunHost(std::string(kStereoSetup) +
                        "input 0.5\nbypass 1\nrender 128 0\nbypass 0\nrender 128 128\nclose\n");
    EXPECT_TRUE(r.Has("render 128 @0: 0 pulls 1 notify none out0=0.5000,0.5000 out1=-0.5000,-0.5000")) << r.out;
    EXPECT_TRUE(r.Has("render 128 @128: 0 pulls 1 notify none out0=0.0000,0.0000 out1=0.0000,0.0000")) << r.out;
    EXPECT_TRUE(r.Has("plug: activate 0")) << r.out; // bypass deactivates the plug-in
}

TEST(AuHostRender, ABlockLongerThanTheMaximumIsRefusedUntouched)
{
    HostRun r = RunHost(std::string(kStereoSetup) + "notify\nrender 1025 0\nrender 1024 0\nmaxframes 256\n"
                                                    "render 257 1024\nrender 256 1024\nclose\n");
    EXPECT_TRUE(r.Has("render 1025 @0: -10851 pulls 0 notify none out0=7.0000,7.0000 out1=7.0000,7.0000")) << r.out;
    EXPECT_NE(r.out.find("render 1024 @0: 0 "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("render 257 @1024: -10851 "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("render 256 @1024: 0 "), std::string::npos) << r.out;
}

TEST(AuHostRender, MissingOutputMemoryIsLentFromThePlugin)
{
    HostRun r = RunHost(std::string(kStereoSetup) + "render-null 32 0\nclose\n");
    EXPECT_NE(r.out.find("render 32 @0: 0 pulls 0 notify none out0=0.0000,0.0000 out1=0.0000,0.0000 (plug-in memory)"),
              std::string::npos)
        << r.out;
}

TEST(AuHostTiming, SamplePositionRoundsToTheNearestSample)
{
    HostRun r = RunHost(std::string(kStereoSetup) + "callbacks\npos 99.6\nrender 16 0\npos 99.4\nrender 16 16\nclose\n");
    std::vector<std::string> blocks = r.Starting("plug: block ");
    ASSERT_EQ(blocks.size(), 2u) << r.out;
    EXPECT_NE(blocks[0].find("samplepos=100 "), std::string::npos) << blocks[0];
    EXPECT_NE(blocks[1].find("samplepos=99 "), std::string::npos) << blocks[1];
}

TEST(AuHostTiming, TempoTimeSignatureAndTransportFollowTheHost)
{
    HostRun r = RunHost(std::string(kStereoSetup) +
                        "render 16 0\ncallbacks\ntempo 97.5\ntimesig 7 8\nplay\nbeat 3.5\npos 2000\nrender 16 16\n"
                        "tempo 0\nstop\nrender 16 32\nclose\n");
    std::vector<std::string> blocks = r.Starting("plug: block ");
    ASSERT_EQ(blocks.size(), 3u) << r.out;
    EXPECT_NE(blocks[0].find("samplepos=0 tempo=138.00 timesig=0/0 playing=0"), std::string::npos) << blocks[0];
    EXPECT_NE(blocks[1].find("samplepos=2000 tempo=97.50 timesig=7/8 playing=1 ppq=3.50 pos=2000.0"),
              std::string::npos)
        << blocks[1];
    // A host that reports tempo 0 leaves the last tempo in place.
    EXPECT_NE(blocks[2].find("tempo=97.50 timesig=7/8 playing=0"), std::string::npos) << blocks[2];
}

TEST(AuHostLifetime, CloseDeletesThePluginBeforeAnswering)
{
    HostRun r = RunHost(std::string(kStereoSetup) + "close\nversion\n");
    EXPECT_EQ(r.exitCode, 0) << r.out; // a sanitizer build fails the run on any leak
    size_t destroyed = r.Pos("plug: destroyed"), closed = r.Pos("close: 0");
    ASSERT_NE(destroyed, std::string::npos) << r.out;
    ASSERT_NE(closed, std::string::npos) << r.out;
    EXPECT_LT(destroyed, closed);
    EXPECT_TRUE(r.Has("version: no open instance")) << r.out;
}

TEST(AuHostViews, TheCarbonViewNeedsAnEditorSurface)
{
    HostRun r = RunHost("open\ncarbon-view\nclose\n");
    EXPECT_TRUE(r.Has("carbon-view: open 0 create -2147450878")) << r.out;
}
