// The chain's latency: the wet path of every voicing and the dry path alike
// leave the longest voicing's look-ahead delay late, which is what the
// plug-in reports, and the power fade mixes the two in step.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "chain_harness.h"
#include "plugin/velmor.h"
#include "plugin/velmor_coefficients.h"
#include "vst/in_process_effect.h"

using namespace chain_test;

namespace {

const double kPi = std::acos(-1.0);

// The delays measured on the chain before it kept one latency for every
// voicing: voicing A's, twice a window of trunc(rate x 1.5 ms) less one
// sample. 8 kHz: windows of 12; 384 kHz: of 576. At 8 kHz the eight
// high-pass sections (250 Hz is no longer far below the rate) ring harder
// on their second sample than on their first, so only the onset is exact.
struct RateLatency {
    int rate;
    int latency;
    bool peakAtOnset;
};
constexpr RateLatency kLatencies[] = {
    {44100, 130, true}, {48000, 142, true}, {96000, 286, true}, {8000, 22, false}, {384000, 1150, true}};

void RunSilence(VocalChain& chain, const VocalChainSettings& s) {
    Stereo silence;
    silence.l.assign(s.sampleRate / 2, 0.0);
    silence.r = silence.l;
    RunChain(chain, s, silence, {4096});
}

// Runs silence through the chain until the smoothers and limiter gains
// rest, then one impulse at the start of a block; returns that block.
std::vector<double> ImpulseResponse(VocalChain& chain, const VocalChainSettings& s, int frames) {
    RunSilence(chain, s);
    Stereo impulse;
    impulse.l.assign(frames, 0.0);
    impulse.l[0] = 0.01;
    impulse.r = impulse.l;
    return RunChain(chain, s, impulse, {frames}).l;
}

TEST(ChainLatency, ImpulseLeavesExactlyTheReportedLatencyLateInEveryModeAndWithPowerOff) {
    for (const RateLatency& r : kLatencies) {
        EXPECT_EQ(ChainLatencySamples(r.rate), r.latency) << r.rate;
        // What a host reads once it set the rate.
        InProcessEffect effect(nullptr);
        AEffect* record = effect.Record();
        const Velmor& velmor = effect.As<Velmor>();
        record->dispatcher(record, effOpen, 0, 0, nullptr, 0.0f);
        record->dispatcher(record, effSetSampleRate, 0, 0, nullptr, static_cast<float>(r.rate));
        EXPECT_EQ(record->initialDelay, r.latency) << r.rate;
        EXPECT_EQ(velmor.ChainSettings().latencySamples, r.latency) << r.rate;

        for (char voicing : {'A', 'B', 'C', 'D', '-'}) {  // '-': voicing A with "Power" off
            VocalChainSettings s = DefaultSettings(r.rate);
            SetVoicing(s, voicing == '-' ? 'A' : voicing);
            if (voicing == '-') s.power = 0.0;
            VocalChain chain;
            const int frames = 2 * r.latency + 100;
            const std::vector<double> out = ImpulseResponse(chain, s, frames);
            int first = -1, peak = 0;
            for (int i = 0; i < frames; ++i) {
                if (first < 0 && out[i] != 0.0) first = i;
                if (std::fabs(out[i]) > std::fabs(out[peak])) peak = i;
            }
            EXPECT_EQ(first, r.latency) << r.rate << " Hz, voicing " << voicing;
            if (r.peakAtOnset) {
                EXPECT_EQ(peak, r.latency) << r.rate << " Hz, voicing " << voicing;
            }
            if (voicing == '-') {
                EXPECT_EQ(out[r.latency], 0.01) << r.rate;  // the dry input itself
            }
        }
    }
    // A new rate resizes every delay, the padding and the dry path's too.
    VocalChain chain;
    VocalChainSettings s = DefaultSettings(44100);
    SetVoicing(s, 'C');
    RunSilence(chain, s);
    SetRate(s, 96000);
    const std::vector<double> out = ImpulseResponse(chain, s, 400);
    int first = 0;
    while (first < 400 && out[first] == 0.0) ++first;
    EXPECT_EQ(first, 286);
}

// A steady sine at rate / 8 where the wet path passes it unchanged (drive,
// final and output gains 1, corners at 20 and 21 Hz: together 0.06 rad of
// phase, no limiter reaching its ceiling). During a "Power" fade the output
// is the dry sine times 1 - p plus the wet one times p and the p that faded
// its input a latency earlier. In step the two add: the output's amplitude
// is A ((1 - p) + p p'), within a fraction of a percent. A dry path off by
// the 130 or 142 samples of latency, or a wet path missing its padding of
// 116 or 126 samples, turns the wet sine by a half or a quarter cycle
// against the dry one, and the sum dips 20 % or more below that.
TEST(ChainLatency, PowerFadeMixesTheDryAndWetSignalsInStep) {
    for (const RateLatency& r : {kLatencies[0], kLatencies[1]}) {
        for (double to : {0.0, 1.0}) {
            const int sr = r.rate;
            VocalChainSettings s = DefaultSettings(sr);
            SetVoicing(s, 'D');  // the shortest look-ahead: the most padding
            s.presCompGain = 1.0;
            s.lowCutHz = 20.0;
            s.crossoverHz = 21.0;
            s.power = 1.0 - to;
            const double amplitude = 0.1;
            const int warm = 2 * sr, fade = sr / 4;
            const std::vector<double> sine = Sine(sr / 8.0, amplitude, sr, warm + fade, 0.4);
            Stereo warmIn;
            warmIn.l.assign(sine.begin(), sine.begin() + warm);
            warmIn.r = warmIn.l;
            VocalChain chain;
            RunChain(chain, s, warmIn, {512});
            ASSERT_EQ(chain.PowerMix(), 1.0 - to);

            s.power = to;
            std::vector<double> out(fade), p(fade);
            for (int i = 0; i < fade; ++i) {
                double l = sine[warm + i], rr = l, outL = 0.0, outR = 0.0;
                double* ins[2] = {&l, &rr};
                double* outs[2] = {&outL, &outR};
                chain.Process(ins, 2, outs, 2, 1, s, nullptr, nullptr);
                out[i] = outL;
                p[i] = chain.PowerMix();
            }
            double worst = 0.0;
            for (int at = 0; at + 8 <= fade; at += 8) {
                double in = 0.0, quad = 0.0, expected = 0.0;
                for (int n = 0; n < 8; ++n) {
                    in += out[at + n] * std::sin(kPi * n / 4.0);
                    quad += out[at + n] * std::cos(kPi * n / 4.0);
                    const int k = at + n;
                    const double faded = k >= r.latency ? p[k - r.latency] : 1.0 - to;
                    expected += amplitude * ((1.0 - p[k]) + p[k] * faded) / 8.0;
                }
                worst = std::fmax(worst, std::fabs(std::hypot(in, quad) / 4.0 - expected));
            }
            EXPECT_LT(worst, 0.005 * amplitude) << sr << " Hz, fading to " << to;
        }
    }
}

}  // namespace
