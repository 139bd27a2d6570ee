#pragma once
// Switching the main tab (pages) and the quick tab (parts): shows, hides and greys the layers
// that depend on the page, the selected part's values and the synthesizer model. Runs under the
// plug-in mutex; draws nothing itself (the layers set their controls dirty).
class QOR;

class TabSwitchFunctions
{
public:
    // paramId is the parameter that caused the switch and is not used.
    static void mainTabSwitch(QOR* plug, int paramId, int tab, int model, int part);
    // paramId is the quick tab's parameter, whose value becomes the selected part; model is not used.
    static void quickTabSwitch(QOR* plug, int paramId, int part, int model, bool sendToDevice);
    // Shows the program name of namePart and the category of categoryPart; a part outside 0..7
    // leaves its display alone, a category outside the list shows empty. Any thread.
    static void showPartNames(QOR* plug, int namePart, int categoryPart);
};
