// Properties of the built bundle through the stand-in host: a table of get, info and set
// answers, a connection between two instances, listener notification, and class information
// saved and refused.
#include "au_host_runner.h"

namespace {

struct PropertyRow {
    const char* args;   // id scope element
    const char* answer; // info status, size, writable; get status and size
    const char* value;  // the value line, or null when nothing is printed
};

// Sizes come from the records on this 64-bit machine: pointers and CF references are 8 bytes.
const PropertyRow kSweep[] = {
    {"0 0 0", "info 0 size 8 writable 1 get 0 size 8", "  value dictionary of 6"},
    {"1 0 0", "info 0 size 16 writable 1 get 0 size 16", "  value -"},
    {"1 2 0", "info -10879 size 0 writable 0 get -10879 size 256", nullptr},
    {"2 0 0", "info 0 size 8 writable 1 get 0 size 8", "  value 44100"},
    {"3 0 0", "info 0 size 0 writable 0 get 0 size 0", nullptr},
    {"3 1 0", "info 0 size 0 writable 0 get 0 size 0", nullptr},
    {"4 0 0", "info -10877 size 0 writable 0 get -10877 size 256", nullptr},
    {"5 0 14", "info 0 size 8 writable 0 get 0 size 8", "  value procedure"},
    {"5 0 7", "info 0 size 8 writable 0 get 0 size 8", "  value procedure"},
    {"5 0 6", "info 0 size 8 writable 0 get 0 size 8", "  value procedure"},
    {"5 0 9", "info -10877 size 0 writable 0 get -10877 size 256", nullptr},
    {"8 0 0", "info 0 size 40 writable 1 get 0 size 40", "  value 44100 Hz 2 ch flags 0x29"},
    {"8 1 1", "info -10879 size 0 writable 0 get -10879 size 256", nullptr},
    {"11 0 0", "info 0 size 4 writable 0 get 0 size 4", "  value 1"},
    {"11 3 0", "info 0 size 4 writable 0 get 0 size 4", "  value 0"},
    {"12 0 0", "info 0 size 8 writable 0 get 0 size 8", "  value 0.00290249433"}, // 128 / 44100
    {"13 0 0", "info 0 size 4 writable 0 get 0 size 4", "  value 2-2"},
    {"14 0 0", "info 0 size 4 writable 1 get 0 size 4", "  value 1024"},
    {"16 0 0", "info -10877 size 0 writable 0 get -10877 size 256", nullptr},
    {"18 0 0", "info 0 size 20 writable 0 get 0 size 20", "  value -"}, // the test bundle has an editor
    {"19 0 0", "info -10851 size 0 writable 0 get -10851 size 256", nullptr},
    {"20 0 0", "info 0 size 8 writable 0 get 0 size 8", "  value 0.00290249433"},
    {"21 0 0", "info 0 size 4 writable 1 get 0 size 4", "  value 0"},
    {"22 0 0", "info 0 size 4 writable 0 get 0 size 4", "  value 0"},
    {"23 1 0", "info 0 size 16 writable 1 get 0 size 16", "  value -"},
    {"23 1 1", "info -10879 size 0 writable 0 get -10879 size 256", nullptr},
    {"24 0 0", "info 0 size 8 writable 0 get 0 size 8", "  value array of 0"},
    {"27 0 0", "info 0 size 32 writable 1 get 0 size 32", "  value -"},
    {"28 0 0", "info 0 size 16 writable 1 get 0 size 16", "  value 0 \"\""},
    {"36 0 0", "info 0 size 16 writable 1 get 0 size 16", "  value 0 \"\""},
    {"30 1 0", "info -10879 size 8 writable 0 get 0 size 8", "  value \"input\""},
    {"30 1 1", "info -10879 size 8 writable 0 get 0 size 8", "  value \"aux input\""}, // set by initialize
    {"30 1 2", "info -10877 size 0 writable 0 get -10877 size 256", nullptr},
    {"30 2 0", "info -10879 size 8 writable 0 get 0 size 8", "  value \"output 1\""},
    {"30 2 1", "info -10877 size 0 writable 0 get -10877 size 256", nullptr},
    {"30 0 0", "info -10866 size 0 writable 0 get -10866 size 256", nullptr},
    {"31 0 0", "info 0 size 16 writable 0 get 0 size 16", "  value QOR_View"},
    {"32 2 0", "info -10879 size 0 writable 0 get -10879 size 256", nullptr},
    {"33 0 0", "info 0 size 24 writable 0 get 0 size 24", "  value \"0\""},
    {"33 1 0", "info 0 size 24 writable 0 get 0 size 24", "  value \"(null)\""},
    {"34 0 0", "info 0 size 16 writable 0 get 0 size 16", "  value \"\""},
    {"35 0 0", "info 0 size 16 writable 0 get -10850 size 16", nullptr},
    {"1000 0 0", "info 0 size 4 writable 0 get 0 size 4", "  value 1"},
    {"999 0 0", "info -10879 size 0 writable 0 get -10879 size 256", nullptr},
};

} // namespace

