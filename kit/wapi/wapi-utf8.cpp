#include "kit/wapi/wapi-text-engine.h"

// Length of the sequence a lead byte starts, 0 for a byte that cannot start one.
static int seqLength(unsigned char c) {
  if (c < 0x80) return 1;
  if (c >= 0xC2 && c <= 0xDF) return 2;
  if (c >= 0xE0 && c <= 0xEF) return 3;
  if (c >= 0xF0 && c <= 0xF4) return 4;
  return 0;
}

// Length of the well-formed sequence at s[0..avail), or 0.
static int validSeq(const unsigned char* s, int avail) {
  int n = seqLength(s[0]);
  if (n == 0 || n > avail) return 0;
  for (int i = 1; i < n; ++i)
    if ((s[i] & 0xC0) != 0x80) return 0;
  if (n == 3) {
    if (s[0] == 0xE0 && s[1] < 0xA0) return 0;  // overlong
    if (s[0] == 0xED && s[1] >= 0xA0) return 0;  // surrogates
  }
  if (n == 4) {
    if (s[0] == 0xF0 && s[1] < 0x90) return 0;
    if (s[0] == 0xF4 && s[1] >= 0x90) return 0;
  }
  return n;
}

bool WAPI_IsValidUtf8(const char* s, int length) {
  if (!s || length < 0) return false;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(s);
  for (int i = 0; i < length;) {
    int n = validSeq(p + i, length - i);
    if (!n) return false;
    i += n;
  }
  return true;
}

int WAPI_Utf8BoundaryPrefix(const char* s, int length) {
  if (!s || length <= 0) return 0;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(s);
  // Walk back over at most three continuation bytes to the last lead byte.
  int i = length - 1, back = 0;
  while (i > 0 && back < 3 && (p[i] & 0xC0) == 0x80) --i, ++back;
  int n = seqLength(p[i]);
  if (n > 1 && i + n > length) return i;  // an unfinished sequence: cut before it
  return length;
}

int WAPI_Utf8SequenceLength(const char* s, int avail) {
  if (!s || avail <= 0) return 0;
  return validSeq(reinterpret_cast<const unsigned char*>(s), avail);
}
