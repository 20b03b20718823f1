#pragma once
// An outgoing frame, built in place without allocation.

#include "protocol/protocol.h"

#include <array>
#include <cstddef>
#include <initializer_list>

class Frame
{
public:
    // The longest frame the editor builds: a memory name of 30 characters.
    static constexpr std::size_t kCapacity =
        Protocol::kArgumentOffset + 1 + Protocol::kMaxMemoryNameLength + 1;

    // Header, command, arguments, F7. Arguments are cut to 7 bits so that no
    // argument can pose as a status byte and end the frame early on the wire.
    Frame(Protocol::Command command, std::initializer_list<int> arguments);

    // Header, command, count byte, text, F7. At most maxLength bytes of text
    // are taken (never more than a memory name holds); bytes outside printable
    // ASCII travel as '_'. A null text is empty.
    static Frame counted(Protocol::Command command, const char* text, std::size_t maxLength);

    const unsigned char* data() const { return bytes_.data(); }
    std::size_t size() const { return size_; }

private:
    explicit Frame(Protocol::Command command);
    void append(int byte);
    void finish();

    std::array<unsigned char, kCapacity> bytes_{};
    std::size_t size_ = 0;
};
