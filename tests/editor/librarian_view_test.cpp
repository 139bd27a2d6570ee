// The librarian's slot grid: its cells at each scale, reloads, drawing, keys and the mouse, and
// entries dragged, copied and pasted into the edited bank.
#include "Project_Source/src/CustomOverlayControl.h"
#include "Project_Source/src/QORParams.h"
#include "kit/kitstring.h"
#include "kit/plugin/IGraphicsLayer.h"
#include "kit/plugin/IParam.h"
#include "kit/raster/rast_bitmap.h"
#include "librarian_view_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

using namespace qorid;

namespace
{

using namespace gridtest;

// Whether a sent message carries the entry name followed by a blank.
bool carries(const Bytes& message, const std::string& name)
{
    const std::string text(message.begin(), message.end());
    return text.find(name + " ") != std::string::npos;
}

std::string status(const Grid& g)
{
    KIT_String text("", 0, 128);
    if (g.plug->statusDisplay) g.plug->statusDisplay->GetTextCopy(&text);
    return text.Get();
}

void dataType(Grid& g, int type)
{
    g.plug->GetParam(kDatatype)->Set(type);
    g.plug->OnParamChange(kDatatype);
}

} // namespace

TEST(LibrarianView, CellsFollowTheScale)
{
    struct Case {
        double scale;
        std::vector<int> upperFirst, upperLast, secondColumn, lowerFirst, marker;
    };
    const int x = 40, y = 30;
    const Case cases[] = {
        {1.0, {40, 31, 145, 45}, {971, 241, 1076, 255}, {173, 31, 278, 45}, {40, 304, 145, 318}, {105, 14}},
        {0.85,
         {40, 31, 130, 43},
         {40 + 7 * 113, 31 + 15 * 12, 130 + 7 * 113, 43 + 15 * 12},
         {153, 31, 243, 43},
         {40, 264, 130, 276},
         {89, 11}},
        {1.15,
         {40, 32, 161, 48},
         {40 + 7 * 153, 32 + 15 * 16, 161 + 7 * 153, 48 + 15 * 16},
         {193, 32, 314, 48},
         {40, 346, 161, 362},
         {120, 16}},
    };
    for (const Case& c : cases) {
        IBitmap background(nullptr, 1100, 560);
        LibrarianViewControl grid(nullptr, x, y, kLibrarianArea, &background, IRECT(x, y, x + 1100, y + 560), nullptr,
                                  c.scale);
        const std::string at = "scale " + std::to_string(c.scale);
        EXPECT_EQ(rectOf(grid.cellRect(kUpper, 0)), c.upperFirst) << at;
        EXPECT_EQ(rectOf(grid.cellRect(kUpper, 127)), c.upperLast) << at;
        EXPECT_EQ(rectOf(grid.cellRect(kUpper, 16)), c.secondColumn) << at;
        EXPECT_EQ(rectOf(grid.cellRect(kLower, 0)), c.lowerFirst) << at;
        EXPECT_EQ((std::vector<int>{grid.cellWidth, grid.rowHeight}), c.marker) << at;
        // Left and top edges belong to a cell, right and bottom ones to the next.
        const IRECT r = grid.cellRect(kLower, 17);
        EXPECT_EQ(grid.hitSlot(kLower, r.L, r.T), 17) << at;
        EXPECT_EQ(grid.hitSlot(kLower, r.L, r.B), 18) << at;
        EXPECT_EQ(grid.hitSlot(kLower, r.R, r.T), -1) << at;
        EXPECT_EQ(grid.hitSlot(kUpper, r.L, r.T), -1) << at;
        // No library: the cells stay empty.
        EXPECT_EQ(grid.cellText(kUpper, 0), "") << at;
    }
}

