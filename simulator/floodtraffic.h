#pragma once
// Hostile MIDI traffic for load tests: frames of every command code with
// arbitrary arguments, garbage bytes, oversize frames, channel messages and
// real-time bytes, in random mix. Among them, numbered marker frames (memory
// names "mark 000001", "mark 000002", ...) that a receiver must take in order.

#include <QByteArray>

#include <cstdint>
#include <random>

namespace Sim {

class FloodTraffic
{
public:
    explicit FloodTraffic(std::uint32_t seed = 1) : random_(seed) {}

    // The next MIDI message: one in every kMarkerEvery is the next marker.
    QByteArray next();
    // The next marker alone, to end a flood on a known value.
    QByteArray nextMarker();
    int lastMarker() const { return marker_; }

    static QByteArray markerName(int number);

private:
    QByteArray anyFrame();
    QByteArray garbage();
    QByteArray oversizeFrame();
    QByteArray withRealTimeBytes(QByteArray frame);
    int below(int bound);

    std::minstd_rand random_;
    int marker_ = 0;
    int count_ = 0;
};

}  // namespace Sim
