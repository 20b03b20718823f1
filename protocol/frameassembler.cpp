#include "protocol/frameassembler.h"

namespace {
constexpr unsigned char kFirstStatus = 0x80;
constexpr unsigned char kFirstRealTime = 0xF8;
}  // namespace

bool FrameAssembler::feed(unsigned char byte)
{
    if (byte == Protocol::kSysExStart) {
        buffer_[0] = byte;
        fill_ = 1;
        open_ = true;
        damaged_ = false;
        return false;
    }
    if (!open_)
        return false;
    const bool isEnd = byte == Protocol::kSysExEnd;
    if (byte >= kFirstStatus && !isEnd) {
        // Real-time bytes stand alone; any other status brings data bytes.
        if (byte < kFirstRealTime)
            damaged_ = true;
        return false;
    }
    if (fill_ >= buffer_.size()) {
        open_ = false;
        fill_ = 0;
        return false;
    }
    buffer_[fill_++] = byte;
    if (isEnd)
        open_ = false;
    return isEnd;
}
