// The controller's librarian operations over a generated library: the bank-list texts, the mode
// change and the import of patch files.
#include "Project_Source/src/PatchFile.h"
#include "Project_Source/src/PatchLibrarian.h"
#include "Project_Source/src/QOR.h"
#include "Project_Source/src/QORParams.h"
#include "kit/plugin/IGraphics.h"
#include "platform/CoreFoundation/CFPresenter.h"
#include "controller_editor_support.h"
#include "support/bankgen.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

using namespace qorid;
using bankgen::Bytes;
using bankgen::Kind;
using editortest::Editor;

namespace
{

Bytes rawBank(Kind kind, uint32_t seed)
{
    return bankgen::rawFile(bankgen::messagesOf(bankgen::makeBank(kind, 0x20, 128, seed)));
}

// Every bank-list parameter, in the order of a reset.
std::vector<int> allBankLists()
{
    std::vector<int> ids{kPatchSelectionListUpper, kPatchSelectionListLower};
    for (int p = 0; p < 8; ++p) {
        ids.push_back(kCurrentOpenPatchBankL + p);
        ids.push_back(kCurrentOpenPatchBankR + p);
    }
    ids.push_back(kCurrentOpenPerfBankL);
    ids.push_back(kCurrentOpenPerfBankR);
    return ids;
}

std::vector<std::string> textsOf(const IParam* param)
{
    std::vector<std::string> texts;
    for (int i = 0; i < param->GetNDisplayTexts(); ++i) texts.push_back(param->GetDisplayText(i));
    return texts;
}

std::vector<std::string> fileNames(const std::vector<PatchFile*>& banks)
{
    std::vector<std::string> names;
    for (const PatchFile* bank : banks) names.push_back(bank->fileName);
    return names;
}

const std::string kRenamedTail = " Because the filename was too long to fit in plug-in display!";

} // namespace

TEST(LibrarianMenus, TheRebuildShowsTheStartUpTextsOnEveryProgramListAndLogsEachShortNameOnce)
{
    const std::string p(47, 'P'), q(47, 'Q');
    const struct {
        std::string file, shown;
    } names[] = {
        // In the scan's byte order.
        {std::string(48, 'A') + ".syx", std::string(48, 'A') + ".syx"},   // 52: whole
        {std::string(49, 'B') + ".syx", std::string(47, 'B') + "~1.syx"}, // 53: cut
        {p + "1xxxxxxxx.SYX", p + "~1.syx"},
        {p + "2.syx", p + "2.syx"}, // a short name between does not restart the count
        {p + "3xxxxxxxx.mid", p + "~2.mid"},
        {q + "1zzzzzzzz.syx", q + "~1.syx"},
    };
    std::vector<std::pair<std::string, Bytes>> banks;
    for (uint32_t i = 0; i < std::size(names); ++i) banks.push_back({names[i].file, rawBank(Kind::Programs, i + 1)});
    Editor e(nullptr, true, banks);
    QOR& plug = *e.plug;
    std::vector<std::string> shown;
    for (const auto& n : names) shown.push_back(n.shown);
    ASSERT_EQ(textsOf(plug.GetParam(kPatchSelectionListUpper)), shown);

    for (int id : allBankLists()) plug.GetParam(id)->ResetDisplayTexts();
    const size_t logged = e.log().size();
    plug.rebuildBankListTexts(QOR::kBankListPrograms);
    for (int id : allBankLists()) {
        const bool fed = id != kCurrentOpenPerfBankL && id != kCurrentOpenPerfBankR;
        EXPECT_EQ(textsOf(plug.GetParam(id)), fed ? shown : std::vector<std::string>{}) << id;
    }
    std::vector<std::string> renamed;
    for (const auto& n : names)
        if (n.file != n.shown)
            renamed.push_back("PATCH LIBRARIAN: Filename " + n.file + " RENAMED TO " + n.shown + kRenamedTail);
    const std::vector<std::string> log = e.log();
    EXPECT_EQ(std::vector<std::string>(log.begin() + long(logged), log.end()), renamed);
}

TEST(LibrarianMenus, EachListFeedsExactlyItsBankListParameters)
{
    Editor e(nullptr, false,
             {{"progs.syx", rawBank(Kind::Programs, 1)},
              {"perf.syx", rawBank(Kind::Performances, 2)},
              {"pat.syx", rawBank(Kind::Patterns, 3)}});
    QOR& plug = *e.plug;
    PatchLibrarian& lib = *plug.patchLibrarian;
    lib.createNewSearchPatchFiles("Gen");
    const struct {
        int list;
        std::vector<PatchFile*>* banks;
        bool upper, perPart, performance; // the lower list and the right per-part lists always
    } rows[] = {
        {QOR::kBankListPrograms, &lib.singleFiles, true, true, false},
        {QOR::kBankListCategories, &lib.categoryFiles, false, false, false},
        {QOR::kBankListPerformances, &lib.multiFiles, true, false, true},
        {QOR::kBankListPatterns, &lib.patternFiles, true, true, false},
        {QOR::kBankListSearchResults, &lib.searchFiles, false, false, false},
    };
    for (const auto& row : rows) {
        ASSERT_FALSE(row.banks->empty()) << row.list;
        for (int id : allBankLists()) plug.GetParam(id)->ResetDisplayTexts();
        plug.rebuildBankListTexts(row.list);
        const std::vector<std::string> names = fileNames(*row.banks);
        auto expect = [&](int id, bool fed) {
            EXPECT_EQ(textsOf(plug.GetParam(id)), fed ? names : std::vector<std::string>{})
                << "list " << row.list << " parameter " << id;
        };
        expect(kPatchSelectionListUpper, row.upper);
        expect(kPatchSelectionListLower, true);
        for (int p = 0; p < 8; ++p) {
            expect(kCurrentOpenPatchBankL + p, row.perPart);
            expect(kCurrentOpenPatchBankR + p, !row.performance);
        }
        expect(kCurrentOpenPerfBankL, row.performance);
        expect(kCurrentOpenPerfBankR, row.performance);
    }
    // No such list: nothing changes.
    plug.rebuildBankListTexts(5);
    plug.rebuildBankListTexts(-1);
    EXPECT_EQ(textsOf(plug.GetParam(kCurrentOpenPatchBankR)), fileNames(lib.searchFiles));
}

