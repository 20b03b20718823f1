#pragma once
// Notices when the JACK server stops under us. RtMidi keeps its JACK clients
// after that and drops every message without a word, so the program keeps a
// port-less client of its own whose shutdown notice says the server is gone.

#include <QStringList>

#include <jack/types.h>

#include <atomic>

class JackServerWatch
{
public:
    JackServerWatch() = default;
    ~JackServerWatch();
    JackServerWatch(const JackServerWatch&) = delete;
    JackServerWatch& operator=(const JackServerWatch&) = delete;

    // Starts watching the running server; false when none answers. When it
    // stops, a line goes to standard error and serverStopped() turns true.
    bool start();
    // Any thread may ask.
    bool serverStopped() const { return stopped_.load(std::memory_order_acquire); }

    // The full names of the server's MIDI ports that a MIDI input can read
    // (sources) or a MIDI output can write (not sources), as RtMidi names them.
    // The client is never activated, so asking wakes no thread of ours in the
    // server's cycle. Empty when the server is not watched or has stopped.
    QStringList midiPortNames(bool sources) const;
    // The full names of the ports connected to the named one.
    QStringList connections(const QString& name) const;

private:
    // Runs on a thread of JACK's.
    static void onShutdown(jack_status_t code, const char* reason, void* watch);

    jack_client_t* client_ = nullptr;
    std::atomic<bool> stopped_{false};
};
