// The built bundle under the stand-in host: the log of an open, a rate change and a reset, and
// fifty opens and closes over a library of several banks.
#include "support/bankgen.h"
#include "support/tempdir.h"
#include "support/testpaths.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>

TEST(ControllerHost, TheOpenRateAndResetAreLoggedAndFiftyCyclesOverALibraryEndCleanly)
{
    testsupport::TempDir data;
    testsupport::writeFile(data.file("QOR Editor LOG.txt"), "left from an earlier run\n");
    auto run = [&data](const std::string& commands) {
        const std::string& b = testsupport::binaryDir();
        // One port system: after a failed ALSA-then-JACK fallback, LeakSanitizer's exit scan
        // trips over a stale dynamic-TLS record (a limit of the sanitizer, not a leak).
        std::string out, cmd = "QOR_MIDI_API=jack QOR_DATA_FOLDER='" + data.path + "' " + b +
                               "/tools/qor-host/qor-host --bundle " + b + "/QOR.component '" + commands + "' 2>&1";
        FILE* p = popen(cmd.c_str(), "r");
        char buf[4096];
        for (size_t n; p && (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
        EXPECT_TRUE(p && pclose(p) == 0) << out;
        EXPECT_EQ(out.find("Sanitizer"), std::string::npos) << out;
        return out;
    };
    run("open; rate 44100.5; reset; close");
    const std::string rate = "RESET: Host sample rate ", version = "RESET: plug-in v1.0.9";
    EXPECT_EQ(
        bankgen::logTexts(data.file("QOR Editor LOG.txt")),
        (std::vector<std::string>{
            "INITIALIZATION STARTED!", "Data folder located at " + data.path + "/", "PATCH MANAGER INITIALIZED...",
            "PATCH LIBRARIAN INITIALIZED...", "PLUGIN IS NOT ABLE TO FIND PATCHES FOLDER...",
            "PATCH LIBRARIAN COMPLETED LOADING SINGLES...", "STARTING USER INTERFACE CONFIGURATION...",
            "USER INTERFACE CONFIGURATION COMPLETED... BUILDING UI", "Layers attached...", "Control set 1 attached",
            "Librarian menus attached", "Control set 2 attached... Resetting", rate + "44100Hz", version,
            "Plug-in is ready to load!", rate + "44100.5Hz", version, rate + "44100.5Hz", version}));

    ASSERT_EQ(mkdir(data.file("Patches").c_str(), 0755), 0);
    for (uint32_t i = 1; i <= 4; ++i)
        testsupport::writeFile(data.file("Patches/Bank " + std::to_string(i) + ".syx"),
                               bankgen::rawFile(bankgen::messagesOf(bankgen::makeBank(bankgen::Kind::Programs, 0x20, 128, i))));
    std::string commands;
    for (int i = 0; i < 50; ++i) commands += "open; close; ";
    std::string out = run(commands);
    size_t closes = 0;
    for (size_t at = 0; (at = out.find("close: 0\n", at)) != std::string::npos; ++at) ++closes;
    EXPECT_EQ(closes, 50u);
}
