#pragma once
// Bounds-checked reading of one incoming frame: every argument read is first
// checked to lie between the command code and the closing F7, so a short frame
// is never decoded from bytes that are not its own. Offsets count from F0.

#include "protocol/encoding.h"
#include "protocol/protocol.h"

#include <algorithm>
#include <cstddef>

class FrameReader
{
public:
    FrameReader(const unsigned char* frame, std::size_t length) : frame_(frame), length_(frame ? length : 0) {}

    // F0 7E 10 07 02, a command code, and F7 as the last byte.
    bool isDeviceFrame() const
    {
        return length_ > Protocol::kArgumentOffset && frame_[length_ - 1] == Protocol::kSysExEnd
               && std::equal(Protocol::kHeader.begin(), Protocol::kHeader.end(), frame_);
    }

    int command() const { return frame_[Protocol::kCommandOffset]; }

    // True when bytes [offset, offset + count) are argument bytes.
    bool contains(std::size_t offset, std::size_t count) const
    {
        const std::size_t end = length_ - 1;  // the F7
        return offset >= Protocol::kArgumentOffset && offset <= end && count <= end - offset;
    }

    // The accessors below expect contains() to have been checked.
    int byte(std::size_t offset) const { return frame_[offset]; }
    int value14(std::size_t offset) const { return Encoding::join14(frame_[offset], frame_[offset + 1]); }
    int value28(std::size_t offset) const { return Encoding::join28(frame_ + offset); }
    const unsigned char* at(std::size_t offset) const { return frame_ + offset; }

private:
    const unsigned char* frame_;
    std::size_t length_;
};
