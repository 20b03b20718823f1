#pragma once
// Puts a SimulatedDevice on a pair of virtual MIDI ports named like a USB
// unit's, and traces every frame in ("<- ") and out ("-> ") on standard output.
//
// Threads: RtMidi's input thread only assembles frames and queues each one,
// by value, to this object's thread; the device, the clock, the trace and the
// output port are used on this object's thread alone.

#include "midi/alsaportinfo.h"
#include "protocol/frameassembler.h"
#include "simulator/floodtraffic.h"
#include "simulator/simulateddevice.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <RtMidi.h>

#include <memory>
#include <vector>

class DeviceLink : public QObject
{
    Q_OBJECT

public:
    DeviceLink(Sim::DeviceState state, const Sim::Options& options);
    ~DeviceLink() override;

    // Opens the ports on the given back end, or on the first that takes
    // virtual ports (ALSA before JACK). False with the reason in error.
    bool open(const QString& clientName, const QString& api, QString& error);
    // Plays the unit on the existing ports of the client named target (the
    // far end of a USB interface, say) instead of ports of its own: connects
    // to them whenever they are there, again after they went and came back,
    // and says so on standard output ("attached: ", "detached: ").
    bool attach(const QString& clientName, const QString& target, const QString& api, QString& error);
    QString portName() const;

    Sim::SimulatedDevice& device() { return device_; }
    qint64 now() const { return clock_.elapsed(); }
    // Sends whatever the device has made due.
    void flush();
    // For seconds, sends hostile traffic (simulator/floodtraffic.h) at about
    // bytesPerMs, untraced, then one last marker; logs what it sent.
    void flood(int seconds, int bytesPerMs);
    // The flood's next marker, sent alone; returns its number.
    int sendMarker();

signals:
    void frameArrived(const QByteArray& frame);

private:
    static void onMidiIn(double timeStamp, std::vector<unsigned char>* message, void* link);
    void deliver(const QByteArray& frame);
    void transmit(const QByteArray& frame);
    void send(const QByteArray& message);
    void floodTick();
    bool makePorts(const QString& clientName, const QString& api, bool virtualPorts, QString& error);
    void checkAttachment();

    Sim::SimulatedDevice device_;
    std::unique_ptr<RtMidiIn> in_;
    std::unique_ptr<RtMidiOut> out_;
    FrameAssembler assembler_;  // input thread only
    QElapsedTimer clock_;
    QTimer due_;
    QString portName_;
    QString attachTo_;
    QString attachedIn_;
    QString attachedOut_;
    QTimer attachTimer_;
    AlsaPortInfo subscriptions_;

    Sim::FloodTraffic flood_;
    QTimer floodTimer_;
    qint64 floodEndMs_ = 0;
    qint64 floodSentMs_ = 0;  // the flood's clock: sending is owed up to here
    int floodBytesPerMs_ = 0;
    qint64 floodMessages_ = 0;
    qint64 floodBytes_ = 0;
};
