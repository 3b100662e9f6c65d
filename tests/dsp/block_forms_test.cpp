// Every block form must equal the same number of one-sample calls, bit for
// bit, state included: the chain relies on that to run stage by stage. The
// input mixes program-like values, exact ties, clipped runs, silence,
// subnormals, NaN and infinities, and runs are cut unevenly so scrubs and wraps fall inside,
// at the start and at the end of blocks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "plugin/dsp/biquad_cascade.h"
#include "plugin/dsp/delay_line.h"
#include "plugin/dsp/denormal_guard.h"
#include "plugin/dsp/envelope_follower.h"
#include "plugin/dsp/isa.h"
#include "plugin/dsp/lanes.h"
#include "plugin/dsp/lookahead_limiter.h"
#include "plugin/dsp/param_smoother.h"

namespace {

std::vector<double> Signal(int n, std::uint32_t seed) {
    std::vector<double> x(n);
    for (int i = 0; i < n; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const double r = static_cast<double>(seed >> 8) / 16777216.0 - 0.5;
        x[i] = 3.0 * r * std::sin(i * 0.01);
        // Clipped: runs of equal values, left tied in the ring once a peak
        // above them has passed.
        if (i >= 1200 && i < 1600) x[i] = std::clamp(x[i], -0.5, 0.5);
        if (i % 97 == 5) x[i] = 1.5;  // repeated exact peaks: ties in the ring
        if (i % 211 == 7) x[i] = 0.0;
        if (i % 389 == 11) x[i] = 4e-320;
        if (i >= 1700 && i < 1800) x[i] = 0.0;  // silence longer than a look-ahead window
    }
    x[300] = std::numeric_limits<double>::quiet_NaN();
    x[301] = std::numeric_limits<double>::infinity();
    x[777] = -std::numeric_limits<double>::infinity();
    for (int i = 900; i < 930; ++i) x[i] = std::numeric_limits<double>::quiet_NaN();
    return x;
}

// Uneven cuts: 1, 64, 13, 2, 64, 40, ... covering [0, total).
// Look-ahead times by run: mostly 1.5 ms, sometimes shorter, and now and
// then one (0.03 ms) or no sample at 44.1 kHz, which leave the limiter's
// positions apart.
double LookaheadForRun(int run) {
    if (run % 17 == 9) return 0.03;
    if (run % 23 == 14) return 0.0;
    return run % 11 == 6 ? 0.2 : 1.5;
}

std::vector<int> Cuts(int total) {
    const int pattern[] = {1, 64, 13, 2, 64, 40, 7, 64, 33};
    std::vector<int> cuts;
    int done = 0;
    for (int k = 0; done < total; ++k) {
        const int n = std::min(pattern[k % 9], total - done);
        cuts.push_back(n);
        done += n;
    }
    return cuts;
}

// Bit equality; any two NaNs count as equal (their payload and sign depend
// on operand order, which carries no meaning).
bool SameBits(double a, double b) {
    if (std::isnan(a) && std::isnan(b)) return true;
    return std::memcmp(&a, &b, sizeof a) == 0;
}

void ExpectSame(const std::vector<double>& a, const std::vector<double>& b) {
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        ASSERT_TRUE(SameBits(a[i], b[i])) << "sample " << i << ": " << a[i] << " vs " << b[i];
    }
}

constexpr int kTotal = 2000;

// Runs no copy of the hot loops above cap while alive; the tests that take
// it run on every instruction set (a processor without one runs the copy
// below it twice).
using velmor_dsp::Loops;
class LoopIsa {
public:
    explicit LoopIsa(Loops cap) { velmor_dsp::CapLoops(cap); }
    ~LoopIsa() { velmor_dsp::CapLoops(Loops::kAvx512); }
    LoopIsa(const LoopIsa&) = delete;
    LoopIsa& operator=(const LoopIsa&) = delete;
};

