#pragma once
// The MIDI port pair and the only path out to the device.
//
// Threads: everything here runs on the GUI thread. Once openPorts has installed
// it, RtMidi's input thread runs receiveCallback (midi/receivecallback.h) at any
// moment; nothing in this class is touched from there.

#include "midi/jackserverwatch.h"

#include <QString>
#include <QStringList>

#include <cstddef>

class RtMidiIn;
class RtMidiOut;

class MidiConnection
{
public:
    // Runs during static initialisation. It never throws: when RtMidi's default
    // back end cannot start (no ALSA sequencer, say) the other compiled back
    // ends are tried, and when none starts, the port lists stay empty and
    // unavailableReason() says why.
    MidiConnection();

    QStringList portNames;     // MIDI input ports, index i naming port i
    QString selectedPortName;  // the port the user picked, then the opened port's name

    unsigned int refreshInputPorts();
    int findPort(const QString& name) const;

    // Opens input port inputIndex, installs the receive callback, and opens the
    // output port whose name is most like the input's. On failure returns false
    // with RtMidi's message in error, and leaves no port open.
    bool openPorts(int inputIndex, QString& error);

    // Removes the receive callback and closes both ports.
    void stopReceiving();

    static int nameSimilarity(const QString& a, const QString& b);

    // Traces frame[0] up to its first F7 and sends it as one message. A frame
    // without F7 within capacity is refused. Returns the number of bytes sent,
    // F7 included. A send error is reported on standard error, never thrown.
    int send(const unsigned char* frame, std::size_t capacity);

    // Empty when a MIDI system could be opened.
    QString unavailableReason() const { return unavailableReason_; }

    // True once the MIDI system has stopped under the open ports (a JACK
    // server can); from then on send drops every frame with a message.
    bool systemLost() const { return serverWatch_.serverStopped(); }

private:
    void watchServer();

    QString unavailableReason_;
    JackServerWatch serverWatch_;
};

extern MidiConnection g_midiConnection;
extern RtMidiIn* g_midiIn;
extern RtMidiOut* g_midiOut;
