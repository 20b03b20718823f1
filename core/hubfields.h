#pragma once
// Field types of the hub that cross threads: the decoder writes them on
// RtMidi's input thread, the windows read them on the GUI thread.

#include "protocol/protocol.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>
#include <mutex>

struct PedalRecord
{
    std::atomic<int> min{0};
    // As the editor's sliders start until the device reports.
    std::atomic<int> max{Protocol::kPedalMax};
    std::atomic<int> value{0};
    std::atomic<int> onOff{0};
    std::atomic<int> cc{0};
};

// A value that is written and read whole, under its own lock. A standard
// mutex rather than QMutex: its locking is visible to ThreadSanitizer, whose
// runtime cannot see into Qt's uninstrumented library.
template <class T>
class Guarded
{
public:
    void set(const T& value)
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        value_ = value;
    }

    T get() const
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        return value_;
    }

private:
    mutable std::mutex mutex_;
    T value_{};
};

// A zero-terminated byte text of fixed capacity, terminator included.
template <std::size_t Capacity>
using TextField = std::array<char, Capacity>;

// Takes bytes[0..length) as the text, cut to what fits before the terminator.
template <std::size_t Capacity>
TextField<Capacity> makeTextField(const unsigned char* bytes, std::size_t length)
{
    static_assert(Capacity > 0, "room for the terminator");
    TextField<Capacity> text{};
    const std::size_t kept = std::min(length, Capacity - 1);
    std::copy(bytes, bytes + kept, text.begin());
    return text;
}
