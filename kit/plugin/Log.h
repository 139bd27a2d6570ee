#pragma once
// Version numbers, time stamps, small text helpers and the trace hooks of the framework.
#include <ctime>

class KIT_String;

// Version: major in bits 16..31, minor in bits 8..15, revision in bits 0..7.
void GetVersionParts(int version, int* major, int* minor, int* revision);
int GetDecimalVersion(int version);
// "v%d.%d.%d", "v%d.%d" or "v%d"; out must hold 32 characters.
void GetVersionStr(int version, char* out);

// Processor-time interval check.
class Timer {
public:
    Timer() : m_start(std::clock()) {}
    // True (and restarted) when more than seconds have passed since the start.
    bool Every(double seconds);

private:
    std::clock_t m_start;
};

// "%Y%m%d %H:%M " and the UTC offset as +hhmm; the buffer belongs to the calling thread and
// the next call on that thread overwrites it.
const char* CurrentTime();
// "[Mmmdd hh:mm]" from the compiler's __DATE__ and __TIME__ forms.
void CompileTimestamp(const char* date, const char* time, KIT_String* out);
// text, a blank and the stamp; the buffer belongs to the calling thread.
const char* AppendTimestamp(const char* date, const char* time, const char* text);

bool IsWhitespace(char c);
void ToLower(char* out, const char* in);

// Trace hooks: the framework calls them at many points; they have no effect.
void Trace(const char* function, int line, const char* format, ...);
const char* VSTOpcodeStr(int opcode);
const char* AUSelectStr(int select);
const char* AUPropertyStr(int property);
const char* AUScopeStr(int scope);

#define TRACE Trace(__FUNCTION__, __LINE__, "")

// Framework log lines (bad host input, refused state). They go to standard error and, when the
// plug-in has set one, to its own log sink (its diagnostic log file).
typedef void (*LogSinkFn)(const char* line);
void SetLogSink(LogSinkFn sink);
void LogLine(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
