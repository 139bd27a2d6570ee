// Native text takes bytes from configuration, patch names and bank files. Layout of an input:
// byte 0 the drawing flags (low byte), byte 1 the font quality and face choice, byte 2 the
// count mode, then the text. Draws into a small context with the real font engine.
#include "kit/wapi/wapi-gdi.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  static HDC dc = WAPI_CreateMemContext(nullptr, 48, 24);
  if (!dc) return 0;
  const int flags = data[0] | ((data[0] & 1) ? 0 : 0x100);
  const char quality = char(data[1] & 7);
  static const char* faces[] = {"DejaVu Sans", "Courier", "", "No Such Face"};
  std::string text(reinterpret_cast<const char*>(data + 3), size - 3);
  // Some inputs give the face name from the text itself.
  const char* face = (data[1] & 0x80) ? text.c_str() : faces[(data[1] >> 3) & 3];
  HGDIOBJ font = CreateFont(-int(6 + (data[2] & 15)), 0, 0, 0, (data[1] & 0x40) ? 700 : 400,
                            char(data[1] & 0x20), 0, 0, 0, 0, 0, quality, 0, face);
  HGDIOBJ prev = SelectObject(dc, font);
  SetBkMode(dc, data[2] >> 7);
  int count = (data[2] & 0x40) ? -1 : int(text.size() * (data[2] & 0x30) / 0x30);
  RECT r{int(int8_t(data[2])) / 4, 2, 40, 20};
  WAPI_DrawText(dc, text.c_str(), count, &r, flags);
  SelectObject(dc, prev);
  DeleteObject(font);
  return 0;
}
