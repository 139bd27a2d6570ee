#pragma once
// The controller's holder of the start-up snapshot and of the 27 names that travel in the host's
// project state.
#include <mutex>

#include "Patch.h"

class QOR;

class PatchManager {
public:
    explicit PatchManager(QOR* owner) : owner(owner) {}
    PatchManager(const PatchManager&) = delete;
    PatchManager& operator=(const PatchManager&) = delete;

    // The blob (patch.data) and the name table (patch.names, each "INIT" when made).
    Patch patch;
    QOR* owner;
    // Held by whoever reads or writes patch.names: worker jobs rename while the host saves.
    std::mutex namesLock;

    // Replaces the blob with the owner's short state chunk: the snapshot a project carries.
    void init();
};
