// Two editors open in one host process share the bitmap cache: closing one, window and
// instance, leaves the other drawing every page exactly as before.
#include "Project_Source/src/QORParams.h"
#include "editor/controller_editor_support.h"
#include "kit/plugin/IParam.h"
#include "kit/plugin/IGraphics.h"
#include "support/window_screenshot.h"

#include <AppKit/AppKit.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace
{

// An instance with its editor view in a host window, as the host's editor-open makes it.
struct OpenEditor {
    editortest::Editor e{"\nnormal\nyes\n\n\n"};
    NSWindow* window = static_cast<NSWindow*>(NSWindow::class_()->alloc());
    NSView* view = nullptr;
    OpenEditor()
    {
        IGraphics* g = e.plug->GetGUI();
        window->initWithContentRect(NSMakeRect(0, 0, g->Width(), g->Height()), NSTitledWindowMask,
                                    NSBackingStoreBuffered, false);
        view = static_cast<NSView*>(g->OpenWindow(window->contentView()));
        ns_standin::displayWindows();
    }
    ~OpenEditor()
    {
        if (view) view->removeFromSuperview();
        window->close();
        window->release();
        ns_standin::drainLoopPool();
    }
    // The window's pixels after every control has drawn again on the given page.
    std::vector<uint32_t> page(int tab)
    {
        e.plug->GetParam(qorid::kMainTab)->Set(tab);
        e.plug->OnParamChange(qorid::kMainTab);
        e.plug->GetGUI()->SetAllControlsDirty();
        ns_standin::runFor(0.04);
        CGContextRef store = window->backingStore();
        const size_t n = CGBitmapContextGetWidth(store) * CGBitmapContextGetHeight(store);
        std::vector<uint32_t> pixels(n);
        std::memcpy(pixels.data(), CGBitmapContextGetData(store), n * 4);
        return pixels;
    }
};

} // namespace

TEST(SharedBitmaps, ClosingOneOfTwoEditorsLeavesTheOtherDrawingEveryPage)
{
    auto stays = std::make_unique<OpenEditor>();
    auto goes = std::make_unique<OpenEditor>();
    const int kPages = 7;
    // Each page after the last one, so that the read-out shows the same page switch each time.
    auto pages = [](OpenEditor& o) {
        std::vector<std::vector<uint32_t>> all;
        o.page(kPages - 1);
        for (int tab = 0; tab < kPages; ++tab) all.push_back(o.page(tab));
        return all;
    };
    const std::vector<std::vector<uint32_t>> before = pages(*stays);
    EXPECT_TRUE(pages(*goes) == before) << "both draw from the same bitmaps";
    goes.reset();
    const std::vector<std::vector<uint32_t>> afterClose = pages(*stays);
    for (int tab = 0; tab < kPages; ++tab) {
        const std::vector<uint32_t>& after = afterClose[size_t(tab)];
        // Something is drawn: more than one colour on the page.
        EXPECT_NE(std::count(after.begin(), after.end(), after.front()), long(after.size())) << "page " << tab;
        EXPECT_TRUE(after == before[size_t(tab)]) << "page " << tab << " draws differently after the close";
    }
    // A third instance takes the bitmaps up again and draws the same page.
    OpenEditor again;
    EXPECT_TRUE(pages(again) == before);
    if (const char* shot = std::getenv("QOR_SHOT")) testsupport::writeWindowScreenshot(stays->window, shot);
}
