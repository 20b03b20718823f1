#include "midi/devicewatch.h"

#include "midi/midiconnection.h"
#include "midi/portmatching.h"

#include <RtMidi.h>

#include <algorithm>
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
    try {
        if (!askJack_) {
            in_ = std::make_unique<RtMidiIn>(api, kClientName);
            out_ = std::make_unique<RtMidiOut>(api, kClientName);
        }
        connectedPorts_ = currentPorts();
    } catch (const RtMidiError& error) {
        std::fprintf(stderr, "The device's ports cannot be watched: if it goes, nothing says so. %s\n", error.what());
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

QString DeviceWatch::identityOf(bool sources, const QString& name) const
{
    const QStringList names = portNames(sources);
    const int index = PortMatching::findStable(names, name);
    if (index < 0)
        return {};
    const QString& fullName = names.at(index);
    if (!askJack_)
        return fullName;  // an ALSA client that comes back is numbered anew
    // A device back within a second has the same JACK names, but the editor's
    // connections went with the ports it had.
    const QStringList connections = g_midiConnection.serverWatch().connections(fullName);
    const bool linked = std::any_of(connections.cbegin(), connections.cend(), &PortMatching::isOwnPort);
    return fullName + (linked ? QLatin1String(" (connected)") : QLatin1String(" (not connected)"));
}

QString DeviceWatch::currentPorts() const
{
    const QString input = identityOf(true, g_midiConnection.selectedPortName);
    const QString output = identityOf(false, g_midiConnection.pairedOutputName());
    return input.isEmpty() || output.isEmpty() ? QString() : input + QLatin1Char('\n') + output;
}

void DeviceWatch::check()
{
    // A stopped JACK server leaves nothing to ask; the editor says so itself.
    if (g_midiConnection.systemLost()) {
        timer_.stop();
        return;
    }
    QString ports;
    try {
        ports = currentPorts();
    } catch (const RtMidiError&) {
        return;  // a port went while the list was read: the next check sees
    }
    if (!lost_) {
        if (ports == connectedPorts_)
            return;
        lost_ = true;
        g_midiConnection.closePorts();
        std::fprintf(stderr, "The device's ports have gone: %s\n", qPrintable(g_midiConnection.selectedPortName));
        emit lost(g_midiConnection.selectedPortName);
        // Gone and back between two checks: opened again at once.
    }
    if (ports.isEmpty())
        return;
    QString error;
    if (!g_midiConnection.reopenPorts(error)) {
        // Perhaps not all of its ports are up yet: the next check tries again.
        std::fprintf(stderr, "The device is back, but its ports could not be opened yet: %s\n", qPrintable(error));
        return;
    }
    try {
        connectedPorts_ = currentPorts();
    } catch (const RtMidiError&) {
        connectedPorts_.clear();  // seen as gone at the next check
    }
    lost_ = false;
    std::fprintf(stderr, "The device is back: %s\n", qPrintable(g_midiConnection.selectedPortName));
    emit found();
}
