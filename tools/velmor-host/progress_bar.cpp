#include "tools/velmor-host/progress_bar.h"

#include <string>

namespace {
constexpr auto kQuietTime = std::chrono::milliseconds(500);
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr int kWidth = 40;
}  // namespace

void ProgressBar::Update(std::int64_t done, std::int64_t total, Clock::time_point now) {
    if (!mEnabled || total <= 0 || now - mStart < kQuietTime) return;
    if (mDrawn && now - mLastDraw < kRedrawInterval) return;
    if (done < 0) done = 0;
    if (done > total) done = total;
    const int filled = static_cast<int>(done * kWidth / total);
    const int percent = static_cast<int>(done * 100 / total);
    mOut << "\rrendering [" << std::string(static_cast<std::size_t>(filled), '#')
         << std::string(static_cast<std::size_t>(kWidth - filled), '.') << "] " << percent << "%" << std::flush;
    mDrawn = true;
    mLastDraw = now;
}

void ProgressBar::Finish() {
    if (!mDrawn) return;
    mOut << '\r' << std::string(kWidth + 20, ' ') << '\r' << std::flush;
    mDrawn = false;
}
