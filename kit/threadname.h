#pragma once
// Every thread the plug-in starts names itself "qor:<what>" as it begins and is counted among ours
// until it ends. The name alone does not tell ours: the MIDI systems' libraries name none of their
// threads, and a new thread takes the name of the one that made it, so a client opened on a thread
// of ours can leave threads with our name for as long as the library keeps them.
#include <string>
#include <vector>

#define KIT_THREAD_PREFIX "qor:"

// The system keeps 15 characters of a name: what is longer is cut. Called again on the same thread,
// it renames it and still counts it once.
void KIT_NameThisThread(const char* what);

// The names of our threads still running, in the order they first named themselves.
std::vector<std::string> KIT_OurThreads();
