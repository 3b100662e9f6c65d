// A one-line progress bar for long renders, drawn on a terminal with
// carriage returns, with the time spent and an estimate of the time left
// (from the pace so far). It stays silent for short renders: nothing is
// drawn until the render has run for half a second, then at most ten times
// a second. The line fits the terminal's width (one column short of it, so
// that it never wraps): the bar narrows first, then the words go. Finish
// (also on an error or an interrupt) clears the line, so the shell's prompt
// or the next message starts on a clean one.
#pragma once

#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>

class ProgressBar {
public:
    using Clock = std::chrono::steady_clock;

    // `columns`: the terminal's width; 0 when not known (80 is assumed).
    ProgressBar(std::ostream& out, bool enabled, int columns = 0, Clock::time_point start = Clock::now())
        : mOut(out), mEnabled(enabled), mColumns(columns > 0 ? columns : 80), mStart(start) {}
    ~ProgressBar() { Finish(); }

    void Update(std::int64_t done, std::int64_t total) { Update(done, total, Clock::now()); }
    void Update(std::int64_t done, std::int64_t total, Clock::time_point now);
    // Clears the bar's line if one was drawn.
    void Finish();

    bool Drawn() const { return mDrawn; }

private:
    std::ostream& mOut;
    bool mEnabled;
    int mColumns;
    bool mDrawn = false;
    Clock::time_point mStart;
    Clock::time_point mLastDraw{};
    std::size_t mWidth = 0;  // of the line last drawn
};

// "m:ss", or "h:mm:ss" from an hour on.
std::string ClockText(std::int64_t seconds);
