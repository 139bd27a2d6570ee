#pragma once
// A read-out line that keeps its text inside its field: a text too wide for the face it was given
// is drawn in the largest smaller face that fits, on one line or, where the field is tall enough,
// broken at a blank into two.
#include "kit/plugin/IControl.h"

#include <string>
#include <vector>

class ReadoutTextControl : public ITextControl
{
public:
    using ITextControl::ITextControl;
    bool Draw(IGraphics* g) override;

    struct Fit {
        int size = 0;                   // the face's size
        std::vector<std::string> lines; // one or two
        int lineHeight = 0;
    };
    // How the text fits the field at the largest face not above the control's own, down to half
    // of it; below that the smallest is taken.
    Fit fit(IGraphics* g, const std::string& text);
};
