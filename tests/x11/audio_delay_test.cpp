// The audio thread never waits for the editor: while a host opens the editor
// for the first time in the process (decoding every picture), idles it and
// opens it again, no audio call takes much longer than usual. The bound is
// generous (a loaded test machine stalls threads now and then); waiting for
// the first open's decoding took 190 ms.
#include <gtest/gtest.h>

#include "tests/x11/audio_delay.h"

namespace {

constexpr double kBoundMs = 50.0;

TEST(AudioDelay, NoAudioCallWaitsForTheEditor) {
    AudioDelays d;
    std::string error;
    ASSERT_TRUE(MeasureAudioDelays(VELMOR_PLUGIN_PATH, &d, error)) << error;
    EXPECT_LT(d.firstOpenMs, d.usualMs + kBoundMs);
    EXPECT_LT(d.tickMs, d.usualMs + kBoundMs);
    EXPECT_LT(d.reopenMs, d.usualMs + kBoundMs);
    RecordProperty("usual_ms", std::to_string(d.usualMs));
    RecordProperty("first_open_ms", std::to_string(d.firstOpenMs));
}

}  // namespace
