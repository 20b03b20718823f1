#pragma once
// The unit's behaviour, without MIDI: whole frames in, whole frames out through
// a sink, on a clock the caller supplies (milliseconds). Frames that are due
// later (a backup stream, delayed acknowledgements, the Tap LED) wait until
// advanceTo() reaches their time. Single-threaded: the caller serialises.

#include "simulator/blocklayout.h"
#include "simulator/devicestate.h"

#include <QByteArray>

#include <functional>
#include <map>
#include <string>
#include <utility>

class FrameReader;

namespace Sim {

struct Options {
    std::string firmwareVersion = "1.4.2";
    std::string dataVersion = "1.0.3";
    int blockIntervalMs = 2;  // between two blocks of a backup stream
    int blocksPerMs = 0;      // when set, the stream's pace instead of the interval
    int dumpSize = 0;         // the memory dump padded to this many bytes; 0 as it is
    BlockLayout layout;       // how a backup cuts the dump, and a restore expects it
    int ackDelayMs = 0;       // restore acknowledgements come this late
    int dropAck = 0;          // the n-th block (from 1) of a restore goes unacknowledged; 0 none
    int ackLimit = -1;        // after this many blocks the unit stops answering; -1 never
    int tapBeats = 8;         // the Tap LED blinks this many beats after a tap
    int closeDelayMs = 1000;  // a write closes the memory dialog this late, so its done picture shows
    // Choices the protocol leaves to the unit, each one a real unit may make:
    int startupDelayMs = 0;    // the answer to the start-up request comes this late
    bool versionsLast = false; // the whole state reported versions last, a memory's name before its number
    int slowAcks = 0;          // every n-th restore block acknowledged 1, 2, then 3 s late (flash writes); 0 none
    int bytesPerSecond = 0;    // a backup's blocks as fast as a MIDI cable carries them; 0: at the interval
    int trailingBytes = 0;     // zero data bytes no report needs, before the F7 of all but memory blocks
};

class SimulatedDevice
{
public:
    using Sink = std::function<void(const QByteArray& frame)>;
    using Log = std::function<void(const std::string& line)>;

    SimulatedDevice(DeviceState state, Options options, Sink send, Log log = {});

    // One whole frame, F0 to F7, from the editor.
    void receive(const QByteArray& frame, qint64 nowMs);
    // Sends every frame due by nowMs.
    void advanceTo(qint64 nowMs);
    // When the next waiting frame falls due, or -1 when none waits.
    qint64 nextDue() const;

    // What the unit does on its own, from its own panel.
    void pressKey(int key, qint64 nowMs);
    void selectMemory(int index);
    // Changes a stored memory's name, as editing on the unit itself would;
    // the text is made displayable and cut to the name's length.
    void renameMemory(int index, const std::string& name);
    void openMemorySelect(int mode);
    void closeMemorySelect(int accepted);
    void reportComplete();
    void reportWholeState();

    const DeviceState& state() const { return state_; }
    std::string describe() const;

private:
    enum class Timed { Stream, Acknowledge, Tap, Close, Startup };

    void dispatch(const FrameReader& frame, const QByteArray& raw, qint64 nowMs);
    void send(const QByteArray& frame);
    void sendLater(qint64 due, Timed kind, const QByteArray& frame);
    void cancel(Timed kind);

    void onPedal(const FrameReader& frame);
    void onText(const FrameReader& frame);
    void onSetting(const FrameReader& frame);
    void onEffectStatus(const FrameReader& frame);
    void onWriteMemory(int index, qint64 nowMs);
    void onRestoreBlock(const QByteArray& frame, qint64 nowMs);
    void finishRestore(qint64 due);
    void abandonRestore(const std::string& why);
    void startBackup(qint64 nowMs);
    void answerStartup(qint64 nowMs);
    void tap(qint64 nowMs);

    void reportUnit();
    void reportCurrentMemory();
    void reportLeds();
    void reportLed(int led, bool on);
    void reportAmpLeds();
    void reportParameters();
    void reportPedal(int pedal);

    DeviceState state_;
    Options options_;
    Sink send_;
    Log log_;
    std::multimap<qint64, std::pair<Timed, QByteArray>> waiting_;

    qint64 holdUntil_ = -1;  // while >= 0, what is sent waits until then
    qint64 lastTapMs_ = -1;
    QByteArray restoreDump_;
    int restoreTotal_ = -1;
    int restoreBlocks_ = 0;
    qint64 restoreStartMs_ = 0;
    qint64 backupStartMs_ = 0;
    int backupBlocks_ = 0;
};

}  // namespace Sim
