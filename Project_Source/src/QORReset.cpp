// The host's reset: per-block state in line with the sample rate and block size, and the
// read-out texts back to idle.
#include <locale>
#include <mutex>
#include <sstream>

#include "QOR.h"
#include "kit/plugin/IControl.h"

void QOR::Reset()
{
    KIT_MutexLock lock(GetMutex());
    const double rate = GetSampleRate();
    // A NaN on either side counts as a change.
    if (!(hostSampleRate.load() == rate)) hostSampleRate = rate;
    {
        // Producers add under the queue's lock; the resize may move the buffer under them.
        std::lock_guard<std::mutex> queueLock(midiOutQueue.GetLock());
        midiOutQueue.Resize(GetBlockSize());
    }
    allSoundsOffPending = true;
    // An offset set meanwhile (from the project or the offset parameter) stays.
    int32_t unset = 0;
    dawOffset.compare_exchange_strong(unset, GetBlockSize());

    if (logEnabled) {
        std::ostringstream text;
        text.imbue(std::locale::classic());
        text << "RESET: Host sample rate " << hostSampleRate.load() << "Hz";
        log(text.str());
    }
    char version[32] = {};
    GetEffectVersionStr(version);
    log(std::string("RESET: plug-in ") + version);

    // A running transfer keeps its progress texts. Read-outs the editor has not made are skipped.
    if (deviceTransferActive) return;
    const std::string value = logEnabled ? std::string(version) + " 16-Jan-2020" : std::string(version);
    const struct {
        ITextControl* control;
        const char* text;
    } readOuts[] = {
        {statusDisplay, "Brixtane QOR Plug-in"}, {valueDisplay, value.c_str()}, {buildDisplay, version},
        {categoryDisplay, "INIT"},               {patchDisplay, "-- INIT --"},   {ccDisplay, "---"},
    };
    for (const auto& r : readOuts)
        if (r.control) r.control->SetTextFromPlug(r.text);
}
