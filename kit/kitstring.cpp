#include "kit/kitstring.h"

#include <cstdio>
#include <cstring>

namespace {
const char kEmpty[1] = {0};

int boundedLength(const char* text, int maxLength)
{
    if (!text) return 0;
    if (maxLength <= 0) return int(std::strlen(text));
    return int(strnlen(text, size_t(maxLength)));
}
} // namespace

KIT_String::KIT_String(const char* text, int maxLength, int granularity) : m_hb(granularity)
{
    Set(text, maxLength);
}

KIT_String::KIT_String(const KIT_String& other) : m_hb(other.m_hb.GetGranul())
{
    Set(other.Get());
}

KIT_String& KIT_String::operator=(const KIT_String& other)
{
    if (this != &other) Set(other.Get());
    return *this;
}

const char* KIT_String::Get() const
{
    char* b = Buf();
    return b ? b : kEmpty;
}

int KIT_String::GetLength() const
{
    int n = m_hb.GetSize();
    return n ? n - 1 : 0;
}

void KIT_String::Set(const char* text, int maxLength)
{
    int n = boundedLength(text, maxLength);
    if (n == 0) {
        m_hb.Resize(0, false);
        return;
    }
    // text may point into this string: copy through a temporary when it does.
    const char* b = Buf();
    if (b && text >= b && text < b + m_hb.GetSize()) {
        KIT_String tmp(text, n);
        Set(tmp.Get());
        return;
    }
    char* p = static_cast<char*>(m_hb.Resize(n + 1, false));
    if (!p || m_hb.GetSize() != n + 1) return;
    std::memcpy(p, text, size_t(n));
    p[n] = 0;
}

void KIT_String::Append(const char* text, int maxLength)
{
    Insert(text, GetLength(), maxLength);
}

void KIT_String::Insert(const char* text, int position, int maxLength)
{
    int add = boundedLength(text, maxLength);
    if (add == 0) return;
    int len = GetLength();
    if (position < 0) position = 0;
    if (position > len) position = len;
    const char* b = Buf();
    if (b && text >= b && text < b + m_hb.GetSize()) {
        KIT_String tmp(text, add);
        Insert(tmp.Get(), position);
        return;
    }
    if (int64_t(len) + add + 1 > INT32_MAX) return;
    char* p = static_cast<char*>(m_hb.Resize(len + add + 1, false));
    if (!p || m_hb.GetSize() != len + add + 1) return;
    std::memmove(p + position + add, p + position, size_t(len - position));
    std::memcpy(p + position, text, size_t(add));
    p[len + add] = 0;
}

void KIT_String::SetLen(int n, bool resizeDown)
{
    if (n < 0) n = 0;
    int len = GetLength();
    if (n >= len) return;
    if (n == 0) {
        m_hb.Resize(0, resizeDown);
        return;
    }
    char* p = static_cast<char*>(m_hb.Resize(n + 1, resizeDown));
    if (p) p[n] = 0;
}

void KIT_String::DeleteSub(int position, int count)
{
    int len = GetLength();
    if (position < 0 || position >= len || count <= 0) return;
    if (count > len - position) count = len - position;
    char* p = Buf();
    std::memmove(p + position, p + position + count, size_t(len - position - count));
    SetLen(len - count);
}

void KIT_String::FormatAt(int position, int maxLength, const char* format, va_list args)
{
    if (maxLength < 0) maxLength = 0;
    int64_t want = int64_t(position) + maxLength + 1;
    if (want > INT32_MAX) return;
    // Keep the old contents in case the allocation fails partway.
    KIT_HeapBuf saved(m_hb);
    char* p = static_cast<char*>(m_hb.Resize(int(want), false));
    if (!p || m_hb.GetSize() != int(want)) {
        m_hb = saved;
        return;
    }
    int written = std::vsnprintf(p + position, size_t(maxLength) + 1, format, args);
    if (written < 0) written = 0;
    if (written > maxLength) written = maxLength;
    if (position + written == 0) m_hb.Resize(0, false);
    else m_hb.Resize(position + written + 1, false);
}

void KIT_String::SetFormatted(int maxLength, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    FormatAt(0, maxLength, format, args);
    va_end(args);
}

void KIT_String::AppendFormatted(int maxLength, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    FormatAt(GetLength(), maxLength, format, args);
    va_end(args);
}