TEST(LibrarianView, ReloadShowsTheBankNamesAndEmptiesAPaneWithoutABank)
{
    Grid g;
    g.addBank(g.lib().singleFiles, "U", 128);
    g.addBank(g.lib().singleFiles, "Short", 100);
    g.show(0, 1);
    EXPECT_EQ(g.grid().cellText(kUpper, 127), "U127");
    EXPECT_EQ(g.grid().cellText(kLower, 99), "Short99");
    int empty = 0;
    for (int i = 0; i < 128; ++i) empty += g.grid().cellText(kLower, i).empty();
    EXPECT_EQ(empty, 28);
    // An index past the list's end, or a data type without banks: no bank, and no names of
    // another bank's.
    g.show(7, 7);
    EXPECT_EQ(g.grid().cellText(kUpper, 5), "");
    EXPECT_EQ(g.grid().cellText(kLower, 5), "");
    for (int type : {1, 2}) {
        dataType(g, 0);
        g.show(0, 1);
        ASSERT_EQ(g.grid().cellText(kUpper, 5), "U5");
        dataType(g, type);
        EXPECT_EQ(g.grid().cellText(kUpper, 5), "") << type;
        EXPECT_EQ(g.grid().cellText(kLower, 5), "") << type;
    }
    dataType(g, 0);
    // The category list replaces the lower pane's source.
    g.plug->categoryListShown = true;
    g.addBank(g.lib().categoryFiles, "Bass", 3);
    g.show(0, 0);
    EXPECT_EQ(g.grid().cellText(kLower, 2), "Bass2");
    EXPECT_EQ(g.grid().cellText(kLower, 3), "");
}

TEST(LibrarianView, DrawHighlightsTheSelectedCellOfEachPane)
{
    Grid g;
    g.twoBanks();
    IGraphics* gfx = g.surface();
    ASSERT_NE(gfx, nullptr);
    RAST_IBitmap* bits = gfx->GetDrawBitmap();
    auto pixel = [&](int px, int py) { return bits->getBits()[py * bits->getRowSpan() + px]; };
    const RAST_PixelValue fill = 0xFF | 225u << 8 | 225u << 16 | 225u << 24;
    g.grid().upperSelection = 3;
    g.grid().lowerSelection = 40;
    g.grid().Draw(gfx);
    for (auto [pane, slot, selected] :
         {std::tuple<Pane, int, bool>{kUpper, 3, true}, {kUpper, 4, false}, {kLower, 40, true}, {kLower, 3, false}}) {
        const IRECT r = g.grid().cellRect(pane, slot);
        EXPECT_EQ(pixel(r.R - 2, r.T + 1) == fill, selected) << pane << " " << slot;
    }
    // The selected name is black on the fill; every other name stays white, the selected one too
    // once the selection moves on.
    auto inks = [&](Pane pane, int slot) {
        const IRECT r = g.grid().cellRect(pane, slot);
        int black = 0, white = 0;
        for (int py = r.T; py < r.B; ++py)
            for (int px = r.L; px < r.R; ++px) {
                const RAST_PixelValue p = pixel(px, py);
                const int red = int(p >> 8 & 0xFF), green = int(p >> 16 & 0xFF), blue = int(p >> 24 & 0xFF);
                black += std::max({red, green, blue}) < 64;
                white += std::min({red, green, blue}) > 240;
            }
        return std::make_pair(black, white);
    };
    for (auto [pane, slot] : {std::pair<Pane, int>{kUpper, 3}, {kLower, 40}}) {
        const auto [black, white] = inks(pane, slot);
        EXPECT_GT(black, 0) << pane;
        EXPECT_EQ(white, 0) << pane;
    }
    g.grid().upperSelection = 4;
    g.grid().Draw(gfx);
    EXPECT_GT(inks(kUpper, 3).second, 0);
    EXPECT_GT(inks(kUpper, 4).first, 0);
    // Selections outside the panes draw no highlight, and the drag marker only while dragging.
    g.grid().upperSelection = 500;
    g.grid().lowerSelection = -1;
    g.grid().dragMarker = IRECT(1, 1, 20, 10);
    for (int row = 0; row < bits->getHeight(); ++row)
        std::fill_n(bits->getBits() + row * bits->getRowSpan(), bits->getWidth(), RAST_PixelValue(0));
    g.grid().Draw(gfx);
    const IRECT r = g.grid().cellRect(kUpper, 3);
    EXPECT_NE(pixel(r.R - 2, r.T + 1), fill);
    EXPECT_NE(pixel(5, 5), fill);
}

