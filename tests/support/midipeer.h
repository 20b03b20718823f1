#pragma once
// The far end of a real MIDI connection: a virtual input and output port on
// the same MIDI system as the editor's, recording what arrives.

#include <QByteArray>
#include <QList>
#include <QString>

#include <RtMidi.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>


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
    // Messages the MIDI system would not take.
    int sendErrors() const { return sendErrors_.load(std::memory_order_relaxed); }

private:
    MidiPeer();
    static void onMessage(double timeStamp, std::vector<unsigned char>* message, void* peer);
    static void onSendError(RtMidiError::Type type, const std::string& text, void* peer);

    std::atomic<int> sendErrors_{0};
    mutable std::mutex mutex_;
    QList<QByteArray> received_;
    std::unique_ptr<RtMidiIn> in_;
    std::unique_ptr<RtMidiOut> out_;
};

// Skip a test that needs a MIDI system when there is none, unless the
// environment says one must be there (the test script does).
bool midiSystemRequired();
