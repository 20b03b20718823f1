#include "app/repeatedlines.h"

#include <cstring>

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Equal but for the numbers in them: a complaint naming a sequence number or
// a count is the same complaint.
bool alike(const char* a, std::size_t aSize, const char* b, std::size_t bSize)
{
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < aSize && j < bSize) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            while (i < aSize && isDigit(a[i]))
                ++i;
            while (j < bSize && isDigit(b[j]))
                ++j;
            continue;
        }
        if (a[i++] != b[j++])
            return false;
    }
    return i == aSize && j == bSize;
}

}  // namespace

void RepeatedLines::feed(const char* bytes, std::size_t size, std::int64_t nowMs)
{
    for (std::size_t i = 0; i < size; ++i) {
        if (pendingSize_ == 0)
            pendingSinceMs_ = nowMs;
        const char byte = bytes[i];
        if (byte != '\n') {
            pending_[pendingSize_++] = byte;
            if (pendingSize_ == sizeof pending_) {
                write(pending_, pendingSize_);
                pendingSize_ = 0;
                midLine_ = true;
            }
            continue;
        }
        if (midLine_) {
            pending_[pendingSize_++] = '\n';
            write(pending_, pendingSize_);
            midLine_ = false;
        } else {
            line(pending_, pendingSize_, nowMs);
        }
        pendingSize_ = 0;
    }
}

RepeatedLines::Seen& RepeatedLines::entryFor(const char* text, std::size_t size, std::int64_t nowMs)
{
    // The place of the line said least lately, sparing those being counted:
    // lines said once each must not make a flood's count start over.
    const auto rank = [](const Seen& seen) { return !seen.used ? 0 : seen.repeating ? 2 : 1; };
    Seen* oldest = nullptr;
    for (Seen& seen : seen_) {
        if (seen.used && alike(seen.text, seen.size, text, size))
            return seen;
        if (!oldest || rank(seen) < rank(*oldest) || (rank(seen) == rank(*oldest) && seen.lastMs < oldest->lastMs))
            oldest = &seen;
    }
    if (oldest->used && oldest->held > 0)
        report(*oldest);
    *oldest = Seen{};
    std::memcpy(oldest->text, text, size);
    oldest->size = size;
    oldest->used = true;
    oldest->windowStartMs = nowMs;
    return *oldest;
}

void RepeatedLines::line(const char* text, std::size_t size, std::int64_t nowMs)
{
    // Too long to remember: said as it is.
    if (size >= kLongestRemembered) {
        write(text, size);
        write("\n", 1);
        return;
    }
    Seen& seen = entryFor(text, size, nowMs);
    if (!seen.repeating && nowMs - seen.windowStartMs >= kWindowMs) {
        seen.windowStartMs = nowMs;
        seen.inWindow = 0;
    }
    seen.lastMs = nowMs;
    if (!seen.repeating && ++seen.inWindow <= kMaxPassing) {
        write(text, size);
        write("\n", 1);
        return;
    }
    if (!seen.repeating) {
        seen.repeating = true;
        seen.reportedMs = nowMs;
    }
    ++seen.held;
}

void RepeatedLines::report(Seen& seen)
{
    // An empty line repeated is only spacing.
    if (seen.size > 0) {
        // Digits written by hand: no stdio in the filter process.
        char digits[24];
        std::size_t start = sizeof digits;
        for (std::uint64_t left = seen.held; start == sizeof digits || left > 0; left /= 10)
            digits[--start] = static_cast<char>('0' + left % 10);
        write(seen.text, seen.size);
        write(" (", 2);
        write(digits + start, sizeof digits - start);
        static constexpr char kMore[] = " more like it)\n";
        write(kMore, sizeof kMore - 1);
    }
    seen.held = 0;
}

void RepeatedLines::tick(std::int64_t nowMs)
{
    for (Seen& seen : seen_) {
        if (!seen.used || !seen.repeating)
            continue;
        const bool stopped = nowMs - seen.lastMs >= kQuietMs;
        if (seen.held > 0 && (stopped || nowMs - seen.reportedMs >= kReportEveryMs)) {
            report(seen);
            seen.reportedMs = nowMs;
        }
        if (stopped) {
            seen.repeating = false;
            seen.windowStartMs = nowMs;
            seen.inWindow = 0;
        }
    }
    // A line without its end yet (a prompt, a crash mid-line) is not held.
    if (pendingSize_ > 0 && nowMs - pendingSinceMs_ >= kUnfinishedMs) {
        write(pending_, pendingSize_);
        pendingSize_ = 0;
        midLine_ = true;
    }
}

void RepeatedLines::finish()
{
    if (pendingSize_ > 0) {
        write(pending_, pendingSize_);
        pendingSize_ = 0;
    }
    for (Seen& seen : seen_) {
        if (seen.used && seen.held > 0)
            report(seen);
    }
}
