#pragma once
// The program randomizer's entry table and fitting rule. Entry k of the random table feeds the
// parameter of position k; the positions are laid out on the program dump, so the table holds
// no parameter list of its own: a byte position holds the first field of that byte that a section
// lock guards, and the further fields of the packed bytes follow at positions 295 to 312.
#include <cstdint>

#include "ProgramDump.h"

namespace ProgramRandomizer
{

constexpr int kFirstPosition = 25;
constexpr int kLastPosition = 312;
// Entries 0 to 392 are drawn at every randomize command; only 25 to 312 are read.
constexpr int kDrawnEntries = 393;

struct Entry {
    int16_t id = -1; // parameter base id; -1 for a position that feeds nothing
    int16_t lock = ProgramDump::kNoLock;
    bool baseOnly = false; // the vocoder: its base id whichever part is randomized
};

// The entry of position k; an empty one outside kFirstPosition..kLastPosition.
const Entry& entryAt(int k);

constexpr int idFor(const Entry& e, int part)
{
    return e.baseOnly ? e.id : e.id + part;
}

// A drawn value v (0..255) brought down into a parameter of range min..max: repeatedly less
// trunc(max) while above trunc(max - min), or less 2 when trunc(max) is 1. The minimum is not
// added; setting the value clamps it into the range.
int fit(int v, double min, double max);

} // namespace ProgramRandomizer
