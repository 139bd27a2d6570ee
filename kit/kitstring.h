#pragma once
// A growable character string. An empty string holds no buffer and reads as "".
#include <cstdarg>

#include "kit/heapbuf.h"

class KIT_String {
public:
    explicit KIT_String(const char* text = "", int maxLength = 0, int granularity = 128);
    KIT_String(const KIT_String& other);
    KIT_String& operator=(const KIT_String& other);
    ~KIT_String() {}

    const char* Get() const;
    int GetLength() const;

    // Copies text up to maxLength characters (0: whole text) or up to its terminator.
    void Set(const char* text, int maxLength = 0);
    void Append(const char* text, int maxLength = 0);
    // Inserts text at position (clamped to 0..length).
    void Insert(const char* text, int position, int maxLength = 0);
    // Cuts the string to n characters; longer requests change nothing.
    void SetLen(int n, bool resizeDown = false);
    // Removes count characters from position on.
    void DeleteSub(int position, int count);

    // Formats, keeping at most maxLength characters; on a failed allocation the string stays.
    void SetFormatted(int maxLength, const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 3, 4)))
#endif
        ;
    void AppendFormatted(int maxLength, const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 3, 4)))
#endif
        ;

private:
    void FormatAt(int position, int maxLength, const char* format, va_list args);
    char* Buf() const { return static_cast<char*>(m_hb.Get()); }

    KIT_HeapBuf m_hb;
};
