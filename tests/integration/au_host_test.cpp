// The built bundle driven by the stand-in host through its component entry: open and close,
// version and can-do answers, channel layouts at initialise, host MIDI, rendering with inputs,
// bypass, notifications and host timing.
#include "au_host_runner.h"

namespace {

const std::string kStereoSetup = "open\nformat in 0 2\nformat out 0 2\ninit\n";

} // namespace

TEST(AuHostIdentity, InfoPrintsTheBundleIdentityAndCloseDeletesThePluginBeforeAnswering)
{
    HostRun r = RunHost("", "", "--info");
    EXPECT_EQ(r.exitCode, 0) << r.out; // a sanitizer build fails the run on any leak
    for (const char* line : {"name: Tessmoor Audio: QOR Editor", "component: aumu annq VeB1", "version: 1.0.9 (0x00010009)",
                             "channels: 2-2", "instruments: 1", "plug: created QOR Editor Tessmoor Audio params=5124"})
        EXPECT_TRUE(r.Has(line)) << line << "\n" << r.out;
    // The identity ends with the closing instance, and the last line is a whole line.
    const std::string last = "plug: destroyed\nclose: 0\n";
    ASSERT_GE(r.out.size(), last.size()) << r.out;
    EXPECT_EQ(r.out.substr(r.out.size() - last.size()), last) << r.out;
    EXPECT_TRUE(RunHost(kStereoSetup + "close\nversion\n").Has("version: no open instance"));
}

TEST(AuHostEntry, VersionCanDoLayoutsAndUnknownSelectors)
{
    std::string script = "open\nversion\nselector 8\nselector 300\ncarbon-view\n";
    for (int s = -1; s <= 18; ++s) script += "cando " + std::to_string(s) + "\n";
    script += "cando 257\ninit\nuninit\nformat in 0 2\nformat out 0 2\ninit\nuninit\nformat in 0 1\ninit\nformat in 0 2\ninit\nclose\n";
    HostRun r = RunHost(script);
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_TRUE(r.Has("version: 0x00010009")) << r.out;
    for (int s = -1; s <= 18; ++s) {
        bool yes = (s >= 1 && s <= 7) || (s >= 9 && s <= 11) || (s >= 14 && s <= 17);
        EXPECT_TRUE(r.Has("cando " + std::to_string(s) + ": " + (yes ? "1" : "0"))) << s;
    }
    EXPECT_TRUE(r.Has("cando 257: 0")) << r.out;
    for (const char* s : {"8", "300"}) EXPECT_TRUE(r.Has(std::string("selector ") + s + ": -2147450878")) << r.out;
    // The test bundle's editor has no Carbon pane: the view is created without a control.
    EXPECT_TRUE(r.Has("carbon-view: open 0 create 0")) << r.out;
    // No format set at all is legal; 1 in, 2 out is no legal layout.
    EXPECT_EQ(r.Starting("initialize: "),
              (std::vector<std::string>{"initialize: 0", "initialize: 0", "initialize: -2147450878", "initialize: 0"}));
    EXPECT_TRUE(r.Has("format in 0 1: -10879"));
    EXPECT_EQ(r.Starting("plug: activate 1").size(), 3u);
}

TEST(AuHostMidi, EventsNotesAndSysExReachThePluginAsHostInput)
{
    HostRun r = RunHost(kStereoSetup + "midi 0x90 60 100 5\nmidi 0x1B0 0x107 0x140 9\nsysex F0 43 10 4C 00 F7\n"
                                       "note-on 64.7 99.9 3\nnote-off 64 7\nclose\n");
    for (const char* line : {"plug: midi status=0x90 data1=60 data2=100 offset=5 fromDevice=0",
                             "plug: midi status=0xB0 data1=7 data2=64 offset=9 fromDevice=0", // low byte of each
                             "plug: sysex size=6 bytes=F0 43 10 4C 00 F7 fromDevice=0",
                             "plug: midi status=0x90 data1=64 data2=99 offset=3 fromDevice=0", "note-on: 0 id 64",
                             "plug: midi status=0x80 data1=64 data2=64 offset=7 fromDevice=0"})
        EXPECT_TRUE(r.Has(line)) << line << "\n" << r.out;
}

