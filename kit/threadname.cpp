#include "kit/threadname.h"

#include <pthread.h>

#include <algorithm>
#include <cstdio>
#include <mutex>

namespace
{

struct Ours {
    const void* thread;
    std::string name;
};

// Never destroyed: a detached thread may end after the statics have gone.
std::mutex& oursLock()
{
    static auto* m = new std::mutex;
    return *m;
}

std::vector<Ours>& ours()
{
    static auto* list = new std::vector<Ours>;
    return *list;
}

// Takes its thread off the list as the thread ends, after all it ran, before a join returns.
struct Counted {
    bool counted = false;
    ~Counted()
    {
        if (!counted) return;
        std::lock_guard<std::mutex> hold(oursLock());
        auto& list = ours();
        list.erase(std::remove_if(list.begin(), list.end(), [this](const Ours& o) { return o.thread == this; }),
                   list.end());
    }
};

thread_local Counted tCounted;

} // namespace

void KIT_NameThisThread(const char* what)
{
    char name[16];
    std::snprintf(name, sizeof name, KIT_THREAD_PREFIX "%s", what);
    pthread_setname_np(pthread_self(), name);
    std::lock_guard<std::mutex> hold(oursLock());
    auto& list = ours();
    if (tCounted.counted) {
        for (Ours& o : list)
            if (o.thread == &tCounted) o.name = name;
        return;
    }
    list.push_back(Ours{&tCounted, name});
    tCounted.counted = true;
}

std::vector<std::string> KIT_OurThreads()
{
    std::lock_guard<std::mutex> hold(oursLock());
    std::vector<std::string> names;
    for (const Ours& o : ours()) names.push_back(o.name);
    return names;
}
