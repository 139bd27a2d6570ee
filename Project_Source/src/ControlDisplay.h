#pragma once
// The two-line read-out: the name of the parameter that moved and its value in the
// synthesizer's own terms, followed by the raw value in brackets.
#include <string>

class QOR;

class ControlDisplay
{
public:
    // Fills both lines for paramId; with selectedPartOnly, only a parameter of the selected part
    // is shown. Runs under the plug-in mutex on the thread that changes parameters.
    static void controlDisplay(QOR* plug, int paramId, double value, bool selectedPartOnly);
    // The value text alone (no name, no bracketed value); empty when the rule has none for it.
    // bracketed tells whether the caller adds " [v]".
    static std::string valueText(QOR* plug, int paramId, double value, bool* bracketed);
    // "%.0f" of the value, whole whatever its size.
    static std::string getValueString(double value);
};
