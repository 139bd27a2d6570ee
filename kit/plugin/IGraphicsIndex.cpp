#include "kit/plugin/IGraphicsIndex.h"

#include <algorithm>
#include <atomic>

#include "kit/plugin/IControl.h"
#include "kit/plugin/IGraphics.h"
#include "kit/plugin/IGraphicsLayer.h"

namespace {
// Starts above every surface's "never indexed" (0).
std::atomic<unsigned long long> listsEpoch{1};
} // namespace

unsigned long long surface::ListsEpoch()
{
    return listsEpoch.load(std::memory_order_acquire);
}

void surface::MoveListsEpoch()
{
    listsEpoch.fetch_add(1, std::memory_order_acq_rel);
}

void surface::Release(IControl* control)
{
    if (control) control->mSurface.store(nullptr);
}

void surface::Release(ControlLayer* layer)
{
    if (!layer) return;
    for (int i = 0, n = layer->controls.GetSize(); i < n; ++i) Release(layer->controls.Get(i));
    for (int i = 0, n = layer->childLayers.GetSize(); i < n; ++i) Release(layer->childLayers.Get(i));
}

std::shared_ptr<const std::vector<surface::ParamBinding>> IGraphics::CurrentIndex()
{
    std::lock_guard<std::mutex> lock(mIndexLock);
    // Read before the walk: a change during it leaves the index stale for the next caller.
    const unsigned long long epoch = surface::ListsEpoch();
    if (!mIndex || epoch != mIndexEpoch) {
        RebuildIndex();
        mIndexEpoch = epoch;
    }
    return mIndex;
}

void IGraphics::RebuildIndex()
{
    auto bindings = std::make_shared<std::vector<surface::ParamBinding>>();
    std::vector<IControl*> owned;
    auto visit = [&](IControl* c, bool background) {
        if (!c) return;
        const int bound = c->ParamIdx();
        bindings->push_back({bound, c, true, c->AuxParamIdx(bound)});
        for (int i = 0, n = c->mAuxParams.GetSize(); i < n; ++i) {
            const int p = c->mAuxParams.Get()[i].mParamIdx;
            if (p != bound && c->AuxParamIdx(p) == i) bindings->push_back({p, c, false, i});
        }
        if (background)
            c->mSurface.store(nullptr); // drawn every time, never cleaned
        else
            owned.push_back(c);
    };
    // The order SetParameterFromPlug visits in: the top-level list, then each layer tree with a
    // layer's own controls before its children.
    for (int i = 0, n = controls.GetSize(); i < n; ++i) visit(controls.Get(i), i == 0);
    struct Walk {
        static void Layer(ControlLayer* l, decltype(visit)& v)
        {
            for (int i = 0, n = l->controls.GetSize(); i < n; ++i) v(l->controls.Get(i), false);
            for (int i = 0, n = l->childLayers.GetSize(); i < n; ++i) Layer(l->childLayers.Get(i), v);
        }
    };
    for (int i = 0, n = layers.GetSize(); i < n; ++i) Walk::Layer(layers.Get(i), visit);
    std::stable_sort(bindings->begin(), bindings->end(),
                     [](const surface::ParamBinding& a, const surface::ParamBinding& b) { return a.param < b.param; });
    mIndex = std::move(bindings);

    // The queue may hold controls deleted since: it is dropped unread, and every control still
    // here is queued again when it has something to clean. A control queued twice meanwhile is
    // taken once (TakeCleanQueue).
    std::lock_guard<std::mutex> lock(mQueueLock);
    mCleanQueue.clear();
    for (IControl* c : owned) {
        c->mSurface.store(this);
        c->mQueued.store(false);
    }
    // Pairs with the fence of IControl::NoteDirty: a control marked while its surface was being
    // stored is queued by one side or the other.
    std::atomic_thread_fence(std::memory_order_seq_cst);
    for (IControl* c : owned)
        if (c->NeedsClean() && !c->mQueued.exchange(true)) mCleanQueue.push_back(c);
}

void IGraphics::QueueClean(IControl* control)
{
    std::lock_guard<std::mutex> lock(mQueueLock);
    mCleanQueue.push_back(control);
}

void IGraphics::TakeCleanQueue()
{
    CurrentIndex();
    {
        std::lock_guard<std::mutex> lock(mQueueLock);
        mTaken.swap(mCleanQueue);
    }
    for (IControl* c : mTaken) {
        // Marked from now on, it is queued for the next Draw as well as cleaned by this one.
        c->mQueued.store(false);
        if (!c->mInDrawSet) {
            c->mInDrawSet = true;
            mDrawSet.push_back(c);
        }
    }
    mTaken.clear();
}

void IGraphics::CleanDrawn(IControl* c)
{
    c->mInDrawSet = false;
    c->SetClean();
    // Asked to be drawn again: it waits for the next frame.
    if (c->NeedsClean()) c->NoteDirty();
}

void IGraphics::DrawLayer(ControlLayer* layer)
{
    // A hidden layer draws nothing of its own, and its controls are cleaned from the draw set;
    // its children decide by their own flag, so a shown child of a hidden layer still draws.
    const bool shown = layer->IsVisible();
    if (shown || layer == mCover.layer) {
        for (int i = 0, n = layer->controls.GetSize(); i < n; ++i) {
            IControl* c = layer->controls.Get(i);
            if (c == mCover.control) {
                DrawCover(); // as it was when the background was left out beneath it
            } else if (shown && !c->IsHidden() && c->GetRECT()->Meets(drawRect)) {
                c->Draw(this);
            }
            if (shown && (c->mInDrawSet || c->NeedsClean())) CleanDrawn(c);
        }
    }
    for (int i = 0, n = layer->childLayers.GetSize(); i < n; ++i) DrawLayer(layer->childLayers.Get(i));
}
