#include "kit/plugin/Log.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "kit/kitstring.h"

void GetVersionParts(int version, int* major, int* minor, int* revision)
{
    unsigned v = unsigned(version);
    if (major) *major = int(v >> 16);
    if (minor) *minor = int((v >> 8) & 0xFF);
    if (revision) *revision = int(v & 0xFF);
}

int GetDecimalVersion(int version)
{
    int maj, min, rev;
    GetVersionParts(version, &maj, &min, &rev);
    return maj * 10000 + min * 100 + rev;
}

void GetVersionStr(int version, char* out)
{
    int maj, min, rev;
    GetVersionParts(version, &maj, &min, &rev);
    if (rev) std::snprintf(out, 32, "v%d.%d.%d", maj, min, rev);
    else if (min) std::snprintf(out, 32, "v%d.%d", maj, min);
    else std::snprintf(out, 32, "v%d", maj);
}

bool Timer::Every(double seconds)
{
    std::clock_t now = std::clock();
    if (double(now - m_start) > seconds * 1000000.0) {
        m_start = now;
        return true;
    }
    return false;
}

const char* CurrentTime()
{
    thread_local char buf[64];
    std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    size_t n = std::strftime(buf, sizeof buf, "%Y%m%d %H:%M ", &local);
    long off = local.tm_gmtoff;
    char sign = off < 0 ? '-' : '+';
    if (off < 0) off = -off;
    std::snprintf(buf + n, sizeof buf - n, "%c%02d%02d", sign, int(off / 3600), int(off % 3600 / 60));
    return buf;
}

void CompileTimestamp(const char* date, const char* time, KIT_String* out)
{
    out->Set("[");
    out->Append(date);
    out->SetLen(7);
    out->DeleteSub(4, 1);
    out->Append(" ");
    out->Append(time);
    out->SetLen(12);
    out->Append("]");
}

const char* AppendTimestamp(const char* date, const char* time, const char* text)
{
    thread_local std::string result;
    KIT_String stamp;
    CompileTimestamp(date, time, &stamp);
    result = text ? text : "";
    result += " ";
    result += stamp.Get();
    return result.c_str();
}

bool IsWhitespace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

void ToLower(char* out, const char* in)
{
    while (*in) *out++ = char(std::tolower(static_cast<unsigned char>(*in++)));
    *out = 0;
}

void Trace(const char*, int, const char*, ...) {}
const char* VSTOpcodeStr(int) { return ""; }
const char* AUSelectStr(int) { return ""; }
const char* AUPropertyStr(int) { return ""; }
const char* AUScopeStr(int) { return ""; }
