#include "kit/plugin/IMidiAlsaLister.h"

#include <alsa/asoundlib.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <mutex>
#include <thread>

#include "kit/threadname.h"

namespace
{

// The numbers that end an ALSA port name as the library gives it ("Synth:Synth MIDI 1 24:0").
bool ClientAndPort(const std::string& name, int* client, int* port)
{
    const size_t space = name.rfind(' ');
    if (space == std::string::npos) return false;
    const std::string tail = name.substr(space + 1);
    const size_t colon = tail.find(':');
    if (colon == 0 || colon == std::string::npos || colon + 1 == tail.size()) return false;
    for (size_t i = 0; i < tail.size(); ++i)
        if (i != colon && !std::isdigit(static_cast<unsigned char>(tail[i]))) return false;
    if (colon > 3 || tail.size() - colon - 1 > 3) return false; // clients and ports stay below 256
    *client = std::stoi(tail.substr(0, colon));
    *port = std::stoi(tail.substr(colon + 1));
    return true;
}

// Whether an event of the announce port may change a list or a connection.
bool Changes(int type)
{
    switch (type) {
    case SND_SEQ_EVENT_CLIENT_START:
    case SND_SEQ_EVENT_CLIENT_EXIT:
    case SND_SEQ_EVENT_CLIENT_CHANGE:
    case SND_SEQ_EVENT_PORT_START:
    case SND_SEQ_EVENT_PORT_EXIT:
    case SND_SEQ_EVENT_PORT_CHANGE:
    case SND_SEQ_EVENT_PORT_SUBSCRIBED:
    case SND_SEQ_EVENT_PORT_UNSUBSCRIBED:
    case IMidiAlsaSeq::kLost:
    case IMidiAlsaSeq::kFailed: return true;
    default: return false;
    }
}

class AlsaSeq : public IMidiAlsaSeq
{
public:
    AlsaSeq(snd_seq_t* seq, int wakeRead, int wakeWrite) : mSeq(seq), mWakeRead(wakeRead), mWakeWrite(wakeWrite) {}
    ~AlsaSeq() override
    {
        snd_seq_close(mSeq);
        close(mWakeRead);
        close(mWakeWrite);
    }
    int Next(int ms) override
    {
        for (;;) {
            {
                std::lock_guard<std::mutex> hold(mLock);
                snd_seq_event_t* event = nullptr;
                const int got = snd_seq_event_input(mSeq, &event);
                if (got >= 0 && event) return event->type;
                if (got == -ENOSPC) return kLost;
                if (got < 0 && got != -EAGAIN) return kFailed;
            }
            std::vector<pollfd> fds(size_t(snd_seq_poll_descriptors_count(mSeq, POLLIN)) + 1);
            fds[0] = {mWakeRead, POLLIN, 0};
            snd_seq_poll_descriptors(mSeq, &fds[1], unsigned(fds.size() - 1), POLLIN);
            const int ready = poll(fds.data(), fds.size(), ms);
            if (ready < 0 && errno != EINTR) return kFailed;
            if (ready == 0) return kNone;
            if (fds[0].revents) {
                char drained[16];
                while (read(mWakeRead, drained, sizeof drained) > 0) {
                }
                return kNone;
            }
        }
    }
    void Interrupt() override
    {
        const char one = 1;
        (void)!write(mWakeWrite, &one, 1);
    }
    bool Subscribers(int client, int port, bool reading, std::vector<std::string>* names) override
    {
        names->clear();
        std::lock_guard<std::mutex> hold(mLock);
        snd_seq_query_subscribe_t* query;
        snd_seq_client_info_t* clientInfo;
        snd_seq_port_info_t* portInfo;
        snd_seq_query_subscribe_alloca(&query);
        snd_seq_client_info_alloca(&clientInfo);
        snd_seq_port_info_alloca(&portInfo);
        const snd_seq_addr_t root{static_cast<unsigned char>(client), static_cast<unsigned char>(port)};
        snd_seq_query_subscribe_set_root(query, &root);
        snd_seq_query_subscribe_set_type(query, reading ? SND_SEQ_QUERY_SUBS_READ : SND_SEQ_QUERY_SUBS_WRITE);
        snd_seq_query_subscribe_set_index(query, 0);
        while (snd_seq_query_port_subscribers(mSeq, query) >= 0) {
            const snd_seq_addr_t* peer = snd_seq_query_subscribe_get_addr(query);
            std::string name = "?:?";
            if (snd_seq_get_any_client_info(mSeq, peer->client, clientInfo) >= 0 &&
                snd_seq_get_any_port_info(mSeq, peer->client, peer->port, portInfo) >= 0)
                name =
                    std::string(snd_seq_client_info_get_name(clientInfo)) + ":" + snd_seq_port_info_get_name(portInfo);
            names->push_back(name);
            snd_seq_query_subscribe_set_index(query, snd_seq_query_subscribe_get_index(query) + 1);
        }
        return true;
    }

private:
    std::mutex mLock; // the sequencer's handle is not for two threads at once
    snd_seq_t* const mSeq;
    const int mWakeRead, mWakeWrite;
};

class AlsaLister : public IMidiPortLister
{
public:
    AlsaLister(std::unique_ptr<IMidiPortLister> names, std::unique_ptr<IMidiAlsaSeq> seq, Wake wake, void* data)
        : mNames(std::move(names)), mSeq(std::move(seq)), mWake(wake), mData(data)
    {
        if (!mSeq) return;
        mTelling = true;
        mReader = std::thread([this] {
            KIT_NameThisThread("alsa-look");
            Read();
        });
    }
    ~AlsaLister() override
    {
        mStop = true;
        if (mSeq) mSeq->Interrupt();
        if (mReader.joinable()) mReader.join();
    }
    bool List(bool input, std::vector<std::string>* names) override { return mNames->List(input, names); }
    bool Tells() const override { return mTelling; }
    bool Connections(bool input, const std::string& name, std::vector<std::string>* peers) override
    {
        int client, port;
        // An input reads from the device's port, an output writes to it.
        return mSeq && ClientAndPort(name, &client, &port) && mSeq->Subscribers(client, port, input, peers);
    }

private:
    void Read()
    {
        while (!mStop) {
            const int event = mSeq->Next(-1);
            if (event == IMidiAlsaSeq::kFailed) mTelling = false; // the follower looks by itself from now on
            if (Changes(event) && !mStop && mWake) mWake(mData);
            if (event == IMidiAlsaSeq::kFailed) return;
        }
    }
    const std::unique_ptr<IMidiPortLister> mNames;
    const std::unique_ptr<IMidiAlsaSeq> mSeq;
    const Wake mWake;
    void* const mData;
    std::atomic<bool> mTelling{false}, mStop{false};
    std::thread mReader;
};

} // namespace

std::unique_ptr<IMidiAlsaSeq> IMidiAlsaSeq::Open(const char* clientName)
{
    snd_seq_t* seq = nullptr;
    if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK) < 0) return nullptr;
    snd_seq_set_client_name(seq, clientName);
    // Writable for the announce port alone: no list of ports shows it, so nobody picks it.
    const int port = snd_seq_create_simple_port(seq, "announce", SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_NO_EXPORT,
                                                SND_SEQ_PORT_TYPE_APPLICATION);
    int wake[2];
    if (port < 0 || snd_seq_connect_from(seq, port, SND_SEQ_CLIENT_SYSTEM, SND_SEQ_PORT_SYSTEM_ANNOUNCE) < 0 ||
        pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        snd_seq_close(seq);
        return nullptr;
    }
    return std::make_unique<AlsaSeq>(seq, wake[0], wake[1]);
}

std::unique_ptr<IMidiPortLister> IMakeAlsaLister(std::unique_ptr<IMidiPortLister> names,
                                                 std::unique_ptr<IMidiAlsaSeq> seq, IMidiPortLister::Wake wake,
                                                 void* data)
{
    return std::make_unique<AlsaLister>(std::move(names), std::move(seq), wake, data);
}
