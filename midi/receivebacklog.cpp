#include "midi/receivebacklog.h"

#include "protocol/protocol.h"

#include <QCoreApplication>
#include <QObject>

#include <atomic>
#include <chrono>
#include <cstdint>

namespace {

using Protocol::Command;

std::atomic<std::uint64_t> g_handedOn{0};  // written by the input thread
std::atomic<std::uint64_t> g_reached{0};   // written by the GUI thread
std::atomic<bool> g_askOut{false};
std::atomic<long long> g_askedAtMs{0};
std::atomic<std::uint64_t> g_dropped{0};
std::atomic<long long> g_lastDropMs{0};

long long nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Runs its slot on the GUI thread, after the work of the frames before it.
class Reach : public QObject
{
    Q_OBJECT

public:
    Q_INVOKABLE void reached(quint64 frames)
    {
        g_reached.store(frames, std::memory_order_relaxed);
        g_askOut.store(false, std::memory_order_release);
    }
};

// Lives until the process ends; made by the input thread, handed to the GUI's.
Reach* reach(QCoreApplication* application)
{
    static Reach* const made = [application] {
        auto* const object = new Reach;
        object->moveToThread(application->thread());
        return object;
    }();
    return made;
}

bool kept(const unsigned char* frame, std::size_t length)
{
    if (length <= Protocol::kCommandOffset)
        return false;
    const auto command = static_cast<Command>(frame[Protocol::kCommandOffset]);
    return command == Command::BackupBlock || command == Command::BackupEnd || command == Command::Acknowledge
           || command == Command::Complete;
}

}  // namespace

namespace ReceiveBacklog {

bool admit(const unsigned char* frame, std::size_t length)
{
    const std::uint64_t behind =
        g_handedOn.load(std::memory_order_relaxed) - g_reached.load(std::memory_order_relaxed);
    const bool late = g_askOut.load(std::memory_order_acquire)
                      && nowMs() - g_askedAtMs.load(std::memory_order_relaxed) > kMaxMsBehind;
    if (behind > kMaxFramesBehind && late && !kept(frame, length)) {
        g_lastDropMs.store(nowMs(), std::memory_order_relaxed);
        g_dropped.fetch_add(1, std::memory_order_release);
        return false;
    }
    return true;
}

std::uint64_t takeDropped()
{
    if (g_dropped.load(std::memory_order_acquire) == 0
        || nowMs() - g_lastDropMs.load(std::memory_order_relaxed) < kQuietAfterDropsMs)
        return 0;
    return g_dropped.exchange(0, std::memory_order_acq_rel);
}

void handedOn()
{
    const std::uint64_t handed = g_handedOn.fetch_add(1, std::memory_order_relaxed) + 1;
    QCoreApplication* const application = QCoreApplication::instance();
    if (!application || g_askOut.exchange(true, std::memory_order_acq_rel))
        return;
    g_askedAtMs.store(nowMs(), std::memory_order_relaxed);
    QMetaObject::invokeMethod(reach(application), "reached", Qt::QueuedConnection, Q_ARG(quint64, handed));
}

}  // namespace ReceiveBacklog

#include "receivebacklog.moc"
