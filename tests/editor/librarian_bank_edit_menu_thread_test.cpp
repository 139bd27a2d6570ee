// The bank edit menu refilled from another thread (as the dispatch of a mode change may do) while
// the main thread pops it and acts on choices.
#include "Project_Source/src/LibrarianBankEditMenu.h"
#include "librarian_menus_support.h"

#include <atomic>
#include <thread>

using menutest::MenuDesk;

TEST(BankEditMenuThreads, RefillsOnAnotherThreadLeaveEachClickItsWholeSet)
{
    MenuDesk d;
    std::atomic<bool> done{false};
    std::atomic<int> refills{0};
    std::thread other([&] {
        for (int i = 0; !done || i < 50; ++i) {
            d.plug->performanceMode = i % 2 == 1;
            d.plug->bankEditMenu->AddMenuItemsIn(d.plug.get());
            ++refills;
        }
    });
    for (int i = 0; i < 30; ++i) {
        d.answer({14}); // About...: no job, the same index in every set
        d.plug->bankEditMenu->doPopupMenu(d.plug.get());
        EXPECT_EQ(d.lastMenu().substr(0, 11), "Request HW ") << i;
    }
    done = true;
    other.join();
    EXPECT_GE(refills.load(), 50);
    EXPECT_TRUE(d.shown("aboutWindow"));
    EXPECT_TRUE(d.takeJobs().empty());
}
