#include "protocol/frame.h"

#include <algorithm>
#include <cstring>

namespace {

unsigned char printable(unsigned char c)
{
    return Protocol::isPrintable(c) ? c : Protocol::kTextReplacement;
}

}  // namespace

Frame::Frame(Protocol::Command command)
{
    std::copy(Protocol::kHeader.begin(), Protocol::kHeader.end(), bytes_.begin());
    size_ = Protocol::kHeader.size();
    bytes_[size_++] = static_cast<unsigned char>(command);
}

Frame::Frame(Protocol::Command command, std::initializer_list<int> arguments) : Frame(command)
{
    for (const int argument : arguments)
        append(argument);
    finish();
}

Frame Frame::counted(Protocol::Command command, const char* text, std::size_t maxLength)
{
    Frame frame(command);
    const std::size_t limit = std::min<std::size_t>(maxLength, Protocol::kMaxMemoryNameLength);
    const std::size_t length = text ? strnlen(text, limit) : 0;
    frame.append(static_cast<int>(length));
    for (std::size_t i = 0; i < length; ++i)
        frame.append(printable(static_cast<unsigned char>(text[i])));
    frame.finish();
    return frame;
}

void Frame::append(int byte)
{
    // Room is always kept for the closing F7.
    if (size_ + 1 < kCapacity)
        bytes_[size_++] = static_cast<unsigned char>(byte & Protocol::kDataMask);
}

void Frame::finish()
{
    bytes_[size_++] = Protocol::kSysExEnd;
}
