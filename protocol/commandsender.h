#pragma once
// Builds and sends every command the editor gives the device, one frame each.
// The operations keep no state, so the front panel can use them before
// start-up creates the sender; until the ports are open their frames are
// traced and dropped. GUI thread only.

#include "protocol/protocol.h"

#include <array>
#include <cstddef>

class CommandSender
{
public:
    // Sends the start-up request, asking the device for its whole state.
    CommandSender();

    using EffectStates = std::array<int, Protocol::kEffectCount>;

    // key: 0-9 loops 1-10, 10 SW1, 11 SW2, 12 Menu, 13 Tap.
    static void sendKeyRelease(int key);
    static void sendKeyPress(int key);
    // which: PedalValue, PedalMax or PedalMin; pedal 0 or 1; value 0-1023.
    static void sendPedalSetting(int pedal, int value, Protocol::Command which);
    static void sendSelectMemory(int memoryIndex);
    static void sendWriteMemory(int memoryIndex);
    static void sendStartupRequest();
    // Zero-terminated text, at most 30 bytes taken.
    static void sendMemoryName(const char* text);
    static void sendPedalSwitch(int pedal, int on, int cc);
    // Both in wire form: program 0-127, channel 0-15 or 16 for off.
    static void sendProgramChange(int channel, int program);
    // mode: 1 note, 0 control change.
    static void sendTapTempo(int channel, int mode, int note, int cc);
    static void sendMidiChannel(int channel);
    static void sendAmpSelect(int amp);
    static void sendBuffer2(int on);
    static void sendSwitch3(int on);
    static void sendButtonMode(int mode);
    static void sendMidiThru(int on);
    static void sendSelectBank(int bank);
    static void sendSelectNumber(int number);
    static void sendWriteBank(int bank);
    static void sendWriteStart();
    static void sendBackupRequest();
    static void sendWriteNumber(int number);
    static void sendWriteCancel();
    // Element i: loops 1-10, then SW1-SW3; each sent as its low 7 bits.
    static void sendEffectStatus(const EffectStates& states);
    // Zero-terminated text, at most 11 bytes taken.
    static void sendDeviceName(const char* text);
    static void sendExtPcMidiChannel(int channel);
    static void sendWireless(int on);
    // A complete stored frame, sent as it is up to its first F7 within length.
    static void sendRawFrame(const unsigned char* frame, std::size_t length);
};
