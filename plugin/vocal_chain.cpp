#include "plugin/vocal_chain.h"

#include <cmath>
#include <type_traits>

#include "plugin/dsp/denormal_guard.h"
#include "plugin/vu_level.h"

namespace {

constexpr double kLowBandDrive = 17.7827941;  // +25 dB into the low-band ceiling
constexpr double kLowBandTrim = 0.1;          // -20 dB after it
constexpr double kFilterQ = 0.7;
constexpr double kFilterGainDb = 0.0;
constexpr double kBandThreshold = 1.0;
constexpr double kOutputThreshold = 10.0;  // +20 dBFS: only extreme peaks
constexpr double kDriveMeterScale = 1.6;

constexpr double kTolerance = 0.01;  // in each smoother's normalised range
constexpr double kPowerMs = 25.0;
constexpr double kGlideMs = 40.0;

// Normalising ranges of the smoothers (targets outside pass unclamped).
constexpr double kPowerLo = 0.0, kPowerHi = 1.0;
constexpr double kGainLo = 1.0, kGainHi = 17.7828;  // drive and final gain
constexpr double kFreqLo = 20.0, kFreqHi = 300.0;   // low cut and crossover
constexpr double kBassLo = 0.316228, kBassHi = 3.16228;
constexpr double kOutputLo = 0.1, kOutputHi = 10.0;

// The larger of two magnitudes, the first only when strictly larger, in
// every lane of V.
template <class V>
VELMOR_ALWAYS_INLINE V LargerMagnitude(V first, V second) {
    return velmor_dsp::Max(velmor_dsp::Abs(first), velmor_dsp::Abs(second));
}

}  // namespace

struct VocalChain::Scratch {
    template <class V>
    using Coefficients = velmor_dsp::SectionCoefficients<V>[kSliceFrames];
    // A gliding corner's designs, one per sample, in the lanes of the
    // copy of the loops that runs.
    Coefficients<velmor_dsp::Lanes2> lowCut;
    Coefficients<velmor_dsp::Lanes4> split;
#if VELMOR_AVX_LOOPS
    Coefficients<velmor_dsp::Lanes4Wide> splitWide;
#endif
    template <class L4>
    velmor_dsp::SectionCoefficients<L4>* SplitIn() {
        if constexpr (std::is_same_v<L4, velmor_dsp::Lanes4>) {
            return split;
#if VELMOR_AVX_LOOPS
        } else {
            return splitWide;
#endif
        }
    }
};

VocalChain::VocalChain() : mScratch(std::make_unique<Scratch>()) {}
VocalChain::~VocalChain() = default;

void VocalChain::StartAt(const VocalChainSettings& s) {
    mPowerSmoother.JumpTo(s.power, kPowerLo, kPowerHi);
    mPowerMix = s.power;
    mDriveSmoother.JumpTo(s.presCompGain, kGainLo, kGainHi);
    mLowCutSmoother.JumpTo(s.lowCutHz, kFreqLo, kFreqHi);
    mCrossoverSmoother.JumpTo(s.crossoverHz, kFreqLo, kFreqHi);
    mBassSmoother.JumpTo(s.bassGain, kBassLo, kBassHi);
    mFinalSmoother.JumpTo(s.finalGain, kGainLo, kGainHi);
    mOutputSmoother.JumpTo(s.outputGain, kOutputLo, kOutputHi);
}

