// The editor's edits on their way to the host (clap/edit_queue.h): in the
// order made, gestures kept balanced, nothing lost when the ring is full or
// the host's list refuses.
#include <gtest/gtest.h>

#include <string>

#include "clap/edit_queue.h"

namespace {

struct Step {
    char kind;  // 'B', 'V', 'E'
    int index;
    double value;
};

std::string Text(const EditQueue::Edit& e) {
    const char kind = e.kind == EditQueue::Kind::kBegin ? 'B' : (e.kind == EditQueue::Kind::kEnd ? 'E' : 'V');
    std::string s = std::string(1, kind) + std::to_string(e.index);
    if (e.kind == EditQueue::Kind::kValue) s += "=" + std::to_string(static_cast<int>(e.value));
    return s + " ";
}

// Drains, letting the host take at most `room` edits per drain (0: all);
// everything sent, over as many drains as it takes.
std::string DrainAll(EditQueue& q, const double* latest, int room = 0) {
    std::string sent;
    for (int drains = 0; drains < 20 && q.Pending(); ++drains) {
        int taken = 0;
        q.Drain(
            [&](const EditQueue::Edit& e) {
                if (room > 0 && taken == room) return false;
                ++taken;
                sent += Text(e);
                return true;
            },
            [latest](int index) { return latest[index]; });
    }
    return sent;
}

TEST(EditQueue, SendsEditsInOrderBalancedAndLosesNoneWhenFull) {
    struct Case {
        const char* what;
        int capacity;
        int room;
        std::vector<Step> steps;
        const char* sent;
    } const cases[] = {
        {"in order", 64, 0, {{'B', 0, 0}, {'V', 0, 1}, {'V', 0, 2}, {'E', 0, 0}, {'V', 3, 5}}, "B0 V0=1 V0=2 E0 V3=5 "},
        {"balanced",
         64,
         0,
         {{'E', 1, 0}, {'B', 1, 0}, {'B', 1, 0}, {'V', 1, 1}, {'E', 1, 0}, {'E', 1, 0}},
         "B1 V1=1 E1 "},
        {"ring full",
         4,
         0,
         {{'B', 0, 0}, {'V', 0, 1}, {'V', 0, 2}, {'V', 0, 3}, {'V', 0, 4}, {'V', 0, 5}, {'E', 0, 0}},
         "B0 V0=1 V0=2 V0=3 V0=9 E0 "},
        {"ring full, gesture still open",
         2,
         0,
         {{'V', 2, 1}, {'V', 2, 2}, {'B', 0, 0}, {'V', 0, 7}},
         "V2=1 V2=2 B0 V0=9 "},
        {"host list full",
         64,
         2,
         {{'B', 0, 0}, {'V', 0, 1}, {'V', 0, 2}, {'E', 0, 0}, {'B', 1, 0}, {'E', 1, 0}},
         "B0 V0=1 V0=2 E0 B1 E1 "},
    };
    const double latest[4] = {9, 9, 9, 9};
    for (const Case& c : cases) {
        EditQueue q(4, c.capacity);
        for (const Step& s : c.steps) {
            if (s.kind == 'B') q.Begin(s.index);
            if (s.kind == 'V') q.Value(s.index, s.value);
            if (s.kind == 'E') q.End(s.index);
        }
        q.Value(7, 1.0);  // no such parameter
        EXPECT_EQ(DrainAll(q, latest, c.room), c.sent) << c.what;
        EXPECT_FALSE(q.Pending()) << c.what;
    }
}

}  // namespace
