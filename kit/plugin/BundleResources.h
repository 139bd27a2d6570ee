#pragma once
// Reading a file of the plug-in bundle's resources whole into memory, as the editor surface's
// file loader does: the resource is found by the last path component of the name without its
// extension, and by that extension, in the bundle with the given identifier.

// The loader's cap: a longer file is cut here.
inline constexpr int kResourceBufferSize = 4096000;
// Zero bytes after the cap, so the contents always end in a zero byte (readers parse them as
// text), also for a file at the cap.
inline constexpr int kResourceBufferPad = 8;

// A zero-filled buffer of kResourceBufferSize + kResourceBufferPad bytes holding the first
// kResourceBufferSize bytes of the resource; *bytesRead gets the number of bytes read. The
// caller frees the buffer with delete[]. When the bundle or resource is not found or cannot
// be opened, prints "failed to open file", returns null and leaves *bytesRead unchanged.
char* loadBundleResource(const char* bundleIdentifier, const char* name, int* bytesRead);
