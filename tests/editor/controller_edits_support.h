#pragma once
// The configured controller wired to the in-process synthesizer, with the simulator's record in
// a file: an edit goes through OnParamChange, and the record says what reached the synthesizer.
#include "Project_Source/src/QORParams.h"
#include "kit/kitstring.h"
#include "kit/plugin/IControl.h"
#include "kit/plugin/IParam.h"
#include "support/insynth.h"
#include "support/tempdir.h"
#include "support/testpaths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace editstest
{

struct Wired {
    Wired()
    {
        setenv("QOR_DATA_FOLDER", dir.path.c_str(), 1);
        setenv("QOR_BUNDLE_PATH", (testsupport::binaryDir() + "/QOR.component").c_str(), 1);
        synthsim::Options options;
        options.recordPath = dir.file("record.txt");
        testing::internal::CaptureStdout();
        plug = std::make_unique<testsupport::InSynthQOR>(options);
        std::string error;
        started = plug->session.start(error);
        testing::internal::GetCapturedStdout();
        unsetenv("QOR_BUNDLE_PATH");
        // The simulator's device id 9 is its global channel; an output device is chosen.
        set(qorid::kGlobalMidiChannel, 9);
        set(qorid::kDeviceID_old, 9);
        plug->deviceId = 9;
        set(qorid::kDeviceOutSelection, 1);
    }
    ~Wired() { plug.reset(); }

    void set(int id, double value) { plug->GetParam(id)->Set(value); }
    // One edit as the editor makes it, with what it printed dropped.
    void edit(int id, double value)
    {
        set(id, value);
        testing::internal::CaptureStdout();
        plug->OnParamChange(id);
        printed += testing::internal::GetCapturedStdout();
    }
    // The record's lines of messages that reached the synthesizer since the last call, each as
    // "<hex> # <note>"; times holds their seconds.
    std::vector<std::string> arrived()
    {
        times.clear();
        plug->session.output().drain();
        std::ifstream in(dir.file("record.txt"));
        std::vector<std::string> lines;
        std::string line;
        for (long n = 0; std::getline(in, line); ++n) {
            if (n < seen) continue;
            ++seen;
            const size_t at = line.find(" in ");
            if (at == std::string::npos) continue;
            lines.push_back(line.substr(at + 4));
            times.push_back(std::atof(line.c_str()));
        }
        return lines;
    }
    std::string text(ITextControl* control) const
    {
        KIT_String s("", 0, 256);
        if (control) control->GetTextCopy(&s);
        return s.Get();
    }

    testsupport::TempDir dir;
    std::unique_ptr<testsupport::InSynthQOR> plug;
    bool started = false;
    std::string printed;
    long seen = 0;
    std::vector<double> times;
};

} // namespace editstest
