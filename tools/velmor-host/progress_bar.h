// A one-line progress bar for long renders, drawn on a terminal with
// carriage returns. It stays silent for short renders: nothing is drawn
// until the render has run for half a second, then at most ten times a
// second.
#pragma once

#include <chrono>
#include <cstdint>
#include <ostream>

class ProgressBar {
public:
    using Clock = std::chrono::steady_clock;

    ProgressBar(std::ostream& out, bool enabled) : mOut(out), mEnabled(enabled), mStart(Clock::now()) {}
    ~ProgressBar() { Finish(); }

    void Update(std::int64_t done, std::int64_t total) { Update(done, total, Clock::now()); }
    void Update(std::int64_t done, std::int64_t total, Clock::time_point now);
    // Clears the bar's line if one was drawn.
    void Finish();

    bool Drawn() const { return mDrawn; }

private:
    std::ostream& mOut;
    bool mEnabled;
    bool mDrawn = false;
    Clock::time_point mStart;
    Clock::time_point mLastDraw{};
};
