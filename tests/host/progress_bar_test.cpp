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
    ProgressBar bar(out, true);
    const auto start = ProgressBar::Clock::now();
    bar.Update(10, 100, start + milliseconds(100));  // still within the quiet half second
    EXPECT_TRUE(out.str().empty());
    bar.Update(50, 100, start + milliseconds(1000));
    EXPECT_EQ(out.str(), "\rrendering [####################....................] 50%");
    bar.Update(60, 100, start + milliseconds(1050));  // too soon to redraw
    EXPECT_EQ(out.str().find("60%"), std::string::npos);
    bar.Update(150, 100, start + milliseconds(1200));  // overshoot shows as complete
    EXPECT_NE(out.str().find("100%"), std::string::npos);
    bar.Finish();
    EXPECT_EQ(out.str().back(), '\r');
    EXPECT_FALSE(bar.Drawn());
}

}  // namespace
