#include "CFPresenter.h"
#include "CFUserNotification.h"

namespace {

std::string text(CFStringRef s) { return s ? s->utf8 : std::string(); }

cf_standin::Presenter*& current()
{
    static cf_standin::Presenter builtIn;
    static cf_standin::Presenter* p = &builtIn;
    return p;
}

} // namespace

unsigned long cf_standin::Presenter::Alert(const AlertShown& alert)
{
    alerts.push_back(alert);
    if (alertAnswers.empty()) return kCFUserNotificationCancelResponse;
    unsigned long answer = alertAnswers.front();
    alertAnswers.erase(alertAnswers.begin());
    return answer;
}

bool cf_standin::Presenter::Panel(const PanelShown& panel, std::string* path)
{
    panels.push_back(panel);
    if (panelAnswers.empty()) return false;
    std::string answer = panelAnswers.front();
    panelAnswers.erase(panelAnswers.begin());
    if (answer.empty()) return false;
    if (path) *path = answer;
    return true;
}

bool cf_standin::Presenter::OpenURL(const std::string& url)
{
    urls.push_back(url);
    return true;
}

bool cf_standin::Presenter::OpenFile(const std::string& path, const std::string& application)
{
    opens.push_back({path, application});
    return true;
}

bool cf_standin::Presenter::LaunchApplication(const std::string& application)
{
    opens.push_back({"", application});
    return true;
}

cf_standin::DragDrop cf_standin::Presenter::Drag(const DragShown& drag)
{
    drags.push_back(drag);
    if (dragAnswers.empty()) return DragDrop{};
    DragDrop answer = dragAnswers.front();
    dragAnswers.erase(dragAnswers.begin());
    return answer;
}

void cf_standin::Presenter::ModalRunStarted(const ModalRunShown& run)
{
    modalRuns.push_back(run);
    if (modalActions.empty()) return;
    std::function<void()> action = std::move(modalActions.front());
    modalActions.erase(modalActions.begin());
    if (action) action();
}

cf_standin::Presenter* cf_standin::presenter() { return current(); }

cf_standin::Presenter* cf_standin::setPresenter(Presenter* p)
{
    static Presenter* builtIn = current();
    Presenter* old = current();
    current() = p ? p : builtIn;
    return old;
}

int32_t CFUserNotificationDisplayAlert(CFTimeInterval, CFOptionFlags flags, CFURLRef, CFURLRef, CFURLRef,
                                       CFStringRef alertHeader, CFStringRef alertMessage,
                                       CFStringRef defaultButtonTitle, CFStringRef alternateButtonTitle,
                                       CFStringRef otherButtonTitle, CFOptionFlags* responseFlags)
{
    cf_standin::AlertShown shown{flags & 3, text(alertHeader), text(alertMessage), text(defaultButtonTitle),
                                 text(alternateButtonTitle), text(otherButtonTitle)};
    unsigned long answer = cf_standin::presenter()->Alert(shown);
    if (responseFlags) *responseFlags = answer;
    return 0;
}
