#include "midi/midiconnection.h"

#include "midi/portmatching.h"
#include "midi/receivecallback.h"
#include "midi/trace.h"
#include "protocol/protocol.h"

#include <RtMidi.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <memory>
#include <vector>

RtMidiIn* g_midiIn = nullptr;
RtMidiOut* g_midiOut = nullptr;

namespace {

QString messageOf(const RtMidiError& error)
{
    return QString::fromStdString(error.getMessage());
}

template <class Port>
unsigned int portCountOf(Port& port)
{
    try {
        return port.getPortCount();
    } catch (const RtMidiError&) {
        return 0;
    }
}

// RtMidi's default constructor gives up when the first back end it tries
// throws, so on a machine without an ALSA sequencer it never reaches JACK.
// Then every compiled back end is tried in turn, preferring one with ports.
template <class Port>
Port* createPort(const char* clientName, QString& failure)
{
    try {
        return new Port(RtMidi::UNSPECIFIED, clientName);
    } catch (const RtMidiError& error) {
        failure = messageOf(error);
    }
    std::vector<RtMidi::Api> apis;
    RtMidi::getCompiledApi(apis);
    std::unique_ptr<Port> fallback;
    for (const RtMidi::Api api : apis) {
        try {
            auto port = std::make_unique<Port>(api, clientName);
            if (portCountOf(*port) > 0)
                return port.release();
            if (!fallback)
                fallback = std::move(port);
        } catch (const RtMidiError& error) {
            failure = messageOf(error);
        }
    }
    return fallback.release();
}

template <class Port>
QString portNameOf(Port& port, unsigned int index)
{
    return QString::fromStdString(port.getPortName(index));
}

template <class Port>
QStringList portNamesOf(Port& port)
{
    QStringList names;
    const unsigned int count = portCountOf(port);
    try {
        for (unsigned int i = 0; i < count; ++i)
            names.append(portNameOf(port, i));
    } catch (const RtMidiError&) {
        // A port that vanished while listing ends the list.
    }
    return names;
}

}  // namespace

MidiConnection g_midiConnection;

MidiConnection::MidiConnection()
{
    QString inFailure;
    QString outFailure;
    g_midiIn = createPort<RtMidiIn>(PortMatching::kInputClientName, inFailure);
    g_midiOut = createPort<RtMidiOut>(PortMatching::kOutputClientName, outFailure);
    if (!g_midiIn || !g_midiOut) {
        unavailableReason_ = !g_midiIn ? inFailure : outFailure;
        return;
    }
    // RtMidi's JACK back end only warns when no server answers, and then lists
    // no ports, as if the system were merely empty. The watch's client tells.
    if (g_midiOut->getCurrentApi() == RtMidi::UNIX_JACK && !serverWatch_.start())
        unavailableReason_ = QStringLiteral("There is no ALSA sequencer, and no JACK server is running.");
}

unsigned int MidiConnection::refreshInputPorts()
{
    portNames.clear();
    const QStringList listed = g_midiIn ? portNamesOf(*g_midiIn) : QStringList();
    // Another editor's output is never the device.
    std::copy_if(listed.cbegin(), listed.cend(), std::back_inserter(portNames),
                 [](const QString& name) { return !PortMatching::isOwnPort(name); });
    return static_cast<unsigned int>(portNames.size());
}

int MidiConnection::findPort(const QString& name) const
{
    return PortMatching::findLast(portNames, name);
}

int MidiConnection::nameSimilarity(const QString& a, const QString& b)
{
    return PortMatching::nameSimilarity(a, b);
}

bool MidiConnection::openPorts(int inputIndex, QString& error)
{
    if (!g_midiIn || !g_midiOut) {
        error = unavailableReason_;
        return false;
    }
    const QString chosen =
        (inputIndex >= 0 && inputIndex < portNames.size()) ? portNames.at(inputIndex) : QString();
    if (openPair(chosen, error))
        return true;
    stopReceiving();
    return false;
}

bool MidiConnection::reopenPorts(QString& error)
{
    if (!g_midiIn || !g_midiOut) {
        error = unavailableReason_;
        return false;
    }
    closePorts();
    const QStringList inputs = portNamesOf(*g_midiIn);
    const int index = PortMatching::findStable(inputs, selectedPortName);
    if (index >= 0 && openPair(inputs.at(index), error))
        return true;
    if (index < 0)
        error = QStringLiteral("The port \"%1\" is not there.").arg(selectedPortName);
    closePorts();
    return false;
}

