#include "NSWorkspaceOpener.h"

#include <Foundation/Foundation.h>

#include <cstdlib>
#include <unistd.h>

namespace ns_standin
{

bool OpeningPresenter::runOpener(const std::vector<std::string>& args)
{
    const char* opener = std::getenv("QOR_OPENER");
    if (!opener || !*opener) return false;
    NSAutoreleasePool pool;
    std::vector<NSObject*> list;
    for (const std::string& a : args) list.push_back(NSString::stringWithUTF8String(a.c_str()));
    auto* task = static_cast<NSTask*>(NSTask::class_()->alloc());
    bool ok = false;
    try {
        task->setLaunchPath(NSString::stringWithUTF8String(opener));
        task->setArguments(NSArray::arrayWithVector(list));
        task->launch();
        while (task->isRunning()) usleep(1000);
        ok = task->terminationStatus() == 0;
    } catch (NSException*) {
        ok = false;
    }
    task->release();
    return ok;
}

bool OpeningPresenter::OpenURL(const std::string& url)
{
    Presenter::OpenURL(url);
    return runOpener({url});
}

bool OpeningPresenter::OpenFile(const std::string& path, const std::string& application)
{
    Presenter::OpenFile(path, application);
    return runOpener(application.empty() ? std::vector<std::string>{path}
                                         : std::vector<std::string>{"-a", application, path});
}

bool OpeningPresenter::LaunchApplication(const std::string& application)
{
    Presenter::LaunchApplication(application);
    return runOpener({"-a", application});
}

} // namespace ns_standin
