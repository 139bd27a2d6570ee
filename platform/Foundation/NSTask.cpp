#include "NSTask.h"
#include "NSString.h"
#include "NSThread.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>
#include <thread>

extern char** environ;

NS_STANDIN_CLASS_IMPL(NSTask, NSObject)

NSTask::~NSTask()
{
    if (mPid <= 0 || mReaped) return;
    const pid_t pid = mPid;
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) return;
    // Still running: a waiter reaps it whenever it ends, so that no zombie stays.
    std::thread([pid] {
        int st = 0;
        while (waitpid(pid, &st, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

void NSTask::setLaunchPath(NSString* path) { mPath = path ? path->UTF8String() : ""; }

void NSTask::setArguments(NSArray* arguments)
{
    mArguments.clear();
    for (NSUInteger i = 0; arguments && i < arguments->count(); ++i) {
        auto* s = static_cast<NSString*>(arguments->objectAtIndex(i));
        mArguments.push_back(s ? s->UTF8String() : "");
    }
}

void NSTask::launch()
{
    if (mPid > 0) NSException::exceptionWithName("NSInvalidArgumentException", "task already launched")->raise();
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(mPath.c_str()));
    for (std::string& a : mArguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    // The child keeps standard input, output and error, and none of the host's other
    // descriptors, whether or not they were opened close-on-exec.
    int err = ENOENT;
    posix_spawn_file_actions_t actions;
    if (!mPath.empty() && (err = posix_spawn_file_actions_init(&actions)) == 0) {
        err = posix_spawn_file_actions_addclosefrom_np(&actions, 3);
        if (err == 0) err = posix_spawn(&pid, mPath.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
    }
    if (err != 0) {
        const std::string reason = "launch path not accessible: " + mPath + " (" + std::strerror(err) + ")";
        NSException::exceptionWithName("NSInvalidArgumentException", reason.c_str())->raise();
    }
    std::lock_guard<std::mutex> lock(mMutex);
    mPid = pid;
}

bool NSTask::isRunning()
{
    std::lock_guard<std::mutex> lock(mMutex);
    if (mPid <= 0 || mReaped) return false;
    int status = 0;
    pid_t got;
    while ((got = waitpid(mPid, &status, WNOHANG)) < 0 && errno == EINTR) {
    }
    if (got == 0) return true;
    mReaped = true;
    mStatus = got == mPid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return false;
}

int NSTask::terminationStatus()
{
    isRunning();
    std::lock_guard<std::mutex> lock(mMutex);
    return mStatus;
}
