#pragma once
// Value encodings inside frame arguments, and the two forms of a channel.

#include "protocol/protocol.h"

#include <array>

namespace Encoding {

// 14-bit value, high 7 bits first.
constexpr std::array<unsigned char, 2> split14(int value)
{
    return {static_cast<unsigned char>((value >> 7) & Protocol::kDataMask),
            static_cast<unsigned char>(value & Protocol::kDataMask)};
}

constexpr int join14(unsigned char high, unsigned char low)
{
    return (high & Protocol::kDataMask) * 128 + (low & Protocol::kDataMask);
}

// 28-bit value, most significant 7 bits first.
constexpr std::array<unsigned char, 4> split28(int value)
{
    return {static_cast<unsigned char>((value >> 21) & Protocol::kDataMask),
            static_cast<unsigned char>((value >> 14) & Protocol::kDataMask),
            static_cast<unsigned char>((value >> 7) & Protocol::kDataMask),
            static_cast<unsigned char>(value & Protocol::kDataMask)};
}

constexpr int join28(const unsigned char* bytes)
{
    return ((bytes[0] & Protocol::kDataMask) << 21) | ((bytes[1] & Protocol::kDataMask) << 14)
           | ((bytes[2] & Protocol::kDataMask) << 7) | (bytes[3] & Protocol::kDataMask);
}

// The editor's channel lists show "Off" at index 0 and channel k at index k;
// the wire carries 0-15 for channels 1-16 and 16 for off.
constexpr int channelIndexToWire(int listIndex)
{
    return (listIndex >= 1 && listIndex <= Protocol::kChannelCount) ? listIndex - 1
                                                                    : Protocol::kChannelOffWire;
}

// Any wire value above 15 means off.
constexpr int channelWireToIndex(int wire)
{
    return (wire >= 0 && wire < Protocol::kChannelCount) ? wire + 1 : 0;
}

constexpr int memoryIndexOf(int bank, int number)
{
    return bank * Protocol::kNumbersPerBank + number;
}

}  // namespace Encoding
