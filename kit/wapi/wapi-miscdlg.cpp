// The common dialogs over the platform's panels: save, folder and open panels with the accessory
// template, the allowed types from extension lists, the modal menu while a panel runs, and
// message boxes over the alert panel. Main thread only.
#include "kit/wapi/wapi-dialogs.h"
#include "kit/wapi/wapi-internal.h"
#include "kit/wapi/wapi-menu.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The accessory template for the next file dialog.
const WAPI_DialogResourceIndex* BFSF_Templ_reshead = nullptr;
int BFSF_Templ_dlgid = 0;
DLGPROC BFSF_Templ_dlgproc = nullptr;

const size_t kPathBuffer = 2047;

// The allowed types of an extension list: each pattern's text after its first "." (at most 31
// characters), none for patterns without one, empty ones and wildcards.
NSArray* allowedTypes(const char* list) {
  std::vector<NSObject*> types;
  for (const char* p = list; p && *p;) {
    const char* patterns = p + std::strlen(p) + 1;
    for (const char* q = patterns; *q;) {
      const char* end = std::strchr(q, ';');
      if (!end) end = q + std::strlen(q);
      const char* dot = static_cast<const char*>(std::memchr(q, '.', size_t(end - q)));
      if (dot) {
        const std::string ext(dot + 1, std::min<size_t>(size_t(end - dot - 1), 31));
        if (!ext.empty() && ext[0] != '*') types.push_back(wapiNSString(ext.c_str()));
      }
      q = *end ? end + 1 : end;
    }
    p = patterns + std::strlen(patterns) + 1;
  }
  return NSArray::arrayWithVector(types);
}

// What one file dialog sets up around its panel and takes down afterwards.
class PanelRun {
 public:
  PanelRun(NSSavePanel* panel, const char* title, const char* initialDir, const char* initialFile) : mPanel(panel) {
    panel->setTitle(wapiNSString(title ? title : ""));
    if (BFSF_Templ_dlgid && BFSF_Templ_dlgproc) {
      mAccessory = WAPI_CreateDialog(BFSF_Templ_reshead, BFSF_Templ_dlgid, wapiHandle(panel), BFSF_Templ_dlgproc, 0);
      BFSF_Templ_reshead = nullptr;
      BFSF_Templ_dlgid = 0;
      BFSF_Templ_dlgproc = nullptr;
    }
    splitInitialName(initialDir, initialFile);
    if (HMENU modal = WAPI_GetDefaultModalWindowMenu()) {
      mMenuCopy = WAPI_DuplicateMenu(modal);
      WAPI_SetCurrentMenu(mMenuCopy);
    }
  }
  ~PanelRun() {
    WAPI_SetCurrentMenu(GetMenu(GetFocus()));
    if (mMenuCopy) DestroyMenu(mMenuCopy);
    if (mAccessory) SendMessage(mAccessory, WM_DESTROY, 0, 0);
    mPanel->setAccessoryView(nullptr);
  }
  NSString* folder() const { return mFolder.empty() ? nullptr : wapiNSString(mFolder.c_str()); }
  NSString* file() const { return mFile.empty() ? nullptr : wapiNSString(mFile.c_str()); }

 private:
  // An initial file with a "/" names its folder too ("/" for a file directly under the root).
  void splitInitialName(const char* initialDir, const char* initialFile) {
    std::string name = initialFile ? std::string(initialFile, strnlen(initialFile, kPathBuffer)) : "";
    const size_t slash = name.rfind('/');
    if (slash != std::string::npos) {
      mFolder = slash == 0 ? "/" : name.substr(0, slash);
      name = name.substr(slash + 1);
    }
    mFile = name;
    if (mFolder.empty() && initialDir && *initialDir)
      mFolder = std::string(initialDir, strnlen(initialDir, kPathBuffer));
  }

  NSSavePanel* mPanel;
  HWND mAccessory = nullptr;
  HMENU mMenuCopy = nullptr;
  std::string mFolder, mFile;
};

// A chosen path that fits the path buffer and the caller's; false for none, or one that would be
// cut (a cut path names another file).
bool copyChosen(NSString* chosen, char* result, int size) {
  if (!chosen) return false;
  const size_t length = std::strlen(chosen->UTF8String());
  if (length == 0 || length >= kPathBuffer || size < 1 || length >= size_t(size)) return false;
  std::memcpy(result, chosen->UTF8String(), length + 1);
  return true;
}

}  // namespace

