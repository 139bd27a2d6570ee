// The simulator's tools in-process: command-line options, script commands, .syx files, the
// record, a session's commands and the launcher. A session sends through its own std::thread,
// so this file also runs under the thread sanitizer.
#include "launcher.h"
#include "options.h"
#include "script.h"
#include "session.h"
#include "simwire.h"
#include "syxfile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

using namespace simtest;
using synthsim::Command;
using synthsim::Options;

namespace {

std::string tmp(const std::string& name) { return "/tmp/synthtools-" + std::to_string(::getpid()) + "-" + name; }

bool parseArgs(Options& o, std::vector<const char*> args, std::string& err)
{
    args.insert(args.begin(), "synth-sim");
    return synthsim::parseCommandLine(o, int(args.size()), args.data(), err);
}

} // namespace

TEST(CommandLine, EachOptionSetsWhatTheReadmeSaysInBothSpellings)
{
    using E = synthsim::EditReply;
    using F = synthsim::StoredForm;
    using O = const Options&;
    Options o; // one object throughout: each row changes what the rows before left
    const struct { std::vector<const char*> args; bool (*set)(O); } rows[] = {
        {{"--device-id", "0x0C"}, [](O o) { return o.deviceId == 12; }},
        {{"--model=21"}, [](O o) { return o.model == 0x21; }}, {{"--model", "20"}, [](O o) { return o.model == 0x20; }},
        {{"--edit-reply", "program"}, [](O o) { return o.editReply == E::Program; }},
        {{"--edit-reply=performance"}, [](O o) { return o.editReply == E::Performance; }},
        {{"--edit-reply", "both"}, [](O o) { return o.editReply == E::Both; }},
        {{"--edit-reply", "parts"}, [](O o) { return o.editReply == E::AllParts; }},
        {{"--edit-reply", "parts-performance"}, [](O o) { return o.editReply == E::AllPartsThenPerformance; }},
        {{"--edit-reply=program-performance"}, [](O o) { return o.editReply == E::ProgramThenPerformance; }},
        {{"--ignore-enquiry"}, [](O o) { return o.ignoreEnquiry; }},
        {{"--ignore-enquiry=off"}, [](O o) { return !o.ignoreEnquiry; }},
        {{"--edit-reply", "follow"}, [](O o) { return o.editReply == E::Follow; }},
        {{"--stored-program-reply", "dump", "--stored-performance-reply=dump"},
         [](O o) { return o.storedProgramReply == F::Dump && o.storedPerformanceReply == F::Dump; }},
        {{"--stored-program-reply", "stored"}, [](O o) { return o.storedProgramReply == F::Stored; }},
        {{"--silent", "--strict-model=on", "--foreign-sysex=1", "--globals-reversed", "--throttle", "--help"},
         [](O o) { return o.silent && o.strictModel && o.foreignSysEx && o.globalsReversed && o.throttle && o.help; }},
        {{"--throttle=off", "--silent=0"}, [](O o) { return !o.throttle && !o.silent && o.help; }},
        {{"--reply-delay-ms", "300", "--answer-on-try", "4", "--truncate", "7", "--overlong=2"},
         [](O o) { return o.replyDelayMs == 300 && o.answerOnTry == 4 && o.truncateBy == 7 && o.overlongBy == 2; }},
        {{"--name", "b", "--record", "r", "--script=s", "--dump-on-exit", "d"},
         [](O o) { return o.clientName == "b" && o.recordPath == "r" && o.scriptPath == "s" && o.dumpOnExit == "d"; }},
        {{"--load", "a", "--load=b"}, [](O o) { return o.loadFiles == std::vector<std::string>{"a", "b"}; }},
    };
    for (const auto& r : rows) {
        std::string err;
        EXPECT_TRUE(parseArgs(o, r.args, err) && r.set(o)) << r.args[0] << " " << err;
    }
}

