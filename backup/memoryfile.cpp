#include "backup/memoryfile.h"

#include "protocol/encoding.h"

#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QRegularExpression>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cmath>

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

// Where a block stands and what it carries.
struct BlockSpan
{
    int start = 0;     // its F0's offset in the file
    int position = 0;  // in the device's unit
    int content = 0;   // bytes between the position and F7
};

QList<BlockSpan> spansOf(const QByteArray& file)
{
    QList<BlockSpan> spans;
    for (int start = 0; start < file.size(); start = endOfBlock(file, start) + 1)
        spans.append({start, blockPosition(bytesOf(file) + start),
                      endOfBlock(file, start) - start - static_cast<int>(Protocol::kBlockContentOffset)});
    return spans;
}

// A content byte holds 7 bits: no unit of the position field makes it worth
// more than a bit's worth of positions each.
constexpr double kMostPositionsPerByte = 8.0;
// Positions are whole numbers: a device that packs bytes rounds each step.
constexpr double kRounding = 1.0 - 1e-9;

// Positions per content byte, as the file's consistent blocks tell it: the
// median step per byte finds them (a missing or cut block only ever makes a
// step long for what came before it), and their sums give the exact figure.
double positionsPerByte(const QList<BlockSpan>& spans)
{
    QList<double> ratios;
    for (int i = 1; i < spans.size(); ++i) {
        const int step = spans[i].position - spans[i - 1].position;
        if (step > 0 && spans[i - 1].content > 0)
            ratios.append(static_cast<double>(step) / spans[i - 1].content);
    }
    if (ratios.isEmpty())
        return 0.0;
    std::sort(ratios.begin(), ratios.end());
    const double median = ratios[(ratios.size() - 1) / 2];
    qint64 steps = 0;
    qint64 carried = 0;
    for (int i = 1; i < spans.size(); ++i) {
        const int step = spans[i].position - spans[i - 1].position;
        if (step > 0 && std::abs(step - median * spans[i - 1].content) < kRounding) {
            steps += step;
            carried += spans[i - 1].content;
        }
    }
    return static_cast<double>(steps) / carried;
}

// The blocks together, judged by what they prove: whatever unit the device
// counts positions in and however it cuts its memory, each step is what the
// block before it carries, at one rate for the whole file, and the last block
// reaches the memory's end. Catches a file cut at a block, a block missing,
// cut, moved or repeated, a block too many, and two backups joined.
QString checkSequence(const QByteArray& file)
{
    const int total = Encoding::join28(bytesOf(file) + kTotalOffset);
    const QList<BlockSpan> spans = spansOf(file);
    if (spans.size() == 1) {
        // One block alone tells no unit: it must be able to hold the memory in the largest.
        if (spans[0].content * kMostPositionsPerByte < total)
            return QStringLiteral("The file's only block holds %1 bytes of a memory of %2: it holds only part of it.")
                .arg(spans[0].content)
                .arg(total);
        return {};
    }
    const double rate = positionsPerByte(spans);
    for (int i = 1; i < spans.size(); ++i) {
        const BlockSpan& block = spans[i];
        const BlockSpan& before = spans[i - 1];
        const QString named = QStringLiteral("Block %1 (from byte %2)").arg(i + 1).arg(block.start);
        if (block.position == 0)
            return named + QStringLiteral(" starts the memory again: the file holds more than one backup.");
        if (block.position <= before.position)
            return named + QStringLiteral(" is at position %1, not after the block before it (%2): blocks are out of order.")
                               .arg(block.position)
                               .arg(before.position);
        if (block.position >= total)
            return named + QStringLiteral(" is at position %1, past the end of a memory of %2.").arg(block.position).arg(total);
        if (rate > kMostPositionsPerByte)
            return named + QStringLiteral(" is at position %1, further than the block before it can reach: "
                                          "a block is missing.")
                               .arg(block.position);
        const double due = before.position + rate * before.content;
        if (std::abs(block.position - due) >= kRounding)
            return named + QStringLiteral(" is at position %1 where %2 was due: a block is missing or out of place.")
                               .arg(block.position)
                               .arg(qRound64(due));
    }
    // A packing device rounds the last position down and the total up.
    const bool whole = std::abs(rate - std::round(rate)) < 1e-9;
    const BlockSpan& last = spans.back();
    if (last.position + rate * last.content + (whole ? kRounding : 2 * kRounding) < total)
        return QStringLiteral("The last block, at position %1, holds %2 bytes, too few to reach the end of a memory "
                              "of %3: the file holds only part of it.")
            .arg(last.position)
            .arg(last.content)
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
    // Qt's own text for a failed write is often "Unknown error": the system's
    // cause (no space left, permission, no such folder) is taken at each step.
    QSaveFile file(path);
    int cause = 0;
    const auto step = [&cause](bool done) {
        cause = done ? 0 : errno;
        return done;
    };
    errno = 0;
    if (step(file.open(QIODevice::WriteOnly)) && step(file.write(bytes) == bytes.size()) && step(file.commit()))
        return true;
    error = cause != 0 ? QString::fromLocal8Bit(std::strerror(cause)) + QLatin1Char('.') : file.errorString();
    file.cancelWriting();
    return false;
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
