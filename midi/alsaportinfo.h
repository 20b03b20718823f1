#pragma once
// What RtMidi does not tell of an ALSA sequencer port. Who is connected to
// it: a device that goes and comes back within a second has the same address
// and names again, but the editor's connections went with the ports it had.
// Where its device is plugged in: two interfaces of one make differ only in
// their client numbers, which ALSA hands out anew. A client of its own,
// without ports. GUI thread only.

#include <QStringList>

struct _snd_seq;

class AlsaPortInfo
{
public:
    AlsaPortInfo() = default;
    ~AlsaPortInfo();
    AlsaPortInfo(const AlsaPortInfo&) = delete;
    AlsaPortInfo& operator=(const AlsaPortInfo&) = delete;

    // False when the sequencer cannot be opened.
    bool open();
    bool isOpen() const { return seq_ != nullptr; }
    // The ports connected to the one RtMidi names so ("client:port 24:0"),
    // either way, named as RtMidi names them. Empty when the name carries no
    // address or the port is not there.
    QStringList connections(const QString& rtMidiName) const;
    // The sound card's long name of a hardware port ("... at usb-0000:00:14.0-2,
    // full speed"), which says where it is plugged in; empty for a port of a
    // program, or when the name carries no address.
    QString location(const QString& rtMidiName) const;

private:
    // The client:port numbers at the end of an RtMidi name.
    static bool addressOf(const QString& rtMidiName, int& client, int& port);

    _snd_seq* seq_ = nullptr;
};