void BrowseFile_SetTemplate(int dialogId, DLGPROC proc, const WAPI_DialogResourceIndex* head) {
  BFSF_Templ_dlgid = dialogId;
  BFSF_Templ_dlgproc = proc;
  BFSF_Templ_reshead = head;
}

bool BrowseForSaveFile(const char* title, const char* initialDir, const char* initialFile, const char* extensions,
                       char* result, int size) {
  NSSavePanel* panel = NSSavePanel::savePanel();
  panel->setAllowedFileTypes(allowedTypes(extensions));
  NSInteger answer;
  {
    PanelRun run(panel, title, initialDir, initialFile);
    answer = panel->runModalForDirectory(run.folder(), run.file());
  }
  return answer == NSOKButton && result && copyChosen(panel->filename(), result, size);
}

bool BrowseForDirectory(const char* title, const char* initialDir, char* result, int size) {
  NSOpenPanel* panel = NSOpenPanel::openPanel();
  panel->setAllowsMultipleSelection(false);
  panel->setCanChooseFiles(false);
  panel->setCanCreateDirectories(true);
  panel->setCanChooseDirectories(true);
  panel->setResolvesAliases(true);
  NSInteger answer;
  {
    PanelRun run(panel, title, initialDir, nullptr);
    answer = panel->runModalForDirectory(run.folder(), nullptr, nullptr);
  }
  NSArray* names = panel->filenames();
  if (answer != NSOKButton || !result || !names->count()) return false;
  return copyChosen(static_cast<NSString*>(names->objectAtIndex(0)), result, size);
}

char* BrowseForFiles(const char* title, const char* initialDir, const char* initialFile, bool allowMultiple,
                     const char* extensions) {
  NSOpenPanel* panel = NSOpenPanel::openPanel();
  panel->setAllowsMultipleSelection(allowMultiple);
  panel->setCanChooseFiles(true);
  panel->setCanChooseDirectories(false);
  panel->setResolvesAliases(true);
  NSInteger answer;
  {
    PanelRun run(panel, title, initialDir, initialFile);
    answer = panel->runModalForDirectory(run.folder(), run.file(), allowedTypes(extensions));
  }
  NSArray* names = panel->filenames();
  if (answer != NSOKButton || !names->count()) return nullptr;
  std::vector<std::string> paths;
  for (NSUInteger i = 0; i < names->count(); ++i) {
    const std::string path = static_cast<NSString*>(names->objectAtIndex(i))->UTF8String();
    if (path.size() >= kPathBuffer) return nullptr;
    paths.push_back(path);
  }
  std::string out;
  if (paths.size() == 1 || !allowMultiple) {
    out = paths.front();
    out.push_back('\0');
  } else {
    out.push_back('\0');  // an empty folder part: every name is a full path
    for (const std::string& p : paths) {
      out += p;
      out.push_back('\0');
    }
  }
  out.push_back('\0');
  auto* list = static_cast<char*>(std::malloc(out.size()));
  if (!list) return nullptr;
  std::memcpy(list, out.data(), out.size());
  return list;
}

int MessageBox(HWND, const char* text, const char* caption, int type) {
  struct Kind {
    int type;
    const char* buttons[3];
    int results[3];  // default, alternate, other
  };
  static const Kind kKinds[] = {
      {0, {"OK", "", ""}, {IDOK, IDOK, IDOK}},
      {1, {"OK", "Cancel", ""}, {IDOK, IDCANCEL, IDCANCEL}},
      {3, {"Yes", "Cancel", "No"}, {IDYES, IDCANCEL, IDNO}},
      {4, {"Yes", "No", ""}, {IDYES, IDNO, IDNO}},
      {5, {"Retry", "Cancel", ""}, {IDRETRY, IDCANCEL, IDCANCEL}},
  };
  for (const Kind& k : kKinds) {
    if (k.type != type) continue;
    const NSInteger answer =
        NSRunAlertPanel(wapiNSString(caption ? caption : ""), wapiNSString("%@"), wapiNSString(k.buttons[0]),
                        wapiNSString(k.buttons[1]), wapiNSString(k.buttons[2]), wapiNSString(text ? text : ""));
    return answer == NSAlertDefaultReturn ? k.results[0] : answer == NSAlertOtherReturn ? k.results[2] : k.results[1];
  }
  return 0;
}
