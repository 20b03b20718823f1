#include "protocol/framedecoder.h"

#include "backup/version.h"
#include "core/minicore.h"
#include "protocol/framereader.h"
#include "ui/mainwindow.h"

#include <QMetaObject>

namespace {

using Protocol::Command;

constexpr std::size_t kArg0 = Protocol::kArgumentOffset;
constexpr std::size_t kArg1 = kArg0 + 1;
constexpr std::size_t kArg2 = kArg0 + 2;
constexpr std::size_t kArg3 = kArg0 + 3;
constexpr std::size_t kLengthFieldSize = 4;  // 28-bit text lengths of the version reply
constexpr int kEditWindowOpen = 1;
constexpr int kEditWindowNoMemory = 0;

// Reports whose one argument byte is passed on as it is.
struct Relay
{
    Command command;
    void (MiniCore::*signal)(int);
};
constexpr Relay kRelays[] = {
    {Command::AmpSelect, &MiniCore::openSignalChangeAmp},
    {Command::Buffer2, &MiniCore::openSignalBuffer2OnOff},
    {Command::Switch3, &MiniCore::openSignalSwitch3OnOff},
    {Command::ButtonMode, &MiniCore::openSignalButtonMode},
    {Command::MidiThru, &MiniCore::openSignalMIDIThru},
    {Command::WriteBank, &MiniCore::openSignalSetBankWrite},
    {Command::OpenMemorySelect, &MiniCore::openSignalOpenMemorySelectWindow},
    {Command::CloseMemorySelect, &MiniCore::openSignalcloseMemorySelect},
    {Command::WriteNumber, &MiniCore::openSignalSetNumberWrite},
    {Command::Wireless, &MiniCore::openSignalWirelessOnOff},
};

// A counted text: its length at offset, its bytes right after.
template <std::size_t Capacity>
bool readCountedText(const FrameReader& reader, std::size_t offset, TextField<Capacity>& text)
{
    if (!reader.contains(offset, 1))
        return false;
    const auto count = static_cast<std::size_t>(reader.byte(offset));
    if (!reader.contains(offset + 1, count))
        return false;
    text = makeTextField<Capacity>(reader.at(offset + 1), count);
    return true;
}

// A text whose 28-bit length stands at offset; returns where the next field
// starts, or 0 when the text runs past the frame.
template <std::size_t Capacity>
std::size_t readLongText(const FrameReader& reader, std::size_t offset, TextField<Capacity>& text)
{
    if (!reader.contains(offset, kLengthFieldSize))
        return 0;
    const auto count = static_cast<std::size_t>(reader.value28(offset));
    const std::size_t textOffset = offset + kLengthFieldSize;
    if (!reader.contains(textOffset, count))
        return 0;
    text = makeTextField<Capacity>(reader.at(textOffset), count);
    return textOffset + count;
}

}  // namespace

