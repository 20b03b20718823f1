#include "backup/memoryfile.h"

#include "protocol/encoding.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

#include <algorithm>

namespace MemoryFile {

const char* const kFileFilter = "Zandorium memory files (*.mem)";
const char* const kExtension = ".mem";

namespace {

constexpr unsigned char kFirstStatus = 0x80;

const unsigned char* bytesOf(const QByteArray& file)
{
    return reinterpret_cast<const unsigned char*>(file.constData());
}

int endOfBlock(const QByteArray& file, int start)
{
    return file.indexOf(static_cast<char>(Protocol::kSysExEnd), start);
}

// F0 7E 10 07 02 1E: the device's header with the data block command.
bool startsAsDataBlock(const unsigned char* block)
{
    return std::equal(Protocol::kHeader.begin(), Protocol::kHeader.end(), block)
           && block[Protocol::kCommandOffset] == static_cast<unsigned char>(Protocol::Command::BackupBlock);
}

// Digits and two dots, nothing else, so that no byte can make it read as
// another version; a letter may close the third number ("2.1.4b").
bool isVersionText(const QByteArray& text)
{
    static const QRegularExpression version(QStringLiteral("^[0-9]+\\.[0-9]+\\.[0-9]+[A-Za-z]?$"));
    return version.match(QString::fromLatin1(text)).hasMatch();
}

// The text as the message shows it: bytes that are not printable as \xNN.
QString shownText(const QByteArray& text)
{
    QString shown;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        shown += byte >= 0x20 && byte < 0x7F ? QString(QLatin1Char(c))
                                             : QStringLiteral("\\x%1").arg(byte, 2, 16, QLatin1Char('0'));
    }
    return shown;
}

QString checkBlocks(const QByteArray& file)
{
    const unsigned char* const bytes = bytesOf(file);
    int blockNumber = 1;
    for (int start = 0; start < file.size(); start = endOfBlock(file, start) + 1, ++blockNumber) {
        const int end = endOfBlock(file, start);
        const int length = end - start + 1;
        const QString block = QStringLiteral("Block %1 (from byte %2)").arg(blockNumber).arg(start);
        if (length > static_cast<int>(Protocol::kMaxStoredFrame))
            return block + QStringLiteral(" is %1 bytes long, more than 200.").arg(length);
        if (length <= static_cast<int>(Protocol::kBlockContentOffset) || !startsAsDataBlock(bytes + start))
            return block + QStringLiteral(" is not a memory data block.");
        const auto notSevenBit = std::find_if(bytes + start + 1, bytes + end,
                                              [](unsigned char b) { return b >= kFirstStatus; });
        if (notSevenBit != bytes + end)
            return block + QStringLiteral(" holds a byte that is not 7-bit, at byte %1.").arg(notSevenBit - bytes);
    }
    return {};
}

QString checkFirstBlock(const QByteArray& file)
{
    const unsigned char* const first = bytesOf(file);
    const int length = endOfBlock(file, 0) + 1;
    if (blockPosition(first) != 0)
        return QStringLiteral("The first block is not at position 0.");
    if (length <= static_cast<int>(kVersionTextOffset))
        return QStringLiteral("The first block is too short to hold the memory header.");
    if (Encoding::join28(first + kTotalOffset) == 0)
        return QStringLiteral("The first block gives a memory size of 0.");
    const int textLength = Encoding::join28(first + kVersionLengthOffset);
    if (textLength > kMaxVersionTextLength)
        return QStringLiteral("The data version text is %1 bytes long, more than 19.").arg(textLength);
    if (static_cast<int>(kVersionTextOffset) + textLength >= length)
        return QStringLiteral("The data version text runs past the end of the first block.");
    const QByteArray text = file.mid(kVersionTextOffset, textLength);
    if (!isVersionText(text))
        return QStringLiteral("The data version \"%1\" is not three numbers separated by dots.").arg(shownText(text));
    return {};
}

// The blocks together: each a step further into the memory than the one
// before, every step as long as the first and every block between the first
// and the last as long as the second (the position's unit is the device's,
// so the file's own blocks tell it), none past the memory's end, and the last
// reaching it. Catches a file cut at a block, a block missing, cut or moved,
// a block too many, and two backups joined.
QString checkSequence(const QByteArray& file)
{
    const int total = Encoding::join28(bytesOf(file) + kTotalOffset);
    const auto contentOf = [&file](int start) {
        return endOfBlock(file, start) - start - static_cast<int>(Protocol::kBlockContentOffset);
    };
    int step = 0;
    int previous = 0;
    int previousStart = 0;
    int middleContent = 0;  // of the second block: what every block before the last holds
    int blockNumber = 2;
    for (int start = endOfBlock(file, 0) + 1; start < file.size(); start = endOfBlock(file, start) + 1, ++blockNumber) {
        const int position = blockPosition(bytesOf(file) + start);
        const QString block = QStringLiteral("Block %1 (from byte %2)").arg(blockNumber).arg(start);
        if (position == 0)
            return block + QStringLiteral(" starts the memory again: the file holds more than one backup.");
        if (position <= previous)
            return block + QStringLiteral(" is at position %1, not after the block before it (%2): blocks are out of order.")
                               .arg(position)
                               .arg(previous);
        if (position >= total)
            return block + QStringLiteral(" is at position %1, past the end of a memory of %2.").arg(position).arg(total);
        if (step == 0)
            step = position;
        if (position != previous + step)
            return block + QStringLiteral(" is at position %1 where %2 was due: a block is missing or out of place.")
                               .arg(position)
                               .arg(previous + step);
        if (blockNumber > 2) {
            if (middleContent == 0)
                middleContent = contentOf(previousStart);
            else if (contentOf(previousStart) != middleContent)
                return QStringLiteral("Block %1 (from byte %2) holds %3 bytes where the blocks before it hold %4.")
                    .arg(blockNumber - 1)
                    .arg(previousStart)
                    .arg(contentOf(previousStart))
                    .arg(middleContent);
        }
        previous = position;
        previousStart = start;
    }
    if (step == 0) {
        // One block alone tells no step: its bytes must then hold the memory.
        const int content = contentOf(0);
        if (content < total)
            return QStringLiteral("The file's only block holds %1 bytes of a memory of %2: it holds only part of it.")
                .arg(content)
                .arg(total);
        return {};
    }
    // The last block holds the rest: as many bytes for its positions as the
    // others hold for a step.
    const qint64 perStep = middleContent > 0 ? middleContent : contentOf(0);
    const qint64 last = contentOf(previousStart);
    if (static_cast<qint64>(total - previous) * perStep > last * step)
        return QStringLiteral("The last block, at position %1, holds %2 bytes, too few to reach the end of a memory "
                              "of %3: the file holds only part of it.")
            .arg(previous)
            .arg(last)
            .arg(total);
    return {};
}

}  // namespace

