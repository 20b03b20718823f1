#include "simulator/memoryimage.h"

#include "protocol/encoding.h"
#include "simulator/replyframe.h"

#include <algorithm>

namespace Sim {

namespace {

// Name, effects, amp/buffer 2/switch 3/button mode, per pedal value/min/max
// (14-bit each), on/off and CC, program change (2), TAP tempo (4).
constexpr int kRecordSize = Protocol::kMaxMemoryNameLength + Protocol::kEffectCount + 4
                            + Protocol::kPedalCount * (3 * 2 + 2) + 2 + 4;

// Offsets of the header's 28-bit numbers.
constexpr int kCountOffset = 0;
constexpr int kRecordSizeOffset = 4;
constexpr int kTotalOffset = 8;
constexpr int kFormatOffset = 12;
constexpr int kTextLengthOffset = 16;

void appendRecord(QByteArray& bytes, const Memory& memory)
{
    QByteArray name = QByteArray::fromStdString(memory.name).left(Protocol::kMaxMemoryNameLength);
    name.append(Protocol::kMaxMemoryNameLength - name.size(), '\0');
    bytes.append(name);
    for (const int effect : memory.effects)
        bytes.append(static_cast<char>(effect));
    for (const int value : {memory.amp, memory.buffer2, memory.switch3, memory.buttonMode})
        bytes.append(static_cast<char>(value));
    for (const Pedal& pedal : memory.pedals) {
        append14(bytes, pedal.value);
        append14(bytes, pedal.min);
        append14(bytes, pedal.max);
        bytes.append(static_cast<char>(pedal.onOff));
        bytes.append(static_cast<char>(pedal.cc));
    }
    for (const int value : {memory.pcChannel, memory.pcProgram, memory.tapChannel, memory.tapMode,
                            memory.tapNote, memory.tapCc})
        bytes.append(static_cast<char>(value));
}

// Reads one record, refusing any value the unit could not have stored.
class RecordReader
{
public:
    explicit RecordReader(const unsigned char* bytes) : bytes_(bytes) {}

    bool read(Memory& memory)
    {
        const int nameLength = static_cast<int>(
            std::find(bytes_, bytes_ + Protocol::kMaxMemoryNameLength, 0) - bytes_);
        memory.name = displayText(bytes_, nameLength, Protocol::kMaxMemoryNameLength);
        next_ = Protocol::kMaxMemoryNameLength;
        for (int& effect : memory.effects)
            take(effect, 1);
        take(memory.amp, kAmpAB);
        take(memory.buffer2, 1);
        take(memory.switch3, 1);
        take(memory.buttonMode, kLastButtonMode);
        for (Pedal& pedal : memory.pedals) {
            take14(pedal.value);
            take14(pedal.min);
            take14(pedal.max);
            take(pedal.onOff, 1);
            take(pedal.cc, Protocol::kDataMask);
        }
        take(memory.pcChannel, Protocol::kChannelOffWire);
        take(memory.pcProgram, Protocol::kDataMask);
        take(memory.tapChannel, Protocol::kChannelOffWire);
        take(memory.tapMode, 1);
        take(memory.tapNote, Protocol::kDataMask);
        take(memory.tapCc, Protocol::kDataMask);
        return valid_;
    }

private:
    void take(int& field, int max)
    {
        field = bytes_[next_++];
        valid_ = valid_ && field <= max;
    }
    void take14(int& field)
    {
        field = Encoding::join14(bytes_[next_], bytes_[next_ + 1]);
        next_ += 2;
        valid_ = valid_ && field <= Protocol::kPedalMax;
    }

    const unsigned char* bytes_;
    int next_ = 0;
    bool valid_ = true;
};

int read28(const QByteArray& bytes, int offset)
{
    return Encoding::join28(reinterpret_cast<const unsigned char*>(bytes.constData()) + offset);
}

}  // namespace

QByteArray buildDump(const std::vector<Memory>& memories, const std::string& dataVersion, int paddedSize)
{
    QByteArray records;
    for (const Memory& memory : memories)
        appendRecord(records, memory);
    const QByteArray text = QByteArray::fromStdString(dataVersion);
    QByteArray dump;
    append28(dump, static_cast<int>(memories.size()));
    append28(dump, kRecordSize);
    const int size = std::max(paddedSize, kDumpHeaderSize + static_cast<int>(text.size() + records.size()));
    append28(dump, size);
    append28(dump, kDumpFormat);
    append28(dump, text.size());
    dump.append(text);
    dump.append(records);
    for (int filler = 0; dump.size() < size; ++filler)
        dump.append(static_cast<char>(filler & Protocol::kDataMask));
    return dump;
}

int dumpTotal(const QByteArray& firstContent)
{
    return firstContent.size() >= kDumpHeaderSize ? read28(firstContent, kTotalOffset) : -1;
}

std::vector<Memory> parseDump(const QByteArray& dump, std::string& problem, const BlockLayout& layout)
{
    if (dump.size() < kDumpHeaderSize) {
        problem = "the dump is shorter than its header";
        return {};
    }
    const int count = read28(dump, kCountOffset);
    const int recordOffset = kDumpHeaderSize + read28(dump, kTextLengthOffset);
    if (count != kMemoryCount || read28(dump, kRecordSizeOffset) != kRecordSize
        || read28(dump, kFormatOffset) != kDumpFormat) {
        problem = "the dump is not laid out as this unit lays out its memories";
        return {};
    }
    if (layout.totalOf(dump.size()) != dumpTotal(dump) || dump.size() < recordOffset + count * kRecordSize) {
        problem = "the dump's size does not match its header";
        return {};
    }
    std::vector<Memory> memories(static_cast<std::size_t>(count));
    const auto* records = reinterpret_cast<const unsigned char*>(dump.constData()) + recordOffset;
    for (int i = 0; i < count; ++i) {
        if (!RecordReader(records + i * kRecordSize).read(memories[i])) {
            problem = "memory " + std::to_string(i) + " holds a value out of range";
            return {};
        }
    }
    return memories;
}

QList<QByteArray> dumpBlocks(const QByteArray& dump, const BlockLayout& layout)
{
    QByteArray counted = dump;
    if (dump.size() >= kDumpHeaderSize) {
        QByteArray total;
        append28(total, layout.totalOf(dump.size()));
        counted.replace(kTotalOffset, total.size(), total);
    }
    QList<QByteArray> blocks;
    for (int offset = 0, index = 0; offset < counted.size(); offset += layout.lengthOf(index++)) {
        QByteArray arguments;
        append28(arguments, layout.positionOf(offset));
        arguments.append(counted.mid(offset, layout.lengthOf(index)));
        blocks.append(replyFrame(Protocol::Command::BackupBlock, arguments));
    }
    return blocks;
}

}  // namespace Sim
