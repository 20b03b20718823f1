#pragma once
// Keeps standard error readable when something says the same line again and
// again: RtMidi writes a complaint for every MIDI event it loses, thousands in
// a flood. Lines alike but for their numbers count as one. The first
// kMaxPassing copies of a line within 10 s pass; from then on copies are
// counted, and one line with the count follows every 10 s and once none has
// come for 10 s. Lines said now and then, as a user's actions cause them, pass.
//
// Runs in the filter process (app/stderrfilter.h), after a fork: fixed
// storage only, no allocation, no lock.

#include <cstddef>
#include <cstdint>

class RepeatedLines
{
public:
    // Where the filtered text goes.
    using Writer = void (*)(const char* text, std::size_t size, void* context);

    static constexpr int kMaxPassing = 5;
    static constexpr std::int64_t kWindowMs = 10000;
    static constexpr std::int64_t kQuietMs = 10000;
    static constexpr std::int64_t kReportEveryMs = 10000;

    RepeatedLines(Writer writer, void* context) : writer_(writer), context_(context) {}

    // Bytes as they were written, cut anywhere.
    void feed(const char* bytes, std::size_t size, std::int64_t nowMs);
    // Writes the counts that are due, and a line left unfinished for a while.
    void tick(std::int64_t nowMs);
    // Writes everything held back.
    void finish();

private:
    static constexpr std::size_t kLongestLine = 2048;
    static constexpr std::size_t kLongestRemembered = 1024;
    static constexpr int kRemembered = 16;
    static constexpr std::int64_t kUnfinishedMs = 200;

    struct Seen
    {
        char text[kLongestRemembered];
        std::size_t size = 0;
        bool used = false;
        std::int64_t windowStartMs = 0;
        std::int64_t lastMs = 0;
        std::int64_t reportedMs = 0;
        int inWindow = 0;
        bool repeating = false;
        std::uint64_t held = 0;
    };

    void line(const char* text, std::size_t size, std::int64_t nowMs);
    Seen& entryFor(const char* text, std::size_t size, std::int64_t nowMs);
    void report(Seen& seen);
    void write(const char* text, std::size_t size) { writer_(text, size, context_); }

    Writer writer_;
    void* context_;
    char pending_[kLongestLine];
    std::size_t pendingSize_ = 0;
    std::int64_t pendingSinceMs_ = 0;
    bool midLine_ = false;  // the start of this line went out unfinished
    Seen seen_[kRemembered];
};
