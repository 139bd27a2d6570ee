#pragma once
// What the program-change and library-transfer steps of the controller share: the parts, the
// bank numbering of controller 32, and the editor's values as whole numbers.
#include "QOR.h"
#include "SysexFamily.h"
#include "kit/plugin/IGraphics.h"
#include "kit/plugin/IParam.h"

namespace programvalues
{

constexpr int kParts = 8;
// Controller 32 counts the program banks from 5 and the performance banks from 96.
constexpr int kProgramBankBase = 5;
constexpr int kPerformanceBankBase = 96;
constexpr int kBankSelectLsb = 32;

inline bool validPart(int part)
{
    return part >= 0 && part < kParts;
}

inline int whole(const QOR& q, int id)
{
    const IParam* p = q.GetParam(id);
    return p ? SysexFamily::wholeValue(p->Value()) : 0;
}

// The parameter and its controls take the plain value; no dispatch runs.
inline void showValue(QOR& q, int id, double value)
{
    if (IGraphics* g = q.GetGUI())
        g->SetParameterFromPlug(id, value, false);
    else if (IParam* p = q.GetParam(id))
        p->Set(value);
}

} // namespace programvalues
