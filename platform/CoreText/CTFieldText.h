#pragma once
// One line of text in a box, as the stand-ins' text fields draw it: vertically centred,
// aligned, with the selection shaded or a caret where it is empty. Shared by the AppKit and
// Carbon stand-ins; not part of the CoreText interface.
#include <cstdint>
#include <vector>

#include "CoreText.h"

namespace ct_standin {

struct FieldText {
  const char* font = "";
  double size = 12;
  int align = 0;  // 0 left, 1 centre, 2 right
  double rgb[3] = {0, 0, 0};
  double alpha = 1;
  bool editing = false;  // shows the selection or the caret
  size_t selStart = 0, selEnd = 0;
};

// The characters' width in the font (unhinted advances), as DrawFieldText lays them out.
double TextWidth(const char* font, double size, const std::vector<uint32_t>& chars);

// Draws the characters (code points) into the box of a context whose y axis points upward.
void DrawFieldText(CGContextRef c, CGRect box, const std::vector<uint32_t>& chars, const FieldText& how);

}  // namespace ct_standin