TEST(LibrarianView, ArrowKeysWrapAroundThePaneAndSendEachSlot)
{
    struct Case {
        int from, key, to;
    };
    const Case cases[] = {{0, 1, 127},  {127, 2, 0}, {5, 3, 117},  {117, 4, 5}, {111, 4, 127},
                          {-1, 1, 127}, {-1, 2, 0},  {-1, 3, 111}, {-1, 4, 15}, {40, 2, 41}};
    Grid g;
    g.twoBanks();
    for (const Case& c : cases) {
        const std::string at = std::to_string(c.from) + " key " + std::to_string(c.key);
        if (c.from < 0) {
            g.click(g.outside());
        } else {
            g.click(g.at(kUpper, c.from));
        }
        EXPECT_EQ(g.grid().currentSlot, c.from) << at;
        g.sent();
        EXPECT_TRUE(g.grid().OnKeyDown(0, 0, c.key)) << at;
        EXPECT_EQ(g.grid().currentSlot, c.to) << at;
        EXPECT_EQ(g.grid().upperSelection, c.to) << at;
        EXPECT_EQ(g.librarySlots()[0], c.to) << at;
        const auto sent = g.sent();
        ASSERT_FALSE(sent.empty()) << at;
        EXPECT_TRUE(carries(sent.back(), "U" + std::to_string(c.to))) << at;
    }
    // Other keys are not the grid's.
    EXPECT_FALSE(g.grid().OnKeyDown(0, 0, 5));
    // A click in the lower pane leaves no key slot: the keys start over in that pane.
    g.click(g.at(kLower, 20));
    EXPECT_TRUE(g.grid().OnKeyDown(0, 0, 2));
    EXPECT_EQ(g.grid().lowerSelection, 0);
    EXPECT_TRUE(carries(g.sent().back(), "L0"));
    EXPECT_TRUE(g.grid().OnKeyDown(0, 0, 4));
    EXPECT_EQ(g.librarySlots()[1], 16);
    EXPECT_TRUE(carries(g.sent().back(), "L16"));
}

TEST(LibrarianView, NoHandlerMovesALibrarySlotOutOfTheBank)
{
    Grid g;
    g.twoBanks();
    g.grid().mDragEnabled = true;
    g.plug->GetParam(kDeviceOutSelection)->Set(1);
    IMouseMod left(true), right(false, true);
    const std::vector<std::pair<int, int>> points = {
        g.outside(), g.at(kUpper, 127), g.at(kLower, 0), {-5, -5}, {100000, 3}};
    struct Step {
        const char* name;
        std::function<void(int, int)> run;
    };
    auto& v = g.grid();
    const Step steps[] = {
        {"left", [&](int x, int y) { v.OnMouseDown(x, y, &left); }},
        {"right", [&](int x, int y) { v.OnMouseDown(x, y, &right); }},
        {"double", [&](int x, int y) { v.OnMouseDblClick(x, y, &left); }},
        {"drag", [&](int x, int y) { v.OnMouseDrag(x, y, 0, 0, &left); }},
        {"drop", [&](int x, int y) { v.OnMouseUp(x, y, &left); }},
        {"copy", [&](int x, int y) { v.CopySlotData(x, y); }},
        {"paste", [&](int x, int y) { v.PasteSlotData(x, y); }},
        {"rename", [&](int x, int y) { v.renameSlot(x, y); }},
        {"keys",
         [&](int, int) {
             for (int key = 1; key <= 4; ++key) v.OnKeyDown(0, 0, key);
         }},
    };
    for (const auto& p : points)
        for (const Step& s : steps) {
            s.run(p.first, p.second);
            for (int slot : g.librarySlots()) EXPECT_TRUE(slot >= 0 && slot <= 127) << s.name << " at " << p.first;
        }
    g.waitIdle();
}

