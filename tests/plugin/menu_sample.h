#pragma once
// The sample menu both native menu tests show: A is 01, a separator 02, B 03, then a checked,
// a disabled and an indented item.
#include "kit/plugin/IPopupMenu.h"

inline void FillSample(IPopupMenu* m)
{
    m->SetPrefix(2);
    m->AddItem("A");
    m->AddSeparator();
    m->AddItem("B");
    m->AddItem("C", -1, IPopupMenuItem::kChecked);
    m->AddItem("D", -1, IPopupMenuItem::kDisabled);
    m->AddItem("E", -1, IPopupMenuItem::kTitle);
}