void VocalChain::Process(double* const* inputs, int nIn, double* const* outputs, int nOut, int frames,
                         const VocalChainSettings& settings, VuLevel* driveMeter, VuLevel* outputMeter) {
    if (frames <= 0 || outputs == nullptr || nOut < 1 || outputs[0] == nullptr) return;

    // Mono set-up: a missing input is one silent value that does not advance;
    // without a right output the right result is dropped.
    static const double kSilence = 0.0;
    Channels io;
    const bool hasL = inputs != nullptr && nIn >= 1 && inputs[0] != nullptr;
    const bool hasR = hasL && nIn >= 2 && inputs[1] != nullptr;
    const bool outR = nOut >= 2 && outputs[1] != nullptr;
    io.inL = hasL ? inputs[0] : &kSilence;
    io.inStepL = hasL ? 1 : 0;
    io.inR = hasR ? inputs[1] : &kSilence;
    io.inStepR = hasR ? 1 : 0;
    io.outL = outputs[0];
    io.outR = outR ? outputs[1] : nullptr;

    if (!CanRun(settings)) {
        // No rate yet, or one too low for the corner frequencies: the filter
        // design would divide by zero or turn its poles around. Pass the
        // input through.
        for (int i = 0; i < frames; ++i) {
            const double l = io.inL[i * io.inStepL];
            const double r = io.inR[i * io.inStepR];
            io.outL[i] = l;
            if (io.outR != nullptr) io.outR[i] = r;
        }
        return;
    }

    const bool on = settings.power >= 0.5;
    if (driveMeter != nullptr) driveMeter->mPowerOn.store(on, std::memory_order_relaxed);
    if (outputMeter != nullptr) outputMeter->mPowerOn.store(on, std::memory_order_relaxed);

    // The flush-to-zero mode is held around the whole block: every stage,
    // meters included, runs free of subnormals.
    const PathDelays delays = Delays(settings);
    DenormalGuard guard;
    Run(io, frames, settings, delays, driveMeter, outputMeter);
}

void VocalChain::Reserve(double maxLookaheadMs, int sampleRate) {
    const int rate = sampleRate > kReservedRate ? sampleRate : kReservedRate;
    const int length = LookaheadLimiter::LookaheadLength(maxLookaheadMs, rate);
    mLowLimiter.Reserve(length);
    mHighLimiter.Reserve(length);
    mOutputLimiter.Reserve(length);
    // The padding and the dry delay hold at most the whole path's delay (two
    // windows) plus the sample being written.
    const int delayLength = LookaheadDelay(maxLookaheadMs, maxLookaheadMs, rate) + 1;
    mPadL.Reserve(delayLength);
    mPadR.Reserve(delayLength);
    mDryL.Reserve(delayLength);
    mDryR.Reserve(delayLength);
}

int VocalChain::LookaheadDelay(double lookaheadBandsMs, double lookaheadOutputMs, int sampleRate) {
    // A window of n samples delays by n - 1; 0 and 1 do not delay.
    auto delay = [sampleRate](double ms) {
        const int n = LookaheadLimiter::LookaheadLength(ms, sampleRate);
        return n > 1 ? n - 1 : 0;
    };
    return delay(lookaheadBandsMs) + delay(lookaheadOutputMs);
}

VocalChain::PathDelays VocalChain::Delays(const VocalChainSettings& s) {
    // Settings asking for less than the voicing's own delay keep the wet
    // path as it is and delay the dry path to match it instead, so the fade
    // never mixes two moments of the input. A delay line of length d + 1
    // delays by d.
    const int wet = LookaheadDelay(s.lookaheadBandsMs, s.lookaheadOutputMs, s.sampleRate);
    const int total = s.latencySamples > wet ? s.latencySamples : wet;
    return PathDelays{total - wet + 1, total + 1};
}

bool VocalChain::CanRun(const VocalChainSettings& s) const {
    if (s.sampleRate <= 0) return false;
    // The tangent approximation of the filter design has its pole at the
    // Nyquist frequency; past it the sections turn unstable and clean input
    // becomes NaN (rates of 1, 10 or 100 Hz). A corner in this block lies
    // between a glide's current value and its target; both stay within the
    // glides' range (to 300 Hz) for every setting the plug-in makes, so the
    // chain runs above 600 Hz whatever it glides through, and a glide never
    // has to come down before the chain may run again.
    const double range = kFreqHi - kFreqLo;
    const double glides = std::fmax(mLowCutSmoother.Value(), mCrossoverSmoother.Value()) * range + kFreqLo;
    const double highest = std::fmax(std::fmax(kFreqHi, glides), std::fmax(s.lowCutHz, s.crossoverHz));
    return 2.0 * highest < static_cast<double>(s.sampleRate);
}

void VocalChain::Run(const Channels& io, int frames, const VocalChainSettings& s, const PathDelays& delays,
                     VuLevel* driveMeter, VuLevel* outputMeter) {
    // The chain runs stage by stage over short slices instead of sample by
    // sample through the whole chain. Every stage of a sample depends only on
    // earlier stages of the same sample and on its own state, so each block
    // sees exactly the same sequence of calls and the output is bit-for-bit
    // that of the per-sample order; but the small loops keep each stage's
    // state in registers and let the left and right recursions (and
    // consecutive samples of a cascade's sections) overlap in the pipeline.
    for (int done = 0; done < frames; done += kSliceFrames) {
        const int n = frames - done < kSliceFrames ? frames - done : kSliceFrames;
        Slice(io, done, n, s, delays, driveMeter, outputMeter);
    }
}