TEST(LibrarianView, DropCopiesTheWholeEntryOfEveryKindAndModel)
{
    std::vector<std::pair<std::string, Bytes>> files;
    for (const bankgen::KindModel& km : bankgen::kEveryKindAndModel)
        for (const char* side : {"a", "b"}) {
            const std::string name = std::to_string(int(km.kind)) + "-" + std::to_string(km.modelByte) + side + ".syx";
            files.push_back({name, bankgen::rawFile(bankgen::messagesOf(
                                       bankgen::makeBank(km.kind, km.modelByte, 128, uint32_t(files.size() + 1))))});
        }
    Grid g(files);
    g.grid().mDragEnabled = true;
    for (const bankgen::KindModel& km : bankgen::kEveryKindAndModel) {
        const int kind = int(km.kind);
        const std::string stem = std::to_string(kind) + "-" + std::to_string(km.modelByte);
        const auto& list = kind == 0 ? g.lib().singleFiles : kind == 1 ? g.lib().multiFiles : g.lib().patternFiles;
        int a = -1, b = -1;
        for (size_t i = 0; i < list.size(); ++i) {
            if (list[i]->fileName == stem + "a.syx") a = int(i);
            if (list[i]->fileName == stem + "b.syx") b = int(i);
        }
        ASSERT_TRUE(a >= 0 && b >= 0) << stem;
        g.lib().currentKind = kind;
        g.plug->performanceMode = kind == 1;
        g.plug->patternMode = kind == 2;
        g.show(a, b);
        const auto source17 = bytesOf(g.lowerBank()->patches[17]);
        const auto source30 = bytesOf(g.lowerBank()->patches[30]);
        ASSERT_FALSE(source17.empty()) << stem;
        g.drag(g.at(kLower, 17), g.at(kUpper, 5));
        g.grid().CopySlotData(g.at(kLower, 30).first, g.at(kLower, 30).second);
        g.grid().PasteSlotData(g.at(kUpper, 9).first, g.at(kUpper, 9).second);
        EXPECT_EQ(bytesOf(g.upperBank()->patches[5]), source17) << stem;
        EXPECT_EQ(bytesOf(g.upperBank()->patches[9]), source30) << stem;
        EXPECT_EQ(g.grid().cellText(kUpper, 5), g.lowerBank()->patches[17].name) << stem;
        EXPECT_EQ(g.librarySlots(), (std::vector<int>{9, 17, 9})) << stem;
        // Saved and read again, the bank keeps both entries.
        const std::string path = g.dir.file("saved.syx");
        ASSERT_TRUE(g.lib().saveEditedPatch(path, "saved.syx")) << stem;
        const Bytes image = testsupport::readFile(path);
        PatchFile reread;
        g.lib().loadFromChunk(image.data(), int(image.size()), &reread, 0);
        ASSERT_GE(reread.patches.size(), 10u) << stem;
        EXPECT_EQ(bytesOf(reread.patches[5]), source17) << stem;
        EXPECT_EQ(bytesOf(reread.patches[9]), source30) << stem;
    }
    EXPECT_EQ(g.plug->GetParam(kBankEditUnsaved)->Value(), 1.0);
}

TEST(LibrarianView, TheDraggedEntryIsThePressedOneHoweverFarTheFirstMoveWent)
{
    Grid g;
    g.twoBanks();
    g.grid().mDragEnabled = true;
    // The first move is already over the upper pane.
    g.drag(g.at(kLower, 17), g.at(kUpper, 5));
    EXPECT_EQ(g.grid().cellText(kUpper, 5), "L17");
    // Pressed outside the panes: the first lower slot crossed is dragged.
    IMouseMod mod(true);
    const auto o = g.outside(), crossed = g.at(kLower, 3), to = g.at(kUpper, 6);
    g.grid().OnMouseDown(o.first, o.second, &mod);
    g.grid().OnMouseDrag(to.first, to.second, 0, 0, &mod);
    EXPECT_FALSE(g.grid().dragging);
    g.grid().OnMouseDrag(crossed.first, crossed.second, 0, 0, &mod);
    g.grid().OnMouseDrag(to.first, to.second, 0, 0, &mod);
    EXPECT_TRUE(g.grid().dragging);
    const IRECT marker = g.grid().dragMarker;
    EXPECT_EQ(rectOf(marker), (std::vector<int>{to.first - 52, to.second - 7, to.first + 53, to.second + 7}));
    g.grid().OnMouseUp(to.first, to.second, &mod);
    EXPECT_EQ(g.grid().cellText(kUpper, 6), "L3");
}