const auto kEveryIsa = ::testing::Values(Loops::kBaseline, Loops::kAvx, Loops::kAvx512);
std::string IsaName(Loops cap) { return cap == Loops::kBaseline ? "Baseline" : cap == Loops::kAvx ? "Avx" : "Avx512"; }

TEST(BlockForms, SmootherSettlesLikeOneCallAtATime) {
    // Targets change between runs so both the gliding and settled paths run.
    ParamSmoother one, block;
    std::vector<double> a, b;
    const double targets[] = {80.0, 80.0, 250.0, 21.0, 21.0, 300.0};
    int t = 0;
    for (int n : Cuts(kTotal)) {
        const double target = targets[(t++ / 5) % 6];
        double out[64];
        const bool held = block.ProcessBlock(target, 44100, 40.0, 20.0, 300.0, 0.01, out, n);
        bool allTarget = true;
        for (int i = 0; i < n; ++i) {
            a.push_back(one.Process(target, 44100, 40.0, 20.0, 300.0, 0.01));
            b.push_back(out[i]);
            allTarget = allTarget && out[i] == target;
        }
        // "Held" means one constant block; a block that reaches the target
        // only part-way is not held.
        EXPECT_EQ(held, allTarget) << "run starting at " << a.size() - n;
    }
    ExpectSame(a, b);
    EXPECT_TRUE(SameBits(one.State(), block.State()));
}

TEST(BlockForms, SmootherBlocksSideBySideEqualOneCallAtATime) {
    // Nine smoothers (more than one pass of lanes holds), each with its own
    // range, time and targets, some of them instant: whatever number of
    // them glides in a block, each equals its own calls, and held says
    // whether its block is one constant value.
    constexpr int kCount = 9;
    ParamSmoother one[kCount], block[kCount];
    std::vector<double> a[kCount], b[kCount];
    const double times[kCount] = {40.0, 25.0, 0.0, 40.0, 5.0, 40.0, 0.0, 60.0, 40.0};
    int run = 0;
    for (int n : Cuts(kTotal)) {
        double out[kCount][64];
        ParamSmoother::Block blocks[kCount];
        double targets[kCount];
        for (int k = 0; k < kCount; ++k) {
            const double lo = 1.0 + k, hi = 10.0 + 3.0 * k;
            // Each smoother moves on its own schedule, so the set of gliders
            // changes from block to block.
            targets[k] = lo + (hi - lo) * (((run / (k + 2)) * 7 + k) % 5) / 4.0;
            blocks[k] = {&block[k], targets[k], times[k], lo, hi, 0.01, out[k], false};
            for (int i = 0; i < n; ++i) a[k].push_back(one[k].Process(targets[k], 48000, times[k], lo, hi, 0.01));
        }
        ParamSmoother::ProcessBlocks(blocks, 48000, n);
        for (int k = 0; k < kCount; ++k) {
            b[k].insert(b[k].end(), out[k], out[k] + n);
            const bool allTarget = std::all_of(out[k], out[k] + n, [&](double v) { return v == targets[k]; });
            EXPECT_EQ(blocks[k].held, allTarget) << "smoother " << k << ", run " << run;
        }
        ++run;
    }
    for (int k = 0; k < kCount; ++k) {
        ExpectSame(a[k], b[k]);
        EXPECT_TRUE(SameBits(one[k].State(), block[k].State())) << k;
        EXPECT_TRUE(SameBits(one[k].Value(), block[k].Value())) << k;
    }
}

