// The device fields with a long name marked absent, at every size. QOR_SCREENSHOT_DIR, when set,
// keeps the screenshots.
#include "device_menus_support.h"

#include <cstdlib>

using namespace qorid;
using devicemenus::Desk;
using devicemenus::Size;

// A long name marked absent at every size: the mark whole, the name cut, and nothing drawn
// outside the field (its label is beside it).
TEST(DeviceMenus, ALongAbsentNameIsCutBeforeItsMarkAndStaysInsideItsField)
{
    const Size sizes[] = {{"small", 0.85}, {"normal", 1.0}, {"large", 1.15}};
    const std::string name = "Ruvo-Desktop-Synth-Module-Long";
    for (const Size& size : sizes) {
        SCOPED_TRACE(size.word);
        Desk d(name, name, nullptr, size.word);
        for (int id : {kDeviceOutSelection, kDeviceInSelection}) {
            ASSERT_EQ(d.shown(id), name + " (absent)");
            IParam* p = d.q->GetParam(id);
            const int value = int(p->Value());
            auto draw = [&] {
                IRECT all(0, 0, d.g->Width(), d.g->Height());
                d.g->Draw(&all);
                const auto* bits = static_cast<const uint32_t*>(d.g->GetBits());
                return std::vector<uint32_t>(bits, bits + size_t(d.g->GetDrawBitmap()->getRowSpan()) * d.g->Height());
            };
            p->SetDisplayText(value, "");
            const std::vector<uint32_t> blank = draw();
            p->SetDisplayText(value, (name + " (absent)").c_str());
            const std::vector<uint32_t> shown = draw();
            ITextControl* field = static_cast<ITextControl*>(d.q->firstControl(id));
            const IRECT& r = *field->GetRECT();
            const size_t span = size_t(d.g->GetDrawBitmap()->getRowSpan());
            int inside = 0, outside = 0;
            for (int y = 0; y < d.g->Height(); ++y)
                for (int x = 0; x < d.g->Width(); ++x)
                    if (shown[size_t(y) * span + size_t(x)] != blank[size_t(y) * span + size_t(x)])
                        ++(r.Contains(x, y) ? inside : outside);
            EXPECT_GT(inside, 0) << id;
            EXPECT_EQ(outside, 0) << id;
            const std::string text = Desk::text(field);
            EXPECT_NE(text.find(".. (absent)"), std::string::npos) << text;
            EXPECT_EQ(text.rfind(name.substr(0, 4), 0), 0u) << text;
        }
        if (const char* keep = std::getenv("QOR_SCREENSHOT_DIR")) {
            ns_standin::runFor(0.05);
            ns_standin::displayWindows();
            testsupport::writeWindowScreenshot(d.window, std::string(keep) + "/devices-" + size.word + ".png");
        }
    }
}
