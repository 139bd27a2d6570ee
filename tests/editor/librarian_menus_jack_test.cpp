// The header's program and bank menus of the editor built in process, answered through its open
// window, against the synthesizer simulator on the private JACK server.
#include "Project_Source/src/LibrarianNumberMenus.h"
#include "Project_Source/src/LibrarianViewControl.h"
#include "Project_Source/src/ProgramDump.h"
#include "sim_editor_rig.h"

#include <gtest/gtest.h>
#include <unistd.h>

using namespace qorid;
using Bytes = std::vector<uint8_t>;

namespace
{

struct Rig : simjack::EditorRig {
    explicit Rig(const std::vector<std::pair<std::string, bankgen::Bytes>>& banks = {})
        : simjack::EditorRig("libmenus", {}, banks)
    {
        if (e) e->plug->selectedPart = 2;
    }
    // What reached the simulator since the last call once the job thread is idle.
    std::vector<synthsim::RecordLine> arrived()
    {
        EXPECT_TRUE(simjack::waitIdle(*e->plug));
        usleep(200 * 1000); // the last messages cross the server
        return simjack::arrived(record, seen);
    }
    static std::vector<Bytes> bytesOf(const std::vector<synthsim::RecordLine>& lines)
    {
        std::vector<Bytes> out;
        for (const auto& l : lines) out.push_back(l.bytes);
        return out;
    }
};

} // namespace

TEST(LibrarianMenusJack, WithoutTheBankSwitchProgram123SelectsThePartAfterwards)
{
    Rig r;
    ASSERT_TRUE(r.started);
    QOR& q = *r.e->plug;
    q.progBankMode = false;
    r.arrived();
    r.editor->answer({12, 3});
    testing::internal::CaptureStdout();
    q.programNumberMenu->OnMouseDown(1190, 70, nullptr);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(Rig::bytesOf(r.arrived()), (std::vector<Bytes>{{0xB2, 0x7B, 0x00},
                                                           {0xB2, 0x00, 0x00},
                                                           {0xB2, 0x20, 0x05},
                                                           {0xC2, 0x7B},
                                                           {0xBF, 0x62, 0x71},
                                                           {0xBF, 0x06, 0x4E}}));
}

TEST(LibrarianMenusJack, InPerformanceModeBankCGoesOutOnTheGlobalChannelWithoutARequest)
{
    Rig r;
    ASSERT_TRUE(r.started);
    QOR& q = *r.e->plug;
    q.performanceMode = true;
    q.bankNumberMenu->refreshPatchNames(nullptr, nullptr, 0);
    r.arrived();
    r.editor->answer({2});
    testing::internal::CaptureStdout();
    q.bankNumberMenu->OnMouseDown(1150, 70, nullptr);
    testing::internal::GetCapturedStdout();
    const auto lines = r.arrived();
    EXPECT_EQ(Rig::bytesOf(lines),
              (std::vector<Bytes>{{0xBF, 0x7B, 0x00}, {0xBF, 0x00, 0x00}, {0xBF, 0x20, 0x62}, {0xCF, 0x00}}));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().note, "program change: performance bank C slot 0");
}

TEST(LibrarianMenusJack, InLibraryControlModeProgram123SendsTheUpperSlotsEntryToThePart)
{
    const bankgen::Bank bank = bankgen::makeBank(bankgen::Kind::Programs, 0x20, 128, 5);
    Rig r({{"Bank.syx", bankgen::rawFile(bankgen::messagesOf(bank))}});
    ASSERT_TRUE(r.started);
    QOR& q = *r.e->plug;
    ASSERT_EQ(q.patchLibrarian->singleFiles.size(), 1u);
    q.libraryControlMode = true;
    q.programNumberMenu->refreshPatchNames(nullptr, nullptr, 0);
    r.arrived();
    r.editor->answer({12, 3});
    testing::internal::CaptureStdout();
    q.programNumberMenu->OnMouseDown(1190, 70, nullptr);
    testing::internal::GetCapturedStdout();
    EXPECT_NE(r.editor->lastMenu().find(bank.names[123].substr(0, 11)), std::string::npos) << r.editor->lastMenu();
    EXPECT_EQ(q.patchLibrarian->upperSlot, 123);
    EXPECT_EQ(q.librarianView->upperSelection.load(), 123);
    const auto lines = r.arrived();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].note, "stored into part 3 edit buffer");
    ASSERT_EQ(lines[0].bytes.size(), size_t(ProgramDump::kSize));
    const auto name = lines[0].bytes.begin() + ProgramDump::kNameAt;
    EXPECT_EQ(std::string(name, name + 11), bank.names[123].substr(0, 11));
}