// The filters over one slice: drive, low cut and band split in one loop, the
// cascades in lanes. A corner frequency that holds still (the common case once
// the glides have settled) keeps its design for the whole slice; a gliding
// one is retuned on every sample, as each cascade is on every call.
static_assert(VocalChain::kSliceFrames <= BiquadBank<velmor_dsp::Lanes2>::kMaxBlock, "a slice is tuned in one block");

template <bool kLowCutHeld, bool kSplitHeld>
void VocalChain::FilterSlice(const double* inL, const double* inR, const double* p, const double* gD, const double* fL,
                             const double* fX, double fs, double* lowL, double* lowR, double* highL, double* highR,
                             double* driveLevels, int n) {
    using velmor_dsp::Lanes2;
    using velmor_dsp::Lanes4;
    if (kLowCutHeld) mLowCut.Tune(fL[0], kFilterQ, kFilterGainDb, fs);
    if (kSplitHeld) mBandSplit.Tune(fX[0], kFilterQ, kFilterGainDb, fs);
    // Two filter loops: the low cut's and the split's state each fit the
    // registers, which both together would not.
    velmor_dsp::RunOnActiveIsaWide([&](auto lanes) VELMOR_INLINE_LAMBDA {
        using L4 = typename decltype(lanes)::type;  // the split's four lanes
        double h[2 * kSliceFrames];
        // A gliding corner is designed for the whole slice first, four
        // designs at a time (they do not depend on the samples), so that
        // the divisions of the designs do not stand in the filters'
        // dependency chains.
        velmor_dsp::SectionCoefficients<Lanes2> heldLowCut;
        velmor_dsp::SectionCoefficients<L4> heldSplit;
        velmor_dsp::SectionCoefficients<Lanes2>* const c1 = kLowCutHeld ? &heldLowCut : mScratch->lowCut;
        velmor_dsp::SectionCoefficients<L4>* const c2 = kSplitHeld ? &heldSplit : mScratch->template SplitIn<L4>();
        if (kLowCutHeld) c1[0] = mLowCut.Coefficients();
        if (kSplitHeld) c2[0] = mBandSplit.template CoefficientsAs<L4>();
        if (!kLowCutHeld) mLowCut.template TuneBlock<L4>(fL, kFilterQ, kFilterGainDb, fs, n, c1);
        if (!kSplitHeld) mBandSplit.template TuneBlock<L4>(fX, kFilterQ, kFilterGainDb, fs, n, c2);
        auto lowCutCoef = [&](int i) VELMOR_INLINE_LAMBDA -> const velmor_dsp::SectionCoefficients<Lanes2>& {
            return c1[kLowCutHeld ? 0 : i];
        };
        auto splitCoef = [&](int i) VELMOR_INLINE_LAMBDA -> const velmor_dsp::SectionCoefficients<L4>& {
            return c2[kSplitHeld ? 0 : i];
        };
        // A held low cut runs its sections two to a register of the
        // split's width, where that is one register (not two, as Lanes4).
        using LowCutPacking = std::conditional_t<kLowCutHeld && !std::is_same_v<L4, Lanes4>, L4, Lanes2>;
        auto lowCut = mLowCut.Begin();
        lowCut.template Steps<LowCutPacking>(
            lowCutCoef, n,
            [&](int i) VELMOR_INLINE_LAMBDA { return Lanes2::Of(gD[i] * (p[i] * inL[i]), gD[i] * (p[i] * inR[i])); },
            [&](int i, Lanes2 y) VELMOR_INLINE_LAMBDA { y.Store(h + 2 * i); });
        mLowCut.End(lowCut);
        double* const lows[2] = {lowL, lowR};
        double* const highs[2] = {highL, highR};
        auto split = mBandSplit.template BeginAs<L4>();
        split.Steps(
            splitCoef, n,
            [&](int i) VELMOR_INLINE_LAMBDA {
                const Lanes2 hi = Lanes2::Load(h + 2 * i);
                return L4::Of(hi, hi);
            },
            [&](int i, L4 bands) VELMOR_INLINE_LAMBDA {
                // The low band goes into its limiter driven; the drive meter
                // shows the high band after drive and low cut, before its
                // limiter. Both work on the band's pair of lanes at once
                // (the same IEEE products as one channel at a time).
                const Lanes2 low = bands.Low() * velmor_dsp::Broadcast(kLowBandDrive, Lanes2{});
                const Lanes2 high = bands.High();
                velmor_dsp::StoreLanes(lows, i, low);
                velmor_dsp::StoreLanes(highs, i, high);
                const Lanes2 metered = high * velmor_dsp::Broadcast(kDriveMeterScale, Lanes2{});
                driveLevels[i] =
                    VuLevel::Clamp(LargerMagnitude(velmor_dsp::Lane(metered, 1), velmor_dsp::Lane(metered, 0)));
            });
        mBandSplit.EndAs(split);
    });
}