TEST(BlockForms, DelayBlocksEqualOneCallAtATime) {
    // Lengths shorter and longer than a run, changes between runs, and runs
    // in place and into another array: the block form copies where the
    // calls step, so wraps and run edges are where it could go wrong.
    const std::vector<double> x = Signal(kTotal, 5);
    const int lengths[] = {1, 2, 3, 64, 65, 200, 0, 7, 130};
    for (bool inPlace : {false, true}) {
        DelayLine one, block;
        std::vector<double> a, b;
        int pos = 0, run = 0;
        std::vector<int> cuts = Cuts(kTotal - 300);
        cuts.push_back(300);  // longer than the form's working chunk
        for (int n : cuts) {
            const int length = lengths[(run++ / 7) % 9];
            std::vector<double> in(x.begin() + pos, x.begin() + pos + n), out(n);
            for (int i = 0; i < n; ++i) a.push_back(one.Process(in[i], length));
            double* to = inPlace ? in.data() : out.data();
            block.ProcessBlock(in.data(), to, n, length);
            b.insert(b.end(), to, to + n);
            pos += n;
        }
        ExpectSame(a, b);
        EXPECT_EQ(one.Position(), block.Position()) << "in place " << inPlace;
    }
}

TEST(BlockForms, FollowerPairInLanesEqualsOneFollowerAtATime) {
    // Two followers in series for two signals (the meters' ballistics), in
    // the lanes of one register, against the same calls one at a time.
    const std::vector<double> x = Signal(kTotal, 7);
    EnvelopeFollower a1, a2, b1, b2, loneA1, loneA2, loneB1, loneB2;
    int pos = 0;
    for (int n : Cuts(kTotal)) {
        const double* xb = &x[kTotal - pos - n];
        EnvelopeFollower::SeriesPair pair(a1, a2, b1, b2, 44100, 0.0, 300.0, 300.0, 0.0);
        for (int i = 0; i < n; ++i) {
            double pa, pb;
            pair.Step(x[pos + i], xb[i], pa, pb);
            const double ea = loneA2.Process(loneA1.Process(x[pos + i], 44100, 0.0, 300.0), 44100, 300.0, 0.0);
            const double eb = loneB2.Process(loneB1.Process(xb[i], 44100, 0.0, 300.0), 44100, 300.0, 0.0);
            ASSERT_TRUE(SameBits(pa, ea)) << "lane a, sample " << pos + i;
            ASSERT_TRUE(SameBits(pb, eb)) << "lane b, sample " << pos + i;
        }
        pair.Finish();
        pos += n;
    }
    EXPECT_TRUE(SameBits(a1.Value(), loneA1.Value()) && SameBits(b2.Value(), loneB2.Value()));
}

// Five levels only: equal peaks everywhere in the ring, so rescans keep
// meeting ties, across the ring's wrap too.
std::vector<double> Levels(int n, std::uint32_t seed) {
    std::vector<double> x(n);
    for (int i = 0; i < n; ++i) {
        seed = seed * 1664525u + 1013904223u;
        x[i] = static_cast<double>((seed >> 20) % 5) * 0.25 * (i % 23 == 0 ? 4.0 : 1.0);
    }
    return x;
}

using SignalMaker = std::vector<double> (*)(int, std::uint32_t);
class LimiterBlockForm : public ::testing::TestWithParam<std::tuple<SignalMaker, Loops>> {};

TEST_P(LimiterBlockForm, IncludingTiesWrapsAndLengthChanges) {
    const LoopIsa isa(std::get<1>(GetParam()));
    // Long enough for held slots that differ only on ties to show at the
    // end of some run.
    constexpr int kLong = 10 * kTotal;
    const SignalMaker signal = std::get<0>(GetParam());
    const std::vector<double> l = signal(kLong, 11), r = signal(kLong, 12);
    // mixed alternates the two forms, so the block form often starts from a
    // ring the one-sample form has written.
    LookaheadLimiter one, block, mixed;
    std::vector<double> a, b, c;
    int pos = 0, run = 0;
    for (int n : Cuts(kLong)) {
        const double lookahead = LookaheadForRun(run);
        const bool mixedAsBlock = run++ % 3 != 0;
        double outL[64], outR[64], mixL[64], mixR[64];
        block.ProcessBlock(&l[pos], &r[pos], outL, outR, n, 1.0, 0.0, 50.0, lookahead, 44100);
        if (mixedAsBlock) mixed.ProcessBlock(&l[pos], &r[pos], mixL, mixR, n, 1.0, 0.0, 50.0, lookahead, 44100);
        for (int i = 0; i < n; ++i) {
            one.Process(l[pos + i], r[pos + i], 1.0, 0.0, 50.0, lookahead, 44100);
            if (!mixedAsBlock) {
                mixed.Process(l[pos + i], r[pos + i], 1.0, 0.0, 50.0, lookahead, 44100);
                mixL[i] = mixed.OutL();
                mixR[i] = mixed.OutR();
            }
            a.insert(a.end(), {one.OutL(), one.OutR()});
            b.insert(b.end(), {outL[i], outR[i]});
            c.insert(c.end(), {mixL[i], mixR[i]});
        }
        ASSERT_TRUE(SameBits(one.HeldPeak(), block.HeldPeak())) << "run ending at " << pos + n;
        ASSERT_TRUE(SameBits(one.HeldPeak(), mixed.HeldPeak())) << "run ending at " << pos + n;
        pos += n;
    }
    ExpectSame(a, b);
    ExpectSame(a, c);
}

