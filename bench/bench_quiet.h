#pragma once
// Standard output sent to /dev/null while it lives: without a log file the editor's start-up
// prints its notice there, and it does not belong in a benchmark's report.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

class QuietStdout {
public:
  QuietStdout() {
    std::fflush(stdout);
    mSaved = dup(1);
    mQuiet = open("/dev/null", O_WRONLY);
    dup2(mQuiet, 1);
  }
  ~QuietStdout() {
    std::fflush(stdout);
    dup2(mSaved, 1);
    close(mSaved);
    close(mQuiet);
  }
  QuietStdout(const QuietStdout&) = delete;
  QuietStdout& operator=(const QuietStdout&) = delete;

private:
  int mSaved = -1, mQuiet = -1;
};
