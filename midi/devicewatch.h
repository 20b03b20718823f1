#pragma once
// Notices when the device's ports go (cable pulled, device switched off) and
// when ports of the same names come back, and then opens them again. RtMidi
// has no notice for either, so the port lists are read once a second, never
// through the objects the input thread uses: under JACK through the server
// watch's client, which is never activated (an RtMidi object's JACK client
// would be woken in every cycle of the server, idle or not), elsewhere
// through RtMidi objects of the watch's own, made once. GUI thread only.

#include <QObject>
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
    void lost(const QString& portName);
    // Both ports are open again.
    void found();

private:
    void check();
    // The device's two ports as they are now, told apart from an earlier life
    // under the same names; empty when either is missing. Throws RtMidiError
    // when a port goes while the list is read.
    QString currentPorts() const;
    QString identityOf(bool sources, const QString& name) const;
    QStringList portNames(bool sources) const;

    bool askJack_ = false;
    std::unique_ptr<RtMidiIn> in_;
    std::unique_ptr<RtMidiOut> out_;
    QTimer timer_;
    QString connectedPorts_;  // currentPorts() when last opened
    bool lost_ = false;
};