TEST(AuHostRender, InputsArePulledOncePerTimeStampBypassCopiesAndOverlongBlocksAreRefused)
{
    HostRun r = RunHost(kStereoSetup + "input 0.5\nbypass 1\nrender 128 0\nrender 128 0\nbypass 0\nrender 128 128\n"
                                       "notify\nrender 1025 0\nrender 1024 0\nmaxframes 256\nrender 257 1024\n"
                                       "render 256 1024\nrender-null 32 0\nclose\n");
    for (const char* line : {"render 128 @0: 0 pulls 1 notify none out0=0.5000,0.5000 out1=-0.5000,-0.5000",
                             "render 128 @0: 0 pulls 0 notify none out0=0.5000,0.5000 out1=-0.5000,-0.5000",
                             "render 128 @128: 0 pulls 1 notify none out0=0.0000,0.0000 out1=0.0000,0.0000",
                             "plug: activate 0", // bypass deactivates the plug-in
                             "render 1025 @0: -10851 pulls 0 notify none out0=7.0000,7.0000 out1=7.0000,7.0000"})
        EXPECT_TRUE(r.Has(line)) << line << "\n" << r.out;
    for (const char* part : {"render 1024 @0: 0 ", "render 257 @1024: -10851 ", "render 256 @1024: 0 ",
                             "render 32 @0: 0 pulls 1 notify 4,8 out0=0.0000,0.0000 out1=0.0000,0.0000 (plug-in memory)"})
        EXPECT_NE(r.out.find(part), std::string::npos) << part << "\n" << r.out;
}

TEST(AuHostRender, AnInputConnectedToTheUnitItselfFailsTheRenderInsteadOfPullingWithoutEnd)
{
    HostRun r = RunHost(kStereoSetup + "connect 0 0 0 input\nrender 64 0\nrender 64 64\nclose\n");
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_TRUE(r.Has("connect 0: 0")) << r.out;
    for (const char* part : {"render 64 @0: -10876 ", "render 64 @64: -10876 "})
        EXPECT_NE(r.out.find(part), std::string::npos) << part << "\n" << r.out;
}

TEST(AuHostScript, NumbersPastTheIntRangeAreHeldToItAndAnOverlongSliceIsCut)
{
    HostRun r = RunHost(kStereoSetup + "use 1e30\nuse -1e30\ntimesig 3 -4\nrender 1e30 0\nrender nan 0\nclose\n");
    EXPECT_EQ(r.exitCode, 0) << r.out;
    for (const char* line : {"use: no slot 2147483647", "use: no slot -2147483648"}) EXPECT_TRUE(r.Has(line)) << line;
    for (const char* part : {"render 1048576 @0: -10851 ", "render 512 @0: 0 "})
        EXPECT_NE(r.out.find(part), std::string::npos) << part << "\n" << r.out;
}

TEST(AuHostTiming, PositionTempoTimeSignatureAndTransportFollowTheHost)
{
    HostRun r = RunHost(kStereoSetup + "render 16 0\ncallbacks\ntempo 97.5\ntimesig 7 8\nplay\nbeat 3.5\npos 2000\n"
                                       "render 16 16\ntempo 0\nstop\npos 99.6\nrender 16 32\npos 99.4\nrender 16 48\n"
                                       "cycle 1 4 8\npanel-next /tmp/two  words.qor \nclose\n");
    // Every command answers with its result line.
    for (const char* line : {"tempo: 97.5", "timesig: 7/8", "play: playing", "beat: 3.5", "pos: 2000", "tempo: 0",
                             "stop: stopped", "pos: 99.4", "cycle: on 4 8", "panel-next: /tmp/two  words.qor"})
        EXPECT_TRUE(r.Has(line)) << line << "\n" << r.out;
    std::vector<std::string> blocks = r.Starting("plug: block ");
    ASSERT_EQ(blocks.size(), 4u) << r.out;
    const char* expected[] = {"samplepos=0 tempo=138.00 timesig=0/0 playing=0",
                              "samplepos=2000 tempo=97.50 timesig=7/8 playing=1 ppq=3.50 pos=2000.0",
                              "samplepos=100 tempo=97.50 timesig=7/8 playing=0", // tempo 0 keeps the last
                              "samplepos=99 "};
    for (int i = 0; i < 4; ++i) EXPECT_NE(blocks[size_t(i)].find(expected[i]), std::string::npos) << blocks[size_t(i)];
}

TEST(AuHostRender, NotificationsMayRepeatAndARemovalTakesTheFirstOfItsProcedureWhateverItsData)
{
    // qor-host adds its procedure with its own data and removes it with none.
    HostRun r = RunHost(kStereoSetup + "notify\nnotify\nrender 16 0\nunnotify\nrender 16 16\nunnotify\n"
                                       "render 16 32\nunnotify\nclose\n");
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(r.Starting("unnotify: "), (std::vector<std::string>{"unnotify: 0", "unnotify: 0", "unnotify: 0"}));
    const std::vector<std::string> renders = r.Starting("render 16 ");
    ASSERT_EQ(renders.size(), 3u) << r.out;
    const char* seen[] = {"notify 4,4,8,8 ", "notify 4,8 ", "notify none "};
    for (int i = 0; i < 3; ++i) EXPECT_NE(renders[size_t(i)].find(seen[i]), std::string::npos) << renders[size_t(i)];
}
