#include "protocol/commandsender.h"

#include "midi/midiconnection.h"
#include "protocol/encoding.h"
#include "protocol/frame.h"

using Protocol::Command;

namespace {

void send(const Frame& frame)
{
    g_midiConnection.send(frame.data(), frame.size());
}

void sendWithIndex(Command command, int memoryIndex)
{
    const auto index = Encoding::split14(memoryIndex);
    send(Frame(command, {index[0], index[1]}));
}

}  // namespace

CommandSender::CommandSender()
{
    sendStartupRequest();
}

void CommandSender::sendKeyRelease(int key) { send(Frame(Command::KeyRelease, {key})); }
void CommandSender::sendKeyPress(int key) { send(Frame(Command::KeyPress, {key})); }

void CommandSender::sendPedalSetting(int pedal, int value, Command which)
{
    const auto v = Encoding::split14(value);
    send(Frame(which, {pedal, v[0], v[1]}));
}

void CommandSender::sendSelectMemory(int memoryIndex) { sendWithIndex(Command::SelectMemory, memoryIndex); }
void CommandSender::sendWriteMemory(int memoryIndex) { sendWithIndex(Command::WriteMemory, memoryIndex); }

void CommandSender::sendStartupRequest()
{
    send(Frame(Command::StartupRequest, {Protocol::kStartupTag, Protocol::kNoValue}));
}

void CommandSender::sendMemoryName(const char* text)
{
    send(Frame::counted(Command::MemoryName, text, Protocol::kMaxMemoryNameLength));
}

void CommandSender::sendPedalSwitch(int pedal, int on, int cc) { send(Frame(Command::PedalSwitch, {pedal, on, cc})); }

// The program comes first here, while the tap frame starts with its channel.
void CommandSender::sendProgramChange(int channel, int program)
{
    send(Frame(Command::ProgramChange, {program, channel}));
}

void CommandSender::sendTapTempo(int channel, int mode, int note, int cc)
{
    send(Frame(Command::TapTempo, {channel, mode, note, cc}));
}

void CommandSender::sendMidiChannel(int channel) { send(Frame(Command::MidiChannel, {channel})); }
void CommandSender::sendAmpSelect(int amp) { send(Frame(Command::AmpSelect, {amp})); }
void CommandSender::sendBuffer2(int on) { send(Frame(Command::Buffer2, {on})); }
void CommandSender::sendSwitch3(int on) { send(Frame(Command::Switch3, {on})); }
void CommandSender::sendButtonMode(int mode) { send(Frame(Command::ButtonMode, {mode})); }
void CommandSender::sendMidiThru(int on) { send(Frame(Command::MidiThru, {on})); }
void CommandSender::sendSelectBank(int bank) { send(Frame(Command::SelectBank, {bank})); }
void CommandSender::sendSelectNumber(int number) { send(Frame(Command::SelectNumber, {number})); }
void CommandSender::sendWriteBank(int bank) { send(Frame(Command::WriteBank, {bank})); }
void CommandSender::sendWriteStart() { send(Frame(Command::WriteStart, {Protocol::kNoValue})); }
void CommandSender::sendBackupRequest() { send(Frame(Command::BackupRequest, {Protocol::kNoValue})); }
void CommandSender::sendWriteNumber(int number) { send(Frame(Command::WriteNumber, {number})); }
void CommandSender::sendWriteCancel() { send(Frame(Command::WriteCancel, {Protocol::kNoValue})); }

void CommandSender::sendEffectStatus(const EffectStates& states)
{
    const auto& s = states;
    send(Frame(Command::EffectStatus,
               {s[0], s[1], s[2], s[3], s[4], s[5], s[6], s[7], s[8], s[9], s[10], s[11], s[12]}));
}

void CommandSender::sendDeviceName(const char* text)
{
    send(Frame::counted(Command::DeviceName, text, Protocol::kMaxDeviceNameLength));
}

void CommandSender::sendExtPcMidiChannel(int channel) { send(Frame(Command::ExtPcMidiChannel, {channel})); }
void CommandSender::sendWireless(int on) { send(Frame(Command::Wireless, {on})); }

void CommandSender::sendRawFrame(const unsigned char* frame, std::size_t length)
{
    g_midiConnection.send(frame, length);
}
