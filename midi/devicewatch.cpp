#include "midi/devicewatch.h"

#include "midi/midiconnection.h"
#include "midi/portmatching.h"

#include <RtMidi.h>

#include <cstdio>

namespace {

constexpr int kCheckIntervalMs = 1000;
constexpr char kClientName[] = "Zandorium Uploader port watch";

template <class Port>
QStringList namesOf(Port& port)
{
    QStringList names;
    const unsigned int count = port.getPortCount();
    for (unsigned int i = 0; i < count; ++i)
        names.append(QString::fromStdString(port.getPortName(i)));
    return names;
}

}  // namespace

DeviceWatch::DeviceWatch(QObject* parent) : QObject(parent)
{
    timer_.setInterval(kCheckIntervalMs);
    connect(&timer_, &QTimer::timeout, this, &DeviceWatch::check);
}

DeviceWatch::~DeviceWatch() = default;

void DeviceWatch::start()
{
    if (!g_midiIn)
        return;
    const RtMidi::Api api = g_midiIn->getCurrentApi();
    askJack_ = api == RtMidi::UNIX_JACK;
    if (askJack_) {
        timer_.start();
        return;
    }
    try {
        in_ = std::make_unique<RtMidiIn>(api, kClientName);
        out_ = std::make_unique<RtMidiOut>(api, kClientName);
    } catch (const RtMidiError& error) {
        std::fprintf(stderr, "The device's ports cannot be watched: if it goes, nothing says so. %s\n", error.what());
        in_.reset();
        out_.reset();
        return;
    }
    timer_.start();
}

QStringList DeviceWatch::portNames(bool sources) const
{
    if (askJack_)
        return g_midiConnection.serverWatch().midiPortNames(sources);
    return sources ? namesOf(*in_) : namesOf(*out_);
}

bool DeviceWatch::portsListed() const
{
    return PortMatching::findStable(portNames(true), g_midiConnection.selectedPortName) >= 0
           && PortMatching::findStable(portNames(false), g_midiConnection.pairedOutputName()) >= 0;
}

void DeviceWatch::check()
{
    // A stopped JACK server leaves nothing to ask; the editor says so itself.
    if (g_midiConnection.systemLost()) {
        timer_.stop();
        return;
    }
    bool listed = false;
    try {
        listed = portsListed();
    } catch (const RtMidiError&) {
        return;  // a port went while the list was read: the next check sees
    }
    if (!lost_) {
        if (listed)
            return;
        lost_ = true;
        g_midiConnection.closePorts();
        std::fprintf(stderr, "The device's ports have gone: %s\n", qPrintable(g_midiConnection.selectedPortName));
        emit lost(g_midiConnection.selectedPortName);
        return;
    }
    if (!listed)
        return;
    QString error;
    if (!g_midiConnection.reopenPorts(error)) {
        // Perhaps not all of its ports are up yet: the next check tries again.
        std::fprintf(stderr, "The device is back, but its ports could not be opened yet: %s\n", qPrintable(error));
        return;
    }
    lost_ = false;
    std::fprintf(stderr, "The device is back: %s\n", qPrintable(g_midiConnection.selectedPortName));
    emit found();
}
