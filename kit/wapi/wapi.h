// Windows-style system calls: sleeping and tick counts, threads, events, waits, kernel-object
// handles, files, rectangles, global memory blocks and dynamic libraries.
#pragma once

#include "kit/wapi/wapi-types.h"

#include <cstddef>
#include <cstdint>

// Timing. Any thread may call these.
void Sleep(int ms);
DWORD GetTickCount();

typedef DWORD (*LPTHREAD_START_ROUTINE)(LPVOID);

DWORD GetCurrentThreadId();
HANDLE CreateThread(void* attributes, size_t stackSize, LPTHREAD_START_ROUTINE proc,
                    LPVOID param, DWORD flags, DWORD* threadId);
BOOL SetThreadPriority(HANDLE thread, int priority);
// Starts a detached platform thread running proc(param); the other arguments are not used and
// nothing is returned.
void CreateThreadNS(void* attributes, size_t stackSize, LPTHREAD_START_ROUTINE proc, LPVOID param, DWORD flags,
                    DWORD* threadId);

// Child processes: the program with its arguments as given (no shell). The handle waits with
// WaitForSingleObject (WAIT_TIMEOUT while the process runs) and goes with CloseHandle; null
// when the program cannot start.
HANDLE WAPI_CreateProcess(const char* path, int argc, const char** argv);
// Brings the process's application to the front, trying for about a second.
void WAPI_MakeProcessFront(HANDLE process);

HANDLE CreateEvent(void* attributes, BOOL manualReset, BOOL initialState, const char* name);
HANDLE CreateEventAsSocket(void* attributes, BOOL manualReset, BOOL initialState,
                           const char* name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);
DWORD WaitForSingleObject(HANDLE handle, DWORD timeoutMs);
DWORD WaitForAnySocketObject(int count, HANDLE* handles, DWORD timeoutMs);
BOOL CloseHandle(HANDLE handle);

// Files. No function of this layer opens one: CreateFile always answers NULL.
struct FILETIME {
  uint32_t dwLowDateTime;
  uint32_t dwHighDateTime;
};
HANDLE CreateFile(const char* name, DWORD access, DWORD share, void* security,
                  DWORD disposition, DWORD flags, HANDLE templateFile);
DWORD SetFilePointer(HANDLE file, int32_t offset, int32_t* highOffset, DWORD method);
DWORD GetFilePointer(HANDLE file, DWORD* high);
DWORD GetFileSize(HANDLE file, DWORD* high);
BOOL WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* written, void* overlapped);
BOOL ReadFile(HANDLE file, void* buffer, DWORD count, DWORD* read, void* overlapped);
BOOL GetFileTime(int fd, FILETIME* creation, FILETIME* lastAccess, FILETIME* lastWrite);

// Rectangles and small utilities.
BOOL WAPI_PtInRect(const RECT* r, POINT p);
int MulDiv(int a, int b, int c);
unsigned int _controlfp(unsigned int newValue, unsigned int mask);
BOOL WinOffsetRect(RECT* r, int dx, int dy);
BOOL WinSetRect(RECT* r, int left, int top, int right, int bottom);
BOOL WinIntersectRect(RECT* out, const RECT* a, const RECT* b);
void WinUnionRect(RECT* out, const RECT* a, const RECT* b);
char* lstrcpyn(char* dest, const char* src, int n);

struct GUID {
  uint8_t bytes[16];
};
void WAPI_GenerateGUID(GUID* out);

// Global memory: the handle is the memory itself, behind an 8-byte header.
HANDLE GlobalAlloc(int flags, int size);
void* GlobalLock(HANDLE mem);
void GlobalUnlock(HANDLE mem);
int GlobalSize(HANDLE mem);
void GlobalFree(HANDLE mem);

// Dynamic libraries. A module may export, with C linkage,
//   int WAPI_dllMain(WAPI_HINSTANCE, int reason, void*)  and  bool DllMain(WAPI_HINSTANCE, int, void*)
// which are called with reason 1 on the first load and 0 on the last free.
typedef struct WAPI_LibraryInstance* WAPI_HINSTANCE;
WAPI_HINSTANCE LoadLibrary(const char* path);
WAPI_HINSTANCE LoadLibraryGlobals(const char* path, bool symbolsGlobal);
void* GetProcAddress(WAPI_HINSTANCE instance, const char* name);
BOOL FreeLibrary(WAPI_HINSTANCE instance);
int GetModuleFileName(WAPI_HINSTANCE instance, char* buffer, int size);
// Reference count of a loaded instance (0 for NULL), for diagnostics and tests.
int WAPI_GetLibraryRefCount(WAPI_HINSTANCE instance);
