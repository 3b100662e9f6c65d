#include "tools/velmor-host/progress_bar.h"

#include <algorithm>
#include <cstdio>

namespace {
constexpr auto kQuietTime = std::chrono::milliseconds(500);
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr int kWidth = 40;
constexpr int kNarrowest = 10;  // a bar narrower than this says nothing
}  // namespace

std::string ClockText(std::int64_t seconds) {
    if (seconds < 0) seconds = 0;
    char text[32];
    if (seconds >= 3600) {
        std::snprintf(text, sizeof text, "%lld:%02d:%02d", static_cast<long long>(seconds / 3600),
                      static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
    } else {
        std::snprintf(text, sizeof text, "%d:%02d", static_cast<int>(seconds / 60), static_cast<int>(seconds % 60));
    }
    return text;
}

void ProgressBar::Update(std::int64_t done, std::int64_t total, Clock::time_point now) {
    if (!mEnabled || total <= 0 || now - mStart < kQuietTime) return;
    if (mDrawn && now - mLastDraw < kRedrawInterval) return;
    if (done < 0) done = 0;
    if (done > total) done = total;
    const int percent = static_cast<int>(done * 100 / total);
    const double elapsed = std::chrono::duration<double>(now - mStart).count();
    // The pace so far, carried over what is left.
    const std::string left = done > 0
                                 ? ClockText(static_cast<std::int64_t>(
                                       elapsed * static_cast<double>(total - done) / static_cast<double>(done) + 0.5))
                                 : std::string("-:--");
    const std::string tail = " " + std::to_string(percent) + "%  " + ClockText(static_cast<std::int64_t>(elapsed)) +
                             " elapsed, " + left + " left";
    const int room = mColumns - 1;
    const int barRoom = room - static_cast<int>(std::string("rendering []").size() + tail.size());
    const int width = barRoom < kWidth ? barRoom : kWidth;
    std::string line;
    if (width >= kNarrowest) {
        const int filled = static_cast<int>(done * width / total);
        line = "rendering [" + std::string(static_cast<std::size_t>(filled), '#') +
               std::string(static_cast<std::size_t>(width - filled), '.') + "]" + tail;
    } else {
        line = "rendering" + tail;
        if (static_cast<int>(line.size()) > room) line.resize(static_cast<std::size_t>(room > 0 ? room : 0));
    }
    // Spaces over the tail of a longer line drawn before.
    const std::size_t clear = std::min(mWidth, static_cast<std::size_t>(room > 0 ? room : 0));
    const std::size_t pad = clear > line.size() ? clear - line.size() : 0;
    mOut << '\r' << line << std::string(pad, ' ') << std::flush;
    mWidth = line.size() + pad;
    mDrawn = true;
    mLastDraw = now;
}

void ProgressBar::Finish() {
    if (!mDrawn) return;
    mOut << '\r' << std::string(mWidth, ' ') << '\r' << std::flush;
    mDrawn = false;
}
