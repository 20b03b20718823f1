#include "protocol/frameassembler.h"

namespace {
constexpr unsigned char kFirstStatus = 0x80;
}

bool FrameAssembler::feed(unsigned char byte)
{
    if (byte == Protocol::kSysExStart) {
        buffer_[0] = byte;
        fill_ = 1;
        open_ = true;
        return false;
    }
    if (!open_)
        return false;
    const bool isEnd = byte == Protocol::kSysExEnd;
    if (byte >= kFirstStatus && !isEnd)
        return false;
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
