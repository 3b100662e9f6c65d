// The editor thread and a host thread work on one instance at once; the
// plug-in lock must keep parameter writes and state saves apart. Meant for
// ThreadSanitizer: a missing lock shows up as a reported race.
#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "tests/core/test_effect.h"

namespace {

class CountingEffect : public TestEffect {
public:
    // Plain, unsynchronised state: only safe because the base holds the lock.
    void OnParameterChange(int index) override {
        IEffectBase::OnParameterChange(index);
        ++changeCount;
    }
    void NotifyHostOfValue(int, double) override { ++notifyCount; }
    long changeCount = 0;
    long notifyCount = 0;
};

TEST(CoreThreads, EditorChangesAndStateSavesDoNotOverlap) {
    CountingEffect effect;
    constexpr int kRounds = 2000;
    std::atomic<bool> stepped{true};

    std::thread editor([&] {
        for (int i = 0; i < kRounds; ++i) effect.SetParameterFromEditor(i % 11, (i % 5) / 4.0);
    });
    std::thread host([&] {
        for (int i = 0; i < kRounds; ++i) {
            IStateChunk chunk;
            if (!effect.SerializeParams(chunk) || chunk.Length() != 88) stepped = false;
            // Every stored value of an int parameter is whole: no torn writes.
            double mode;
            chunk.ReadValue(mode, 8 * 8);
            if (mode != static_cast<int>(mode)) stepped = false;
            if (i % 50 == 0) effect.UnserializeParams(chunk, 0);
        }
    });
    editor.join();
    host.join();

    EXPECT_TRUE(stepped);
    EXPECT_EQ(effect.notifyCount, kRounds);
    EXPECT_EQ(effect.changeCount, kRounds + (kRounds / 50) * 11);
}

}  // namespace
