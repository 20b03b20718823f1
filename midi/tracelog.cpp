#include "midi/tracelog.h"

#include "midi/trace.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <deque>
#include <mutex>

namespace {

// Put in the queue after text was left out, so the line it cut is dropped
// rather than joined to the next. Never in the console's text.
constexpr char kGapMark = '\x01';

// One writer at a time (the program has one input thread; tests may have two)
// and one reader, the store's lock holder. Positions only grow; each is taken
// modulo the size.
struct Queue {
    std::atomic_flag writing = ATOMIC_FLAG_INIT;
    std::atomic<std::uint64_t> written{0};
    std::atomic<std::uint64_t> read{0};
    std::atomic<std::uint64_t> linesLeftOut{0};
    // The writer's alone.
    bool skippingLine = false;
    bool gapToMark = false;
    char bytes[TraceLog::kQueueBytes];
};

Queue& queue()
{
    static Queue made;
    return made;
}

struct Store {
    std::mutex mutex;
    std::deque<TraceLog::Line> lines;
    std::size_t bytes = 0;
    std::uint64_t appended = 0;
    QByteArray partial;  // the start of a received line whose end is still queued
    std::uint64_t linesLeftOutTold = 0;
};

Store& store()
{
    static Store kept;
    return kept;
}

void keep(Store& kept, TraceLog::Kind kind, QByteArray text)
{
    kept.bytes += static_cast<std::size_t>(text.size()) + TraceLog::kLineOverhead;
    kept.lines.push_back({kind, std::move(text)});
    while (kept.lines.size() > static_cast<std::size_t>(TraceLog::kCapacity) || kept.bytes > TraceLog::kMaxBytes) {
        kept.bytes -= static_cast<std::size_t>(kept.lines.front().text.size()) + TraceLog::kLineOverhead;
        kept.lines.pop_front();
    }
    ++kept.appended;
}

void keepReceived(Store& kept, const QByteArray& line)
{
    const bool frame = TraceLog::frameStart(line) >= 0;
    keep(kept, frame ? TraceLog::Kind::Received : TraceLog::Kind::Other, line);
}

void tellLeftOut(Store& kept)
{
    const std::uint64_t leftOut = queue().linesLeftOut.load(std::memory_order_relaxed);
    if (leftOut == kept.linesLeftOutTold)
        return;
    keep(kept, TraceLog::Kind::Note,
         "# The log fell behind: " + QByteArray::number(static_cast<qulonglong>(leftOut - kept.linesLeftOutTold))
             + " received lines are on the console only");
    kept.linesLeftOutTold = leftOut;
}

// The queue's text into whole lines. The store's lock is held.
void takeQueuedLocked(Store& kept)
{
    Queue& q = queue();
    const std::uint64_t end = q.written.load(std::memory_order_acquire);
    std::uint64_t at = q.read.load(std::memory_order_relaxed);
    while (at < end) {
        const std::size_t offset = static_cast<std::size_t>(at % TraceLog::kQueueBytes);
        const std::size_t run = static_cast<std::size_t>(std::min<std::uint64_t>(end - at, TraceLog::kQueueBytes - offset));
        const char* const from = q.bytes + offset;
        const char* const stop = from + run;
        const char* lineStart = from;
        for (const char* c = from; c != stop; ++c) {
            if (*c == kGapMark) {
                kept.partial.clear();
                tellLeftOut(kept);
                lineStart = c + 1;
            } else if (*c == '\n') {
                kept.partial.append(lineStart, static_cast<int>(c - lineStart));
                keepReceived(kept, kept.partial);
                kept.partial.clear();
                lineStart = c + 1;
            }
        }
        kept.partial.append(lineStart, static_cast<int>(stop - lineStart));
        at += run;
    }
    q.read.store(at, std::memory_order_release);
}

void put(Queue& q, std::uint64_t at, const char* text, std::size_t length)
{
    const std::size_t offset = static_cast<std::size_t>(at % TraceLog::kQueueBytes);
    const std::size_t first = std::min(length, TraceLog::kQueueBytes - offset);
    std::memcpy(q.bytes + offset, text, first);
    std::memcpy(q.bytes, text + first, length - first);
}

}  // namespace

namespace TraceLog {

int frameStart(const QByteArray& line)
{
    static const QByteArray start = QByteArray(Trace::kReceivedPrefix) + "F0";
    return line.indexOf(start);
}

void appendReceived(const char* text, std::size_t length)
{
    Queue& q = queue();
    while (q.writing.test_and_set(std::memory_order_acquire)) {
    }
    const bool endsLine = length > 0 && text[length - 1] == '\n';
    const std::uint64_t at = q.written.load(std::memory_order_relaxed);
    const std::uint64_t room = kQueueBytes - (at - q.read.load(std::memory_order_acquire));
    if (q.skippingLine || length + 1 > room) {
        // The rest of a line already cut goes too; the next one starts clean.
        if (endsLine)
            q.linesLeftOut.fetch_add(1, std::memory_order_relaxed);
        q.skippingLine = !endsLine;
        q.gapToMark = true;
    } else {
        std::uint64_t next = at;
        if (q.gapToMark) {
            put(q, next++, &kGapMark, 1);
            q.gapToMark = false;
        }
        put(q, next, text, length);
        q.written.store(next + length, std::memory_order_release);
    }
    q.writing.clear(std::memory_order_release);
}

void takeQueued()
{
    Store& kept = store();
    const std::lock_guard<std::mutex> lock(kept.mutex);
    takeQueuedLocked(kept);
}

void append(Kind kind, const char* text, std::size_t length)
{
    QByteArray line(text, static_cast<int>(length));
    Store& kept = store();
    const std::lock_guard<std::mutex> lock(kept.mutex);
    // After what the input thread wrote before it.
    takeQueuedLocked(kept);
    keep(kept, kind, std::move(line));
}

QVector<Line> take(std::uint64_t& next, int most)
{
    Store& kept = store();
    const std::lock_guard<std::mutex> lock(kept.mutex);
    takeQueuedLocked(kept);
    const std::uint64_t oldest = kept.appended - kept.lines.size();
    const std::uint64_t from = std::max(next, oldest);
    const std::uint64_t count = std::min<std::uint64_t>(kept.appended - std::min(from, kept.appended),
                                                        static_cast<std::uint64_t>(std::max(most, 0)));
    const auto first = kept.lines.begin() + static_cast<std::ptrdiff_t>(from - oldest);
    next = from + count;
    return QVector<Line>(first, first + static_cast<std::ptrdiff_t>(count));
}

QVector<Line> kept()
{
    std::uint64_t next = 0;
    return take(next, kCapacity);
}

void clear()
{
    Store& kept = store();
    const std::lock_guard<std::mutex> lock(kept.mutex);
    takeQueuedLocked(kept);
    kept.lines.clear();
    kept.bytes = 0;
}

}  // namespace TraceLog
