#include "simulator/devicelink.h"

#include <QRegularExpression>

#include <algorithm>
#include <cstdio>
#include <utility>

namespace {

const char* const kPortName = "Zandorium MIDI 1";
constexpr int kAttachCheckMs = 250;
constexpr int kFloodPauseMs = 300;

void trace(const char* prefix, const QByteArray& frame)
{
    std::printf("%s%s\n", prefix, frame.toHex(' ').toUpper().constData());
    std::fflush(stdout);
}

std::vector<RtMidi::Api> candidateApis(const QString& requested, QString& error)
{
    if (requested.isEmpty()) {
        std::vector<RtMidi::Api> compiled;
        RtMidi::getCompiledApi(compiled);
        return compiled;  // RtMidi lists ALSA before JACK
    }
    const RtMidi::Api api = RtMidi::getCompiledApiByName(requested.toStdString());
    if (api == RtMidi::UNSPECIFIED)
        error = QStringLiteral("this build has no MIDI back end called \"%1\"").arg(requested);
    return api == RtMidi::UNSPECIFIED ? std::vector<RtMidi::Api>{} : std::vector<RtMidi::Api>{api};
}

}  // namespace

DeviceLink::DeviceLink(Sim::DeviceState state, const Sim::Options& options)
    : device_(
        std::move(state), options, [this](const QByteArray& frame) { transmit(frame); },
        [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); })
{
    clock_.start();
    due_.setSingleShot(true);
    connect(&due_, &QTimer::timeout, this, &DeviceLink::flush);
    connect(this, &DeviceLink::frameArrived, this, &DeviceLink::deliver, Qt::QueuedConnection);
}

DeviceLink::~DeviceLink()
{
    if (in_)
        in_->cancelCallback();
}

bool DeviceLink::makePorts(const QString& clientName, const QString& api, bool virtualPorts, QString& error)
{
    const std::string client = clientName.toStdString();
    for (const RtMidi::Api candidate : candidateApis(api, error)) {
        try {
            auto in = std::make_unique<RtMidiIn>(candidate, client);
            auto out = std::make_unique<RtMidiOut>(candidate, client);
            // The unit speaks System Exclusive, which RtMidi filters by default.
            in->ignoreTypes(false, true, true);
            in->setCallback(&DeviceLink::onMidiIn, this);
            if (virtualPorts) {
                in->openVirtualPort(kPortName);
                out->openVirtualPort(kPortName);
            }
            in_ = std::move(in);
            out_ = std::move(out);
            portName_ = QStringLiteral("%1 on %2").arg(QString::fromLatin1(kPortName),
                                                       QString::fromStdString(RtMidi::getApiDisplayName(candidate)));
            return true;
        } catch (const RtMidiError& failure) {
            error = QString::fromStdString(failure.getMessage());
        }
    }
    if (error.isEmpty())
        error = QStringLiteral("no MIDI back end is compiled in");
    return false;
}

bool DeviceLink::open(const QString& clientName, const QString& api, QString& error)
{
    return makePorts(clientName, api, true, error);
}

bool DeviceLink::attach(const QString& clientName, const QString& target, const QString& api, QString& error)
{
    if (!makePorts(clientName, api, false, error))
        return false;
    attachTo_ = target;
    if (in_->getCurrentApi() == RtMidi::LINUX_ALSA)
        subscriptions_.open();
    connect(&attachTimer_, &QTimer::timeout, this, &DeviceLink::checkAttachment);
    attachTimer_.start(kAttachCheckMs);
    checkAttachment();
    return true;
}

