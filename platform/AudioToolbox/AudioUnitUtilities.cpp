#include "AudioUnitUtilities.h"

#include <algorithm>
#include <mutex>
#include <new>
#include <vector>

struct AUListenerBase {
    AUEventListenerProc proc;
    void* userData;
};

namespace {

std::mutex& ListenerLock()
{
    static std::mutex m;
    return m;
}

std::vector<AUListenerBase*>& Listeners()
{
    static auto* list = new std::vector<AUListenerBase*>;
    return *list;
}

} // namespace

OSStatus AUEventListenerCreateWithProc(AUEventListenerProc inProc, void* inUserData, AUEventListenerRef* outListener)
{
    if (!inProc || !outListener) return -50; // paramErr
    auto* l = new (std::nothrow) AUListenerBase{inProc, inUserData};
    if (!l) return -108;
    std::lock_guard<std::mutex> g(ListenerLock());
    Listeners().push_back(l);
    *outListener = l;
    return noErr;
}

OSStatus AUListenerDispose(AUEventListenerRef inListener)
{
    std::lock_guard<std::mutex> g(ListenerLock());
    auto& list = Listeners();
    auto it = std::find(list.begin(), list.end(), inListener);
    if (it == list.end()) return -50;
    list.erase(it);
    delete inListener;
    return noErr;
}

OSStatus AUEventListenerNotify(AUEventListenerRef inSendingListener, void*, const AudioUnitEvent* inEvent)
{
    if (!inEvent) return -50;
    AudioUnitParameterValue value = 0.0f;
    if (inEvent->mEventType != kAudioUnitEvent_PropertyChange) {
        const AudioUnitParameter& p = inEvent->mArgument.mParameter;
        if (AudioUnitGetParameter(p.mAudioUnit, p.mParameterID, p.mScope, p.mElement, &value) != noErr) value = 0.0f;
    }
    std::vector<AUListenerBase> targets;
    {
        std::lock_guard<std::mutex> g(ListenerLock());
        for (AUListenerBase* l : Listeners())
            if (l != inSendingListener) targets.push_back(*l);
    }
    for (const AUListenerBase& l : targets) l.proc(l.userData, nullptr, inEvent, 0, value);
    return noErr;
}