TEST(LibrarianView, DropOutsideTheUpperPaneOrPasteWithoutCopyChangesNothing)
{
    Grid g;
    g.twoBanks();
    g.grid().mDragEnabled = true;
    const auto before = bytesOf(g.upperBank()->patches[5]);
    // Onto a lower slot, outside the panes, a drag that started on no lower slot.
    g.drag(g.at(kLower, 17), g.at(kLower, 5));
    g.drag(g.at(kLower, 17), g.outside());
    g.drag(g.at(kUpper, 17), g.at(kUpper, 5));
    EXPECT_FALSE(g.grid().dragging);
    g.grid().PasteSlotData(g.at(kUpper, 5).first, g.at(kUpper, 5).second);
    EXPECT_EQ(bytesOf(g.upperBank()->patches[5]), before);
    EXPECT_EQ(g.grid().cellText(kUpper, 5), "U5");
    EXPECT_EQ(g.plug->GetParam(kBankEditUnsaved)->Value(), 0.0);
    // The presses selected lower 17 and upper 17, the paste upper 5; no drop slot was written.
    EXPECT_EQ(g.librarySlots(), (std::vector<int>{5, 17, 5}));
    // Without drag permission the drag does not start.
    g.grid().mDragEnabled = false;
    g.drag(g.at(kLower, 17), g.at(kUpper, 5));
    EXPECT_EQ(bytesOf(g.upperBank()->patches[5]), before);
}

TEST(LibrarianView, PasteTakesTheCopiedEntryAfterTheLowerBankChanged)
{
    Grid g;
    g.addBank(g.lib().singleFiles, "U", 128);
    g.addBank(g.lib().singleFiles, "L", 128);
    g.addBank(g.lib().singleFiles, "M", 128);
    g.show(0, 1);
    const auto copied = bytesOf(g.lowerBank()->patches[17]);
    g.grid().CopySlotData(g.at(kLower, 17).first, g.at(kLower, 17).second);
    EXPECT_EQ(g.grid().copiedBank, 1);
    g.show(0, 2);
    g.grid().PasteSlotData(g.at(kUpper, 9).first, g.at(kUpper, 9).second);
    EXPECT_EQ(bytesOf(g.upperBank()->patches[9]), copied);
    EXPECT_EQ(g.grid().cellText(kUpper, 9), "L17");
    // A Copy on no slot empties the copy: the next Paste does nothing.
    g.grid().CopySlotData(g.outside().first, g.outside().second);
    EXPECT_FALSE(g.grid().hasCopy());
    g.grid().PasteSlotData(g.at(kUpper, 10).first, g.at(kUpper, 10).second);
    EXPECT_EQ(g.grid().cellText(kUpper, 10), "U10");
}

TEST(LibrarianView, RenameShowsTheNameOfAnUpperEntryAndALeftClickEndsIt)
{
    Grid g;
    g.twoBanks(100);
    ControlLayer* layer = g.plug->keptLayer("patchRename");
    ASSERT_NE(layer, nullptr);
    g.click(g.at(kUpper, 12));
    g.grid().renameSlot(0, 0);
    EXPECT_FALSE(!layer->IsVisible());
    EXPECT_FALSE(g.plug->renameIdle);
    char text[IParam::kDisplayTextLen];
    g.plug->GetParam(kPatchRename)->GetDisplayForHost(0.0, false, text, true);
    EXPECT_STREQ(text, "U12");
    g.click(g.outside());
    EXPECT_TRUE(!layer->IsVisible());
    EXPECT_TRUE(g.plug->renameIdle);
    // An empty slot (past the 100 entries) opens no rename; the bank is whole now.
    g.click(g.at(kUpper, 110));
    g.grid().renameSlot(0, 0);
    EXPECT_TRUE(!layer->IsVisible());
    EXPECT_TRUE(g.plug->renameIdle);
    EXPECT_EQ(g.upperBank()->patches.size(), 128u);
}

TEST(LibrarianView, TheGridIsAnOverlayThatAlwaysShowsItsBackground)
{
    static_assert(std::is_base_of_v<CustomOverlayControl, LibrarianViewControl>);
    static_assert(std::is_base_of_v<IBitmapOverlayControl, CustomOverlayControl>);
    Grid g;
    IGraphics* gfx = g.surface();
    ASSERT_NE(gfx, nullptr);
    RAST_IBitmap* bits = gfx->GetDrawBitmap();
    // At the value 0 a plain overlay is closed: it draws nothing and answers only in its target.
    const IRECT frame = *g.grid().GetRECT();
    const IRECT target(frame.L, frame.T, frame.L + 10, frame.T + 10);
    auto drawn = [&](IControl& control) {
        for (int row = 0; row < bits->getHeight(); ++row)
            std::fill_n(bits->getBits() + row * bits->getRowSpan(), bits->getWidth(), RAST_PixelValue(0));
        control.Draw(gfx);
        int set = 0;
        for (int py = frame.T; py < frame.B; ++py)
            for (int px = frame.L; px < frame.R; ++px) set += bits->getBits()[py * bits->getRowSpan() + px] != 0;
        return set;
    };
    g.grid().SetValueFromPlug(0.0);
    EXPECT_GT(drawn(g.grid()), 0);
    EXPECT_TRUE(g.grid().IsHit(frame.R - 1, frame.B - 1));
    IBitmap* image = g.grid().GetBitmap();
    ASSERT_NE(image, nullptr);
    IBitmapOverlayControl plain(g.plug.get(), frame.L, frame.T, -1, image, target);
    EXPECT_EQ(drawn(plain), 0);
    EXPECT_FALSE(plain.IsHit(frame.R - 1, frame.B - 1));
}

