#pragma once
// The console trace kept for the MIDI Log window: its last lines, each with
// what it is. Lines come from the GUI thread (sent, notes, messages) and from
// RtMidi's input thread (received); the window reads them on the GUI thread.
// Kept whether the window is open or not, so it shows what went before.
//
// Under JACK the input thread is the server's realtime process cycle: a lock
// shared with the GUI thread, or a memory allocation, can make it miss a
// cycle, and what that cycle carried is lost. So that thread only copies its
// text into a queue of fixed size, which the GUI thread empties.

#include <QByteArray>
#include <QVector>

#include <cstddef>
#include <cstdint>

namespace TraceLog {

enum class Kind { Sent, Received, Note, Message, Other };

struct Line {
    Kind kind;
    QByteArray text;  // as on the console, without the line end
};

constexpr int kCapacity = 100000;
// And this much memory at most, each line's keeping counted: a flood of long
// frames must not make the program grow by hundreds of megabytes.
constexpr std::size_t kMaxBytes = 8 * 1024 * 1024;
constexpr std::size_t kLineOverhead = 64;

// What the queue holds for the GUI thread: seconds of a heavy flood.
constexpr std::size_t kQueueBytes = 4 * 1024 * 1024;

// Not from the input thread.
void append(Kind kind, const char* text, std::size_t length);
inline void append(Kind kind, const QByteArray& text)
{
    append(kind, text.constData(), static_cast<std::size_t>(text.size()));
}

// The received text exactly as written to the console, whole lines or pieces
// of one; lines holding "R F0" are received frames, the rest other bytes.
// Never waits and never allocates; text the queue has no room for is left to
// the console, and the log says so where it is missing.
void appendReceived(const char* text, std::size_t length);
// Where the received frame in a console line starts ("R F0"), or -1: bytes
// from between frames lead the line of the frame that follows them.
int frameStart(const QByteArray& line);
// Moves what the input thread queued into the log. Called by everything below,
// and by the trace after each received frame.
void takeQueued();

// Up to `most` of the lines from the count `next` on (or from the oldest kept,
// when those are gone), oldest first; `next` moves past them.
QVector<Line> take(std::uint64_t& next, int most);
// Every line kept.
QVector<Line> kept();

// Forgets the kept lines; the count goes on.
void clear();

}  // namespace TraceLog