INSTANTIATE_TEST_SUITE_P(BlockForms, LimiterBlockForm,
                         ::testing::Combine(::testing::Values(&Signal, &Levels), kEveryIsa), [](const auto& info) {
                             return (std::get<0>(info.param) == &Signal ? "Program" : "Levels") +
                                    IsaName(std::get<1>(info.param));
                         });

class IsaBlockForms : public ::testing::TestWithParam<Loops> {};

TEST_P(IsaBlockForms, LimiterPairKeepsEachLimitersOwnSettingsAndState) {
    const LoopIsa isa(GetParam());
    // Two limiters interleaved in one loop (a band split's two bands), each
    // with its own input and release, against each run alone.
    const std::vector<double> l1 = Signal(kTotal, 31), r1 = Signal(kTotal, 32);
    const std::vector<double> l2 = Signal(kTotal, 33), r2 = Signal(kTotal, 34);
    LookaheadLimiter oneA, oneB, pairA, pairB;
    std::vector<double> a, b;
    int pos = 0, run = 0;
    for (int n : Cuts(kTotal)) {
        const double lookahead = LookaheadForRun(run++);
        double aL[64], aR[64], bL[64], bR[64];
        LookaheadLimiter::ProcessBlockPair(pairA, &l1[pos], &r1[pos], aL, aR, 160.0, pairB, &l2[pos], &r2[pos], bL, bR,
                                           30.0, n, 1.0, 0.0, lookahead, 44100);
        for (int i = 0; i < n; ++i) {
            oneA.Process(l1[pos + i], r1[pos + i], 1.0, 0.0, 160.0, lookahead, 44100);
            oneB.Process(l2[pos + i], r2[pos + i], 1.0, 0.0, 30.0, lookahead, 44100);
            a.insert(a.end(), {oneA.OutL(), oneA.OutR(), oneB.OutL(), oneB.OutR()});
            b.insert(b.end(), {aL[i], aR[i], bL[i], bR[i]});
        }
        pos += n;
    }
    ExpectSame(a, b);
    EXPECT_TRUE(SameBits(oneA.HeldPeak(), pairA.HeldPeak()));
    EXPECT_TRUE(SameBits(oneB.HeldPeak(), pairB.HeldPeak()));
}

