#include "midi/midiconnection.h"

#include "midi/midisystem.h"
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
    MidiSystem system = openMidiSystem(PortMatching::kInputClientName, PortMatching::kOutputClientName, serverWatch_);
    unavailableReason_ = system.unavailableReason;
    g_midiIn = system.in.release();
    g_midiOut = system.out.release();
}

PortMatching::Naming MidiConnection::naming() const
{
    if (!g_midiIn)
        return PortMatching::Naming::Plain;
    switch (g_midiIn->getCurrentApi()) {
    case RtMidi::LINUX_ALSA:
        return PortMatching::Naming::Alsa;
    case RtMidi::UNIX_JACK:
        return PortMatching::Naming::Jack;
    default:
        return PortMatching::Naming::Plain;
    }
}

unsigned int MidiConnection::refreshInputPorts()
{
    portNames.clear();
    const QStringList listed = g_midiIn ? portNamesOf(*g_midiIn) : QStringList();
    // Another editor's output, and the sequencer's own loop, are never the device.
    std::copy_if(listed.cbegin(), listed.cend(), std::back_inserter(portNames), [this](const QString& name) {
        return !PortMatching::isOwnPort(name) && !PortMatching::isSequencerLoop(name, naming());
    });
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
    if (openPair(chosen, QString(), error))
        return true;
    stopReceiving();
    return false;
}

bool MidiConnection::reopenPorts(const QString& inputName, const QString& outputName, QString& error)
{
    if (!g_midiIn || !g_midiOut) {
        error = unavailableReason_;
        return false;
    }
    closePorts();
    if (openPair(inputName, outputName, error))
        return true;
    closePorts();
    return false;
}

bool MidiConnection::openPair(const QString& chosen, const QString& output, QString& error)
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
        const PortMatching::Match pairing = output.isEmpty()
                                                ? PortMatching::pairOutput(chosen, outputNames, naming())
                                                : PortMatching::Match{PortMatching::findLast(outputNames, output), {}};
        if (pairing.index < 0) {
            if (!output.isEmpty())
                error = QStringLiteral("The output port \"%1\" is no longer there.").arg(output);
            else if (pairing.rivals.isEmpty())
                error = QStringLiteral("No output port could be paired with \"%1\".").arg(chosen);
            else
                error = QStringLiteral("No output port could be paired with \"%1\": %2 could each belong to it. "
                                       "Give the devices names of their own.")
                            .arg(chosen, pairing.rivals.join(QStringLiteral(" and ")));
            return false;
        }

        if (!callbackInstalled_) {
            g_midiIn->setCallback(&receiveCallback, nullptr);
            // The device speaks only System Exclusive; RtMidi filters it by default.
            // Timing and active sensing are let through too: the callback skips them.
            g_midiIn->ignoreTypes(false, false, false);
            callbackInstalled_ = true;
        }

        const QString paired = outputNames.at(pairing.index);
        const auto outputIndex = static_cast<unsigned int>(pairing.index);
        g_midiOut->openPort(outputIndex, paired.toStdString());
        if (portNameOf(*g_midiOut, outputIndex) != paired) {
            error = QStringLiteral("The output port \"%1\" is no longer there.").arg(paired);
            return false;
        }
        // Not read back from the list: under ALSA the output just opened is
        // listed among the inputs, before a client made after the editor's.
        selectedPortName = chosen;
        pairedOutputName_ = paired;
        // Which ports, for the reader of a trace that shows no answer.
        Trace::note(QStringLiteral("Ports opened: %1 (input), %2 (output)").arg(chosen, paired));
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
        Trace::errorLine(QStringLiteral("Closing the MIDI ports: ") + QString::fromUtf8(error.what()));
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
        Trace::errorLine(QStringLiteral("Not sent: a frame without its closing F7"));
        return 0;
    }
    const auto length = static_cast<std::size_t>(end - frame) + 1;
    Trace::sentFrame(frame, length);
    if (const char* const reason = dropReason(frame, length)) {
        Trace::errorLine(QStringLiteral("Not sent: ") + QLatin1String(reason));
        return static_cast<int>(length);
    }
    std::vector<unsigned char> message(frame, frame + length);
    try {
        g_midiOut->sendMessage(&message);
    } catch (const RtMidiError& error) {
        Trace::errorLine(QStringLiteral("MIDI output error: ") + QString::fromUtf8(error.what()));
    }
    return static_cast<int>(length);
}
