#include "simulator/devicestate.h"

#include <tuple>

namespace Sim {

bool Pedal::operator==(const Pedal& other) const
{
    return std::tie(value, min, max, onOff, cc)
           == std::tie(other.value, other.min, other.max, other.onOff, other.cc);
}

bool Memory::operator==(const Memory& other) const
{
    return std::tie(name, effects, amp, buffer2, switch3, buttonMode, pedals, pcChannel, pcProgram,
                    tapChannel, tapMode, tapNote, tapCc)
           == std::tie(other.name, other.effects, other.amp, other.buffer2, other.switch3,
                       other.buttonMode, other.pedals, other.pcChannel, other.pcProgram,
                       other.tapChannel, other.tapMode, other.tapNote, other.tapCc);
}

namespace {

const char* const kPresetNames[] = {
    "Clean Rhythm",      "Edge of Breakup",  "Crunch Rhythm",    "Classic Lead",
    "Solo Boost",        "Ambient Swell",    "Funk Wah",         "Country Chicken",
    "Blues Drive",       "Stadium Delay",    "Shoegaze Wall",    "Chorus Clean",
    "Tremolo Surf",      "Octave Fuzz",      "Dry Acoustic",     "Worship Pad",
    "Slapback Billy",    "Metal Rhythm",     "Metal Lead",       "Phaser Verse",
    "Reverse Echo",      "Jazz Warm",        "Reggae Skank",     "Doubler Wide",
    "Uni-Vibe Jam",      "Pitch Harmony",    "Noise Gate Chug",  "Verse 2 Quiet",
    "Chorus Big",        "Bridge Build",
};
constexpr int kPresetNameCount = sizeof kPresetNames / sizeof kPresetNames[0];

// A small deterministic generator, so every run starts from the same unit.
class Variety
{
public:
    explicit Variety(unsigned int seed) : state_(seed * 2654435761u + 1u) {}
    int below(int limit)
    {
        state_ = state_ * 1103515245u + 12345u;
        return static_cast<int>((state_ >> 16) % static_cast<unsigned int>(limit));
    }

private:
    unsigned int state_;
};

Memory seededMemory(int index)
{
    Memory memory;
    Variety pick(static_cast<unsigned int>(index));
    // The first two banks hold a named set; the rest look like a user's
    // variations of it, the last few banks still empty.
    const int lastUsedIndex = 45 * Protocol::kNumbersPerBank;
    if (index >= lastUsedIndex) {
        memory.name = "Empty";
        return memory;
    }
    memory.name = kPresetNames[index % kPresetNameCount];
    if (index >= kPresetNameCount)
        memory.name += " " + std::to_string(index / kPresetNameCount + 1);
    for (int& effect : memory.effects)
        effect = pick.below(3) == 0 ? 1 : 0;
    memory.amp = pick.below(3);
    memory.buffer2 = pick.below(2);
    memory.switch3 = pick.below(4) == 0 ? 1 : 0;
    memory.buttonMode = pick.below(kLastButtonMode + 1);
    for (Pedal& pedal : memory.pedals) {
        pedal.min = pick.below(200);
        pedal.max = Protocol::kPedalMax - pick.below(200);
        pedal.value = pedal.min + pick.below(pedal.max - pedal.min + 1);
        pedal.onOff = pick.below(2);
        pedal.cc = 1 + pick.below(100);
    }
    memory.pcChannel = pick.below(4) == 0 ? Protocol::kChannelOffWire : pick.below(Protocol::kChannelCount);
    memory.pcProgram = index % 128;
    memory.tapChannel = pick.below(Protocol::kChannelCount);
    memory.tapMode = pick.below(2);
    memory.tapNote = 36 + pick.below(48);
    memory.tapCc = 64 + pick.below(32);
    return memory;
}

}  // namespace

DeviceState seededState()
{
    DeviceState state;
    for (int i = 0; i < kMemoryCount; ++i)
        state.memories[i] = seededMemory(i);
    state.currentIndex = 3;
    state.current = state.memories[state.currentIndex];
    state.unit.pedalsChannel = 0;
    state.unit.midiThru = 1;
    state.unit.deviceName = "Stage Rig";
    state.unit.wireless = 0;
    state.unit.extPcChannel = 9;
    return state;
}

std::string displayText(const unsigned char* bytes, int length, int maxLength)
{
    std::string text;
    for (int i = 0; i < length && i < maxLength; ++i)
        text += Protocol::isPrintable(bytes[i]) ? static_cast<char>(bytes[i]) : Protocol::kTextReplacement;
    return text;
}

}  // namespace Sim
