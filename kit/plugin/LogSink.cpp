#include <atomic>
#include <cstdarg>
#include <cstdio>

#include "kit/plugin/Log.h"

namespace {
std::atomic<LogSinkFn> gSink{nullptr};
}

void SetLogSink(LogSinkFn sink)
{
    gSink.store(sink);
}

void LogLine(const char* format, ...)
{
    char line[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    std::fprintf(stderr, "%s\n", line);
    if (LogSinkFn sink = gSink.load()) sink(line);
}
