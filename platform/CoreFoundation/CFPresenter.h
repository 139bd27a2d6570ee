#pragma once
// What the stand-ins ask a person: alerts, open and save panels, URLs to open. Tests and the
// stand-in host script the answers; with none scripted the presenter answers as a dismissed
// dialog (alerts: the cancel response; panels: cancel). Main thread only.
#include <string>
#include <vector>

namespace cf_standin {

struct AlertShown {
    unsigned long level;
    std::string header, message;
    std::string defaultButton, alternateButton, otherButton; // empty: none given
};

struct PanelShown {
    bool save;
    std::string directory, proposedName;
    std::vector<std::string> fileTypes;
};

class Presenter {
public:
    virtual ~Presenter() = default;
    // The response flag of a CFUserNotification alert.
    virtual unsigned long Alert(const AlertShown& alert);
    // True with *path set when the user chose a file.
    virtual bool Panel(const PanelShown& panel, std::string* path);
    // Whether the URL was opened.
    virtual bool OpenURL(const std::string& url);

    // Answers taken in order by the next alerts and panels ("" in panels: cancel).
    std::vector<unsigned long> alertAnswers;
    std::vector<std::string> panelAnswers;
    // What was shown, in order.
    std::vector<AlertShown> alerts;
    std::vector<PanelShown> panels;
    std::vector<std::string> urls;
};

// The presenter in use; replacing it returns the previous one (never null: null restores the
// built-in one).
Presenter* presenter();
Presenter* setPresenter(Presenter* p);

} // namespace cf_standin
