#pragma once
// Memory backup files: the device's 0x1E data blocks stored back to back,
// byte for byte, in the order they arrived; nothing before, between or after
// them. A restore sends the same blocks back in file order.

#include "backup/version.h"
#include "protocol/protocol.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstddef>

namespace MemoryFile {

// The device's whole memory never exceeds this.
constexpr int kMaxFileSize = 2097152;
// The restore's text field holds the version text and its terminator.
constexpr int kMaxVersionTextLength = 19;

// The first block's header, as offsets from F0. Only the total and the data
// version text mean anything to the editor; the rest is stored and sent back.
constexpr std::size_t kNumberSize = 4;  // a 28-bit number, 7 bits a byte
constexpr std::size_t kHeaderNumberCount = 5;
constexpr std::size_t kTotalIndex = 3;  // of the five numbers from offset 6
constexpr std::size_t kTotalOffset = Protocol::kBlockPositionOffset + kTotalIndex * kNumberSize;
constexpr std::size_t kVersionLengthOffset = 26;
constexpr std::size_t kVersionTextOffset = 30;

extern const char* const kFileFilter;
extern const char* const kExtension;

// Appends ".mem" unless the name already ends in exactly that (case matters).
QString ensureMemExtension(const QString& name);

struct FileHeader
{
    // The 28-bit numbers at offsets 6, 10, 14, 18 and 22 of the first block.
    std::array<int, kHeaderNumberCount> numbers{};
    QByteArray versionText;
    QString versionString;  // versionText read as UTF-8
    VersionNumbers version;

    int total() const { return numbers[kTotalIndex]; }
};

// Writes bytes to path through a temporary file beside it, renamed over the
// target only once complete, so a failure leaves an earlier file untouched.
// False with the reason in error.
bool saveFile(const QString& path, const QByteArray& bytes, QString& error);

// The size of the file at path, or -1 with the reason in error.
qint64 fileSize(const QString& path, QString& error);

// The whole file at path in contents; false with the reason in error when it
// cannot be opened, is larger than a backup can be, or reads short.
bool readRestoreFile(const QString& path, QByteArray& contents, QString& error);

// Why file cannot be a memory backup, or an empty string when it can. A file
// that passes can be read by readFileHeader and cut by nextBlock safely.
QString checkRestoreFile(const QByteArray& file);

// Expects a file that checkRestoreFile accepted.
FileHeader readFileHeader(const QByteArray& file);

constexpr unsigned char kSendBufferFill = 0xFF;
using SendBuffer = std::array<unsigned char, Protocol::kMaxStoredFrame>;

// Copies the block that starts at readPosition, through its first F7, into
// sendBuffer, filling the rest with kSendBufferFill; returns where the next block starts.
// Expects a file that checkRestoreFile accepted.
int nextBlock(const QByteArray& file, int readPosition, SendBuffer& sendBuffer);

// The 28-bit position of the block that starts at block[0].
int blockPosition(const unsigned char* block);

// A block's progress figure, position x 100 / total truncated, kept within
// 0-100; 0 when the total is unknown.
int progressFigure(int position, int total);

}  // namespace MemoryFile
