// The data type switch of the bundle's librarian in the stand-in host: a pattern bank chosen in
// the upper folder menu is shown again, named and checked, after the data type went to programs
// and back.
#include "host_script_support.h"
#include "librarian_mode_support.h"
#include "support/tempdir.h"
#include "support/testpaths.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>

using hostscript::printed;
using hostscript::printedParam;

TEST(LibrarianDispatchHostJack, APatternBankChosenAboveComesBackAfterProgramsAndBack)
{
    using bankgen::Kind;
    testsupport::TempDir dir;
    mkdir(dir.file("Patches").c_str(), 0755);
    testsupport::writeFile(dir.file("Patches/A.syx"), librarianmode::rawBank(Kind::Programs, 1));
    testsupport::writeFile(dir.file("Patches/T1.syx"), librarianmode::rawBank(Kind::Patterns, 2));
    testsupport::writeFile(dir.file("Patches/T2.syx"), librarianmode::rawBank(Kind::Patterns, 3));
    const std::string out = dir.file("host.txt");
    FILE* host = hostscript::startHost(dir, out);
    ASSERT_NE(host, nullptr);
    const std::string shots = testsupport::binaryDir() + "/tests/librarian_dispatch_host";
    mkdir(shots.c_str(), 0755);

    // The librarian page with patterns; the second pattern bank chosen in the upper strip's menu.
    hostscript::send(host, "open\neditor-open\nsetparam 5118 1\nsetparam 5112 2\ntick 2\nmenu-next 1\n"
                           "click 500 196\ntick 2\ngetparam 5114\nscreenshot " +
                               shots + "/chosen.png\n");
    EXPECT_EQ(printedParam(out, 5114, 1), 1);
    // Programs, then patterns again: the bank list, the menu's check and the grid come back.
    hostscript::send(host, "setparam 5112 0\ntick 2\nscreenshot " + shots +
                               "/programs.png\nsetparam 5112 2\ntick 2\ngetparam 5114\nscreenshot " + shots +
                               "/again.png\nmenu-next dismiss\nclick 500 196\ntick 2\n");
    EXPECT_EQ(printedParam(out, 5114, 2), 1);
    const std::string menu = printed(out, "menu: ", 2);
    EXPECT_NE(menu.find("*T2.syx"), std::string::npos) << menu;
    EXPECT_EQ(menu.find("*T1.syx"), std::string::npos) << menu;
    ASSERT_NE(printed(out, "screenshot: ", 3), "");
    EXPECT_EQ(testsupport::readFile(shots + "/chosen.png"), testsupport::readFile(shots + "/again.png"));
    EXPECT_NE(testsupport::readFile(shots + "/chosen.png"), testsupport::readFile(shots + "/programs.png"));

    hostscript::send(host, "editor-close\nclose\n");
    EXPECT_EQ(pclose(host), 0);
}
