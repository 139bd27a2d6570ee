#pragma once
// The glyph font a text style draws with, made as the surface makes it for its cache: the face,
// weight and slant of the style at its size, asked once more in proportion when the face comes
// out at another line height. Also what the build's layout checks measure texts with.
#include "kit/plugin/IGraphicsStructs.h"

class RAST_CachedFont;

namespace plugdraw
{

// A new font the caller owns, or null when the system has no font for the style. Without
// fitLineHeight the face is taken at the size as it comes (as the build draws its artwork).
RAST_CachedFont* MakeTextFont(const IText& text, bool fitLineHeight = true);

} // namespace plugdraw
