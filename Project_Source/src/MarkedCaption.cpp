#include "MarkedCaption.h"

#include <cstdint>

std::string fitMarkedCaption(IGraphics* g, IText* text, const IRECT& r, const std::string& name,
                             const std::string& mark)
{
    std::string shown = name, marked = name + mark;
    for (IRECT m = r; g->MeasureIText(text, marked.c_str(), &m) && m.W() > r.W() && !shown.empty(); m = r) {
        // One whole character off the end, its continuation bytes first.
        while (!shown.empty()) {
            const uint8_t last = uint8_t(shown.back());
            shown.pop_back();
            if ((last & 0xC0) != 0x80) break;
        }
        marked = shown + ".." + mark;
    }
    return marked;
}
