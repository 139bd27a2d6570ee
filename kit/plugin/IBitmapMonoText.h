#pragma once
// Text drawn from a bitmap font whose frames are the printable characters in code order: the
// character c is frame c - 31, so a blank is frame 1.
#include "kit/plugin/IGraphicsStructs.h"

class IGraphics;

// Draws text in r from its top (or centred vertically), starting one character in from the left
// (or centred), in lines of as many characters as fit between one character's margin on each
// side; one line more than counted is drawn, so a long single line continues once below.
void DrawBitmapedText(IGraphics* g, IBitmap* font, IRECT* r, IText* style, const IChannelBlend* blend,
                      const char* text, bool vCenter, bool multiline, int charWidth, int charHeight);