bool MidiConnection::openPair(const QString& chosen, QString& error)
{
    try {
        // The list may have changed since the dialog read it: look again.
        const int inputIndex = PortMatching::findLast(portNamesOf(*g_midiIn), chosen);
        if (chosen.isEmpty() || inputIndex < 0) {
            error = QStringLiteral("The port \"%1\" is no longer there.")
                        .arg(chosen.isEmpty() ? selectedPortName : chosen);
            return false;
        }
        const auto input = static_cast<unsigned int>(inputIndex);
        g_midiIn->openPort(input, chosen.toStdString());
        // JACK connects by name at that moment and says nothing when the port
        // went in between: the port listed there now must still be the chosen one.
        if (portNameOf(*g_midiIn, input) != chosen) {
            error = QStringLiteral("The port \"%1\" is no longer there.").arg(chosen);
            return false;
        }

        // Read after the input is open, so the editor's own new port is listed
        // and left out, and indices are those the output will use.
        const QStringList outputNames = portNamesOf(*g_midiOut);
        const int best = PortMatching::bestOutputIndex(chosen, outputNames);
        if (best < 0) {
            error = QStringLiteral("No output port could be paired with \"%1\".").arg(chosen);
            return false;
        }

        if (!callbackInstalled_) {
            g_midiIn->setCallback(&receiveCallback, nullptr);
            // The device speaks only System Exclusive; RtMidi filters it by default.
            // Timing and active sensing are let through too: the callback skips them.
            g_midiIn->ignoreTypes(false, false, false);
            callbackInstalled_ = true;
        }

        const QString paired = outputNames.at(best);
        const auto output = static_cast<unsigned int>(best);
        g_midiOut->openPort(output, paired.toStdString());
        if (portNameOf(*g_midiOut, output) != paired) {
            error = QStringLiteral("The output port \"%1\" is no longer there.").arg(paired);
            return false;
        }
        selectedPortName = portNameOf(*g_midiIn, input);
        pairedOutputName_ = paired;
        return true;
    } catch (const RtMidiError& failure) {
        error = messageOf(failure);
    }
    return false;
}

void MidiConnection::closePorts()
{
    try {
        if (g_midiIn && g_midiIn->isPortOpen())
            g_midiIn->closePort();
        if (g_midiOut && g_midiOut->isPortOpen())
            g_midiOut->closePort();
    } catch (const RtMidiError& error) {
        std::fprintf(stderr, "Closing the MIDI ports: %s\n", error.what());
    }
}

void MidiConnection::stopReceiving()
{
    try {
        if (g_midiIn && callbackInstalled_) {
            g_midiIn->cancelCallback();
            callbackInstalled_ = false;
        }
    } catch (const RtMidiError&) {
        // Best effort: the program is ending or the open failed.
    }
    closePorts();
}

bool MidiConnection::outputOpen() const
{
    return g_midiOut && g_midiOut->isPortOpen();
}

const char* MidiConnection::dropReason(const unsigned char* frame, std::size_t length) const
{
    if (systemLost())
        return "the MIDI system has stopped";
    if (!outputOpen())
        return "the device is not connected";
    if (holdOtherFrames_) {
        const int command = length > Protocol::kCommandOffset ? frame[Protocol::kCommandOffset] : -1;
        using Protocol::Command;
        if (command != static_cast<int>(Command::BackupRequest) && command != static_cast<int>(Command::BackupBlock)
            && command != static_cast<int>(Command::StartupRequest))
            return "a backup or restore is under way";
    }
    return nullptr;
}

int MidiConnection::send(const unsigned char* frame, std::size_t capacity)
{
    if (!frame)
        return 0;
    const unsigned char* const end = std::find(frame, frame + capacity, Protocol::kSysExEnd);
    if (end == frame + capacity) {
        std::fprintf(stderr, "Not sent: a frame without its closing F7\n");
        return 0;
    }
    const auto length = static_cast<std::size_t>(end - frame) + 1;
    Trace::sentFrame(frame, length);
    if (const char* const reason = dropReason(frame, length)) {
        std::fprintf(stderr, "Not sent: %s\n", reason);
        return static_cast<int>(length);
    }
    std::vector<unsigned char> message(frame, frame + length);
    try {
        g_midiOut->sendMessage(&message);
    } catch (const RtMidiError& error) {
        std::fprintf(stderr, "MIDI output error: %s\n", error.what());
    }
    return static_cast<int>(length);
}
