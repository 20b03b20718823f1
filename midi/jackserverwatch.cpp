#include "midi/jackserverwatch.h"

#include <jack/jack.h>

#include <cstdio>

namespace {
constexpr char kClientName[] = "Zandorium Uploader watch";

// JACK's null-terminated list of names, freed here.
QStringList takeNames(const char** names)
{
    QStringList taken;
    if (!names)
        return taken;
    for (const char** name = names; *name; ++name)
        taken.append(QString::fromUtf8(*name));
    jack_free(names);
    return taken;
}
}  // namespace

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
    if (!client_ || serverStopped())
        return {};
    return takeNames(
        jack_get_ports(client_, nullptr, JACK_DEFAULT_MIDI_TYPE, sources ? JackPortIsOutput : JackPortIsInput));
}

QStringList JackServerWatch::connections(const QString& name) const
{
    if (!client_ || serverStopped())
        return {};
    const jack_port_t* const port = jack_port_by_name(client_, name.toUtf8().constData());
    return port ? takeNames(jack_port_get_all_connections(client_, port)) : QStringList();
}

void JackServerWatch::onShutdown(jack_status_t /*code*/, const char* /*reason*/, void* watch)
{
    auto* const self = static_cast<JackServerWatch*>(watch);
    if (!self->stopped_.exchange(true, std::memory_order_acq_rel))
        std::fprintf(stderr, "The JACK server has stopped: nothing more reaches the device or comes from it.\n");
}
