#include "simulator/simulateddevice.h"

#include "protocol/encoding.h"
#include "protocol/framereader.h"
#include "simulator/memoryimage.h"
#include "simulator/replyframe.h"

#include <algorithm>
#include <sstream>

namespace Sim {

using Protocol::Command;

namespace {

// Taps further apart than this start a new tempo.
constexpr qint64 kLongestBeatMs = 3000;
constexpr qint64 kShortestBeatMs = 100;
constexpr qint64 kTapFlashMs = 100;

// Argument bytes each command needs before it can be acted on.
int argumentsNeeded(Command command)
{
    switch (command) {
    case Command::PedalValue:
    case Command::PedalMax:
    case Command::PedalMin:
    case Command::PedalSwitch:
        return 3;
    case Command::SelectMemory:
    case Command::WriteMemory:
    case Command::ProgramChange:
        return 2;
    case Command::TapTempo:
        return 4;
    case Command::EffectStatus:
        return Protocol::kEffectCount;
    case Command::BackupBlock:
        return Protocol::kBlockContentOffset - Protocol::kArgumentOffset;
    default:
        return 1;
    }
}

bool allDataBytes(const QByteArray& frame)
{
    return std::all_of(frame.begin() + Protocol::kArgumentOffset, frame.end() - 1,
                       [](char b) { return (static_cast<unsigned char>(b) & ~Protocol::kDataMask) == 0; });
}

int wireChannel(int byte)
{
    return byte < Protocol::kChannelCount ? byte : Protocol::kChannelOffWire;
}

int bankOf(int index)
{
    return index / Protocol::kNumbersPerBank;
}

int numberOf(int index)
{
    return index % Protocol::kNumbersPerBank;
}

bool isMemoryIndex(int index)
{
    return index >= 0 && index < kMemoryCount;
}

QByteArray longText(const std::string& text)
{
    QByteArray bytes;
    append28(bytes, static_cast<int>(text.size()));
    return bytes + QByteArray::fromStdString(text);
}

QByteArray effectStatusFrame(const Memory& memory)
{
    QByteArray states;
    for (const int effect : memory.effects)
        states.append(static_cast<char>(effect));
    return replyFrame(Command::EffectStatus, states);
}

}  // namespace

SimulatedDevice::SimulatedDevice(DeviceState state, Options options, Sink send, Log log)
    : state_(std::move(state)), options_(std::move(options)), send_(std::move(send)), log_(std::move(log))
{
}

void SimulatedDevice::send(const QByteArray& frame)
{
    if (holdUntil_ >= 0) {
        sendLater(holdUntil_, Timed::Startup, frame);
        return;
    }
    if (!send_)
        return;
    if (options_.trailingBytes == 0 || frame.at(Protocol::kCommandOffset) == static_cast<char>(Command::BackupBlock)) {
        send_(frame);
        return;
    }
    QByteArray longer = frame;
    send_(longer.insert(longer.size() - 1, QByteArray(options_.trailingBytes, '\0')));
}

void SimulatedDevice::sendLater(qint64 due, Timed kind, const QByteArray& frame)
{
    waiting_.emplace(due, std::make_pair(kind, frame));
}

void SimulatedDevice::cancel(Timed kind)
{
    for (auto it = waiting_.begin(); it != waiting_.end();)
        it = it->second.first == kind ? waiting_.erase(it) : std::next(it);
}

void SimulatedDevice::advanceTo(qint64 nowMs)
{
    while (!waiting_.empty() && waiting_.begin()->first <= nowMs) {
        const Timed kind = waiting_.begin()->second.first;
        const QByteArray frame = waiting_.begin()->second.second;
        waiting_.erase(waiting_.begin());
        send(frame);
        if (kind == Timed::Stream && frame.at(Protocol::kCommandOffset) == static_cast<char>(Command::BackupEnd) && log_)
            log_("backup sent: " + std::to_string(backupBlocks_) + " blocks in "
                 + std::to_string(nowMs - backupStartMs_) + " ms");
    }
}

qint64 SimulatedDevice::nextDue() const
{
    return waiting_.empty() ? -1 : waiting_.begin()->first;
}

void SimulatedDevice::receive(const QByteArray& frame, qint64 nowMs)
{
    const FrameReader reader(reinterpret_cast<const unsigned char*>(frame.constData()),
                             static_cast<std::size_t>(frame.size()));
    if (!reader.isDeviceFrame() || !allDataBytes(frame))
        return;
    const auto command = static_cast<Command>(reader.command());
    if (!reader.contains(Protocol::kArgumentOffset, static_cast<std::size_t>(argumentsNeeded(command))))
        return;
    dispatch(reader, frame, nowMs);
    advanceTo(nowMs);
}

void SimulatedDevice::dispatch(const FrameReader& frame, const QByteArray& raw, qint64 nowMs)
{
    const std::size_t arg = Protocol::kArgumentOffset;
    const int first = frame.byte(arg);
    switch (static_cast<Command>(frame.command())) {
    case Command::KeyPress:
        pressKey(first, nowMs);
        break;
    case Command::PedalValue:
    case Command::PedalMax:
    case Command::PedalMin:
    case Command::PedalSwitch:
        onPedal(frame);
        break;
    case Command::SelectMemory:
        if (isMemoryIndex(frame.value14(arg)))
            selectMemory(frame.value14(arg));
        break;
    case Command::WriteMemory:
        if (isMemoryIndex(frame.value14(arg)))
            onWriteMemory(frame.value14(arg), nowMs);
        break;
    case Command::StartupRequest:
        answerStartup(nowMs);
        break;
    case Command::MemoryName:
    case Command::DeviceName:
        onText(frame);
        break;
    case Command::ProgramChange:
    case Command::TapTempo:
    case Command::MidiChannel:
    case Command::AmpSelect:
    case Command::Buffer2:
    case Command::Switch3:
    case Command::ButtonMode:
    case Command::MidiThru:
    case Command::ExtPcMidiChannel:
    case Command::Wireless:
        onSetting(frame);
        break;
    case Command::WriteBank:
        // The target only shows in the dialog; the index of the final write decides.
        if (first < Protocol::kBankCount)
            send(replyFrame(Command::WriteBank, {first}));
        break;
    case Command::WriteNumber:
        if (first < Protocol::kNumbersPerBank)
            send(replyFrame(Command::WriteNumber, {first}));
        break;
    case Command::BackupRequest:
        startBackup(nowMs);
        break;
    case Command::BackupBlock:
        onRestoreBlock(raw, nowMs);
        break;
    case Command::EffectStatus:
        onEffectStatus(frame);
        break;
    default:
        // Key releases need nothing; the bank and number of a selection only
        // move the unit's cursor, and the index that follows switches. Starting
        // or cancelling a write changes nothing until the write itself.
        break;
    }
}

void SimulatedDevice::pressKey(int key, qint64 nowMs)
{
    Memory& memory = state_.current;
    if ((key >= 0 && key < Protocol::kLoopKeyCount) || key == Protocol::kKeySw1 || key == Protocol::kKeySw2) {
        int& effect = memory.effects[static_cast<std::size_t>(key)];
        effect = effect ? 0 : 1;
        reportLed(key, effect != 0);
        send(effectStatusFrame(memory));
    } else if (key == Protocol::kKeyMenu) {
        send(replyFrame(Command::EditWindow, {1}));
        send(countedTextFrame(Command::MemoryName, memory.name));
        reportParameters();
    } else if (key == Protocol::kKeyTap) {
        tap(nowMs);
    }
}

void SimulatedDevice::tap(qint64 nowMs)
{
    const qint64 beat = nowMs - lastTapMs_;
    const bool tempoTapped = lastTapMs_ >= 0 && beat >= kShortestBeatMs && beat <= kLongestBeatMs;
    lastTapMs_ = nowMs;
    cancel(Timed::Tap);
    const int beats = tempoTapped ? options_.tapBeats : 1;
    for (int i = 0; i < beats; ++i) {
        const qint64 start = nowMs + i * beat;
        sendLater(start, Timed::Tap, replyFrame(Command::Led, {1, Protocol::kKeyTap}));
        sendLater(start + std::min(kTapFlashMs, beat / 2), Timed::Tap,
                  replyFrame(Command::Led, {0, Protocol::kKeyTap}));
    }
}

void SimulatedDevice::onPedal(const FrameReader& frame)
{
    const std::size_t arg = Protocol::kArgumentOffset;
    const int pedal = frame.byte(arg);
    if (!Protocol::isPedalIndex(pedal))
        return;
    Pedal& record = state_.current.pedals[static_cast<std::size_t>(pedal)];
    const auto command = static_cast<Command>(frame.command());
    if (command == Command::PedalSwitch) {
        record.onOff = frame.byte(arg + 1) ? 1 : 0;
        record.cc = frame.byte(arg + 2);
        send(replyFrame(command, {pedal, record.onOff, record.cc}));
        return;
    }
    const int value = std::min(frame.value14(arg + 1), Protocol::kPedalMax);
    int& field = command == Command::PedalValue ? record.value
                 : command == Command::PedalMax ? record.max
                                                : record.min;
    field = value;
    const auto bytes = Encoding::split14(value);
    send(replyFrame(command, {pedal, bytes[0], bytes[1]}));
}

void SimulatedDevice::onText(const FrameReader& frame)
{
    const std::size_t arg = Protocol::kArgumentOffset;
    const int count = frame.byte(arg);
    if (!frame.contains(arg + 1, static_cast<std::size_t>(count)))
        return;
    const auto command = static_cast<Command>(frame.command());
    const bool memoryName = command == Command::MemoryName;
    std::string& text = memoryName ? state_.current.name : state_.unit.deviceName;
    text = displayText(frame.at(arg + 1), count,
                       memoryName ? Protocol::kMaxMemoryNameLength : Protocol::kMaxDeviceNameLength);
    send(countedTextFrame(command, text));
}

void SimulatedDevice::onSetting(const FrameReader& frame)
{
    const std::size_t arg = Protocol::kArgumentOffset;
    const int first = frame.byte(arg);
    const auto command = static_cast<Command>(frame.command());
    Memory& memory = state_.current;
    UnitSettings& unit = state_.unit;
    switch (command) {
    case Command::ProgramChange:
        memory.pcProgram = first;
        memory.pcChannel = wireChannel(frame.byte(arg + 1));
        send(replyFrame(command, {memory.pcProgram, memory.pcChannel}));
        return;
    case Command::TapTempo:
        if (frame.byte(arg + 1) > 1)
            return;
        memory.tapChannel = wireChannel(first);
        memory.tapMode = frame.byte(arg + 1);
        memory.tapNote = frame.byte(arg + 2);
        memory.tapCc = frame.byte(arg + 3);
        send(replyFrame(command, {memory.tapChannel, memory.tapMode, memory.tapNote, memory.tapCc}));
        return;
    case Command::MidiChannel:
    case Command::ExtPcMidiChannel: {
        int& channel = command == Command::MidiChannel ? unit.pedalsChannel : unit.extPcChannel;
        channel = wireChannel(first);
        send(replyFrame(command, {channel}));
        return;
    }
    case Command::AmpSelect:
        if (first > kAmpAB)
            return;
        memory.amp = first;
        send(replyFrame(command, {first}));
        reportAmpLeds();
        return;
    case Command::ButtonMode:
        if (first > kLastButtonMode)
            return;
        memory.buttonMode = first;
        send(replyFrame(command, {first}));
        return;
    default:
        break;
    }
    // The rest are switches.
    if (first > 1)
        return;
    int& field = command == Command::Buffer2   ? memory.buffer2
                 : command == Command::Switch3 ? memory.switch3
                 : command == Command::MidiThru ? unit.midiThru
                                                : unit.wireless;
    field = first;
    send(replyFrame(command, {first}));
}

void SimulatedDevice::onEffectStatus(const FrameReader& frame)
{
    auto& effects = state_.current.effects;
    const auto before = effects;
    for (int i = 0; i < Protocol::kEffectCount; ++i)
        effects[static_cast<std::size_t>(i)] = frame.byte(Protocol::kArgumentOffset + static_cast<std::size_t>(i)) ? 1 : 0;
    send(effectStatusFrame(state_.current));
    // SW3 has no key, so no LED.
    for (int key = 0; key <= Protocol::kKeySw2; ++key) {
        if (effects[static_cast<std::size_t>(key)] != before[static_cast<std::size_t>(key)])
            reportLed(key, effects[static_cast<std::size_t>(key)] != 0);
    }
}

void SimulatedDevice::renameMemory(int index, const std::string& name)
{
    if (isMemoryIndex(index))
        state_.memories[static_cast<std::size_t>(index)].name =
            displayText(reinterpret_cast<const unsigned char*>(name.data()), static_cast<int>(name.size()),
                        Protocol::kMaxMemoryNameLength);
}

void SimulatedDevice::selectMemory(int index)
{
    if (!isMemoryIndex(index))
        return;
    state_.currentIndex = index;
    state_.current = state_.memories[static_cast<std::size_t>(index)];
    reportCurrentMemory();
    reportLeds();
    reportParameters();
}

void SimulatedDevice::onWriteMemory(int index, qint64 nowMs)
{
    state_.memories[static_cast<std::size_t>(index)] = state_.current;
    state_.currentIndex = index;
    send(replyFrame(Command::Complete, {Protocol::kNoValue}));
    reportCurrentMemory();
    cancel(Timed::Close);
    sendLater(nowMs + options_.closeDelayMs, Timed::Close, replyFrame(Command::CloseMemorySelect, {1}));
}

void SimulatedDevice::openMemorySelect(int mode)
{
    send(replyFrame(Command::OpenMemorySelect, {mode}));
}

void SimulatedDevice::closeMemorySelect(int accepted)
{
    send(replyFrame(Command::CloseMemorySelect, {accepted}));
}

void SimulatedDevice::reportComplete()
{
    send(replyFrame(Command::Complete, {Protocol::kNoValue}));
}

void SimulatedDevice::startBackup(qint64 nowMs)
{
    cancel(Timed::Stream);
    const QList<QByteArray> blocks =
        dumpBlocks(buildDump(state_.memories, options_.dataVersion, options_.dumpSize), options_.layout);
    backupStartMs_ = nowMs;
    backupBlocks_ = blocks.size();
    const QByteArray end = replyFrame(Command::BackupEnd, {Protocol::kNoValue});
    qint64 due = nowMs;
    qint64 bytes = 0;  // on the cable by the end of the block
    for (int i = 0; i < blocks.size(); ++i) {
        bytes += blocks.at(i).size();
        if (options_.bytesPerSecond > 0)
            due = nowMs + bytes * 1000 / options_.bytesPerSecond;
        else
            due = options_.blocksPerMs > 0 ? nowMs + i / options_.blocksPerMs : nowMs + qint64{i} * options_.blockIntervalMs;
        sendLater(due, Timed::Stream, blocks.at(i));
    }
    if (options_.bytesPerSecond > 0)
        due = nowMs + (bytes + end.size()) * 1000 / options_.bytesPerSecond;
    sendLater(due, Timed::Stream, end);
}

void SimulatedDevice::onRestoreBlock(const QByteArray& frame, qint64 nowMs)
{
    const int contentOffset = static_cast<int>(Protocol::kBlockContentOffset);
    const auto* bytes = reinterpret_cast<const unsigned char*>(frame.constData());
    const int position = Encoding::join28(bytes + Protocol::kBlockPositionOffset);
    if (position == 0) {
        restoreBlocks_ = 0;
        restoreStartMs_ = nowMs;
    }
    ++restoreBlocks_;
    if (options_.ackLimit >= 0 && restoreBlocks_ > options_.ackLimit)
        return;  // the unit has stopped answering
    if (frame.size() > static_cast<int>(Protocol::kMaxStoredFrame)) {
        abandonRestore("a block longer than 200 bytes");
        return;
    }
    const QByteArray content = frame.mid(contentOffset, frame.size() - contentOffset - 1);
    if (position == 0) {
        restoreDump_ = content;
        restoreTotal_ = dumpTotal(content);
        if (restoreTotal_ <= 0) {
            abandonRestore("a first block without a dump header");
            return;
        }
    } else if (restoreTotal_ < 0 || position != options_.layout.positionOf(restoreDump_.size())) {
        abandonRestore("a block out of order at position " + std::to_string(position));
        return;
    } else {
        restoreDump_.append(content);
    }
    if (options_.layout.totalOf(restoreDump_.size()) > restoreTotal_) {
        abandonRestore("more data than the dump announced");
        return;
    }
    qint64 due = nowMs + options_.ackDelayMs;
    if (options_.slowAcks > 0 && restoreBlocks_ % options_.slowAcks == 0)
        due += 1000 * (1 + (restoreBlocks_ / options_.slowAcks - 1) % 3);
    if (restoreBlocks_ != options_.dropAck)
        sendLater(due, Timed::Acknowledge, replyFrame(Command::Acknowledge, {Protocol::kNoValue}));
    if (options_.layout.totalOf(restoreDump_.size()) == restoreTotal_)
        finishRestore(due);
}

void SimulatedDevice::abandonRestore(const std::string& why)
{
    restoreDump_.clear();
    restoreTotal_ = -1;
    if (log_)
        log_("restore refused: " + why);
}

// The new memories replace the old ones only once the whole dump has arrived
// and reads back as a valid image; until then nothing the unit holds changes.
void SimulatedDevice::finishRestore(qint64 due)
{
    std::string problem;
    std::vector<Memory> memories = parseDump(restoreDump_, problem, options_.layout);
    restoreDump_.clear();
    restoreTotal_ = -1;
    if (memories.empty()) {
        if (log_)
            log_("restore refused: " + problem);
        return;
    }
    state_.memories = std::move(memories);
    state_.current = state_.memories[static_cast<std::size_t>(state_.currentIndex)];
    sendLater(due, Timed::Acknowledge, replyFrame(Command::Complete, {Protocol::kNoValue}));
    if (log_)
        log_("restore complete: " + std::to_string(restoreBlocks_) + " blocks, first to last "
             + std::to_string(due - options_.ackDelayMs - restoreStartMs_) + " ms");
}

void SimulatedDevice::answerStartup(qint64 nowMs)
{
    holdUntil_ = options_.startupDelayMs > 0 ? nowMs + options_.startupDelayMs : -1;
    reportWholeState();
    holdUntil_ = -1;
}

void SimulatedDevice::reportWholeState()
{
    if (!options_.versionsLast)
        reportUnit();
    reportCurrentMemory();
    reportLeds();
    reportParameters();
    if (options_.versionsLast)
        reportUnit();
}

void SimulatedDevice::reportUnit()
{
    send(replyFrame(Command::VersionReply, longText(options_.firmwareVersion) + longText(options_.dataVersion)));
    send(countedTextFrame(Command::DeviceName, state_.unit.deviceName));
    send(replyFrame(Command::MidiChannel, {state_.unit.pedalsChannel}));
    send(replyFrame(Command::MidiThru, {state_.unit.midiThru}));
    send(replyFrame(Command::ExtPcMidiChannel, {state_.unit.extPcChannel}));
    send(replyFrame(Command::Wireless, {state_.unit.wireless}));
}

void SimulatedDevice::reportCurrentMemory()
{
    const int index = state_.currentIndex;
    const auto bytes = Encoding::split14(index);
    const QByteArray name = countedTextFrame(Command::MemoryName, state_.current.name);
    if (options_.versionsLast)
        send(name);
    send(replyFrame(Command::SelectMemory, {bytes[0], bytes[1]}));
    send(replyFrame(Command::SelectBank, {bankOf(index)}));
    send(replyFrame(Command::SelectNumber, {numberOf(index)}));
    if (!options_.versionsLast)
        send(name);
}

void SimulatedDevice::reportLed(int led, bool on)
{
    send(replyFrame(Command::Led, {on ? 1 : 0, led}));
}

void SimulatedDevice::reportAmpLeds()
{
    const int amp = state_.current.amp;
    reportLed(Protocol::kLedAmpA, amp != 1);
    reportLed(Protocol::kLedAmpB, amp != 0);
}

void SimulatedDevice::reportLeds()
{
    for (int key = 0; key <= Protocol::kKeySw2; ++key)
        reportLed(key, state_.current.effects[static_cast<std::size_t>(key)] != 0);
    reportLed(Protocol::kKeyMenu, false);
    reportLed(Protocol::kKeyTap, false);
    reportAmpLeds();
}

void SimulatedDevice::reportPedal(int pedal)
{
    const Pedal& record = state_.current.pedals[static_cast<std::size_t>(pedal)];
    for (const auto& [command, value] : {std::make_pair(Command::PedalMin, record.min),
                                          std::make_pair(Command::PedalMax, record.max),
                                          std::make_pair(Command::PedalValue, record.value)}) {
        const auto bytes = Encoding::split14(value);
        send(replyFrame(command, {pedal, bytes[0], bytes[1]}));
    }
    send(replyFrame(Command::PedalSwitch, {pedal, record.onOff, record.cc}));
}

void SimulatedDevice::reportParameters()
{
    const Memory& memory = state_.current;
    for (int pedal = 0; pedal < Protocol::kPedalCount; ++pedal)
        reportPedal(pedal);
    send(replyFrame(Command::ProgramChange, {memory.pcProgram, memory.pcChannel}));
    send(replyFrame(Command::TapTempo, {memory.tapChannel, memory.tapMode, memory.tapNote, memory.tapCc}));
    send(replyFrame(Command::AmpSelect, {memory.amp}));
    send(replyFrame(Command::Buffer2, {memory.buffer2}));
    send(replyFrame(Command::Switch3, {memory.switch3}));
    send(replyFrame(Command::ButtonMode, {memory.buttonMode}));
    send(effectStatusFrame(memory));
}

std::string SimulatedDevice::describe() const
{
    const Memory& memory = state_.current;
    const int index = state_.currentIndex;
    const int bank = bankOf(index);
    std::ostringstream out;
    out << "memory " << index << " (" << Protocol::bankLetter(bank)
        << (bank < Protocol::kBanksPerLetterSet ? "" : " lower row") << ", number "
        << numberOf(index) + 1 << ") \"" << memory.name << "\"\n  effects";
    for (const int effect : memory.effects)
        out << ' ' << effect;
    out << "\n  amp " << memory.amp << ", buffer 2 " << memory.buffer2 << ", switch 3 " << memory.switch3
        << ", button mode " << memory.buttonMode << "\n";
    for (int p = 0; p < Protocol::kPedalCount; ++p) {
        const Pedal& pedal = memory.pedals[static_cast<std::size_t>(p)];
        out << "  pedal " << p + 1 << ": value " << pedal.value << ", min " << pedal.min << ", max " << pedal.max
            << ", " << (pedal.onOff ? "on" : "off") << ", CC " << pedal.cc << "\n";
    }
    out << "  program change: channel (wire) " << memory.pcChannel << ", program " << memory.pcProgram + 1
        << "\n  TAP: channel (wire) " << memory.tapChannel << ", " << (memory.tapMode ? "note " : "CC ")
        << (memory.tapMode ? memory.tapNote : memory.tapCc) << "\nunit \"" << state_.unit.deviceName
        << "\": pedals channel (wire) " << state_.unit.pedalsChannel << ", MIDI thru " << state_.unit.midiThru
        << ", wireless " << state_.unit.wireless << ", extended PC channel (wire) " << state_.unit.extPcChannel
        << "\nversions: firmware " << options_.firmwareVersion << ", data " << options_.dataVersion << "\n";
    return out.str();
}

}  // namespace Sim
