#pragma once
// Every thread the plug-in starts names itself "qor:<what>" as it begins, so that a look at the
// process's threads tells ours from those the MIDI systems' libraries start and keep.
#include <pthread.h>

#include <cstdio>

#define KIT_THREAD_PREFIX "qor:"

// The system keeps 15 characters of a name: what is longer is cut.
inline void KIT_NameThisThread(const char* what)
{
    char name[16];
    std::snprintf(name, sizeof name, KIT_THREAD_PREFIX "%s", what);
    pthread_setname_np(pthread_self(), name);
}
