#pragma once
// What the simulated unit remembers: its memories, the memory being played
// (and edited), and the settings that belong to the unit rather than a memory.
// Channels are kept in wire form: 0-15 for channels 1-16, 16 for off.

#include "protocol/protocol.h"

#include <array>
#include <string>
#include <vector>

namespace Sim {

constexpr int kMemoryCount = Protocol::kBankCount * Protocol::kNumbersPerBank;
constexpr int kAmpAB = 2;
constexpr int kLastButtonMode = 3;  // latch, 250, 500, 1000 ms

struct Pedal {
    int value = 0;
    int min = 0;
    int max = Protocol::kPedalMax;
    int onOff = 0;
    int cc = 0;
    bool operator==(const Pedal& other) const;
};

struct Memory {
    std::string name;  // printable ASCII, at most 30 characters
    std::array<int, Protocol::kEffectCount> effects{};  // 0 or 1
    int amp = 0;  // 0 A, 1 B, 2 A+B
    int buffer2 = 0;
    int switch3 = 0;
    int buttonMode = 0;
    std::array<Pedal, Protocol::kPedalCount> pedals{};
    int pcChannel = Protocol::kChannelOffWire;
    int pcProgram = 0;  // 0-127 for programs 1-128
    int tapChannel = Protocol::kChannelOffWire;
    int tapMode = 0;  // 0 control change, 1 note
    int tapNote = 0;
    int tapCc = 0;
    bool operator==(const Memory& other) const;
    bool operator!=(const Memory& other) const { return !(*this == other); }
};

struct UnitSettings {
    int pedalsChannel = 0;
    int midiThru = 0;
    std::string deviceName;  // printable ASCII, at most 11 characters
    int wireless = 0;
    int extPcChannel = Protocol::kChannelOffWire;
};

struct DeviceState {
    std::vector<Memory> memories = std::vector<Memory>(kMemoryCount);
    int currentIndex = 0;
    Memory current;  // the current memory as played; edits land here until written
    UnitSettings unit;
};

// A varied, plausible set of memories and settings, the same on every run.
DeviceState seededState();

// Printable ASCII only, at most maxLength characters; other bytes become '_',
// as the unit's display cannot show them.
std::string displayText(const unsigned char* bytes, int length, int maxLength);

}  // namespace Sim
