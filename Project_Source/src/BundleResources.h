#pragma once
// Reading a file of the plug-in bundle's resources whole into memory, as the editor surface's
// file loader does: the resource is found by the last path component of the name without its
// extension, and by that extension.
#include <cstddef>

// The identifier of the plug-in bundle, used for every resource lookup. The bundle's Info.plist
// declares it and the framework names the bundle by it (QOR_BUNDLE_ID): a lookup under any
// other identifier finds no bundle, and so no configuration.
inline constexpr const char* kQORBundleIdentifier = "com.tessmooraudio.audiounit.qoreditor";

// The loader's buffer size: a longer file is cut here.
inline constexpr int kResourceBufferSize = 4096000;

// A zero-filled buffer of kResourceBufferSize + 1 bytes (the last one stays zero, so the
// contents always end in a zero byte, also for a file at the size cap) holding the first
// kResourceBufferSize bytes of the resource; *bytesRead gets the number of bytes read. The
// caller frees the buffer with delete[]. When the bundle or resource is not found or cannot
// be opened, prints "failed to open file", returns null and leaves *bytesRead unchanged.
char* loadBundleResource(const char* bundleIdentifier, const char* name, int* bytesRead);
