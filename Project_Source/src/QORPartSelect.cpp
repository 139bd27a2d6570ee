// Selecting a part on the synthesizer. Sends nothing yet: the MIDI side of part selection is
// built with the edits to MIDI.
#include "QOR.h"

bool QOR::sendPatchAndPatternToDevice(int, bool, bool, bool, bool, bool)
{
    return false;
}
