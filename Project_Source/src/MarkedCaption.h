#pragma once
// A caption's text that ends in a mark ("NAME (absent)") and must fit its field: the mark is
// what matters, so a name too wide for both is cut before it, never the mark.
#include <string>

#include "kit/plugin/IGraphics.h"

// name + mark when they fit r; else name cut by whole characters + ".." + mark.
std::string fitMarkedCaption(IGraphics* g, IText* text, const IRECT& r, const std::string& name,
                             const std::string& mark);
