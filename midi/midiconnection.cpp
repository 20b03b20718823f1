#include "midi/midiconnection.h"

#include "midi/portmatching.h"
#include "midi/receivecallback.h"
#include "midi/trace.h"
#include "protocol/protocol.h"

#include <RtMidi.h>

#include <algorithm>
#include <cstdio>
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
Port* createPort(QString& failure)
{
    try {
        return new Port();
    } catch (const RtMidiError& error) {
        failure = messageOf(error);
    }
    std::vector<RtMidi::Api> apis;
    RtMidi::getCompiledApi(apis);
    std::unique_ptr<Port> fallback;
    for (const RtMidi::Api api : apis) {
        try {
            auto port = std::make_unique<Port>(api);
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

}  // namespace

MidiConnection g_midiConnection;

MidiConnection::MidiConnection()
{
    QString inFailure;
    QString outFailure;
    g_midiIn = createPort<RtMidiIn>(inFailure);
    g_midiOut = createPort<RtMidiOut>(outFailure);
    if (!g_midiIn || !g_midiOut)
        unavailableReason_ = !g_midiIn ? inFailure : outFailure;
}

unsigned int MidiConnection::refreshInputPorts()
{
    portNames.clear();
    if (!g_midiIn)
        return 0;
    const unsigned int count = portCountOf(*g_midiIn);
    try {
        for (unsigned int i = 0; i < count; ++i)
            portNames.append(portNameOf(*g_midiIn, i));
    } catch (const RtMidiError&) {
        // A port that vanished while listing ends the list.
    }
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
    try {
        g_midiIn->openPort(static_cast<unsigned int>(inputIndex), chosen.toStdString());

        QStringList outputNames;
        const unsigned int outputCount = g_midiOut->getPortCount();
        for (unsigned int i = 0; i < outputCount; ++i)
            outputNames.append(portNameOf(*g_midiOut, i));
        const auto bestIndex =
            static_cast<unsigned int>(PortMatching::bestOutputIndex(chosen, outputNames));

        g_midiIn->setCallback(&receiveCallback, nullptr);
        // The device speaks only System Exclusive; RtMidi filters it by default.
        // Timing and active sensing are let through too: the callback skips them.
        g_midiIn->ignoreTypes(false, false, false);

        g_midiOut->openPort(bestIndex, g_midiOut->getPortName(bestIndex));
        selectedPortName = portNameOf(*g_midiIn, static_cast<unsigned int>(inputIndex));
        watchServer();
        return true;
    } catch (const RtMidiError& failure) {
        error = messageOf(failure);
    }
    stopReceiving();
    return false;
}

void MidiConnection::watchServer()
{
    if (g_midiOut->getCurrentApi() != RtMidi::UNIX_JACK)
        return;
    if (!serverWatch_.start())
        std::fprintf(stderr, "The JACK server cannot be watched: if it stops, frames are lost without notice.\n");
}

void MidiConnection::stopReceiving()
{
    try {
        if (g_midiIn && g_midiIn->isPortOpen()) {
            g_midiIn->cancelCallback();
            g_midiIn->closePort();
        }
        if (g_midiOut && g_midiOut->isPortOpen())
            g_midiOut->closePort();
    } catch (const RtMidiError&) {
        // Closing is best effort: the program is ending.
    }
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
    if (systemLost()) {
        std::fprintf(stderr, "Not sent: the MIDI system has stopped\n");
        return static_cast<int>(length);
    }
    std::vector<unsigned char> message(frame, frame + length);
    if (g_midiOut) {
        try {
            g_midiOut->sendMessage(&message);
        } catch (const RtMidiError& error) {
            std::fprintf(stderr, "MIDI output error: %s\n", error.what());
        }
    }
    return static_cast<int>(length);
}
