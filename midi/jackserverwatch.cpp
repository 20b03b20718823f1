#include "midi/jackserverwatch.h"

#include <jack/jack.h>

#include <cstdio>

namespace {
constexpr char kClientName[] = "Zandorium Uploader watch";
}

JackServerWatch::~JackServerWatch()
{
    // A client of a server that has gone cannot be closed cleanly.
    if (client_ && !serverStopped())
        jack_client_close(client_);
}

bool JackServerWatch::start()
{
    if (client_)
        return true;
    jack_status_t status{};
    client_ = jack_client_open(kClientName, JackNoStartServer, &status);
    if (!client_)
        return false;
    jack_on_info_shutdown(client_, &JackServerWatch::onShutdown, this);
    return true;
}

QStringList JackServerWatch::midiPortNames(bool sources) const
{
    QStringList names;
    if (!client_ || serverStopped())
        return names;
    const char** const ports =
        jack_get_ports(client_, nullptr, JACK_DEFAULT_MIDI_TYPE, sources ? JackPortIsOutput : JackPortIsInput);
    if (!ports)
        return names;
    for (const char** port = ports; *port; ++port)
        names.append(QString::fromUtf8(*port));
    jack_free(ports);
    return names;
}

void JackServerWatch::onShutdown(jack_status_t /*code*/, const char* /*reason*/, void* watch)
{
    auto* const self = static_cast<JackServerWatch*>(watch);
    if (!self->stopped_.exchange(true, std::memory_order_acq_rel))
        std::fprintf(stderr, "The JACK server has stopped: nothing more reaches the device or comes from it.\n");
}
