// The one road between UTF-8 C strings and platform strings.
#include "kit/wapi/wapi-internal.h"

#include "kit/wapi/wapi-text-engine.h"

#include <climits>
#include <cstring>
#include <string>

void wapiCopyUtf8(const char* text, size_t length, char* buffer, int size) {
  if (!buffer || size < 1) return;
  buffer[0] = 0;
  if (!text) return;
  size_t n = length < size_t(size - 1) ? length : size_t(size - 1);
  // Never end inside a character.
  n = size_t(WAPI_Utf8BoundaryPrefix(text, int(n)));
  std::memcpy(buffer, text, n);
  buffer[n] = 0;
}

CFStringRef WAPI_CStringToCFString(const char* text) {
  if (!text) text = "";
  const size_t len = std::strlen(text);
  if (len <= size_t(INT_MAX) && WAPI_IsValidUtf8(text, int(len)))
    return CFStringCreateWithCString(kCFAllocatorDefault, text, kCFStringEncodingUTF8);
  // Bytes that are neither UTF-8 nor ASCII: each bad byte becomes U+FFFD, so the answer is
  // never null.
  std::string clean;
  clean.reserve(len + 16);
  for (size_t i = 0; i < len;) {
    const size_t left = len - i;
    const int n = WAPI_Utf8SequenceLength(text + i, left > 4 ? 4 : int(left));
    if (n) {
      clean.append(text + i, size_t(n));
      i += size_t(n);
    } else {
      clean.append("\xEF\xBF\xBD");
      ++i;
    }
  }
  return CFStringCreateWithCString(kCFAllocatorDefault, clean.c_str(), kCFStringEncodingUTF8);
}

void WAPI_CFStringToCString(CFStringRef str, char* buffer, int size) {
  if (!buffer || size < 1) return;
  buffer[0] = 0;
  if (!str || size == 1) return;
  const char* text = CFStringGetCStringPtr(str, kCFStringEncodingUTF8);
  if (text) wapiCopyUtf8(text, std::strlen(text), buffer, size);
}

NSString* wapiNSString(const char* text) {
  CFStringRef cf = WAPI_CStringToCFString(text);
  NSString* s = NSString::stringWithUTF8String(cf ? CFStringGetCStringPtr(cf, kCFStringEncodingUTF8) : "");
  if (cf) CFRelease(cf);
  return s;
}

void wapiNSStringToCString(NSString* s, char* buffer, int size) {
  if (!buffer || size < 1) return;
  buffer[0] = 0;
  if (!s) return;
  CFStringRef cf = s->copyCFString();
  WAPI_CFStringToCString(cf, buffer, size);
  if (cf) CFRelease(cf);
}
