// A MIDI port closed or opened under the editor: answers owed through it come no more.
#include <string>

#include "MIDIMessageManager.h"
#include "QOR.h"

void QOR::OnExternalMIDIPortChanged(bool input)
{
    if (!input) ++mOutputChanges;
    MIDIMessageManager* m = midiManager;
    if (!m) return;
    // At once, on the thread that made the change: a clear posted for later would also take the
    // entries of a request started meanwhile.
    m->clearDue();
    // A program change kept from the old port is no word of what the new one leads to.
    m->endKeptPrograms(true);
    const std::string choice = GetExternalMIDIChoice(input);
    const bool away = !choice.empty() && GetExternalMIDIOpenIndex(input) == 0;
    // The waiting job ends by itself and shows the text; nothing here touches a control.
    m->sender->endForPort(away ? awayText(input) : std::string());
}
