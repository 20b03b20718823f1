#include "backup/memoryfile.h"

#include "protocol/encoding.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

namespace MemoryFile {

const char* const kFileFilter = "Zandorium memory files (*.mem)";
const char* const kExtension = ".mem";

namespace {

constexpr unsigned char kFirstStatus = 0x80;
constexpr char kVersionSeparator = '.';
constexpr int kVersionNumberCount = 3;

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

// Three numbers and two dots, each number starting with a digit, so that
// every number is read from the text rather than defaulting to 0.
bool isVersionText(const QByteArray& text)
{
    const QList<QByteArray> numbers = text.split(kVersionSeparator);
    if (numbers.size() != kVersionNumberCount)
        return false;
    return std::all_of(numbers.begin(), numbers.end(), [](const QByteArray& number) {
        return !number.isEmpty() && number.front() >= '0' && number.front() <= '9';
    });
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
        return QStringLiteral("The data version \"%1\" is not three numbers separated by dots.")
            .arg(QString::fromUtf8(text));
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
