#include "midi/tracelog.h"

#include <algorithm>
#include <deque>
#include <mutex>

namespace {

struct Store {
    std::mutex mutex;
    std::deque<TraceLog::Line> lines;
    std::size_t bytes = 0;
    std::uint64_t appended = 0;
};

Store& store()
{
    static Store kept;
    return kept;
}

}  // namespace

namespace TraceLog {

void append(Kind kind, const char* text, std::size_t length)
{
    // Made before the lock: the input thread holds it for a push alone.
    Line line{kind, QByteArray(text, static_cast<int>(length))};
    Store& kept = store();
    const std::lock_guard<std::mutex> lock(kept.mutex);
    kept.bytes += length + kLineOverhead;
    kept.lines.push_back(std::move(line));
    while (kept.lines.size() > static_cast<std::size_t>(kCapacity) || kept.bytes > kMaxBytes) {
        kept.bytes -= static_cast<std::size_t>(kept.lines.front().text.size()) + kLineOverhead;
        kept.lines.pop_front();
    }
    ++kept.appended;
}

QVector<Line> take(std::uint64_t& next, int most)
{
    Store& kept = store();
    const std::lock_guard<std::mutex> lock(kept.mutex);
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
    kept.lines.clear();
    kept.bytes = 0;
}

}  // namespace TraceLog
