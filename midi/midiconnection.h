#pragma once
// The MIDI port pair and the only path out to the device.
//
// Threads: everything here runs on the GUI thread. Once openPorts has installed
// it, RtMidi's input thread runs receiveCallback (midi/receivecallback.h) at any
// moment; nothing in this class is touched from there.

#include "midi/jackserverwatch.h"
#include "midi/portmatching.h"

#include <QString>
#include <QStringList>

#include <cstddef>

class RtMidiIn;
class RtMidiOut;

class MidiConnection
{
public:
    // Runs during static initialisation. It never throws. The MIDI system is
    // the ALSA sequencer wherever it opens, with or without ports, else the
    // next compiled back end that starts (JACK only with a server running);
    // when none does, the port lists stay empty and unavailableReason() says
    // why.
    MidiConnection();

    QStringList portNames;     // MIDI input ports by name, the editors' own left out
    QString selectedPortName;  // the port the user picked, then the opened port's name

    unsigned int refreshInputPorts();
    int findPort(const QString& name) const;

    // Opens the input port listed at inputIndex, installs the receive
    // callback, and opens the output that belongs with it
    // (PortMatching::pairOutput), never one of the editor's own. A port that
    // has gone since it was listed is a failure too, although RtMidi's JACK
    // back end "opens" it. On failure returns false with the reason in error,
    // and leaves no port open.
    bool openPorts(int inputIndex, QString& error);

    // Opens the device's ports again, by the exact names they have now
    // (midi/devicewatch.h finds them). The receive callback stays installed.
    bool reopenPorts(const QString& inputName, const QString& outputName, QString& error);

    // Closes both ports; frames sent from then on are dropped, not queued.
    void closePorts();

    // Removes the receive callback and closes both ports.
    void stopReceiving();

    // The output port paired with the chosen input; empty until opened.
    QString pairedOutputName() const { return pairedOutputName_; }

    // True while a frame handed to send can reach the device.
    bool outputOpen() const;

    // While a backup or restore runs, only its own frames (and the start-up
    // request) leave; everything else is traced and dropped, whatever window
    // it comes from.
    void holdOtherFrames(bool hold) { holdOtherFrames_ = hold; }
    bool holdingOtherFrames() const { return holdOtherFrames_; }

    static int nameSimilarity(const QString& a, const QString& b);
    // How the MIDI system in use names its ports.
    PortMatching::Naming naming() const;

    // Traces frame[0] up to its first F7 and sends it as one message. A frame
    // without F7 within capacity is refused. While the output is closed (before
    // the ports are opened, while the device is gone) the frame is traced and
    // dropped with a line on standard error: RtMidi's JACK back end would
    // otherwise queue it for whichever port opens next. Returns the number of
    // bytes traced, F7 included. A send error is reported on standard error,
    // never thrown.
    int send(const unsigned char* frame, std::size_t capacity);

    // Empty when a MIDI system could be opened.
    QString unavailableReason() const { return unavailableReason_; }

    // True once the MIDI system has stopped under the open ports (a JACK
    // server can); from then on send drops every frame with a message.
    bool systemLost() const { return serverWatch_.serverStopped(); }
    // Under JACK, the client that watches the server; it can list ports.
    const JackServerWatch& serverWatch() const { return serverWatch_; }

private:
    // output empty: the one that belongs with the input.
    bool openPair(const QString& input, const QString& output, QString& error);
    const char* dropReason(const unsigned char* frame, std::size_t length) const;

    QString unavailableReason_;
    QString pairedOutputName_;
    bool callbackInstalled_ = false;
    bool holdOtherFrames_ = false;
    JackServerWatch serverWatch_;
};

extern MidiConnection g_midiConnection;
extern RtMidiIn* g_midiIn;
extern RtMidiOut* g_midiOut;