TEST_P(IsaBlockForms, LimiterWithFollowersAlongsideEqualsBothRunApart) {
    const LoopIsa isa(GetParam());
    const std::vector<double> l = Signal(kTotal, 41), r = Signal(kTotal, 42);
    const std::vector<double> sa = Signal(kTotal, 43), sb = Signal(kTotal, 44);
    LookaheadLimiter apart, along;
    EnvelopeFollower a1, a2, b1, b2, c1, c2, d1, d2;
    int pos = 0, run = 0;
    for (int n : Cuts(kTotal)) {
        const double lookahead = LookaheadForRun(run++);
        double outL[64], outR[64], alongL[64], alongR[64], za[64], zb[64];
        apart.ProcessBlock(&l[pos], &r[pos], outL, outR, n, 1.0, 0.0, 50.0, lookahead, 44100);
        std::copy(&sa[pos], &sa[pos] + n, za);
        std::copy(&sb[pos], &sb[pos] + n, zb);
        EnvelopeFollower::SeriesPair side(c1, c2, d1, d2, 44100, 0.0, 300.0, 300.0, 0.0);
        along.ProcessBlockAlongside(&l[pos], &r[pos], alongL, alongR, n, 1.0, 0.0, 50.0, lookahead, 44100, side, za,
                                    zb);
        side.Finish();
        for (int i = 0; i < n; ++i) {
            const double ya = a2.Process(a1.Process(sa[pos + i], 44100, 0.0, 300.0), 44100, 300.0, 0.0);
            const double yb = b2.Process(b1.Process(sb[pos + i], 44100, 0.0, 300.0), 44100, 300.0, 0.0);
            ASSERT_TRUE(SameBits(outL[i], alongL[i]) && SameBits(outR[i], alongR[i])) << "sample " << pos + i;
            ASSERT_TRUE(SameBits(ya, za[i]) && SameBits(yb, zb[i])) << "sample " << pos + i;
        }
        pos += n;
    }
    EXPECT_TRUE(SameBits(a1.Value(), c1.Value()) && SameBits(b2.Value(), d2.Value()));
    EXPECT_TRUE(SameBits(apart.HeldPeak(), along.HeldPeak()));
}

// The chain's filter banks (a stereo low cut in two lanes, a band split's
// low and high pass of both channels in four) against one scalar cascade per
// lane, on random input with NaN, infinities and subnormals, a corner that
// jumps between runs and glides within some, and a sample rate that changes:
// every output bit and the state at the end must agree.
TEST_P(IsaBlockForms, FilterBanksInLanesEqualOneCascadePerLane) {
    using velmor_dsp::Lanes2;
    using velmor_dsp::Lanes4;
    const LoopIsa isa(GetParam());
    DenormalGuard guard;
    const std::vector<double> l = Signal(kTotal, 21), r = Signal(kTotal, 22);
    BiquadBank<Lanes2> pair({1, 1});
    BiquadBank<Lanes4> split({0, 0, 1, 1});
    BiquadCascade oneL, oneR, lowL, lowR, highL, highR;
    std::uint32_t seed = 5;
    int pos = 0, run = 0;
    for (int n : Cuts(kTotal)) {
        seed = seed * 1664525u + 1013904223u;
        const double rate = run++ < 40 ? 48000.0 : 44100.0;
        const double corner = 20.0 + static_cast<double>(seed >> 8) / 16777216.0 * 280.0;
        const bool glides = (seed >> 4) % 3 == 0;
        velmor_dsp::RunOnActiveIsa([&]() VELMOR_INLINE_LAMBDA {
            auto a = pair.Begin();
            auto b = split.Begin();
            for (int i = 0; i < n; ++i) {
                const double f = glides ? corner * (1.0 + 0.001 * i) : corner;
                pair.Tune(f, 0.7, 0.0, rate);
                const Lanes2 y = a.Step(pair.Coefficients(), Lanes2::Of(l[pos + i], r[pos + i]));
                split.Tune(f, 0.7, 0.0, rate);
                const Lanes4 z = b.Step(split.Coefficients(), Lanes4::Of(y, y));
                const double hl = oneL.ProcessFlushed(l[pos + i], f, 0.7, 0.0, rate, 1, 3);
                const double hr = oneR.ProcessFlushed(r[pos + i], f, 0.7, 0.0, rate, 1, 3);
                const double expected[6] = {hl,
                                            hr,
                                            lowL.ProcessFlushed(hl, f, 0.7, 0.0, rate, 0, 3),
                                            lowR.ProcessFlushed(hr, f, 0.7, 0.0, rate, 0, 3),
                                            highL.ProcessFlushed(hl, f, 0.7, 0.0, rate, 1, 3),
                                            highR.ProcessFlushed(hr, f, 0.7, 0.0, rate, 1, 3)};
                const double got[6] = {velmor_dsp::Lane(y, 0),        velmor_dsp::Lane(y, 1),
                                       velmor_dsp::Lane(z.Low(), 0),  velmor_dsp::Lane(z.Low(), 1),
                                       velmor_dsp::Lane(z.High(), 0), velmor_dsp::Lane(z.High(), 1)};
                for (int k = 0; k < 6; ++k) {
                    ASSERT_TRUE(SameBits(got[k], expected[k])) << "lane " << k << ", sample " << pos + i;
                }
            }
            pair.End(a);
            split.End(b);
        });
        pos += n;
    }
    const auto end = split.Begin();
    for (int s = 0; s < BiquadCascade::kMaxSections; ++s) {
        EXPECT_TRUE(SameBits(velmor_dsp::Lane(end.z1[s].Low(), 0), lowL.Z1(s)));
        EXPECT_TRUE(SameBits(velmor_dsp::Lane(end.z2[s].High(), 1), highR.Z2(s)));
    }
}

