#pragma once
// What lets the surface's redraw cost what changed rather than the editor's size: the lists of
// controls and layers move one process-wide counter with every change, so that the index from a
// parameter to its controls is rebuilt however controls arrive (attached to the surface, appended
// to a layer already on it, removed, or deleted by a resize); controls taken off a list without
// being deleted leave the surface's cleaning.
#include "kit/ptrlist.h"

class IControl;
class ControlLayer;

namespace surface {

// Moves with every change to a watched list and to a control's auxiliary parameters.
unsigned long long ListsEpoch();
void MoveListsEpoch();

// A control, or every control of a layer tree, that left a list alive: no surface cleans it now.
void Release(IControl* control);
void Release(ControlLayer* layer);

// A KIT_PtrList that moves the counter after each change.
template <class T> class WatchedList : public KIT_PtrList<T> {
    using Base = KIT_PtrList<T>;

public:
    using Base::Base;

    T* Add(T* item)
    {
        T* added = Base::Add(item);
        MoveListsEpoch();
        return added;
    }
    T* Insert(int index, T* item)
    {
        T* added = Base::Insert(index, item);
        MoveListsEpoch();
        return added;
    }
    void Delete(int index, bool wantDelete = false, void (*deleteFunction)(void*) = nullptr)
    {
        if (!wantDelete)
            if (T* item = Base::Get(index)) Release(item);
        Base::Delete(index, wantDelete, deleteFunction);
        MoveListsEpoch();
    }
    void Empty(bool wantDelete = false, void (*deleteFunction)(void*) = nullptr)
    {
        if (!wantDelete)
            for (int i = 0, n = Base::GetSize(); i < n; ++i) Release(Base::Get(i));
        Base::Empty(wantDelete, deleteFunction);
        MoveListsEpoch();
    }
};

// One control that shows a parameter: bound to it, through an auxiliary record (aux >= 0), or both.
struct ParamBinding {
    int param;
    IControl* control;
    bool bound;
    int aux;
};

} // namespace surface