// Every slice array is written for [0, n) before it is read, but GCC cannot
// follow that through the block calls; zero-filling ~36 kB per slice only to
// quiet it would cost time on the audio path.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

void VocalChain::Slice(const Channels& io, int offset, int n, const VocalChainSettings& s, const PathDelays& delays,
                       VuLevel* driveMeter, VuLevel* outputMeter) {
    const int sr = s.sampleRate;
    const double fs = static_cast<double>(sr);
    // The inputs are read in place: the drive and the dry delay read the
    // whole slice before the last loop writes any output, so a host
    // processing in place (even with the channels crossed) is served.
    static const double kSilentSlice[kSliceFrames] = {};
    const double* inL = io.inStepL != 0 ? io.inL + offset : kSilentSlice;
    const double* inR = io.inStepR != 0 ? io.inR + offset : kSilentSlice;

    // The power mix and the glides, stepped together: the smoothers are
    // independent. The smoothed "Crispy" amount only fed the unheard
    // exciter, which is left out, so its smoother is too; the others'
    // outputs do not change.
    double p[kSliceFrames], gD[kSliceFrames], fL[kSliceFrames], fX[kSliceFrames], gB[kSliceFrames], gF[kSliceFrames],
        gO[kSliceFrames];
    ParamSmoother::Block glides[] = {
        {&mPowerSmoother, s.power, kPowerMs, kPowerLo, kPowerHi, kTolerance, p, false},
        {&mDriveSmoother, s.presCompGain, kGlideMs, kGainLo, kGainHi, kTolerance, gD, false},
        {&mLowCutSmoother, s.lowCutHz, kGlideMs, kFreqLo, kFreqHi, kTolerance, fL, false},
        {&mCrossoverSmoother, s.crossoverHz, kGlideMs, kFreqLo, kFreqHi, kTolerance, fX, false},
        {&mBassSmoother, s.bassGain, kGlideMs, kBassLo, kBassHi, kTolerance, gB, false},
        {&mFinalSmoother, s.finalGain, kGlideMs, kGainLo, kGainHi, kTolerance, gF, false},
        {&mOutputSmoother, s.outputGain, kGlideMs, kOutputLo, kOutputHi, kTolerance, gO, false},
    };
    ParamSmoother::ProcessBlocks(glides, sr, n);
    mPowerMix = p[n - 1];
    const bool lowCutHeld = glides[2].held;
    const bool crossoverHeld = glides[3].held;

    // Drive (the wet path is faded with the switch), low cut and band split
    // (two separate filters per band, not a complementary subtraction).
    double hL[kSliceFrames], hR[kSliceFrames];
    double lowL[kSliceFrames], lowR[kSliceFrames], highL[kSliceFrames], highR[kSliceFrames];
    double driveLevels[kSliceFrames], outputLevels[kSliceFrames];
    if (lowCutHeld && crossoverHeld) {
        FilterSlice<true, true>(inL, inR, p, gD, fL, fX, fs, lowL, lowR, highL, highR, driveLevels, n);
    } else if (lowCutHeld) {
        FilterSlice<true, false>(inL, inR, p, gD, fL, fX, fs, lowL, lowR, highL, highR, driveLevels, n);
    } else if (crossoverHeld) {
        FilterSlice<false, true>(inL, inR, p, gD, fL, fX, fs, lowL, lowR, highL, highR, driveLevels, n);
    } else {
        FilterSlice<false, false>(inL, inR, p, gD, fL, fX, fs, lowL, lowR, highL, highR, driveLevels, n);
    }

    // Band limiters and recombination: bL = out x trim x bass gain,
    // mix = high-band out x final gain + bL (the arrays are reused).
    LookaheadLimiter::ProcessBlockPair(mLowLimiter, lowL, lowR, lowL, lowR, s.releaseLowMs, mHighLimiter, highL, highR,
                                       hL, hR, s.releaseHighMs, n, kBandThreshold, s.attackBandsMs, s.lookaheadBandsMs,
                                       sr);
    double* mixL = highL;
    double* mixR = highR;
    using velmor_dsp::LoadFrames;
    using velmor_dsp::StoreFrames;
    velmor_dsp::ForFrames(n, [&](int i, auto v) VELMOR_INLINE_LAMBDA {
        using V = decltype(v);
        const V trim = velmor_dsp::Broadcast(kLowBandTrim, v);
        const V g = LoadFrames(gF + i, v), b = LoadFrames(gB + i, v);
        const V l = LoadFrames(hL + i, v) * g + LoadFrames(lowL + i, v) * trim * b;
        const V r = LoadFrames(hR + i, v) * g + LoadFrames(lowR + i, v) * trim * b;
        StoreFrames(l, mixL + i);
        StoreFrames(r, mixR + i);
        StoreFrames(VuLevel::Clamp(LargerMagnitude(r, l)), outputLevels + i);
    });

    // Output limiter. The meters keep their own state, so feeding them here,
    // together, is the same as feeding each where its level arises; their
    // ballistics ride along in the limiter's loop, where their recursion
    // overlaps with the limiter's.
    if (driveMeter != nullptr && outputMeter != nullptr) {
        EnvelopeFollower::SeriesPair needles = VuLevel::Ballistics(*driveMeter, *outputMeter, sr);
        mOutputLimiter.ProcessBlockAlongside(mixL, mixR, hL, hR, n, kOutputThreshold, s.attackOutputMs,
                                             s.releaseOutputMs, s.lookaheadOutputMs, sr, needles, driveLevels,
                                             outputLevels);
        needles.Finish();
        driveMeter->Publish(driveLevels[n - 1]);
        outputMeter->Publish(outputLevels[n - 1]);
    } else {
        if (driveMeter != nullptr) driveMeter->SetLevels(driveLevels, n, sr);
        if (outputMeter != nullptr) outputMeter->SetLevels(outputLevels, n, sr);
        mOutputLimiter.ProcessBlock(mixL, mixR, hL, hR, n, kOutputThreshold, s.attackOutputMs, s.releaseOutputMs,
                                    s.lookaheadOutputMs, sr);
    }

    // Output gain, the wet path padded to the chain's delay, and the wet/dry
    // fade with the dry path delayed by as much: both sides of the fade are
    // the same moment of the input. The dry delay takes the whole slice's
    // input before any output is written (a host may process in place). The
    // delays' lengths are never below 1.
    double dryL[kSliceFrames], dryR[kSliceFrames];
    mDryL.ProcessBlock(inL, dryL, n, delays.dryLength);
    mDryR.ProcessBlock(inR, dryR, n, delays.dryLength);
    velmor_dsp::ForFrames(n, [&](int i, auto v) VELMOR_INLINE_LAMBDA {
        const auto g = LoadFrames(gO + i, v);
        StoreFrames(g * LoadFrames(hL + i, v), hL + i);
        StoreFrames(g * LoadFrames(hR + i, v), hR + i);
    });
    mPadL.ProcessBlock(hL, hL, n, delays.padLength);
    mPadR.ProcessBlock(hR, hR, n, delays.padLength);
    // Without a right output its result goes to a scratch slice.
    double droppedR[kSliceFrames];
    double* const outL = io.outL + offset;
    double* const outR = io.outR != nullptr ? io.outR + offset : droppedR;
    velmor_dsp::ForFrames(n, [&](int i, auto v) VELMOR_INLINE_LAMBDA {
        const auto mix = LoadFrames(p + i, v);
        const auto dry = velmor_dsp::Broadcast(1.0, v) - mix;
        StoreFrames(dry * LoadFrames(dryL + i, v) + mix * LoadFrames(hL + i, v), outL + i);
        StoreFrames(dry * LoadFrames(dryR + i, v) + mix * LoadFrames(hR + i, v), outR + i);
    });
}