void FrameDecoder::decode(const unsigned char* frame, std::size_t length, bool damaged) const
{
    const FrameReader reader(frame, length);
    if (!reader.isDeviceFrame() || reader.command() > static_cast<int>(Protocol::kLastCommand))
        return;

    // One argument byte is the least any report carries.
    const bool hasByte = reader.contains(kArg0, 1);
    const int b6 = hasByte ? reader.byte(kArg0) : 0;

    const auto command = static_cast<Command>(reader.command());
    for (const Relay& relay : kRelays) {
        if (relay.command == command) {
            if (hasByte)
                emit(hub_->*relay.signal)(b6);
            return;
        }
    }

    switch (command) {
    case Command::PedalValue:
    case Command::PedalMax:
    case Command::PedalMin:
        decodePedalLimit(reader);
        break;
    case Command::SelectMemory:
        if (reader.contains(kArg0, 2)) {
            const int index = reader.value14(kArg0);
            hub_->memoryIndex = index;
            hub_->bank = index / Protocol::kNumbersPerBank;
            hub_->number = index % Protocol::kNumbersPerBank;
        }
        break;
    case Command::Led:
        decodeLed(reader);
        break;
    case Command::EditWindow:
        if (hasByte && b6 == kEditWindowOpen) {
            emit hub_->openSignalEditWindow(kEditWindowOpen);
        } else if (hasByte && b6 == kEditWindowNoMemory) {
            emit hub_->openSignalSetBank(Protocol::kNoMemory, MiniCore::kFromEditor);
            emit hub_->openSignalSetNumber(Protocol::kNoMemory, MiniCore::kFromEditor);
        }
        break;
    case Command::MemoryName: {
        TextField<MiniCore::kMemoryNameCapacity> name;
        if (readCountedText(reader, kArg0, name)) {
            hub_->memoryName.set(name);
            emit hub_->openSignalSetName();
        }
        break;
    }
    case Command::PedalSwitch:
        if (reader.contains(kArg0, 3) && Protocol::isPedalIndex(b6)) {
            PedalRecord& pedal = hub_->pedals[b6];
            pedal.onOff = reader.byte(kArg1);
            pedal.cc = reader.byte(kArg2);
            emit hub_->openSignalSetCheckedCC(b6);
        }
        break;
    case Command::ProgramChange:
        if (reader.contains(kArg0, 2)) {
            const int program = b6;
            const int channel = Encoding::channelWireToIndex(reader.byte(kArg1));
            hub_->pcMidiChannel = channel;
            hub_->pcNumber = program + 1;
            emit hub_->openSignalMIDIchPC(channel);
            emit hub_->openSignalPCnum(program);
        }
        break;
    case Command::TapTempo:
        if (reader.contains(kArg0, 4)) {
            const int mode = reader.byte(kArg1);
            const int note = reader.byte(kArg2);
            const int cc = reader.byte(kArg3);
            const int channel = Encoding::channelWireToIndex(b6);
            hub_->tapMidiChannel = channel;
            hub_->tapNoteCc = mode;
            hub_->tapNote = note;
            hub_->tapCc = cc;
            emit hub_->openSignalTAPCC(cc);
            emit hub_->openSignalTAPMidi(channel);
            emit hub_->openSignalTAPNota(note);
            emit hub_->openSignalTAPNoteCc(mode);
        }
        break;
    case Command::MidiChannel:
        if (hasByte) {
            const int channel = Encoding::channelWireToIndex(b6);
            hub_->midiChannel = channel;
            emit hub_->openSignalMIDITxRx(channel);
        }
        break;
    case Command::SelectBank:
        if (hasByte)
            emit hub_->openSignalSetBank(b6, MiniCore::kFromDevice);
        break;
    case Command::SelectNumber:
        if (hasByte)
            emit hub_->openSignalSetNumber(b6, MiniCore::kFromDevice);
        break;
    case Command::VersionReply:
        decodeVersions(reader);
        break;
    case Command::Acknowledge:
        hub_->restoreAck = 1;
        break;
    case Command::EffectStatus:
        if (reader.contains(kArg0, Protocol::kEffectCount)) {
            for (int i = 0; i < Protocol::kEffectCount; ++i)
                hub_->effectStatus[i] = reader.byte(kArg0 + i);
            emit hub_->openSignalSetEffectStatus();
        }
        break;
    case Command::DeviceName: {
        TextField<MiniCore::kDeviceNameCapacity> name;
        if (readCountedText(reader, kArg0, name)) {
            hub_->deviceName.set(name);
            emit hub_->openSignalSetDevName();
        }
        break;
    }
    case Command::ExtPcMidiChannel:
        if (hasByte) {
            const int channel = Encoding::channelWireToIndex(b6);
            hub_->extPcMidiChannel = channel;
            emit hub_->openSignalExtPCMIDIch(channel);
        }
        break;
    case Command::Complete:
        emit hub_->openSignalComplete();
        break;
    case Command::BackupBlock:
        hub_->appendBackupBlock(frame, length, damaged);
        break;
    case Command::BackupEnd:
        hub_->writeBackupFile();
        break;
    default:
        // Relays above, and codes the device does not report.
        break;
    }
}

// Values and limits are only stored by their reports; the sliders follow
// because users expect to see their pedal move.
void FrameDecoder::decodePedalLimit(const FrameReader& reader) const
{
    if (!reader.contains(kArg0, 3))
        return;
    const int pedalIndex = reader.byte(kArg0);
    if (!Protocol::isPedalIndex(pedalIndex))
        return;
    PedalRecord& pedal = hub_->pedals[pedalIndex];
    const int value = reader.value14(kArg1);
    switch (static_cast<Command>(reader.command())) {
    case Command::PedalValue:
        pedal.value = value;
        break;
    case Command::PedalMax:
        pedal.max = value;
        break;
    default:
        pedal.min = value;
        break;
    }
    emit hub_->openSignalSetAnalogVal(pedalIndex);
}

// The front panel's widgets belong to the GUI thread: the change is queued
// there, behind every change decoded before it. Invoked by name, so the
// arguments are copied by the event queue itself.
void FrameDecoder::decodeLed(const FrameReader& reader) const
{
    if (!reader.contains(kArg0, 2) || !mainWindow_)
        return;
    const bool on = reader.byte(kArg0) != 0;
    const int led = reader.byte(kArg1);
    if (led == Protocol::kAllLoopLeds)
        QMetaObject::invokeMethod(mainWindow_, on ? "allLoopLedsOn" : "allLoopLedsOff", Qt::AutoConnection);
    else
        QMetaObject::invokeMethod(mainWindow_, on ? "ledOn" : "ledOff", Qt::AutoConnection, Q_ARG(int, led));
}

void FrameDecoder::decodeVersions(const FrameReader& reader) const
{
    TextField<MiniCore::kVersionTextCapacity> firmware{};
    TextField<MiniCore::kVersionTextCapacity> data{};
    const std::size_t dataOffset = readLongText(reader, kArg0, firmware);
    if (dataOffset == 0 || readLongText(reader, dataOffset, data) == 0)
        return;
    hub_->firmwareVersionText.set(firmware);
    hub_->firmwareVersionString.set(QString::fromUtf8(firmware.data()));
    hub_->firmwareVersion.set(parseVersion(firmware.data()));
    hub_->dataVersionText.set(data);
    hub_->dataVersion.set(parseVersion(data.data()));
    hub_->dataVersionString.set(QString::fromUtf8(data.data()));
    hub_->versionsReported = true;
    emit hub_->openSignalSetVersion();
}
