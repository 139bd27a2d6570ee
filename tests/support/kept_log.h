#pragma once
// The framework's log lines while an object of this class lives, each with the thread that wrote
// it. One at a time.
#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "kit/plugin/Log.h"

namespace testsupport
{

class KeptLog
{
public:
    using Line = std::pair<std::thread::id, std::string>;
    KeptLog()
    {
        current() = this;
        SetLogSink(keep);
    }
    ~KeptLog()
    {
        SetLogSink(nullptr);
        current() = nullptr;
    }
    std::vector<Line> lines()
    {
        std::lock_guard<std::mutex> hold(mLock);
        return mLines;
    }
    // The texts so far, forgotten here.
    std::vector<std::string> take()
    {
        std::lock_guard<std::mutex> hold(mLock);
        std::vector<std::string> out;
        for (Line& l : mLines) out.push_back(std::move(l.second));
        mLines.clear();
        return out;
    }

private:
    static std::atomic<KeptLog*>& current()
    {
        static std::atomic<KeptLog*> log{nullptr};
        return log;
    }
    static void keep(const char* line)
    {
        if (KeptLog* log = current()) {
            std::lock_guard<std::mutex> hold(log->mLock);
            log->mLines.emplace_back(std::this_thread::get_id(), line);
        }
    }
    std::mutex mLock;
    std::vector<Line> mLines;
};

} // namespace testsupport
