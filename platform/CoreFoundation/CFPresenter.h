#pragma once
// What the stand-ins ask a person: alerts, open and save panels, URLs to open, popup menus. Tests and the
// stand-in host script the answers; with none scripted the presenter answers as a dismissed
// dialog (alerts: the cancel response; panels: cancel). Main thread only.
#include <functional>
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
    std::string title;
    // An open panel's choices: several paths (one answer, a path a line), files, folders.
    bool multiple = false, chooseFiles = true, chooseDirectories = false;
    bool hasAccessory = false;
};

// One neutral tree for every kind of native menu: what a person would see.
struct MenuItemShown {
    std::string title;
    bool enabled = true, checked = false, indented = false, separator = false;
    bool hasSubmenu = false;
    std::vector<MenuItemShown> submenu;
};

struct MenuShown {
    std::vector<MenuItemShown> items;
    double x = 0, y = 0; // the anchor, in the native kind's own coordinates
};

// The menu as one line: items joined by " | ", "*" before a checked item, "-" before a disabled
// one, ">" before an indented one, "---" for a separator, a submenu's items in braces.
std::string MenuLine(const MenuShown& menu);

// A modal run that began: its window's number and title.
struct ModalRunShown {
    long windowNumber = 0;
    std::string title;
};

// A drag a view started: what it carries and where it began.
struct DragShown {
    std::vector<std::string> types; // the drag pasteboard's types
    std::vector<std::string> items; // file names, or the promised files' types
    double x = 0, y = 0;            // the start, in screen coordinates
    double imageWidth = 0, imageHeight = 0;
    bool imageFlipped = false;
    bool slideBack = false;
};

// Where the person lets a drag go: nowhere (refused, the default), at a screen point (the view
// there takes it as a drop) or in a folder (promised files are written there).
struct DragDrop {
    enum Where { kRefused, kAtPoint, kInFolder } where = kRefused;
    double x = 0, y = 0;
    std::string folder;
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
    // Whether the document or folder was opened (with the named application; empty: its
    // default one), or the application launched. Recorded in opens.
    virtual bool OpenFile(const std::string& path, const std::string& application);
    virtual bool LaunchApplication(const std::string& application);
    // The chosen item as a path of indexes (top menu first, then into submenus); empty: the
    // menu was dismissed. A path that names no selectable item dismisses the menu too.
    virtual std::vector<int> Menu(const MenuShown& menu);
    // A modal run began: records it and runs the next scripted action, which does what the
    // person does (posts events to the application, or ends the run).
    virtual void ModalRunStarted(const ModalRunShown& run);
    // Where a drag ends: records it and takes the next scripted answer.
    virtual DragDrop Drag(const DragShown& drag);

    // Answers taken in order by the next alerts and panels ("" in panels: cancel).
    std::vector<unsigned long> alertAnswers;
    std::vector<std::string> panelAnswers;
    // Answers taken in order by the next menus (empty path: dismiss).
    std::vector<std::vector<int>> menuAnswers;
    // Actions taken in order by the next modal runs.
    std::vector<std::function<void()>> modalActions;
    // Answers taken in order by the next drags.
    std::vector<DragDrop> dragAnswers;
    // What was shown, in order.
    std::vector<AlertShown> alerts;
    std::vector<PanelShown> panels;
    std::vector<std::string> urls;
    struct OpenShown {
        std::string path, application; // a launch has no path
    };
    std::vector<OpenShown> opens;
    std::vector<MenuShown> menus;
    std::vector<ModalRunShown> modalRuns;
    std::vector<DragShown> drags;
};

// The presenter in use; replacing it returns the previous one (never null: null restores the
// built-in one).
Presenter* presenter();
Presenter* setPresenter(Presenter* p);

} // namespace cf_standin
