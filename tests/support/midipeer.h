#pragma once
// The far end of a real MIDI connection: a virtual input and output port on
// the same MIDI system as the editor's, recording what arrives.

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>
#include <mutex>

class RtMidiIn;
class RtMidiOut;

class MidiPeer
{
public:
    enum class Ports { Both, SourceOnly };
    // Returns null, with the reason in error, when no MIDI system takes
    // virtual ports. SourceOnly: a peer that talks but cannot be written to.
    static std::unique_ptr<MidiPeer> open(const QString& name, QString& error, Ports ports = Ports::Both);
    ~MidiPeer();

    QList<QByteArray> received() const;
    // Waits, running the event loop, until at least count messages arrived.
    bool waitForMessages(int count, int timeoutMs) const;
    void send(const QByteArray& message);

private:
    MidiPeer();
    static void onMessage(double timeStamp, std::vector<unsigned char>* message, void* peer);

    mutable std::mutex mutex_;
    QList<QByteArray> received_;
    std::unique_ptr<RtMidiIn> in_;
    std::unique_ptr<RtMidiOut> out_;
};

// Skip a test that needs a MIDI system when there is none, unless the
// environment says one must be there (the test script does).
bool midiSystemRequired();