TEST(CommandLine, RefusesBadArgumentsWithAReasonNamingThem)
{
    const std::vector<std::vector<const char*>> bad = {
        {"--device-id", "16"}, {"--model", "22"}, {"--edit-reply", "all"}, {"--edit-reply", "parts-program"}, {"--ignore-enquiry=2"}, {"--stored-performance-reply", "x"},
        {"--answer-on-try", "0"}, {"--reply-delay-ms"}, {"--name", "a:b"}, {"--name="}, {"--bogus"}, {"plain"},
        {"--silent=maybe"}, {"--truncate", "1e3"}, {"--record="}, {"--load="}, {"--device-id="},
    };
    for (const auto& args : bad) {
        Options o;
        std::string err;
        const std::string arg = args[0];
        EXPECT_FALSE(parseArgs(o, args, err)) << arg;
        EXPECT_NE(err.find(arg.substr(0, arg.find('='))), std::string::npos) << arg << ": " << err;
    }
}

TEST(ScriptCommands, EachCommandParsesToWhatItSendsOrDoes)
{
    const struct { const char* line; Command::Kind kind; std::vector<Bytes> sends; bool panel; int waitMs;
                   const char* arg; const char* value; } rows[] = {
        {"cc 2 7 100", Command::Send, {{0xB2, 0x07, 0x64}}, true, 0, "", ""},
        {"nrpn 0 0 113 58", Command::Send, {{0xB0, 0x63, 0}, {0xB0, 0x62, 0x71}, {0xB0, 0x06, 0x3A}}, true, 0, "", ""},
        {"pc 15 127", Command::Send, {{0xCF, 0x7F}}, true, 0, "", ""},
        {"raw F0 3e 0x0F 00 13 F7", Command::Send, {{0xF0, 0x3E, 0x0F, 0x00, 0x13, 0xF7}}, false, 0, "", ""},
        {"wait 250", Command::Wait, {}, false, 250, "", ""},
        {"dump /tmp/x", Command::Dump, {}, false, 0, "/tmp/x", ""},
        {"option reply-delay-ms 40", Command::Option, {}, false, 0, "reply-delay-ms", "40"},
        {"stats", Command::Stats, {}, false, 0, "", ""}, {"quit", Command::Quit, {}, false, 0, "", ""},
        {"# cc 0 7 100", Command::Nothing, {}, false, 0, "", ""},
    };
    for (const auto& r : rows) {
        Command c;
        std::string err;
        ASSERT_TRUE(synthsim::parseCommand(r.line, c, err)) << r.line << ": " << err;
        EXPECT_TRUE(c.kind == r.kind && c.messages == r.sends && c.fromPanel == r.panel && c.waitMs == r.waitMs &&
                    c.arg == r.arg && c.value == r.value) << r.line;
    }
    for (const char* line : {"cc 16 7 100", "cc 0 7", "nrpn 0 0 113 -1", "pc 0 5x", "raw", "raw F0 100", "raw G1",
                             "raw 0x", "wait -5", "dump", "dump a b", "option", "option a b c", "stats now", "fly 1"}) {
        Command c;
        std::string err;
        EXPECT_FALSE(synthsim::parseCommand(line, c, err) || err.empty()) << line;
    }
}

TEST(SyxFiles, KeepCompleteMessagesAndSkipTheRest)
{
    Bytes data = {0x12, 0x34,                   // stray bytes
                  0xF0, 0x01, 0xF8, 0x02, 0xF7, // a clock byte inside is dropped
                  0xF0, 0x03, 0x90, 0x40,       // broken by a note-on
                  0xF0, 0x04, 0xF0, 0x05, 0xF7, // broken by the next message's start
                  0xF0, 0x06};                  // unterminated tail
    data.push_back(0xF0); // and one longer than the limit
    data.insert(data.end(), synthsim::kMaxSysExLength + 10, 0x11);
    data.push_back(0xF7);
    const std::vector<Bytes> kept = {{0xF0, 0x01, 0x02, 0xF7}, {0xF0, 0x05, 0xF7}};
    synthsim::SplitResult r = synthsim::splitSysEx(data.data(), data.size());
    EXPECT_EQ(r.messages, kept);
    EXPECT_EQ(r.skippedBytes, data.size() - 4 - 3) << "every byte outside the two kept messages";
    synthsim::SplitResult back;
    std::string err;
    for (const std::string path : {"/nonexistent/nothing.syx", "/tmp"}) // missing, and a folder
        EXPECT_FALSE(synthsim::readSyxFile(path, back, err) || err.find(path) == std::string::npos) << path;
    EXPECT_FALSE(synthsim::writeSyxFile("/nonexistent/dir/out.syx", kept, err) || err.empty());
}

