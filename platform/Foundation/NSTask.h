#pragma once
// A child process: a program path and an argument vector, started without a shell.
#include <sys/types.h>

#include <mutex>
#include <string>
#include <vector>

#include "NSObject.h"

class NSArray;

class NSTask : public NSObject {
    NS_STANDIN_CLASS(NSTask)
public:
    NSTask() = default;
    // A task freed while its process runs leaves a detached waiter that reaps it.
    ~NSTask() override;
    void setLaunchPath(NSString* path);
    // Strings, passed as they are.
    void setArguments(NSArray* arguments);
    // Starts the program; raises an NSException when it cannot start (or was started before).
    void launch();
    // Whether the process still runs; once it has ended it is reaped. Any thread.
    bool isRunning();
    int processIdentifier() const { return int(mPid); }
    // The exit status once the process has ended.
    int terminationStatus();

private:
    std::string mPath;
    std::vector<std::string> mArguments;
    std::mutex mMutex;
    pid_t mPid = 0;
    bool mReaped = false;
    int mStatus = 0;
};