// ---- import ----

namespace
{

struct Import : testing::Test {
    Import()
    {
        mkdir(source.path.c_str(), 0755);
        mOld = cf_standin::setPresenter(&script);
        e.plug->GetGUI()->OpenWindow(nullptr);
    }
    ~Import() override
    {
        e.plug->GetGUI()->CloseWindow();
        cf_standin::setPresenter(mOld);
    }
    // Imports the file the panel answers with (empty: cancel); what saveImportedFile answered.
    bool importAs(const std::string& answer, bool mid = false)
    {
        script.panelAnswers = {answer};
        return e.plug->saveImportedFile(mid);
    }
    std::string root() const { return e.dir.file("Patches"); }
    // The library root's files, in name order.
    std::vector<std::string> rootFiles() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(root())) names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::vector<std::string> newLog(size_t from) const
    {
        const std::vector<std::string> log = e.log();
        return std::vector<std::string>(log.begin() + long(std::min(from, log.size())), log.end());
    }

    testsupport::TempDir source;
    Editor e{nullptr, true, {{"Old.syx", rawBank(Kind::Programs, 1)}}};
    cf_standin::Presenter script;
    cf_standin::Presenter* mOld = nullptr;
};

} // namespace

TEST_F(Import, AChosenFileBecomesAByteExactCopyUnderAFreeNameInTheLibraryRoot)
{
    const Bytes bank = rawBank(Kind::Programs, 5), other = rawBank(Kind::Programs, 6);
    bankgen::writeFile(source.file("My Bank.syx"), bank);
    bankgen::writeFile(source.file("Empty.syx"), Bytes{});
    bankgen::writeFile(root() + "/Taken.syx", other);
    bankgen::writeFile(source.file("Taken.syx"), bank);
    const size_t logged = e.log().size();

    EXPECT_TRUE(importAs(source.file("My Bank.syx")));
    EXPECT_EQ(bankgen::readFile(root() + "/My Bank.syx"), bank);
    EXPECT_TRUE(importAs(source.file("Empty.syx")));
    EXPECT_EQ(bankgen::readFile(root() + "/Empty.syx"), Bytes{});
    // A name the library holds already: the old file stays, the copy takes the next free name.
    EXPECT_TRUE(importAs(source.file("Taken.syx")));
    EXPECT_EQ(bankgen::readFile(root() + "/Taken.syx"), other);
    EXPECT_EQ(bankgen::readFile(root() + "/Taken (2).syx"), bank);
    EXPECT_EQ(newLog(logged), std::vector<std::string>(3, "FILE IMPORTER: patch file copied to " + root()));

    // Only the kind asked for is offered, starting where the last panel ended.
    ASSERT_EQ(script.panels.size(), 3u);
    EXPECT_FALSE(script.panels[0].save);
    EXPECT_EQ(script.panels[0].fileTypes, std::vector<std::string>{"syx"});
    EXPECT_EQ(script.panels[1].directory, source.path + "/");
    importAs("", true);
    EXPECT_EQ(script.panels.back().fileTypes, std::vector<std::string>{"mid"});

    // Not rescanned: the library lists only what its last scan found.
    EXPECT_EQ(fileNames(e.plug->patchLibrarian->singleFiles), std::vector<std::string>{"Old.syx"});
}

TEST_F(Import, ACancelOrAFailureLeavesTheLibraryAsItWasAndSaysWhy)
{
    const Bytes bank = rawBank(Kind::Programs, 5);
    bankgen::writeFile(source.file("Big.syx"), bank);
    const std::vector<std::string> before = rootFiles();
    const size_t logged = e.log().size();

    EXPECT_FALSE(importAs(""));
    EXPECT_TRUE(newLog(logged).empty());
    EXPECT_FALSE(importAs(source.file("Gone.syx")));
    EXPECT_FALSE(importAs(source.path)); // a folder
    {
        bankgen::FileSizeLimit limit(bank.size() - 1); // the copy cannot be written, the log can
        EXPECT_FALSE(importAs(source.file("Big.syx")));
    }
    EXPECT_EQ(rootFiles(), before);
    EXPECT_EQ(newLog(logged),
              (std::vector<std::string>{
                  "FILE IMPORTER: cannot read " + source.file("Gone.syx") + ": No such file or directory",
                  "FILE IMPORTER: cannot read " + source.path + ": not a regular file",
                  "FILE IMPORTER: cannot write " + root() + "/Big.syx: File too large",
              }));
}
