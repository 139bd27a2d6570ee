#pragma once
// The synthesizer simulator on the private JACK server with its record, and the configured editor
// built in process joined to it, its window open so that menus pop up through the presenter.
#include "controller_editor_support.h"
#include "librarian_menus_support.h"
#include "sim_jack_support.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace simjack
{

struct EditorRig {
    // name: the simulator's client name, made unique to the process; options: more of its
    // options; banks: library files of the editor; beforeConnect: set-up ahead of the ports.
    explicit EditorRig(const std::string& name, const std::vector<std::string>& options = {},
                       const std::vector<std::pair<std::string, bankgen::Bytes>>& banks = {},
                       const std::function<void(QOR&)>& beforeConnect = {})
    {
        std::vector<std::string> args = {"--name", name + std::to_string(::getpid()), "--record", record, "--device-id",
                                         "15"};
        args.insert(args.end(), options.begin(), options.end());
        std::string error;
        started = sim.start(SYNTH_SIM_EXE, args, error);
        EXPECT_TRUE(started) << error;
        if (!started) return;
        e = std::make_unique<editortest::Editor>("a\nnormal\nyes\n\n\n", true, banks);
        QOR& q = *e->plug;
        if (beforeConnect) beforeConnect(q);
        connect(q, sim);
        EXPECT_TRUE(q.midiIOSet);
        EXPECT_TRUE(waitIdle(q));
        editor = std::make_unique<menutest::OpenEditor>(q);
    }
    ~EditorRig()
    {
        if (e) e->plug->midiManager->stopAndJoin();
        editor.reset();
        if (started) sim.stop();
    }
    EditorRig(const EditorRig&) = delete;
    EditorRig& operator=(const EditorRig&) = delete;

    testsupport::TempDir simDir;
    std::string record = simDir.file("record.txt");
    synthsim::SimProcess sim;
    bool started = false;
    std::unique_ptr<editortest::Editor> e;
    std::unique_ptr<menutest::OpenEditor> editor;
    size_t seen = 0;
};

} // namespace simjack
