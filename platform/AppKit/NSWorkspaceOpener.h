#pragma once
// A presenter that really opens what the workspace is asked to open: it records the request,
// then runs the opener program named in the environment variable QOR_OPENER with the request
// as an argument vector (no shell): a document or address alone, "-a" and the application
// before a document, "-a" and the application for a launch. The answer is whether the opener
// ran and exited with 0; without an opener nothing is opened.
#include <CoreFoundation/CFPresenter.h>

#include <string>
#include <vector>

namespace ns_standin
{

class OpeningPresenter : public cf_standin::Presenter
{
public:
    bool OpenURL(const std::string& url) override;
    bool OpenFile(const std::string& path, const std::string& application) override;
    bool LaunchApplication(const std::string& application) override;

private:
    static bool runOpener(const std::vector<std::string>& args);
};

} // namespace ns_standin
