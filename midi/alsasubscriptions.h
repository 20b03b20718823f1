#pragma once
// Who is connected to an ALSA sequencer port, which RtMidi does not tell: a
// device that goes and comes back within a second has the same address and
// names again, but the editor's connections went with the ports it had. A
// client of its own, without ports. GUI thread only.

#include <QStringList>

struct _snd_seq;

class AlsaSubscriptions
{
public:
    AlsaSubscriptions() = default;
    ~AlsaSubscriptions();
    AlsaSubscriptions(const AlsaSubscriptions&) = delete;
    AlsaSubscriptions& operator=(const AlsaSubscriptions&) = delete;

    // False when the sequencer cannot be opened.
    bool open();
    bool isOpen() const { return seq_ != nullptr; }
    // The ports connected to the one RtMidi names so ("client:port 24:0"),
    // either way, named as RtMidi names them. Empty when the name carries no
    // address or the port is not there.
    QStringList connections(const QString& rtMidiName) const;

private:
    _snd_seq* seq_ = nullptr;
};
