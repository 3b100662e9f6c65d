// The progress bar stays out of short renders and off non-terminals, and
// leaves a clean line behind.
#include <gtest/gtest.h>

#include <sstream>

#include "tools/velmor-host/progress_bar.h"

namespace {

using std::chrono::milliseconds;

TEST(ProgressBar, DrawsOnlyForLongRendersOnATerminal) {
    std::ostringstream off;
    {
        ProgressBar bar(off, false);
        bar.Update(50, 100, ProgressBar::Clock::now() + milliseconds(5000));
    }
    EXPECT_TRUE(off.str().empty());

    std::ostringstream out;
    const auto start = ProgressBar::Clock::now();
    ProgressBar bar(out, true, 120, start);
    bar.Update(10, 100, start + milliseconds(100));  // still within the quiet half second
    EXPECT_TRUE(out.str().empty());
    // A quarter done in 20 s: three quarters left at that pace is 60 s.
    bar.Update(25, 100, start + milliseconds(20000));
    const std::string first = "\rrendering [##########..............................] 25%  0:20 elapsed, 1:00 left";
    EXPECT_EQ(out.str(), first);
    bar.Update(60, 100, start + milliseconds(20050));  // too soon to redraw
    EXPECT_EQ(out.str(), first);
    bar.Update(150, 100, start + milliseconds(4000000));  // overshoot shows as complete
    EXPECT_EQ(out.str().substr(first.size()),
              "\rrendering [########################################] 100%  1:06:40 elapsed, 0:00 left");
    const std::size_t drawn = out.str().size() - first.size() - 1;
    bar.Finish();
    // The whole line is blanked and the cursor left at its start.
    EXPECT_EQ(out.str().substr(out.str().size() - drawn - 2), "\r" + std::string(drawn, ' ') + "\r");
    EXPECT_FALSE(bar.Drawn());
}

// Every line drawn stays one column short of the terminal's width, so it
// never wraps onto a second line that the carriage return cannot reach.
TEST(ProgressBar, FitsTheTerminal) {
    const struct {
        int columns;
        const char* line;
    } cases[] = {
        {0, "rendering [##################################] 100%  1:06:40 elapsed, 0:00 left"},  // 80 assumed
        {60, "rendering [##############] 100%  1:06:40 elapsed, 0:00 left"},
        {40, "rendering 100%  1:06:40 elapsed, 0:00 l"},
        {1, ""},
    };
    for (const auto& c : cases) {
        std::ostringstream out;
        const auto start = ProgressBar::Clock::now();
        ProgressBar bar(out, true, c.columns, start);
        bar.Update(100, 100, start + milliseconds(4000000));
        EXPECT_EQ(out.str(), "\r" + std::string(c.line)) << c.columns;
    }
}

TEST(ProgressBar, ClockText) {
    const struct {
        std::int64_t seconds;
        const char* text;
    } cases[] = {{0, "0:00"}, {59, "0:59"}, {61, "1:01"}, {3599, "59:59"}, {3600, "1:00:00"}, {-5, "0:00"}};
    for (const auto& c : cases) EXPECT_EQ(ClockText(c.seconds), c.text) << c.seconds;
}

}  // namespace