// The block forms of the filter banks (the designs of a slice worked out in
// lanes, the sections skewed over the samples) against one scalar cascade
// per lane, on the same input, corners and rate changes as above.
TEST_P(IsaBlockForms, FilterBankBlocksEqualOneCascadePerLane) {
    using velmor_dsp::Lanes2;
    const LoopIsa isa(GetParam());
    DenormalGuard guard;
    const std::vector<double> l = Signal(kTotal, 23), r = Signal(kTotal, 24);
    BiquadBank<Lanes2> pair({1, 1});
    BiquadBank<velmor_dsp::Lanes4> split({0, 0, 1, 1});
    BiquadCascade oneL, oneR, lowL, lowR, highL, highR;
    std::uint32_t seed = 9;
    int pos = 0, run = 0;
    for (int n : Cuts(kTotal)) {
        seed = seed * 1664525u + 1013904223u;
        const double rate = run++ < 40 ? 48000.0 : 44100.0;
        const double corner = 20.0 + static_cast<double>(seed >> 8) / 16777216.0 * 280.0;
        const bool glides = (seed >> 4) % 3 == 0;
        double f[64], got[64][6];
        for (int i = 0; i < n; ++i) f[i] = glides ? corner * (1.0 + 0.001 * i) : corner;
        velmor_dsp::RunOnActiveIsaWide([&](auto lanes) VELMOR_INLINE_LAMBDA {
            using L4 = typename decltype(lanes)::type;
            velmor_dsp::SectionCoefficients<Lanes2> c1[64];
            velmor_dsp::SectionCoefficients<L4> c2[64];
            pair.template TuneBlock<L4>(f, 0.7, 0.0, rate, n, c1);
            split.template TuneBlock<L4>(f, 0.7, 0.0, rate, n, c2);
            auto a = pair.Begin();
            a.Steps(
                [&](int i) VELMOR_INLINE_LAMBDA -> const auto& { return c1[i]; }, n,
                [&](int i) VELMOR_INLINE_LAMBDA { return Lanes2::Of(l[pos + i], r[pos + i]); },
                [&](int i, Lanes2 y) VELMOR_INLINE_LAMBDA { y.Store(got[i]); });
            pair.End(a);
            auto b = split.template BeginAs<L4>();
            b.Steps(
                [&](int i) VELMOR_INLINE_LAMBDA -> const auto& { return c2[i]; }, n,
                [&](int i) VELMOR_INLINE_LAMBDA {
                    const Lanes2 y = Lanes2::Load(got[i]);
                    return L4::Of(y, y);
                },
                [&](int i, L4 z) VELMOR_INLINE_LAMBDA {
                    z.Low().Store(got[i] + 2);
                    z.High().Store(got[i] + 4);
                });
            split.EndAs(b);
        });
        for (int i = 0; i < n; ++i) {
            const double hl = oneL.ProcessFlushed(l[pos + i], f[i], 0.7, 0.0, rate, 1, 3);
            const double hr = oneR.ProcessFlushed(r[pos + i], f[i], 0.7, 0.0, rate, 1, 3);
            const double expected[6] = {hl,
                                        hr,
                                        lowL.ProcessFlushed(hl, f[i], 0.7, 0.0, rate, 0, 3),
                                        lowR.ProcessFlushed(hr, f[i], 0.7, 0.0, rate, 0, 3),
                                        highL.ProcessFlushed(hl, f[i], 0.7, 0.0, rate, 1, 3),
                                        highR.ProcessFlushed(hr, f[i], 0.7, 0.0, rate, 1, 3)};
            for (int k = 0; k < 6; ++k) {
                ASSERT_TRUE(SameBits(got[i][k], expected[k])) << "lane " << k << ", sample " << pos + i;
            }
        }
        pos += n;
    }
}

