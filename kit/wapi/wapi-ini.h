// Windows-style profile (ini) files: parsed once into a cache of 32 file contexts, re-read when
// the file on disk changes, and written back whole after every change. Any thread may call these;
// one process-wide recursive mutex makes every call atomic.
#pragma once

#include "kit/wapi/wapi-types.h"

// Null section: the section names; null key: the section's key names (each followed by a zero
// byte, the list by two). Otherwise the value, trimmed of blanks and of one pair of matching
// quotes, or the default. Answers the number of bytes written before the final zero.
int GetPrivateProfileString(const char* section, const char* key, const char* defaultValue, char* buffer, int size,
                            const char* fileName);
int GetPrivateProfileInt(const char* section, const char* key, int defaultValue, const char* fileName);
// key=value strings, each followed by a zero byte, the list by two.
int GetPrivateProfileSection(const char* section, char* buffer, unsigned int size, const char* fileName);
// size bytes stored as hexadecimal digit pairs with a checksum pair.
BOOL GetPrivateProfileStruct(const char* section, const char* key, void* out, int size, const char* fileName);

// Null key deletes the section, null value the key. Answers false, writing nothing, for what the
// file could not give back (a line break in a name or value, "=" in a key, "]" in a section name,
// a key starting with "[" or a blank) and when the file cannot be written; the file keeps its old
// content then.
BOOL WritePrivateProfileString(const char* section, const char* key, const char* value, const char* fileName);
// data: key=value strings, each ended by a zero byte, the list by an empty string.
BOOL WritePrivateProfileSection(const char* section, const char* data, const char* fileName);
BOOL WritePrivateProfileStruct(const char* section, const char* key, const void* data, int size, const char* fileName);

namespace wapi_ini {
// Whether a context for exactly this name sits in the cache (tests and diagnostics).
bool IsCached(const char* fileName);
// Drops every cached context, so the next call of each file reads the disk.
void ForgetAll();
}  // namespace wapi_ini
