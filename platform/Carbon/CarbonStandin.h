#pragma once
// Controls only the Carbon stand-in has, for tests and the stand-in host.
#include <string>
#include <vector>

namespace carbon_standin
{

// One display pass over every window: composited windows send draw events to the views that
// need display (a context y downward from the view's top left, clipped, with the shape of
// what is dirty); plain windows that need an update get UpdateControls.
void displayWindows();
// The window's backing store, y upward; null for none.
CGContextRef windowStore(WindowRef window);
// Draw events sent so far.
long drawCount();
// The name a family number stands for ("" for none).
std::string fontFamilyName(FMFontFamily family);
ThemeCursor currentThemeCursor();
// Menus in the menu list, and menus alive.
int menuListCount();
int liveMenuCount();
// An edit-text control's text (UTF-8) and selection in characters.
std::string controlText(ControlRef control);
void controlSelection(ControlRef control, int* start, int* end);
// Windows alive.
int liveWindowCount();
// HIViewRender calls so far.
long renderCount();
// The process ids SetFrontProcess brought to the front, in order.
std::vector<pid_t> frontProcesses();

} // namespace carbon_standin