// The skewed loop against one Step per sample where the scrubs decide the
// bits: one NaN or infinity at each position over two scrub periods, the
// samples cut into runs of every length around the pipe's, so the scrub that
// clears it falls in short runs, in the passes that fill and drain the pipe
// and in between, with the sections side by side or packed.
TEST_P(IsaBlockForms, FilterBankStepsScrubWhereOneStepPerSampleDoes) {
    using velmor_dsp::Lanes2;
    const LoopIsa isa(GetParam());
    DenormalGuard guard;
    constexpr int kN = 80;
    const int lengths[] = {1, 2, 3, 4, 5, 6, 7, 12, 13, 64};
    const double bads[] = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()};
    for (int length : lengths) {
        for (double bad : bads) {
            for (int at = 0; at < 2 * velmor_dsp::kScrubPeriod; ++at) {
                BiquadBank<Lanes2> one({1, 0}), runs({1, 0});
                one.Tune(120.0, 0.7, 0.0, 48000.0);
                runs.Tune(120.0, 0.7, 0.0, 48000.0);
                double x[kN], want[2 * kN], got[2 * kN];
                for (int i = 0; i < kN; ++i) x[i] = std::sin(i * 0.3);
                x[at] = bad;
                // Every run in sections side by side, and (odd runs) packed
                // two to a register of four lanes.
                velmor_dsp::RunOnActiveIsaWide([&](auto lanes) VELMOR_INLINE_LAMBDA {
                    using L4 = typename decltype(lanes)::type;
                    auto a = one.Begin();
                    for (int i = 0; i < kN; ++i)
                        a.Step(one.Coefficients(), Lanes2::Of(x[i], -x[i])).Store(want + 2 * i);
                    one.End(a);
                    for (int pos = 0, k = 0; pos < kN; pos += length, ++k) {
                        auto b = runs.Begin();
                        auto coef = [&](int) VELMOR_INLINE_LAMBDA -> const auto& { return runs.Coefficients(); };
                        auto in = [&](int i) VELMOR_INLINE_LAMBDA { return Lanes2::Of(x[pos + i], -x[pos + i]); };
                        auto out = [&](int i, Lanes2 y) VELMOR_INLINE_LAMBDA { y.Store(got + 2 * (pos + i)); };
                        if (k % 2 == 0) {
                            b.Steps(coef, std::min(length, kN - pos), in, out);
                        } else {
                            b.template Steps<L4>(coef, std::min(length, kN - pos), in, out);
                        }
                        runs.End(b);
                    }
                });
                for (int k = 0; k < 2 * kN; ++k) {
                    ASSERT_TRUE(SameBits(got[k], want[k])) << "runs of " << length << ", " << bad << " at " << at
                                                           << ": lane " << k % 2 << ", sample " << k / 2;
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(BlockForms, IsaBlockForms, kEveryIsa, [](const auto& info) { return IsaName(info.param); });

}  // namespace
