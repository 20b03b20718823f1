#pragma once
// The console trace: one line per frame, "--> S " and the bytes of a sent
// frame, "R " and the bytes of a received one, each byte as two upper-case hex
// digits. Sent lines come from the GUI thread and received bytes from RtMidi's
// input thread; each line is written in one stdio call, so lines follow one
// another whole (only a frame longer than the receive buffer is split).

#include <QString>

#include <cstddef>
#include <cstdio>

namespace Trace {

// What starts the line of a received frame.
inline constexpr char kReceivedPrefix[] = "R ";

// Standard output unless redirected (tests read the trace back from a file).
void setStream(std::FILE* stream);

// frame[0..length) ends with F7.
void sentFrame(const unsigned char* frame, std::size_t length);

// One byte of incoming MIDI; "R " opens a frame at F0 and F7 ends the line,
// which is written then. Bytes between frames wait for the next line. The
// stream is flushed later on the GUI thread, once for whatever came meanwhile:
// a write to the console per frame would cost the input thread more than all
// its other work together.
void receivedByte(unsigned char byte);

// A line on standard error, for what went wrong with the MIDI ports or a
// frame ("Not sent: …"); the log keeps it among the frames. GUI thread.
void errorLine(const QString& text);

// A line of the program's own among the frames, "# " and the text, for what
// the trace alone would not tell (where a safety copy went). GUI thread.
void note(const QString& text);

}  // namespace Trace
