#include "support/midipeer.h"

#include "midi/midiconnection.h"

#include <QtTest>

#include <RtMidi.h>

MidiPeer::MidiPeer() = default;

MidiPeer::~MidiPeer()
{
    if (in_)
        in_->cancelCallback();
}

std::unique_ptr<MidiPeer> MidiPeer::open(const QString& name, QString& error, Ports ports)
{
    if (!g_midiIn) {
        error = g_midiConnection.unavailableReason();
        return nullptr;
    }
    // The same back end as the editor, or the ports would not see each other.
    const RtMidi::Api api = g_midiIn->getCurrentApi();
    std::unique_ptr<MidiPeer> peer(new MidiPeer);
    try {
        const std::string client = name.toStdString();
        peer->in_ = std::make_unique<RtMidiIn>(api, client);
        peer->out_ = std::make_unique<RtMidiOut>(api, client);
        peer->in_->ignoreTypes(false, false, false);
        peer->in_->setCallback(&MidiPeer::onMessage, peer.get());
        if (ports == Ports::Both)
            peer->in_->openVirtualPort("MIDI 1");
        peer->out_->openVirtualPort("MIDI 1");
        // A message the MIDI system refuses (ALSA's output pool full in a
        // flood) is counted, not written to standard error.
        peer->out_->setErrorCallback(&MidiPeer::onSendError, peer.get());
    } catch (const RtMidiError& failure) {
        error = QString::fromStdString(failure.getMessage());
        return nullptr;
    }
    return peer;
}

void MidiPeer::onMessage(double, std::vector<unsigned char>* message, void* peer)
{
    auto* self = static_cast<MidiPeer*>(peer);
    const std::lock_guard<std::mutex> lock(self->mutex_);
    self->received_.append(QByteArray(reinterpret_cast<const char*>(message->data()),
                                      static_cast<int>(message->size())));
}

void MidiPeer::onSendError(RtMidiError::Type, const std::string&, void* peer)
{
    static_cast<MidiPeer*>(peer)->sendErrors_.fetch_add(1, std::memory_order_relaxed);
}

QList<QByteArray> MidiPeer::received() const
{
    const std::lock_guard<std::mutex> lock(mutex_);
    return received_;
}

bool MidiPeer::waitForMessages(int count, int timeoutMs) const
{
    return QTest::qWaitFor([&] { return received().size() >= count; }, timeoutMs);
}

void MidiPeer::send(const QByteArray& message)
{
    std::vector<unsigned char> bytes(message.begin(), message.end());
    out_->sendMessage(&bytes);
}

bool midiSystemRequired()
{
    return qEnvironmentVariableIntValue("ZANDORIUM_REQUIRE_MIDI") != 0;
}