QString ensureMemExtension(const QString& name)
{
    const QString extension = QString::fromLatin1(kExtension);
    return name.endsWith(extension, Qt::CaseSensitive) ? name : name + extension;
}

bool saveFile(const QString& path, const QByteArray& bytes, QString& error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        error = file.errorString();
        file.cancelWriting();
        return false;
    }
    return true;
}

qint64 fileSize(const QString& path, QString& error)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        error = QStringLiteral("The file does not exist.");
        return -1;
    }
    if (!info.isFile()) {
        error = QStringLiteral("It is not a file.");
        return -1;
    }
    return info.size();
}

bool readRestoreFile(const QString& path, QByteArray& contents, QString& error)
{
    const qint64 size = fileSize(path, error);
    if (size < 0)
        return false;
    // Checked before reading, so a huge file is never loaded.
    if (size > kMaxFileSize) {
        error = QStringLiteral("The file holds %1 bytes, more than the 2,097,152 of a memory backup.").arg(size);
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("The file could not be opened: %1.").arg(file.errorString());
        return false;
    }
    contents = file.read(kMaxFileSize + 1);
    if (file.error() != QFileDevice::NoError) {
        error = QStringLiteral("The file could not be read: %1.").arg(file.errorString());
        return false;
    }
    return true;
}

QString checkRestoreFile(const QByteArray& file)
{
    if (file.isEmpty())
        return QStringLiteral("The file is empty.");
    if (file.size() > kMaxFileSize)
        return QStringLiteral("The file holds %1 bytes, more than the 2,097,152 of a memory backup.").arg(file.size());
    if (static_cast<unsigned char>(file.back()) != Protocol::kSysExEnd)
        return QStringLiteral("The file does not end with a complete block: its last byte is not F7.");
    QString problem = checkBlocks(file);
    if (problem.isEmpty())
        problem = checkFirstBlock(file);
    if (problem.isEmpty())
        problem = checkSequence(file);
    return problem;
}

FileHeader readFileHeader(const QByteArray& file)
{
    const unsigned char* const first = bytesOf(file);
    FileHeader header;
    for (std::size_t i = 0; i < kHeaderNumberCount; ++i)
        header.numbers[i] = Encoding::join28(first + Protocol::kBlockPositionOffset + i * kNumberSize);
    header.versionText = file.mid(kVersionTextOffset, Encoding::join28(first + kVersionLengthOffset));
    header.versionString = QString::fromUtf8(header.versionText);
    header.version = parseVersion(header.versionText.constData());
    return header;
}

int nextBlock(const QByteArray& file, int readPosition, SendBuffer& sendBuffer)
{
    sendBuffer.fill(kSendBufferFill);
    const int end = endOfBlock(file, readPosition);
    const unsigned char* const bytes = bytesOf(file);
    std::copy(bytes + readPosition, bytes + end + 1, sendBuffer.begin());
    return end + 1;
}

int blockPosition(const unsigned char* block)
{
    return Encoding::join28(block + Protocol::kBlockPositionOffset);
}

int progressFigure(int position, int total)
{
    if (total <= 0)
        return 0;
    // Wide enough for any 28-bit position times 100.
    const qint64 figure = static_cast<qint64>(position) * 100 / total;
    return static_cast<int>(std::clamp<qint64>(figure, 0, 100));
}

}  // namespace MemoryFile
