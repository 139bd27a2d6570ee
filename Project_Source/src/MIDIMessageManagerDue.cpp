// The requests still due, per device byte, oldest first: which request an answer belongs to.
#include "MIDIMessageManager.h"

#include <algorithm>
#include <chrono>
#include <iterator>

int64_t MIDIMessageManager::dueNow() const
{
    if (dueClock) return dueClock();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

uint64_t MIDIMessageManager::beginRequest()
{
    std::lock_guard<std::mutex> lock(mDueLock);
    mAwaitedRequest = ++mLastRequest;
    return mAwaitedRequest;
}

void MIDIMessageManager::endRequest()
{
    std::lock_guard<std::mutex> lock(mDueLock);
    mAwaitedRequest = 0;
}

void MIDIMessageManager::noteSent(uint64_t request, int deviceByte, int address, int64_t lifeMs)
{
    if (deviceByte < 0 || deviceByte >= kDeviceBytes) return;
    const int64_t now = dueNow();
    std::lock_guard<std::mutex> lock(mDueLock);
    mDue[size_t(deviceByte)].push_back({request, address, now + lifeMs});
}

void MIDIMessageManager::unsend(uint64_t request, int deviceByte)
{
    if (deviceByte < 0 || deviceByte >= kDeviceBytes) return;
    std::lock_guard<std::mutex> lock(mDueLock);
    auto& due = mDue[size_t(deviceByte)];
    const auto last =
        std::find_if(due.rbegin(), due.rend(), [request](const DueEntry& e) { return e.request == request; });
    if (last != due.rend()) due.erase(std::next(last).base());
}

void MIDIMessageManager::dropExpired(int deviceByte, int64_t now)
{
    auto& due = mDue[size_t(deviceByte)];
    due.erase(std::remove_if(due.begin(), due.end(), [now](const DueEntry& e) { return e.expiresMs <= now; }),
              due.end());
}

void MIDIMessageManager::endElsewhere(uint64_t request, int deviceByte)
{
    for (int d = 0; d < kDeviceBytes; ++d) {
        if (d == deviceByte) continue;
        auto& due = mDue[size_t(d)];
        due.erase(std::remove_if(due.begin(), due.end(), [request](const DueEntry& e) { return e.request == request; }),
                  due.end());
    }
}

MIDIMessageManager::Due MIDIMessageManager::answerFrom(int deviceByte, int address)
{
    if (deviceByte < 0 || deviceByte >= kDeviceBytes) return Due::Unasked;
    const int64_t now = dueNow();
    std::lock_guard<std::mutex> lock(mDueLock);
    dropExpired(deviceByte, now);
    auto& due = mDue[size_t(deviceByte)];
    // A plain answer names nothing: it is the oldest request's. A stored one names its entry.
    auto it = address == kAnyAnswer
                  ? due.begin()
                  : std::find_if(due.begin(), due.end(), [address](const DueEntry& e) { return e.address == address; });
    if (it == due.end()) return Due::Unasked;
    const uint64_t request = it->request;
    due.erase(it);
    // The same request asked at other ids is answered now; its repeats at this id are still due.
    endElsewhere(request, deviceByte);
    return request == mAwaitedRequest ? Due::Awaited : Due::Stale;
}

bool MIDIMessageManager::earlierDue(uint64_t request, int deviceByte)
{
    if (deviceByte < 0 || deviceByte >= kDeviceBytes) return false;
    const int64_t now = dueNow();
    std::lock_guard<std::mutex> lock(mDueLock);
    dropExpired(deviceByte, now);
    const auto& due = mDue[size_t(deviceByte)];
    return std::any_of(due.begin(), due.end(), [request](const DueEntry& e) { return e.request < request; });
}

int MIDIMessageManager::dueOf(uint64_t request, int deviceByte)
{
    if (deviceByte < 0 || deviceByte >= kDeviceBytes) return 0;
    const int64_t now = dueNow();
    std::lock_guard<std::mutex> lock(mDueLock);
    dropExpired(deviceByte, now);
    const auto& due = mDue[size_t(deviceByte)];
    return int(std::count_if(due.begin(), due.end(), [request](const DueEntry& e) { return e.request == request; }));
}