TEST(AuPropertySweep, EveryPropertyAnswersItsStatusSizeAndValue)
{
    std::string script = "open\n";
    for (const PropertyRow& row : kSweep) script += std::string("getprop ") + row.args + "\n";
    HostRun r = RunHost(script + "close\n");
    EXPECT_EQ(r.exitCode, 0) << r.out;
    for (const PropertyRow& row : kSweep) {
        std::string line = std::string("getprop ") + row.args + ": " + row.answer;
        EXPECT_TRUE(r.Has(line)) << "missing: " << line << "\n" << r.out;
        if (row.value) {
            EXPECT_EQ(r.After(line), row.value) << line;
        }
    }
}

struct SetRow {
    const char* command;
    const char* answer;
};

const SetRow kSets[] = {
    {"setf64 2 0 0 48000", "setf64 2 0 0: 0"},
    {"setu32 14 0 0 512", "setu32 14 0 0: 0"},
    {"setu32 14 0 0 4294967295", "setu32 14 0 0: -10851"}, // no scratch memory of that size
    {"setu32 21 0 0 1", "setu32 21 0 0: 0"},
    {"setu32 37 0 0 1", "setu32 37 0 0: 0"},
    {"setu32 3 0 0 7", "setu32 3 0 0: -10879"},
    {"setu32 12 0 0 7", "setu32 12 0 0: -10879"},
    {"setu32 8 1 0 2", "setu32 8 1 0: -10851"}, // four bytes are no stream format
    {"setu32 27 0 0 1", "setu32 27 0 0: -10851"},
    {"callbacks in", "callbacks: -10879"},
    {"callbacks", "callbacks: 0"},
    {"hostid Reaper 6 0x21", "hostid: 0"},
};

TEST(AuPropertySweep, SetsAreAppliedOrRefusedAndReadBack)
{
    std::string script = "open\nlisten 2\nlisten 14\nlisten 21\nlisten 3\n";
    for (const SetRow& row : kSets) script += std::string(row.command) + "\n";
    script += "getprop 2 0 0\ngetprop 14 0 0\ngetprop 21 0 0\nlisteners\nclose\n";
    HostRun r = RunHost(script);
    for (const SetRow& row : kSets) EXPECT_TRUE(r.Has(row.answer)) << row.command << "\n" << r.out;
    EXPECT_EQ(r.After("getprop 2 0 0: info 0 size 8 writable 1 get 0 size 8"), "  value 48000");
    EXPECT_EQ(r.After("getprop 14 0 0: info 0 size 4 writable 1 get 0 size 4"), "  value 512");
    EXPECT_EQ(r.After("getprop 21 0 0: info 0 size 4 writable 1 get 0 size 4"), "  value 1");
    // Listeners hear every set of their property, refused ones included.
    EXPECT_TRUE(r.Has("listener 2: 1 calls")) << r.out;
    EXPECT_TRUE(r.Has("listener 14: 2 calls")) << r.out;
    EXPECT_TRUE(r.Has("listener 21: 1 calls")) << r.out;
    EXPECT_TRUE(r.Has("listener 3: 1 calls")) << r.out;
    EXPECT_TRUE(r.Has("plug: host 1 version 0x00060201")) << r.out; // Reaper, 6.2.1
}

TEST(AuConnections, OneInstanceFeedsAnotherThroughItsFastRenderProcedure)
{
    // Instance 0 is bypassed with a constant input, so its output is that input; instance 1
    // pulls from it and is bypassed too, so its output shows what it pulled.
    HostRun r = RunHost("open\nformat in 0 2\nformat out 0 2\ninit\ninput 0.75\nbypass 1\n"
                        "use 1\nopen\nformat in 0 2\nformat out 0 2\nconnect 0 0 0\nconnect 3 0 5\n"
                        "init\nbypass 1\nrender 64 0\nrender 64 0\nconnect 3 0 0\nrender 64 64\n"
                        "close\nuse 0\nclose\n");
    EXPECT_TRUE(r.Has("connect 0: 0")) << r.out;
    EXPECT_TRUE(r.Has("connect 3: -10879")) << r.out; // no input bus 5
    EXPECT_TRUE(r.Has("render 64 @0: 0 pulls 1 notify none out0=0.7500,0.7500 out1=-0.7500,-0.7500")) << r.out;
    EXPECT_TRUE(r.Has("render 64 @0: 0 pulls 0 notify none out0=0.7500,0.7500 out1=-0.7500,-0.7500")) << r.out;
    // Disconnected (an empty slot as source): the input reads silence.
    EXPECT_TRUE(r.Has("render 64 @64: 0 pulls 0 notify none out0=0.0000,0.0000 out1=0.0000,0.0000")) << r.out;
}

