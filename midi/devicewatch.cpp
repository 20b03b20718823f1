#include "midi/devicewatch.h"

#include "midi/midiconnection.h"
#include "midi/portmatching.h"
#include "midi/trace.h"

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
    askAlsa_ = api == RtMidi::LINUX_ALSA && alsa_.open();
    pairedInOneClient_ = PortMatching::sameClient(g_midiConnection.selectedPortName,
                                                  g_midiConnection.pairedOutputName(), g_midiConnection.naming());
    try {
        if (!askJack_) {
            in_ = std::make_unique<RtMidiIn>(api, kClientName);
            out_ = std::make_unique<RtMidiOut>(api, kClientName);
        }
        const Lists now = lists();
        connected_ = identityOf(now);
        noteNamesakes(now);
    } catch (const RtMidiError& error) {
        Trace::errorLine(QStringLiteral("The device's ports cannot be watched: if it goes, nothing says so. ")
                         + QString::fromUtf8(error.what()));
        return;
    }
    timer_.start();
}

DeviceWatch::Lists DeviceWatch::lists() const
{
    if (askJack_) {
        const JackServerWatch& jack = g_midiConnection.serverWatch();
        return {jack.midiPortNames(true), jack.midiPortNames(false)};
    }
    return {namesOf(*in_), namesOf(*out_)};
}

QString DeviceWatch::identityOf(const QString& name, const QStringList& names) const
{
    if (!names.contains(name))
        return {};
    if (!askJack_ && !askAlsa_)
        return name;
    // Back within a second, a device has the same names, but the editor's
    // connections went with the ports it had.
    const QStringList connections =
        askJack_ ? g_midiConnection.serverWatch().connections(name) : alsa_.connections(name);
    const bool linked = std::any_of(connections.cbegin(), connections.cend(), &PortMatching::isOwnPort);
    return name + (linked ? QLatin1String(" (connected)") : QLatin1String(" (not connected)"));
}

QString DeviceWatch::identityOf(const Lists& now) const
{
    const QString input = identityOf(g_midiConnection.selectedPortName, now.inputs);
    const QString output = identityOf(g_midiConnection.pairedOutputName(), now.outputs);
    return input.isEmpty() || output.isEmpty() ? QString() : input + QLatin1Char('\n') + output;
}

QList<PortMatching::KnownPort> DeviceWatch::known(const QStringList& names) const
{
    QList<PortMatching::KnownPort> ports;
    for (const QString& name : names)
        ports.append({name, askAlsa_ ? alsa_.location(name) : QString()});
    return ports;
}

void DeviceWatch::noteNamesakes(const Lists& now)
{
    const PortMatching::Naming naming = g_midiConnection.naming();
    input_ = known({g_midiConnection.selectedPortName}).first();
    output_ = known({g_midiConnection.pairedOutputName()}).first();
    namesakeInputs_ = known(PortMatching::namesakes(now.inputs, input_.name, naming));
    namesakeOutputs_ = known(PortMatching::namesakes(now.outputs, output_.name, naming));
}

void DeviceWatch::sayOnce(const QString& line)
{
    if (line == lastSaid_)
        return;
    lastSaid_ = line;
    Trace::errorLine(line);
}

void DeviceWatch::check()
{
    // A stopped JACK server leaves nothing to ask; the editor says so itself.
    if (g_midiConnection.systemLost()) {
        timer_.stop();
        return;
    }
    Lists now;
    try {
        now = lists();
    } catch (const RtMidiError&) {
        return;  // a port went while the list was read: the next check sees
    }
    if (!lost_) {
        if (identityOf(now) == connected_) {
            noteNamesakes(now);
            return;
        }
        lost_ = true;
        lastSaid_.clear();
        g_midiConnection.closePorts();
        Trace::errorLine(QStringLiteral("The device's ports have gone: ") + g_midiConnection.selectedPortName);
        emit lost(PortMatching::stableName(g_midiConnection.selectedPortName, g_midiConnection.naming()));
        // Gone and back between two checks: opened again at once.
    }
    if (!reconnect(now))
        return;
    try {
        const Lists reopened = lists();
        connected_ = identityOf(reopened);
        noteNamesakes(reopened);
    } catch (const RtMidiError&) {
        connected_.clear();  // seen as gone at the next check
    }
    lost_ = false;
    Trace::errorLine(QStringLiteral("The device is back: ") + g_midiConnection.selectedPortName);
    emit found();
}

bool DeviceWatch::reconnect(const Lists& now)
{
    const PortMatching::Naming naming = g_midiConnection.naming();
    const PortMatching::Match input = PortMatching::findAgain(known(now.inputs), input_, namesakeInputs_, naming);
    if (input.index < 0) {
        if (!input.rivals.isEmpty())
            sayOnce(QStringLiteral("The device is back, but %1 could each be it: waiting until one is gone.")
                        .arg(input.rivals.join(QStringLiteral(" and "))));
        return false;
    }
    const QString& inputName = now.inputs.at(input.index);
    // A device whose ports shared a client comes back with them in one client.
    QStringList outputs = now.outputs;
    if (pairedInOneClient_) {
        outputs.erase(std::remove_if(outputs.begin(), outputs.end(),
                                     [&](const QString& output) {
                                         return !PortMatching::sameClient(inputName, output, naming);
                                     }),
                      outputs.end());
    }
    const PortMatching::Match output = PortMatching::findAgain(known(outputs), output_, namesakeOutputs_, naming);
    if (output.index < 0) {
        if (!output.rivals.isEmpty())
            sayOnce(QStringLiteral("The device is back, but its output could be %1: waiting until one is gone.")
                        .arg(output.rivals.join(QStringLiteral(" or "))));
        return false;
    }
    QString error;
    if (!g_midiConnection.reopenPorts(inputName, outputs.at(output.index), error)) {
        // Perhaps not all of its ports are up yet: the next check tries again.
        sayOnce(QStringLiteral("The device is back, but its ports could not be opened yet: %1").arg(error));
        return false;
    }
    return true;
}
