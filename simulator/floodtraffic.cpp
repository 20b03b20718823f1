#include "simulator/floodtraffic.h"

#include "protocol/protocol.h"
#include "simulator/replyframe.h"

namespace Sim {

namespace {

constexpr int kMarkerEvery = 16;
constexpr int kCodeCount = 0x80;
constexpr int kLongestArguments = 48;
constexpr int kLongestGarbage = 32;
constexpr int kOversize = 2 * static_cast<int>(Protocol::kReceiveBufferSize);
constexpr unsigned char kNoteOn = 0x90;
constexpr unsigned char kClock = 0xF8;
constexpr unsigned char kActiveSensing = 0xFE;

}  // namespace

QByteArray FloodTraffic::markerName(int number)
{
    return QByteArray("mark ") + QByteArray::number(number).rightJustified(6, '0');
}

QByteArray FloodTraffic::nextMarker()
{
    return countedTextFrame(Protocol::Command::MemoryName, markerName(++marker_).toStdString());
}

QByteArray FloodTraffic::next()
{
    if (++count_ % kMarkerEvery == 0)
        return nextMarker();
    switch (below(5)) {
    case 0:
        return garbage();
    case 1:
        return oversizeFrame();
    case 2:
        return withRealTimeBytes(anyFrame());
    case 3:
        return QByteArray(1, static_cast<char>(below(2) ? kClock : kActiveSensing));
    default:
        return anyFrame();
    }
}

QByteArray FloodTraffic::anyFrame()
{
    QByteArray arguments;
    const int length = below(kLongestArguments + 1);
    for (int i = 0; i < length; ++i)
        arguments.append(static_cast<char>(below(Protocol::kDataMask + 1)));
    // Memory names stay out of the mix, so only markers set one.
    int code = below(kCodeCount);
    if (code == static_cast<int>(Protocol::Command::MemoryName))
        code = kCodeCount - 1;
    return replyFrame(static_cast<Protocol::Command>(code), arguments);
}

QByteArray FloodTraffic::garbage()
{
    QByteArray bytes;
    const int length = 1 + below(kLongestGarbage);
    for (int i = 0; i < length; ++i)
        bytes.append(static_cast<char>(below(256)));
    return bytes;
}

QByteArray FloodTraffic::oversizeFrame()
{
    QByteArray frame = replyFrame(Protocol::Command::MemoryName, {});
    frame.insert(frame.size() - 1, QByteArray(kOversize, 'A'));
    return frame;
}

QByteArray FloodTraffic::withRealTimeBytes(QByteArray frame)
{
    frame.insert(1 + below(frame.size() - 1), static_cast<char>(kClock));
    frame.insert(1 + below(frame.size() - 1), static_cast<char>(kNoteOn));
    return frame;
}

int FloodTraffic::below(int bound)
{
    return std::uniform_int_distribution<int>(0, bound - 1)(random_);
}

}  // namespace Sim
