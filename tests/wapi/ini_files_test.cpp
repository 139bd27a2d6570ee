// Profile files: reading, listing, structs, refusals, the cache and the write-back.
#include "kit/wapi/wapi-ini.h"

#include "support/syscall_faults.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <string>
#include <vector>

namespace {

using testsupport::readText;
using testsupport::TempDir;
using testsupport::writeFile;

// "n:" and the buffer's bytes up to the end of the answer, zero bytes as "|", untouched ones "#".
std::string shown(int n, const std::vector<char>& buf, size_t extra) {
  std::string out = std::to_string(n) + ":";
  for (size_t i = 0; i < size_t(n) + extra && i < buf.size(); ++i) out += buf[i] ? buf[i] : '|';
  return out;
}
std::string getString(const char* sec, const char* key, const std::string& file, int size = 256,
                      const char* def = "dflt") {
  std::vector<char> buf(size_t(size > 0 ? size : 1), '#');
  int n = GetPrivateProfileString(sec, key, def, size > 0 ? buf.data() : nullptr, size, file.c_str());
  return shown(n, buf, key && sec ? 0 : 2);
}
std::string getSection(const char* sec, const std::string& file, unsigned size) {
  std::vector<char> buf(size, '#');
  return shown(GetPrivateProfileSection(sec, buf.data(), size, file.c_str()), buf, 2);
}

const char* kSample =
    "junk=before any header\n[Main]\r\n  Name=\"quoted text\"  \nsingle='\nspaced = x \t\n; comment=kept\n"
    "no equals sign\n=empty key\ndup=first\nDUP=last\nzero=0\nneg=-5\nword=abc\nempty=\nbig=99999999999\n"
    "[broken\nafter=broken header\n[]\nlost=after empty header\n[Gone]\nold=1\n[two words] trailing\na=1\n"
    "[GONE]\nnew=2\n";

TEST(IniFiles, ReadsValuesAsTheFileFormatSays) {
  TempDir dir("qor_ini");
  const std::string f = dir.file("sample.ini");
  writeFile(f, std::string(kSample));
  struct {
    const char *sec, *key, *want;
  } cases[] = {
      {"main", "NAME", "11:quoted text"},  // names match in any case; quotes go
      {"Main", "single", "1:'"},           // one quote alone stays
      {"Main", "spaced ", "1:x"},          // the blank before "=" belongs to the key
      {"Main", "spaced", "4:dflt"},
      {"Main", "; comment", "4:kept"},        // no comment syntax
      {"Main", "dup", "4:last"},              // of same-named keys the last line wins
      {"Main", "after", "13:broken header"},  // "[" without "]" keeps the section
      {"Main", "lost", "4:dflt"},             // keys after "[]" are dropped
      {"Main", "junk", "4:dflt"},             // lines before any header are dropped
      {"two words", "a", "1:1"},              // text after "]" does not matter
      {"Gone", "old", "4:dflt"},              // a repeated header empties the section
      {"gone", "new", "1:2"},
      {"Missing", "a", "4:dflt"},
      {"Main", "Name", "4:quot"},  // size 5: four characters and the zero
  };
  for (auto& c : cases) EXPECT_EQ(getString(c.sec, c.key, f, c.want[0] == '4' && c.want[2] == 'q' ? 5 : 256), c.want);
  EXPECT_EQ(getString("Main", "Name", f, 0) + getString("Main", "Name", f, 1), "0:0:");
  EXPECT_EQ(getString("Main", "none", f, 256, nullptr), "0:");

  struct {
    const char* key;
    int want;
  } ints[] = {{"zero", 0}, {"neg", -5}, {"word", 77}, {"empty", 77}, {"none", 77}, {"big", 2147483647}};
  for (auto& c : ints) EXPECT_EQ(GetPrivateProfileInt("Main", c.key, 77, f.c_str()), c.want) << c.key;
}

TEST(IniFiles, ListsNamesAndSectionsWithinTheBuffer) {
  TempDir dir("qor_ini");
  const std::string f = dir.file("list.ini");
  writeFile(f, std::string("[S]\na=1\nb= \"2\" \n[T]\n"));
  struct {
    const char* sec;
    int size;
    const char* want;
  } lists[] = {
      {"S", 64, "3:a|b||"}, {"S", 4, "2:a|||"}, {"S", 3, "1:a||"},        {"S", 2, "0:||"},
      {"T", 64, "0:||"},    {"U", 64, "0:||"},  {nullptr, 64, "3:S|T||"},
  };
  for (auto& c : lists) EXPECT_EQ(getString(c.sec, nullptr, f, c.size), c.want) << (c.sec ? c.sec : "null") << c.size;

  struct {
    const char* sec;
    unsigned size;
    const char* want;
  } sections[] = {
      {"S", 64, "8:a=1|b=2||#"}, {"S", 9, "8:a=1|b=2||"}, {"S", 8, "6:a=1|b=||"}, {"S", 6, "4:a=1|||"},
      {"S", 5, "3:a=1||"},       {"T", 64, "0:||"},       {"U", 64, "0:||"},
  };
  for (auto& c : sections) EXPECT_EQ(getSection(c.sec, f, c.size), c.want) << c.sec << c.size;
  char one = '#';
  EXPECT_EQ(GetPrivateProfileSection("S", &one, 1, f.c_str()), 0);
  EXPECT_EQ(one, 0);
}

TEST(IniFiles, StructsCarryAChecksumAndRefuseAnyChange) {
  TempDir dir("qor_ini");
  const std::string f = dir.file("struct.ini");
  const unsigned char bytes[3] = {0x01, 0xAB, 0xFF};
  ASSERT_TRUE(WritePrivateProfileStruct("S", "k", bytes, 3, f.c_str()));
  EXPECT_EQ(readText(f), "[S]\nk=01ABFFAB\n\n");
  unsigned char out[3] = {};
  EXPECT_TRUE(GetPrivateProfileStruct("S", "k", out, 3, f.c_str()));
  EXPECT_EQ(std::vector<unsigned char>(out, out + 3), std::vector<unsigned char>(bytes, bytes + 3));

  struct {
    const char* stored;
    int size;
    bool ok;
  } cases[] = {
      {"01abffab", 3, true},    {"01ABFFAC", 3, false},          {"01ABFEAB", 3, false}, {"01ABFFA", 3, false},
      {"01ABFFAB00", 3, false}, {"01ABFFAB", 2, false},          {"01ABFGAB", 3, false}, {"00", 0, true},
      {"01ABFFAB", -1, false},  {"01ABFFAB", 0x7FFFFFF8, false},
  };
  for (auto& c : cases) {
    ASSERT_TRUE(WritePrivateProfileString("S", "t", c.stored, f.c_str()));
    EXPECT_EQ(GetPrivateProfileStruct("S", "t", out, c.size, f.c_str()), c.ok) << c.stored << " " << c.size;
  }
  EXPECT_FALSE(WritePrivateProfileStruct("S", "k", bytes, -1, f.c_str()));
  EXPECT_TRUE(WritePrivateProfileStruct("S", "k", nullptr, 3, f.c_str()));  // null data deletes the key
  EXPECT_FALSE(GetPrivateProfileStruct("S", "k", out, 3, f.c_str()));
}

TEST(IniFiles, RefusesWhatTheFileCouldNotGiveBack) {
  TempDir dir("qor_ini");
  const std::string f = dir.file("refuse.ini");
  ASSERT_TRUE(WritePrivateProfileString("S", "k", "v", f.c_str()));
  const std::string before = readText(f);
  const std::string longName = dir.path + "/" + std::string(1100 - dir.path.size(), 'n');
  const char* rows[][3] = {{"S", "a=b", "v"},  {"S", "a\rb", "v"}, {"S", "a\nb", "v"}, {"S", "[a", "v"},
                           {"S", " a", "v"},   {"S", "\ta", "v"},  {"a]b", "k", "v"},  {"a\rb", "k", "v"},
                           {"a\nb", "k", "v"}, {"", "k", "v"},     {"S", "k", "v\r"},  {"S", "k", "v\nw"},
                           {"S", "", "v"},     {nullptr, "k", "v"}};
  for (auto& r : rows) EXPECT_FALSE(WritePrivateProfileString(r[0], r[1], r[2], f.c_str())) << r[1];
  for (const char* name : {static_cast<const char*>(nullptr), "", longName.c_str()})
    EXPECT_FALSE(WritePrivateProfileString("S", "k", "v", name));
  EXPECT_FALSE(WritePrivateProfileSection("S", "a=1\0b\n=2\0", f.c_str()));
  EXPECT_FALSE(WritePrivateProfileSection("S", (std::string(8192, 'k') + "=1").c_str(), f.c_str()));
  EXPECT_FALSE(WritePrivateProfileSection("N]", "a=1\0", f.c_str()));
  EXPECT_EQ(readText(f), before);
  EXPECT_EQ(::access(longName.c_str(), F_OK), -1);
  EXPECT_EQ(dir.list(), std::vector<std::string>{"refuse.ini"});
}

TEST(IniFiles, WritesSortedSectionsAndDeletesByNullNames) {
  TempDir dir("qor_ini");
  const std::string f = dir.file("write.ini");
  ASSERT_TRUE(WritePrivateProfileString("b", "Key", "1", f.c_str()));
  ASSERT_TRUE(WritePrivateProfileString("A", "z", " spaced ", f.c_str()));
  ASSERT_TRUE(WritePrivateProfileString("B", "KEY", "2", f.c_str()));  // keeps the first letter case
  ASSERT_TRUE(WritePrivateProfileSection("c", "x=1\0skipped\0=nokey\0y=a=b\0", f.c_str()));
  EXPECT_EQ(readText(f), "[A]\nz= spaced \n\n[b]\nKey=2\n\n[c]\nx=1\ny=a=b\n\n");
  ASSERT_TRUE(WritePrivateProfileSection("c", nullptr, f.c_str()));  // empties, keeps the header
  ASSERT_TRUE(WritePrivateProfileString("b", "key", nullptr, f.c_str()));
  ASSERT_TRUE(WritePrivateProfileString("A", nullptr, "ignored", f.c_str()));
  EXPECT_EQ(readText(f), "[b]\n\n[c]\n\n");
  ASSERT_TRUE(WritePrivateProfileSection("new", "", f.c_str()));  // nothing to make
  EXPECT_EQ(readText(f), "[b]\n\n[c]\n\n");
}

TEST(IniFiles, AnUnchangedWriteKeepsTheFileAndAnOutsideEditIsReRead) {
  TempDir dir("qor_ini");
  const std::string f = dir.file("fresh.ini");
  ASSERT_TRUE(WritePrivateProfileString("S", "k", "v", f.c_str()));
  struct stat a {
  }, b{};
  ASSERT_EQ(::stat(f.c_str(), &a), 0);
  usleep(20000);
  ASSERT_TRUE(WritePrivateProfileString("S", "k", "v", f.c_str()));
  ASSERT_EQ(::stat(f.c_str(), &b), 0);
  EXPECT_EQ(a.st_ino, b.st_ino);
  EXPECT_EQ(a.st_mtim.tv_nsec, b.st_mtim.tv_nsec);
  EXPECT_EQ(a.st_mtim.tv_sec, b.st_mtim.tv_sec);

  writeFile(f, std::string("[S]\nk=w\n"));  // same size, within the same second
  EXPECT_EQ(getString("S", "k", f), "1:w");
  writeFile(f, std::string("[S]\nk=longer\n"));
  EXPECT_EQ(getString("S", "k", f), "6:longer");
  ::unlink(f.c_str());
  EXPECT_EQ(getString("S", "k", f), "4:dflt");
}

TEST(IniFiles, TheThirtyThirdFileEvictsTheLeastRecentlyUsed) {
  TempDir dir("qor_ini");
  wapi_ini::ForgetAll();
  std::vector<std::string> files;
  for (int i = 0; i < 33; ++i) files.push_back(dir.file("f" + std::to_string(i) + ".ini"));
  for (int i = 0; i < 32; ++i) getString("S", "k", files[size_t(i)]);
  getString("S", "k", files[0]);  // the first is now the most recent
  getString("S", "k", files[32]);
  EXPECT_TRUE(wapi_ini::IsCached(files[0].c_str()));
  EXPECT_FALSE(wapi_ini::IsCached(files[1].c_str()));
  for (int i = 2; i <= 32; ++i) EXPECT_TRUE(wapi_ini::IsCached(files[size_t(i)].c_str())) << i;
}

TEST(IniFiles, LongHeaderlessAndOverlongInputIsBounded) {
  TempDir dir("qor_ini");
  const std::string f = dir.file("long.ini");
  std::string junk;
  while (junk.size() < 0x40000) junk += "no header on this line\n";
  writeFile(f, junk + "[S]\nk=v\n");
  EXPECT_EQ(getString("S", "k", f), "4:dflt");  // not an ini file
  writeFile(f, "[S]\nlong=" + std::string(0x2000000, 'x') + "\nk=v\n");
  EXPECT_EQ(getString("S", "long", f), "4:dflt");  // a line beyond 32 MB is skipped
  EXPECT_EQ(getString("S", "k", f), "1:v");
}

TEST(IniFiles, AFailedWriteAnswersFalseKeepsTheFileAndRereadsTheDisk) {
  TempDir dir("qor_ini");
  const std::string f = dir.file("limit.ini");
  ASSERT_TRUE(WritePrivateProfileString("S", "k", "old", f.c_str()));
  ::chmod(f.c_str(), 0640);
  const std::string before = readText(f);
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    // A file-size limit holds for root too; the write past it fails instead of killing us.
    signal(SIGXFSZ, SIG_IGN);
    rlimit lim{64, 64};
    setrlimit(RLIMIT_FSIZE, &lim);
    bool refused = !WritePrivateProfileString("S", "k", std::string(200, 'n').c_str(), f.c_str());
    char buf[16];
    GetPrivateProfileString("S", "k", "", buf, sizeof buf, f.c_str());
    _exit(refused && std::string(buf) == "old" ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(readText(f), before);
  EXPECT_EQ(dir.list(), std::vector<std::string>{"limit.ini"});  // no temporary left
  ASSERT_TRUE(WritePrivateProfileString("S", "k", "new", f.c_str()));
  struct stat st {};
  ASSERT_EQ(::stat(f.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);  // a replaced file keeps its mode
}

TEST(IniFiles, AFileThatCouldNotBeReadWholeIsNeverWrittenOver) {
  namespace faults = testsupport::faults;
  using Call = faults::Call;
  struct Row {
    const char* what;
    Call call;
    int err, times;
    bool readable;  // the failure is retried away and the file is read after all
    bool thenGone;  // the file is removed before the next call
  } rows[] = {
      {"open refused", Call::Open, EACCES, -1, false, false},
      {"open fails on a busy device", Call::Open, EIO, -1, false, false},
      {"no locks on this file system", Call::Flock, ENOLCK, -1, false, false},
      {"lock interrupted once", Call::Flock, EINTR, 1, true, false},
      {"read error", Call::Read, EIO, -1, false, false},
      {"read error after an interrupted read", Call::Read, EINTR, 1, true, false},
      {"open refused, then the file removed", Call::Open, EACCES, -1, false, true},
      {"read error, then the file removed", Call::Read, EIO, -1, false, true},
  };
  TempDir dir("qor_ini");
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    const std::string f = dir.file(std::string("fail") + std::to_string(&r - rows) + ".ini");
    writeFile(f, "[S]\nkeep=1\nk=old\n");
    const std::string before = readText(f);
    faults::Scope scope;
    faults::fail(r.call, r.err, f, r.times);
    EXPECT_EQ(getString("S", "keep", f), r.readable ? "1:1" : "4:dflt");
    EXPECT_EQ(WritePrivateProfileString("S", "k", "new", f.c_str()), r.readable);
    const char data[] = "k=new\0";
    EXPECT_EQ(WritePrivateProfileSection("T", data, f.c_str()), r.readable);
    if (!r.readable) {
      EXPECT_EQ(readText(f), before);
    }
    faults::reset();
    if (r.thenGone) {
      ::unlink(f.c_str());
      EXPECT_TRUE(WritePrivateProfileString("S", "k", "made", f.c_str())) << "a missing file is made";
      EXPECT_EQ(readText(f), "[S]\nk=made\n\n");
      continue;
    }
    // Once the file reads again, it is read and every write keeps what it held.
    EXPECT_EQ(getString("S", "keep", f), "1:1");
    ASSERT_TRUE(WritePrivateProfileString("S", "k", "newer", f.c_str()));
    EXPECT_EQ(getString("S", "keep", f), "1:1");
    EXPECT_EQ(getString("S", "k", f), "5:newer");
  }
  faults::Scope scope;
  const std::string missing = dir.file("missing.ini");
  faults::fail(Call::Open, ENOENT, missing);
  EXPECT_TRUE(WritePrivateProfileString("S", "k", "v", missing.c_str())) << "a missing file is made";
}

}  // namespace
