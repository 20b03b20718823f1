#include "backup/backupcollector.h"

#include "backup/memoryfile.h"
#include "protocol/encoding.h"

#include <utility>

void BackupCollector::start()
{
    const std::lock_guard<std::mutex> lock(mutex_);
    backupBuffer = QByteArray();
    backupBuffer.reserve(MemoryFile::kMaxFileSize);
    backupTotal = 0;
    blocksStored_ = 0;
    blocksWithoutFirst_ = 0;
    collecting_ = true;
}

bool BackupCollector::isCollecting() const
{
    const std::lock_guard<std::mutex> lock(mutex_);
    return collecting_;
}

BackupCollector::Appended BackupCollector::appendBackupBlock(const unsigned char* block, std::size_t length)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    Appended result;
    if (!collecting_ || !block)
        return result;
    const bool opensStream = length > Protocol::kBlockContentOffset && MemoryFile::blockPosition(block) == 0;
    if (blocksStored_ == 0 && !opensStream) {
        ++blocksWithoutFirst_;
        return result;
    }
    const auto backupCount = static_cast<std::size_t>(backupBuffer.size());
    if (backupCount + length > static_cast<std::size_t>(MemoryFile::kMaxFileSize)) {
        collecting_ = false;
        backupBuffer = QByteArray();
        result.outcome = Outcome::Overflow;
        return result;
    }
    backupBuffer.append(reinterpret_cast<const char*>(block), static_cast<int>(length));
    ++blocksStored_;
    result.outcome = Outcome::Stored;
    // A block too short for its position is kept as sent but moves no bar.
    if (length <= Protocol::kBlockContentOffset)
        return result;
    const int position = MemoryFile::blockPosition(block);
    if (position == 0 && length > MemoryFile::kTotalOffset + MemoryFile::kNumberSize)
        backupTotal = Encoding::join28(block + MemoryFile::kTotalOffset);
    if (backupTotal > 0)
        result.progress = MemoryFile::progressFigure(position, backupTotal);
    return result;
}

std::optional<QByteArray> BackupCollector::finish()
{
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!collecting_)
        return std::nullopt;
    collecting_ = false;
    return std::exchange(backupBuffer, QByteArray());
}

int BackupCollector::blocksStored() const
{
    const std::lock_guard<std::mutex> lock(mutex_);
    return blocksStored_;
}

int BackupCollector::blocksWithoutFirst() const
{
    const std::lock_guard<std::mutex> lock(mutex_);
    return blocksWithoutFirst_;
}

bool BackupCollector::abandon()
{
    const std::lock_guard<std::mutex> lock(mutex_);
    const bool wasCollecting = std::exchange(collecting_, false);
    backupBuffer = QByteArray();
    return wasCollecting;
}
