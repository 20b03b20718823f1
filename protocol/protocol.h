#pragma once
// The one place that names the bytes of the device's System Exclusive protocol.
// Every frame, in both directions: F0 7E 10 07 02, a command code, 7-bit
// argument bytes, F7. Framing is by F0/F7 alone: no length field, no checksum.

#include <array>
#include <cstddef>

namespace Protocol {

constexpr unsigned char kSysExStart = 0xF0;
constexpr unsigned char kSysExEnd = 0xF7;

// Universal non-real-time, device ID 0x10, File Dump / Data Packet.
constexpr std::array<unsigned char, 5> kHeader = {kSysExStart, 0x7E, 0x10, 0x07, 0x02};
constexpr std::size_t kCommandOffset = 5;
constexpr std::size_t kArgumentOffset = 6;

constexpr unsigned char kDataMask = 0x7F;

enum class Command : unsigned char {
    KeyRelease = 0x00,
    KeyPress = 0x01,
    PedalValue = 0x02,
    PedalMax = 0x03,
    PedalMin = 0x04,
    SelectMemory = 0x05,
    WriteMemory = 0x06,
    Led = 0x07,
    EditWindow = 0x08,
    StartupRequest = 0x09,
    MemoryName = 0x0A,
    PedalSwitch = 0x0B,
    ProgramChange = 0x0C,
    TapTempo = 0x0D,
    MidiChannel = 0x0E,
    AmpSelect = 0x0F,
    Buffer2 = 0x10,
    Switch3 = 0x11,
    ButtonMode = 0x12,
    MidiThru = 0x13,
    SelectBank = 0x17,
    SelectNumber = 0x18,
    WriteBank = 0x19,
    OpenMemorySelect = 0x1A,
    CloseMemorySelect = 0x1B,
    WriteStart = 0x1C,
    BackupRequest = 0x1D,
    BackupBlock = 0x1E,
    BackupEnd = 0x1F,
    WriteNumber = 0x20,
    WriteCancel = 0x21,
    VersionReply = 0x22,
    Acknowledge = 0x23,
    EffectStatus = 0x24,
    DeviceName = 0x25,
    ExtPcMidiChannel = 0x26,
    Wireless = 0x27,
    Complete = 0x28,
};
constexpr Command kLastCommand = Command::Complete;

// The start-up request carries the character 'M' and a zero.
constexpr unsigned char kStartupTag = 0x4D;

// A request without a value still carries one argument byte.
constexpr unsigned char kNoValue = 0x00;

// Key indices shared by the key commands and the LED reports.
constexpr int kLoopKeyCount = 10;
constexpr int kKeySw1 = 10;
constexpr int kKeySw2 = 11;
constexpr int kKeyMenu = 12;
constexpr int kKeyTap = 13;
constexpr int kKeyCount = 14;
constexpr int kLedAmpB = 14;
constexpr int kLedAmpA = 15;  // and every index above it
constexpr int kAllLoopLeds = 0x7F;

constexpr int kEffectCount = 13;  // loops 1-10, SW1-SW3
constexpr int kPedalCount = 2;
// Pedal value, minimum and maximum: 0 to 1023.
constexpr int kPedalMax = 1023;

constexpr bool isPedalIndex(int pedal)
{
    return pedal >= 0 && pedal < kPedalCount;
}

constexpr int kBankCount = 52;
constexpr int kNumbersPerBank = 10;
// Banks 26-51 repeat the letters A-Z of banks 0-25.
constexpr int kBanksPerLetterSet = 26;
constexpr int kNoMemory = 16384;

constexpr bool isBank(int bank)
{
    return bank >= 0 && bank < kBankCount;
}

constexpr bool isNumber(int number)
{
    return number >= 0 && number < kNumbersPerBank;
}

// The letter a bank shows, on either row.
constexpr char bankLetter(int bank)
{
    return static_cast<char>('A' + bank % kBanksPerLetterSet);
}

constexpr int kMaxMemoryNameLength = 30;
constexpr int kMaxDeviceNameLength = 11;

// Texts travel as printable ASCII; anything else becomes kTextReplacement.
constexpr unsigned char kFirstPrintable = 0x20;
constexpr unsigned char kLastPrintable = 0x7E;
constexpr char kTextReplacement = '_';

constexpr bool isPrintable(unsigned char c)
{
    return c >= kFirstPrintable && c <= kLastPrintable;
}

constexpr int kChannelCount = 16;
constexpr unsigned char kChannelOffWire = 16;

// A memory dump block (BackupBlock): a 28-bit position, then content up to F7.
constexpr std::size_t kBlockPositionOffset = 6;
constexpr std::size_t kBlockContentOffset = 10;

// The receive buffer holds a whole incoming frame, F0 and F7 included.
constexpr std::size_t kReceiveBufferSize = 300;
// A frame kept in a backup file and sent back on restore.
constexpr std::size_t kMaxStoredFrame = 200;

}  // namespace Protocol
