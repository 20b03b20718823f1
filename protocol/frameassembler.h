#pragma once
// Collects System Exclusive frames from a MIDI byte stream, one byte at a time,
// so a frame may arrive split over messages or mixed with other messages.

#include "protocol/protocol.h"

#include <array>
#include <cstddef>

class FrameAssembler
{
public:
    // Returns true when the byte completes a frame; frame() and length() then
    // hold it, F0 to F7, until the next call. Real-time bytes (F8-FF) and other
    // status bytes neither end nor restart a frame. A frame that would not fit
    // the buffer is dropped whole, and collection stays closed until the next F0.
    bool feed(unsigned char byte);

    const unsigned char* frame() const { return buffer_.data(); }
    std::size_t length() const { return fill_; }
    // A status byte (80-EF, F1-F6) was skipped inside the frame: the data bytes
    // of that message are inside it too, taken for the frame's own.
    bool damaged() const { return damaged_; }

private:
    std::array<unsigned char, Protocol::kReceiveBufferSize> buffer_{};
    std::size_t fill_ = 0;
    bool open_ = false;
    bool damaged_ = false;
};
