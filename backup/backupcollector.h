#pragma once
// Gathers the device's data blocks during a backup. Started on the GUI
// thread, fed and finished on RtMidi's input thread; every member takes the
// lock, so a backup started again while blocks arrive stays consistent.

#include <QByteArray>

#include <cstddef>
#include <mutex>
#include <optional>

class BackupCollector
{
public:
    enum class Outcome { Ignored, Stored, Overflow };
    struct Appended
    {
        Outcome outcome = Outcome::Ignored;
        static constexpr int kNoProgress = -1;
        int progress = kNoProgress;  // the block's progress figure
    };

    // A fresh buffer: an earlier collection is dropped.
    void start();
    bool isCollecting() const;

    // Stores one block, F0 through its F7. Ignored when no backup runs, and
    // until the block at position 0 opens the stream: what is left of a stream
    // given up is never collected into the next backup. A block that would
    // take the buffer past a whole file ends the collection and drops what it
    // held: a cut memory image is worth nothing.
    Appended appendBackupBlock(const unsigned char* block, std::size_t length);

    // Ends the collection and hands over its bytes; nothing when none ran.
    std::optional<QByteArray> finish();
    // Ends the collection, dropping its bytes; false when none ran.
    bool abandon();
    int blocksStored() const;
    // Blocks of this collection that came while no block at position 0 had
    // opened it: not collected, but a sign that the first one was lost.
    int blocksWithoutFirst() const;

private:
    mutable std::mutex mutex_;
    bool collecting_ = false;
    QByteArray backupBuffer;
    int backupTotal = 0;  // from the first block; 0 until then
    int blocksStored_ = 0;
    int blocksWithoutFirst_ = 0;
};
