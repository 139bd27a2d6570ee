#pragma once
// Another program holding the synthesizer's two port names while the synthesizer is away, and
// taking no connection: the ports are listed under the names the editor follows, but nothing
// reaches anyone through them. Two ways to refuse: a client that never joins the graph (the
// server refuses every connection), or one that joins and undoes each connection as soon as it
// is told of it.
#include <jack/jack.h>
#include <semaphore.h>
#include <time.h>

#include <atomic>
#include <string>
#include <thread>

class PortHolder
{
public:
    // name: the synthesizer's client name; it listens on name:in and sends from name-out:out.
    PortHolder(const std::string& name, bool undoes) : mUndoes(undoes)
    {
        sem_init(&mConnected, 0, 0);
        mIn = jack_client_open(name.c_str(), jack_options_t(JackNoStartServer | JackUseExactName), nullptr);
        mOut = jack_client_open((name + "-out").c_str(), jack_options_t(JackNoStartServer | JackUseExactName), nullptr);
        if (!mIn || !mOut) return;
        mInPort = jack_port_register(mIn, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
        mOutPort = jack_port_register(mOut, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        if (!mInPort || !mOutPort) return;
        if (!undoes) {
            mOk = true;
            return;
        }
        // The server's notification thread may not call the server: a thread of ours undoes,
        // through a client of its own, so that no request of it waits behind a notification.
        mUndo = jack_client_open((name + "-undo").c_str(), JackNoStartServer, nullptr);
        if (!mUndo) return;
        // A client without a process callback is left out of the graph, yet a connection makes
        // the graph wait for it: a synchronous server then stalls each cycle until its timeout.
        jack_set_process_callback(mIn, Process, nullptr);
        jack_set_process_callback(mOut, Process, nullptr);
        jack_set_port_connect_callback(mIn, OnConnect, this);
        mUndoer = std::thread([this] { Undo(); });
        mInFailed = jack_activate(mIn) != 0;
        mOutFailed = !mInFailed && jack_activate(mOut) != 0;
        mOk = !mInFailed && !mOutFailed;
    }
    ~PortHolder()
    {
        mStop = true;
        sem_post(&mConnected);
        if (mUndoer.joinable()) mUndoer.join();
        // One whose activation failed may still start its thread on a closed client's memory: it is
        // left open, and goes with the process.
        if (mIn && !mInFailed) jack_client_close(mIn);
        if (mOut && !mOutFailed) jack_client_close(mOut);
        if (mUndo) jack_client_close(mUndo);
        sem_destroy(&mConnected);
    }
    PortHolder(const PortHolder&) = delete;
    PortHolder& operator=(const PortHolder&) = delete;
    bool Ok() const { return mOk; }
    // Connections it undid.
    int Undone() const { return mUndone; }

private:
    static int Process(jack_nframes_t, void*) { return 0; }
    // Every client's connections are told to every client; the undoer looks at its own.
    static void OnConnect(jack_port_id_t, jack_port_id_t, int connect, void* self)
    {
        if (connect) sem_post(&static_cast<PortHolder*>(self)->mConnected);
    }
    void Undo()
    {
        // Told or not: the list a client reads may show a connection a moment after its notice.
        while (!mStop) {
            timespec until;
            clock_gettime(CLOCK_REALTIME, &until);
            until.tv_nsec += 20 * 1000000L;
            if (until.tv_nsec >= 1000000000L) until.tv_sec += 1, until.tv_nsec -= 1000000000L;
            sem_timedwait(&mConnected, &until);
            if (mStop) break;
            for (jack_port_t* port : {mInPort, mOutPort}) {
                const char** peers = jack_port_get_connections(port);
                for (size_t i = 0; peers && peers[i]; ++i) {
                    const bool in = port == mInPort;
                    mUndone += jack_disconnect(mUndo, in ? peers[i] : jack_port_name(port),
                                               in ? jack_port_name(port) : peers[i]) == 0;
                }
                if (peers) jack_free(peers);
            }
        }
    }

    const bool mUndoes;
    jack_client_t* mIn = nullptr;
    jack_client_t* mOut = nullptr;
    jack_client_t* mUndo = nullptr;
    jack_port_t* mInPort = nullptr;
    jack_port_t* mOutPort = nullptr;
    bool mOk = false;
    bool mInFailed = false, mOutFailed = false; // their activation was asked and failed
    sem_t mConnected;
    std::atomic<bool> mStop{false};
    std::atomic<int> mUndone{0};
    std::thread mUndoer;
};
