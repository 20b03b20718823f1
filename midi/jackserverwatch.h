#pragma once
// Notices when the JACK server stops under us. RtMidi keeps its JACK clients
// after that and drops every message without a word, so the program keeps a
// port-less client of its own whose shutdown notice says the server is gone.

#include <jack/types.h>

#include <atomic>
#include <functional>

class JackServerWatch
{
public:
    JackServerWatch() = default;
    ~JackServerWatch();
    JackServerWatch(const JackServerWatch&) = delete;
    JackServerWatch& operator=(const JackServerWatch&) = delete;

    // Starts watching the running server; false when none answers. onStop
    // runs once, on a thread of JACK's, when the server stops.
    bool start(std::function<void()> onStop);
    bool serverStopped() const { return stopped_.load(std::memory_order_acquire); }

private:
    static void onShutdown(jack_status_t code, const char* reason, void* watch);

    jack_client_t* client_ = nullptr;
    std::atomic<bool> stopped_{false};
    std::function<void()> onStop_;  // set before the client opens, then only read
};