TEST(AuClassInfo, ADictionaryMissingAKeyOrFromAnotherUnitIsRefusedUntouched)
{
    std::string script = "open\n";
    const char* keys[] = {"version", "type", "subtype", "manufacturer", "name", "data"};
    for (int i = 0; i < 6; ++i) script += "setparam 7 1\nsaveclass " + std::to_string(i % 3) + "\ndropkey " + std::to_string(i % 3) +
                                          " " + keys[i] + "\nsetparam 7 0\nloadclass " + std::to_string(i % 3) +
                                          "\ngetparam 7\n";
    script += "setparam 7 1\nsaveclass 3\nsetkey 3 subtype 0x616E6E72\nsetparam 7 0\nloadclass 3\ngetparam 7\n";
    script += "setparam 7 1\nsaveclass 3\nsetkey 3 version 99\nsetparam 7 0\nloadclass 3\ngetparam 7\nclose\n";
    HostRun r = RunHost(script);
    EXPECT_EQ(r.exitCode, 0) << r.out;
    std::vector<std::string> loads = r.Starting("loadclass"), gets = r.Starting("getparam 7");
    ASSERT_EQ(loads.size(), 8u) << r.out;
    for (int i = 0; i < 7; ++i) {
        EXPECT_NE(loads[size_t(i)].find(": -10851"), std::string::npos) << i << " " << loads[size_t(i)];
        EXPECT_EQ(gets[size_t(i)], "getparam 7: 0 value 0") << i; // nothing was restored
    }
    // Another version number is read, not compared.
    EXPECT_NE(loads[7].find(": 0"), std::string::npos) << loads[7];
    EXPECT_EQ(gets[7], "getparam 7: 0 value 1");
}

TEST(AuClassInfo, ATruncatedStateChunkStillCountsAsRestoredAndIsLogged)
{
    // 2 whole doubles and half of the third: ids 0 and 1 are restored, id 2 takes its bound,
    // the rest keep their values.
    HostRun r = RunHost("open\nsetparam 0 1\nsetparam 1 1\nsetparam 2 1\nsetparam 3 1\nsaveclass 0\ncutdata 0 20\n"
                        "setparam 0 0\nsetparam 1 0.5\nsetparam 2 0.5\nsetparam 3 0.5\nloadclass 0\n"
                        "getparam 0\ngetparam 1\ngetparam 2\ngetparam 3\nclose\n",
                        // Without an editor, whose controls would snap the host's values to steps.
                        "QOR_STANDIN_NO_EDITOR=1");
    EXPECT_TRUE(r.Has("loadclass 0: 0")) << r.out;
    EXPECT_TRUE(r.Has("PROJECT RECALL: class information chunk of 20 bytes ended early")) << r.out;
    EXPECT_TRUE(r.Has("getparam 0: 0 value 1")) << r.out;
    EXPECT_TRUE(r.Has("getparam 1: 0 value 1")) << r.out;
    EXPECT_TRUE(r.Has("getparam 2: 0 value 0")) << r.out;
    EXPECT_TRUE(r.Has("getparam 3: 0 value 0.5")) << r.out;
}

TEST(AuParameters, IdsOutsideTheTableAreInvalidParametersEverywhere)
{
    HostRun r = RunHost("open\ngetparam 5124\nsetparam 5124 1\ngetparam 4294967295\nsetparam 3 1 in\n"
                        "getparam 3 out\nclose\n");
    EXPECT_TRUE(r.Has("getparam 5124: -10878 value 0")) << r.out;
    EXPECT_TRUE(r.Has("setparam 5124: -10878")) << r.out;
    EXPECT_TRUE(r.Has("getparam 4294967295: -10878 value 0")) << r.out;
    EXPECT_TRUE(r.Has("setparam 3: -10879")) << r.out;
    EXPECT_TRUE(r.Has("getparam 3: -10879 value 0")) << r.out;
}
