#pragma once
// How far the windows lag behind the frames the input thread hands them. A
// hostile flood can bring reports faster than the GUI thread can show them;
// the queue of their work would then grow without bound and the windows stop
// answering. So once the windows are both many frames and a long while
// behind, reports are dropped (traced, not decoded) until they catch up; what
// they show is then asked for anew (takeDropped). A device's own traffic never
// comes near, and the frames of a backup or restore are always kept.
//
// Threads: admit and handedOn run on RtMidi's input thread; the GUI thread
// tells, through a queued call, which frames it has reached.

#include <cstddef>
#include <cstdint>

namespace ReceiveBacklog {

inline constexpr unsigned kMaxFramesBehind = 1000;
inline constexpr long long kMaxMsBehind = 500;
inline constexpr long long kQuietAfterDropsMs = 1000;

// Whether the complete frame is to be decoded.
bool admit(const unsigned char* frame, std::size_t length);
// After a frame was decoded.
void handedOn();
// Any thread: the reports dropped since the last call, once none has been for
// kQuietAfterDropsMs; 0 until then.
std::uint64_t takeDropped();

}  // namespace ReceiveBacklog