TEST(LibrarianView, AnEntryOfAnotherKindOrWithoutAnUpperBankIsNotStored)
{
    // Programs "U" and "L", performances "PU" and "PL", the category bank "C"; the lower program
    // 17 is copied in program mode.
    auto desk = [](Grid& g) {
        g.addBank(g.lib().singleFiles, "U", 128);
        g.addBank(g.lib().singleFiles, "L", 128);
        g.addBank(g.lib().multiFiles, "PU", 128);
        g.addBank(g.lib().multiFiles, "PL", 128);
        g.addBank(g.lib().categoryFiles, "C", 128);
        g.grid().mDragEnabled = true;
        g.show(0, 1);
        g.grid().CopySlotData(g.at(kLower, 17).first, g.at(kLower, 17).second);
        ASSERT_TRUE(g.grid().hasCopy());
    };
    auto paste = [](Grid& g, int slot) { g.grid().PasteSlotData(g.at(kUpper, slot).first, g.at(kUpper, slot).second); };
    auto nothingStored = [](Grid& g, const std::string& what) {
        EXPECT_EQ(g.plug->GetParam(kBankEditUnsaved)->Value(), 0.0) << what;
        EXPECT_EQ(status(g).find("received"), std::string::npos) << what << ": " << status(g);
    };
    // The data type changes through the dispatch (the copy is forgotten, also on the way back),
    // or the kind changes without it (the kept program is still no performance).
    for (bool dispatched : {true, false}) {
        Grid g;
        desk(g);
        if (dispatched) {
            dataType(g, 1);
        } else {
            g.plug->performanceMode = true;
            g.lib().currentKind = kPatchFilePerformances;
        }
        g.show(0, 1);
        paste(g, 9);
        EXPECT_EQ(g.grid().cellText(kUpper, 9), "PU9") << dispatched;
        nothingStored(g, dispatched ? "pasted among performances" : "kept program");
        if (!dispatched) continue;
        dataType(g, 0);
        EXPECT_FALSE(g.grid().hasCopy());
        paste(g, 9);
        EXPECT_EQ(g.grid().cellText(kUpper, 9), "U9");
        nothingStored(g, "pasted back among programs");
    }
    {
        // Among performances the lower pane shows performances whatever the program view was;
        // the category view comes back with the programs.
        Grid g;
        desk(g);
        g.plug->categoryListShown = true;
        dataType(g, 1);
        g.show(0, 1);
        EXPECT_EQ(g.grid().cellText(kLower, 17), "PL17");
        g.drag(g.at(kLower, 17), g.at(kUpper, 5));
        EXPECT_EQ(g.grid().cellText(kUpper, 5), "PL17");
        EXPECT_EQ(bytesOf(g.upperBank()->patches[5]), bytesOf(g.lib().multiFiles[1]->patches[17]));
        dataType(g, 0);
        EXPECT_TRUE(g.plug->categoryListShown);
        EXPECT_EQ(g.grid().cellText(kLower, 0), "C0");
    }
    {
        // No upper bank: nothing is stored, marked or reported, and the upper folder menu stays.
        Grid g;
        desk(g);
        ControlLayer* upperMenu = g.plug->keptLayer("UPPERPOPUPMENU");
        ASSERT_NE(upperMenu, nullptr);
        upperMenu->Hide(false);
        g.show(7, 1);
        paste(g, 9);
        g.drag(g.at(kLower, 3), g.at(kUpper, 5));
        nothingStored(g, "no upper bank");
        EXPECT_TRUE(upperMenu->IsVisible());
    }
}
