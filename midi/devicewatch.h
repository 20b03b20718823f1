#pragma once
// Notices when the device's ports go (cable pulled, device switched off) and
// when they come back, and then opens them again. RtMidi has no notice for
// either, so the port lists are read once a second, never through the objects
// the input thread uses: under JACK through the server watch's client, which
// is never activated (an RtMidi object's JACK client would be woken in every
// cycle of the server, idle or not), elsewhere through RtMidi objects of the
// watch's own, made once. GUI thread only.
//
// While connected, the ports are followed by their exact names; other ports
// of the same stable names (a second unit of the same make) are noted, and
// never taken for the device when it comes back. Under ALSA a hardware port
// also says where its device is plugged in, and comes back only there. When
// two ports could be the device that came back, the watch waits rather than
// guess.

#include "midi/alsaportinfo.h"
#include "midi/portmatching.h"

#include <QObject>
#include <QStringList>
#include <QTimer>

#include <memory>

class RtMidiIn;
class RtMidiOut;

class DeviceWatch : public QObject
{
    Q_OBJECT

public:
    explicit DeviceWatch(QObject* parent = nullptr);
    ~DeviceWatch() override;

    // Watches the ports g_midiConnection has open.
    void start();

signals:
    // The ports are closed by then, so nothing sent is queued for later.
    // portName: the input's, without the numbers it may come back with.
    void lost(const QString& portName);
    // Both ports are open again.
    void found();

private:
    struct Lists
    {
        QStringList inputs;
        QStringList outputs;
    };

    void check();
    // Throws RtMidiError when a port goes while a list is read.
    Lists lists() const;
    // The open ports as the lists show them, told apart from an earlier life
    // under the same names by the editor's connections to them; empty when
    // either is missing.
    QString identityOf(const Lists& now) const;
    QString identityOf(const QString& name, const QStringList& names) const;
    // Also where the open ports' device is plugged in, while it is.
    void noteNamesakes(const Lists& now);
    QList<PortMatching::KnownPort> known(const QStringList& names) const;
    // Opens the ports that are the device come back, when they can be told.
    bool reconnect(const Lists& now);
    void sayOnce(const QString& line);

    bool askJack_ = false;
    std::unique_ptr<RtMidiIn> in_;
    std::unique_ptr<RtMidiOut> out_;
    AlsaPortInfo alsa_;
    bool askAlsa_ = false;
    QTimer timer_;
    QString connected_;  // identityOf() when last opened
    bool pairedInOneClient_ = false;
    PortMatching::KnownPort input_;
    PortMatching::KnownPort output_;
    QList<PortMatching::KnownPort> namesakeInputs_;
    QList<PortMatching::KnownPort> namesakeOutputs_;
    QString lastSaid_;
    bool lost_ = false;
};