TEST(Session, LoadsSeedsRecordsAndAnswersEachCommand)
{
    const Bytes program = wire(0x02, {0x07, 5}, 297, 1); // bank C, slot 6
    std::string err;
    ASSERT_TRUE(synthsim::writeSyxFile(tmp("seed.syx"), {program, {0xF0, 0x01, 0xF7}}, err)) << err;
    for (const char* bad : {"--record=/nonexistent/r.txt", "--load=/nonexistent/seed.syx"}) {
        Options o;
        ASSERT_TRUE(parseArgs(o, {bad}, err));
        synthsim::Session s(o, [](const Bytes&) {});
        EXPECT_FALSE(s.start(err) || err.find("/nonexistent/") == std::string::npos) << bad;
    }
    Options o;
    o.recordPath = tmp("session.txt"), o.loadFiles = {tmp("seed.syx")};
    std::vector<Bytes> sent;
    const std::string dir = tmp("dump");
    {
        synthsim::Session s(o, [&](const Bytes& b) { sent.push_back(b); });
        ASSERT_TRUE(s.start(err)) << err;
        const struct { std::string line; std::string answer; } rows[] = {
            {"stats", "stats clock=0 since-start=0 start=0 stop=0 continue=0 sysex-in=0 answered=0"},
            {"option reply-delay-ms 40", "ok option reply-delay-ms\n"},
            {"option device-id 99", "error --device-id"},
            {"fly", "error unknown command"},
            {"dump " + dir, "ok dump " + dir + "\n"},
            {"dump /nonexistent/dump", "error /nonexistent/dump"},
            {"raw F0 7D 01 F7", ""},
            {"wait 1", ""},
        };
        for (const auto& r : rows) {
            std::ostringstream out;
            EXPECT_TRUE(s.runCommand(r.line, out)) << r.line;
            EXPECT_TRUE(out.str().rfind(r.answer, 0) == 0 && out.str().empty() == r.answer.empty()) << r.line;
        }
        std::ostringstream out;
        EXPECT_FALSE(s.runCommand("quit", out)); // the end of the session
        EXPECT_EQ(sent, (std::vector<Bytes>{{0xF0, 0x7D, 0x01, 0xF7}})) << "quit waits for the output";
    }
    synthsim::SplitResult bankC;
    ASSERT_TRUE(synthsim::readSyxFile(dir + "/programs-C.syx", bankC, err)) << err;
    EXPECT_EQ(bankC.messages.at(5), program);
    // Damaged lines are skipped; a last line without its newline is still being written.
    std::ofstream(o.recordPath, std::ios::app) << "garbage\n1.6 out B0 7G\n1.7 out B0 100\n1.8 out C0 05";
    const std::vector<synthsim::RecordLine> rec = synthsim::readRecordFile(o.recordPath);
    ASSERT_EQ(rec.size(), 3u);
    EXPECT_EQ(rec[0].note, tmp("seed.syx") + ": 1 of 2 messages taken, 0 bytes skipped");
    EXPECT_EQ(rec[1].note, "skipped 3-byte message");
    EXPECT_TRUE(rec.back().direction == "out" && rec.back().bytes == sent.at(0) && rec.back().note == "script");
    std::system(("rm -rf '" + dir + "' '" + o.recordPath + "' '" + tmp("seed.syx") + "'").c_str());
}

TEST(Launcher, ReadsTheReadyLineTalksAndStopsTheProgramOrSaysWhyNot)
{
    synthsim::SimProcess p;
    std::string err, line;
    ASSERT_TRUE(p.start("/bin/sh", {"-c", "echo ready a:in a-out:out; while read l; do echo \"got $l\";"
                                          " [ \"$l\" = quit ] && exit 3; done"}, err)) << err;
    EXPECT_TRUE(p.inputPort() == "a:in" && p.outputPort() == "a-out:out" && p.pid() > 0);
    EXPECT_FALSE(p.start("/bin/sh", {}, err));
    p.command("stats");
    EXPECT_TRUE(p.readLine(line, 5000) && line == "got stats") << line;
    EXPECT_EQ(p.stop(), 3);
    EXPECT_EQ(p.pid(), -1);
    EXPECT_FALSE(p.readLine(line, 10));
    EXPECT_FALSE(p.start("/bin/sh", {"-c", "echo not ready"}, err));
    EXPECT_NE(err.find("not ready"), std::string::npos) << err;
}
