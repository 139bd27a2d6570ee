// Commands, command-line options and the SysEx file splitter of the simulator.
#include "launcher.h"
#include "options.h"
#include "script.h"
#include "syxfile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <unistd.h>

using synthsim::Bytes;
using synthsim::Command;
using synthsim::Options;

namespace {

Command parsed(const std::string& line)
{
    Command c;
    std::string err;
    EXPECT_TRUE(synthsim::parseCommand(line, c, err)) << line << ": " << err;
    return c;
}

bool rejected(const std::string& line)
{
    Command c;
    std::string err;
    const bool ok = synthsim::parseCommand(line, c, err);
    return !ok && !err.empty();
}

bool parseArgs(Options& o, std::vector<const char*> args, std::string& err)
{
    args.insert(args.begin(), "synth-sim");
    return synthsim::parseCommandLine(o, int(args.size()), args.data(), err);
}

} // namespace

TEST(ScriptCommands, BuildControlChangeNrpnAndProgramChangeBytes)
{
    EXPECT_EQ(parsed("cc 2 7 100").messages, (std::vector<Bytes>{{0xB2, 0x07, 0x64}}));
    EXPECT_EQ(parsed("nrpn 0 0 113 58").messages,
              (std::vector<Bytes>{{0xB0, 0x63, 0x00}, {0xB0, 0x62, 0x71}, {0xB0, 0x06, 0x3A}}));
    EXPECT_EQ(parsed("pc 15 127").messages, (std::vector<Bytes>{{0xCF, 0x7F}}));
    EXPECT_TRUE(parsed("cc 2 7 100").fromPanel && parsed("nrpn 0 0 113 58").fromPanel &&
                parsed("pc 15 127").fromPanel)
        << "played on the panel: the synthesizer follows them itself";
}

TEST(ScriptCommands, RawSendsAnyBytesAsOneMessage)
{
    Command c = parsed("raw F0 3e 0x0F 00 13 F7");
    EXPECT_EQ(c.kind, Command::Send);
    EXPECT_EQ(c.messages, (std::vector<Bytes>{{0xF0, 0x3E, 0x0F, 0x00, 0x13, 0xF7}}));
    EXPECT_EQ(parsed("raw 80").messages, (std::vector<Bytes>{{0x80}}));
    EXPECT_FALSE(c.fromPanel) << "raw bytes only leave";
}

TEST(ScriptCommands, OutOfRangeOrMalformedLinesAreRejected)
{
    EXPECT_TRUE(rejected("cc 16 7 100"));
    EXPECT_TRUE(rejected("cc 0 128 0"));
    EXPECT_TRUE(rejected("cc 0 7"));
    EXPECT_TRUE(rejected("nrpn 0 0 113 -1"));
    EXPECT_TRUE(rejected("pc 0 5x"));
    EXPECT_TRUE(rejected("raw"));
    EXPECT_TRUE(rejected("raw F0 100"));
    EXPECT_TRUE(rejected("raw G1"));
    EXPECT_TRUE(rejected("wait -5"));
    EXPECT_TRUE(rejected("stats now"));
    EXPECT_TRUE(rejected("fly 1"));
}

TEST(ScriptCommands, CommentsAndBlankLinesDoNothing)
{
    EXPECT_EQ(parsed("").kind, Command::Nothing);
    EXPECT_EQ(parsed("   ").kind, Command::Nothing);
    EXPECT_EQ(parsed("# cc 0 7 100").kind, Command::Nothing);
}

TEST(ScriptCommands, WaitDumpOptionStatsAndQuit)
{
    EXPECT_EQ(parsed("wait 250").waitMs, 250);
    EXPECT_EQ(parsed("dump /tmp/x").arg, "/tmp/x");
    Command o = parsed("option reply-delay-ms 40");
    EXPECT_EQ(o.kind, Command::Option);
    EXPECT_EQ(o.arg, "reply-delay-ms");
    EXPECT_EQ(o.value, "40");
    EXPECT_EQ(parsed("stats").kind, Command::Stats);
    EXPECT_EQ(parsed("quit").kind, Command::Quit);
}

TEST(CommandLine, DefaultsAreDocumentedValues)
{
    Options o;
    EXPECT_NE(o.deviceId, 15) << "the templates' own device id would hide unadopted ids";
    EXPECT_EQ(o.model, 0x20);
    EXPECT_EQ(o.editReply, synthsim::EditReply::Follow);
    EXPECT_EQ(o.storedProgramReply, synthsim::StoredForm::Stored);
    EXPECT_FALSE(o.silent || o.throttle || o.foreignSysEx || o.globalsReversed);
    EXPECT_EQ(o.answerOnTry, 1);
}

TEST(CommandLine, ReadsEveryOptionInBothSpellings)
{
    Options o;
    std::string err;
    ASSERT_TRUE(parseArgs(o, {"--device-id", "12", "--model=21", "--edit-reply", "both",
                              "--stored-program-reply", "dump", "--stored-performance-reply=dump",
                              "--silent", "--reply-delay-ms", "300", "--answer-on-try", "4",
                              "--truncate", "7", "--overlong=2", "--foreign-sysex", "--globals-reversed",
                              "--throttle", "--name", "synth-b", "--record", "/tmp/r.txt", "--load", "a.syx",
                              "--load", "b.syx", "--strict-model", "--throttle=off"},
                          err))
        << err;
    EXPECT_EQ(o.deviceId, 12);
    EXPECT_EQ(o.model, 0x21);
    EXPECT_EQ(o.editReply, synthsim::EditReply::Both);
    EXPECT_EQ(o.storedProgramReply, synthsim::StoredForm::Dump);
    EXPECT_EQ(o.storedPerformanceReply, synthsim::StoredForm::Dump);
    EXPECT_TRUE(o.silent && o.foreignSysEx && o.globalsReversed && o.strictModel);
    EXPECT_FALSE(o.throttle) << "the later switch wins";
    EXPECT_EQ(o.replyDelayMs, 300);
    EXPECT_EQ(o.answerOnTry, 4);
    EXPECT_EQ(o.truncateBy, 7);
    EXPECT_EQ(o.overlongBy, 2);
    EXPECT_EQ(o.clientName, "synth-b");
    EXPECT_EQ(o.recordPath, "/tmp/r.txt");
    EXPECT_EQ(o.loadFiles, (std::vector<std::string>{"a.syx", "b.syx"}));
}

