// Profile files written from four threads while another process reads them.
#include "kit/wapi/wapi-ini.h"

#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kThreads = 4, kWrites = 60, kPad = 600;

TEST(IniThreads, EveryReadOfAnotherProcessSeesAWholeFile) {
  testsupport::TempDir dir("qor_ini");
  const std::string f = dir.file("shared.ini");
  ASSERT_TRUE(WritePrivateProfileString("zz", "end", "1", f.c_str()));
  const std::string done = dir.file("done");

  pid_t pid = fork();  // before any thread starts
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    // A torn file would lose its last section or cut a value short.
    int reads = 0, bad = 0;
    std::vector<char> buf(4096);
    while (::access(done.c_str(), F_OK) != 0 || reads < 10) {
      ++reads;
      if (GetPrivateProfileInt("zz", "end", 0, f.c_str()) != 1) ++bad;
      for (int t = 0; t < kThreads; ++t) {
        std::string sec = "t" + std::to_string(t);
        int n = GetPrivateProfileString(sec.c_str(), "pad", "", buf.data(), int(buf.size()), f.c_str());
        if (n != 0 && n != kPad) ++bad;
      }
    }
    _exit(bad == 0 ? 0 : 1);
  }

  std::vector<std::thread> writers;
  std::vector<int> failures(kThreads, 0);
  for (int t = 0; t < kThreads; ++t)
    writers.emplace_back([&, t] {
      std::string sec = "t" + std::to_string(t);
      for (int i = 0; i < kWrites; ++i) {
        std::string pad(kPad, char('a' + i % 26));
        if (!WritePrivateProfileString(sec.c_str(), "pad", pad.c_str(), f.c_str())) ++failures[size_t(t)];
        if (!WritePrivateProfileString(sec.c_str(), "n", std::to_string(i).c_str(), f.c_str())) ++failures[size_t(t)];
      }
    });
  for (auto& w : writers) w.join();
  testsupport::writeFile(done, std::string("1"));
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(failures, std::vector<int>(kThreads, 0));
  for (int t = 0; t < kThreads; ++t) {
    std::string sec = "t" + std::to_string(t);
    EXPECT_EQ(GetPrivateProfileInt(sec.c_str(), "n", -1, f.c_str()), kWrites - 1);
  }
  EXPECT_EQ(dir.list(), (std::vector<std::string>{"done", "shared.ini"}));
}

}  // namespace
