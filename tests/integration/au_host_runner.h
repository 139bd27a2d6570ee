#pragma once
// Runs the stand-in host on the built bundle with a script and keeps what it printed.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "support/testpaths.h"

struct HostRun {
    std::string out;
    int exitCode = -1;
    bool Has(const std::string& line) const
    {
        std::istringstream in(out);
        for (std::string l; std::getline(in, l);)
            if (l == line) return true;
        return false;
    }
    // Lines in order of appearance starting with prefix.
    std::vector<std::string> Starting(const std::string& prefix) const
    {
        std::vector<std::string> found;
        std::istringstream in(out);
        for (std::string l; std::getline(in, l);)
            if (l.compare(0, prefix.size(), prefix) == 0) found.push_back(l);
        return found;
    }
    // The line after the first line equal to `line`, or "".
    std::string After(const std::string& line) const
    {
        std::istringstream in(out);
        for (std::string l; std::getline(in, l);)
            if (l == line) return std::getline(in, l) ? l : std::string();
        return {};
    }
};

// env is prefixed to the command ("NAME=value"), flags go before the script.
inline HostRun RunHost(const std::string& script, const std::string& env = "", const std::string& flags = "")
{
    char path[] = "/tmp/qor_host_script_XXXXXX";
    int fd = mkstemp(path);
    EXPECT_GE(fd, 0);
    if (fd >= 0) {
        EXPECT_EQ(write(fd, script.data(), script.size()), ssize_t(script.size()));
        close(fd);
    }
    const std::string& build = testsupport::binaryDir();
    std::string cmd = env + " " + build + "/tools/qor-host/qor-host --bundle " + build + 
                      "/tests/QORStandin.component " + flags + " --script " + path + " 2>&1";
    HostRun run;
    FILE* p = popen(cmd.c_str(), "r");
    EXPECT_NE(p, nullptr);
    if (p) {
        std::array<char, 4096> buf;
        size_t n;
        while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) run.out.append(buf.data(), n);
        int status = pclose(p);
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    unlink(path);
    return run;
}