TEST(CommandLine, RejectsValuesOutOfRangeAndUnknownOptions)
{
    const std::vector<std::vector<const char*>> bad = {
        {"--device-id", "16"}, {"--device-id", "-1"}, {"--model", "22"}, {"--edit-reply", "all"},
        {"--answer-on-try", "0"}, {"--edit-reply", "part"}, {"--reply-delay-ms"}, {"--name", "a:b"}, {"--bogus"},
        {"plain"}, {"--silent=maybe"}, {"--truncate", "1e3"},
    };
    for (const auto& args : bad) {
        Options o;
        std::string err;
        EXPECT_FALSE(parseArgs(o, args, err)) << args[0];
        EXPECT_FALSE(err.empty()) << args[0];
    }
}

TEST(SyxSplitter, KeepsCompleteMessagesAndSkipsEverythingElse)
{
    const Bytes data = {0x12, 0x34,                   // stray bytes
                        0xF0, 0x01, 0xF8, 0x02, 0xF7, // clock byte inside is dropped
                        0xF0, 0x03, 0x90, 0x40,       // broken by a note-on status
                        0xF0, 0x05, 0xF7,
                        0xF0, 0x06};                  // unterminated tail
    synthsim::SplitResult r = synthsim::splitSysEx(data.data(), data.size());
    ASSERT_EQ(r.messages.size(), 2u);
    EXPECT_EQ(r.messages[0], (Bytes{0xF0, 0x01, 0x02, 0xF7}));
    EXPECT_EQ(r.messages[1], (Bytes{0xF0, 0x05, 0xF7}));
    EXPECT_EQ(r.skippedBytes, data.size() - 4 - 3) << "every byte outside the two kept messages";
}

TEST(SyxSplitter, SkipsAMessageLongerThanTheLimit)
{
    Bytes data(synthsim::kMaxSysExLength + 10, 0x11);
    data.front() = 0xF0;
    data.back() = 0xF7;
    data.insert(data.end(), {0xF0, 0x22, 0xF7});
    synthsim::SplitResult r = synthsim::splitSysEx(data.data(), data.size());
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0], (Bytes{0xF0, 0x22, 0xF7}));
}

TEST(SyxFile, ThatIsMissingIsReportedNotRead)
{
    synthsim::SplitResult r;
    std::string err;
    EXPECT_FALSE(synthsim::readSyxFile("/nonexistent/nothing.syx", r, err));
    EXPECT_NE(err.find("nothing.syx"), std::string::npos);
}

TEST(SyxFile, WriteIntoAMissingFolderFailsAndSaysWhere)
{
    std::string err;
    EXPECT_FALSE(synthsim::writeSyxFile("/nonexistent/dir/out.syx", {{0xF0, 0xF7}}, err));
    EXPECT_FALSE(err.empty());
}

TEST(RecordFile, IsReadBackLineByLineAndDamagedLinesAreSkipped)
{
    const std::string path = "/tmp/synthsim-record-" + std::to_string(::getpid()) + ".txt";
    {
        std::ofstream f(path);
        f << "0.000100 load - # seed.syx: 1 of 1 messages taken, 0 bytes skipped\n"
          << "1.250000 in F0 00 20 29 01 20 03 10 F7 # device-id enquiry: answered\n"
          << "garbage\n"
          << "1.300000 out B0 7G 00\n"
          << "1.400000 out C0 05\n";
    }
    const std::vector<synthsim::RecordLine> r = synthsim::readRecordFile(path);
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[0].direction, "load");
    EXPECT_TRUE(r[0].bytes.empty());
    EXPECT_DOUBLE_EQ(r[1].time, 1.25);
    EXPECT_EQ(r[1].bytes, (Bytes{0xF0, 0x00, 0x20, 0x29, 0x01, 0x20, 0x03, 0x10, 0xF7}));
    EXPECT_EQ(r[1].note, "device-id enquiry: answered");
    EXPECT_EQ(r[2].direction, "out");
    EXPECT_EQ(r[2].bytes, (Bytes{0xC0, 0x05}));
    EXPECT_TRUE(r[2].note.empty());
    std::remove(path.c_str());
}

TEST(RecordFile, ALastLineStillBeingWrittenIsLeftForTheNextRead)
{
    const std::string path = "/tmp/synthsim-partial-" + std::to_string(::getpid()) + ".txt";
    {
        std::ofstream f(path);
        // The writer has got as far as the first bytes of a dump: read now, it would look
        // like a whole 3-byte message.
        f << "1.000000 in F0 00 20 29 01 20 03 10 F7 # device-id enquiry: answered\n"
          << "1.100000 out F0 00 20";
    }
    std::vector<synthsim::RecordLine> r = synthsim::readRecordFile(path);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].direction, "in");
    {
        std::ofstream f(path, std::ios::app);
        f << " 29 F7 # done\n";
    }
    r = synthsim::readRecordFile(path);
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[1].bytes, (Bytes{0xF0, 0x00, 0x20, 0x29, 0xF7}));
    std::remove(path.c_str());
}