void DeviceLink::checkAttachment()
{
    // A client's name, or under ALSA its number, when two share a name.
    const QRegularExpression number(QStringLiteral(" %1:\\d+$").arg(attachTo_));
    const bool byNumber = !attachTo_.isEmpty() && attachTo_.toUInt() > 0;
    const auto portOf = [&](auto& port) {
        for (unsigned int i = 0; i < port.getPortCount(); ++i) {
            const QString name = QString::fromStdString(port.getPortName(i));
            if (byNumber ? number.match(name).hasMatch() : name.startsWith(attachTo_ + QLatin1Char(':')))
                return name;
        }
        return QString();
    };
    try {
        const QString in = portOf(*in_);
        const QString out = portOf(*out_);
        // Back at the same address within a check: our connections went all the same.
        const bool connected = !subscriptions_.isOpen() || !subscriptions_.connections(in).isEmpty();
        if (in == attachedIn_ && out == attachedOut_ && (in.isEmpty() || connected))
            return;
        if (!attachedIn_.isEmpty()) {
            in_->closePort();
            out_->closePort();
            std::printf("detached: %s\n", qPrintable(attachedIn_));
            attachedIn_.clear();
            attachedOut_.clear();
        }
        if (in.isEmpty() || out.isEmpty()) {
            std::fflush(stdout);
            return;
        }
        for (unsigned int i = 0; i < in_->getPortCount(); ++i) {
            if (QString::fromStdString(in_->getPortName(i)) == in)
                in_->openPort(i, kPortName);
        }
        for (unsigned int i = 0; i < out_->getPortCount(); ++i) {
            if (QString::fromStdString(out_->getPortName(i)) == out)
                out_->openPort(i, kPortName);
        }
        attachedIn_ = in;
        attachedOut_ = out;
        std::printf("attached: %s\n", qPrintable(in));
    } catch (const RtMidiError& failure) {
        std::fprintf(stderr, "attaching to %s: %s\n", qPrintable(attachTo_), failure.getMessage().c_str());
    }
    std::fflush(stdout);
}

QString DeviceLink::portName() const
{
    return portName_;
}

void DeviceLink::onMidiIn(double, std::vector<unsigned char>* message, void* link)
{
    auto* self = static_cast<DeviceLink*>(link);
    for (const unsigned char byte : *message) {
        if (self->assembler_.feed(byte)) {
            emit self->frameArrived(QByteArray(reinterpret_cast<const char*>(self->assembler_.frame()),
                                               static_cast<int>(self->assembler_.length())));
        }
    }
}

void DeviceLink::deliver(const QByteArray& frame)
{
    trace("<- ", frame);
    device_.receive(frame, now());
    flush();
}

void DeviceLink::flush()
{
    device_.advanceTo(now());
    const qint64 next = device_.nextDue();
    if (next >= 0)
        due_.start(static_cast<int>(std::max<qint64>(0, next - now())));
}

void DeviceLink::transmit(const QByteArray& frame)
{
    trace("-> ", frame);
    send(frame);
}

void DeviceLink::flood(int seconds, int bytesPerMs)
{
    floodBytesPerMs_ = bytesPerMs;
    floodSentMs_ = now();
    floodEndMs_ = floodSentMs_ + 1000LL * seconds;
    floodMessages_ = 0;
    floodBytes_ = 0;
    floodTimer_.setTimerType(Qt::PreciseTimer);
    connect(&floodTimer_, &QTimer::timeout, this, &DeviceLink::floodTick, Qt::UniqueConnection);
    floodTimer_.start(1);
}

int DeviceLink::sendMarker()
{
    transmit(flood_.nextMarker());
    return flood_.lastMarker();
}

void DeviceLink::floodTick()
{
    // Catches up on ticks the timer missed, so the rate holds under load.
    const qint64 until = std::min(now(), floodEndMs_);
    const qint64 budget = (until - floodSentMs_) * floodBytesPerMs_;
    floodSentMs_ = until;
    for (qint64 sent = 0; sent < budget;) {
        const QByteArray message = flood_.next();
        send(message);
        sent += message.size();
        ++floodMessages_;
        floodBytes_ += message.size();
    }
    if (until < floodEndMs_)
        return;
    floodTimer_.stop();
    // After a pause, so that the receiver has caught up: its last marker shows
    // whether it came through, whatever the flood cost.
    QTimer::singleShot(kFloodPauseMs, this, [this] {
        transmit(flood_.nextMarker());
        std::fprintf(stderr, "flood done: %lld messages, %lld bytes, last marker %d\n",
                     static_cast<long long>(floodMessages_ + 1), static_cast<long long>(floodBytes_),
                     flood_.lastMarker());
    });
}

void DeviceLink::send(const QByteArray& message)
{
    if (!out_)
        return;
    std::vector<unsigned char> bytes(message.begin(), message.end());
    try {
        out_->sendMessage(&bytes);
    } catch (const RtMidiError& failure) {
        std::fprintf(stderr, "not sent: %s\n", failure.getMessage().c_str());
    }
}
