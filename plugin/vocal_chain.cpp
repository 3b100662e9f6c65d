#include "plugin/vocal_chain.h"

#include <cmath>

#include "plugin/dsp/denormal_guard.h"
#include "plugin/vu_level.h"

namespace {

constexpr double kLowBandDrive = 17.7827941;  // +25 dB into the low-band ceiling
constexpr double kLowBandTrim = 0.1;          // -20 dB after it
constexpr double kFilterQ = 0.7;
constexpr double kFilterGainDb = 0.0;
constexpr int kLowPass = 0;
constexpr int kHighPass = 1;
constexpr int kExtraStages = 3;  // four sections: 48 dB per octave
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

// The larger of two magnitudes, the first only when strictly larger.
inline double LargerMagnitude(double first, double second) {
    const double a = std::fabs(first);
    const double b = std::fabs(second);
    return a > b ? a : b;
}

}  // namespace

void VocalChain::Process(double* const* inputs, int nIn, double* const* outputs, int nOut, int frames,
                         const VocalChainSettings& settings, VuLevel* driveMeter, VuLevel* outputMeter) {
    if (frames <= 0 || outputs == nullptr || nOut < 1 || outputs[0] == nullptr) return;

    // Mono set-up: a missing input is one silent value that does not advance,
    // a missing right output one discarded scratch value.
    static const double kSilence = 0.0;
    double discarded = 0.0;
    Channels io;
    const bool hasL = inputs != nullptr && nIn >= 1 && inputs[0] != nullptr;
    const bool hasR = hasL && nIn >= 2 && inputs[1] != nullptr;
    const bool outR = nOut >= 2 && outputs[1] != nullptr;
    io.inL = hasL ? inputs[0] : &kSilence;
    io.inStepL = hasL ? 1 : 0;
    io.inR = hasR ? inputs[1] : &kSilence;
    io.inStepR = hasR ? 1 : 0;
    io.outL = outputs[0];
    io.outR = outR ? outputs[1] : &discarded;
    io.outStepR = outR ? 1 : 0;

    if (settings.sampleRate <= 0) {
        // No rate yet (or a nonsensical one): the filter design would divide
        // by zero or turn its poles around. Pass the input through.
        for (int i = 0; i < frames; ++i) {
            const double l = io.inL[i * io.inStepL];
            const double r = io.inR[i * io.inStepR];
            io.outL[i] = l;
            io.outR[i * io.outStepR] = r;
        }
        return;
    }

    const bool on = settings.power >= 0.5;
    if (driveMeter != nullptr) driveMeter->mPowerOn.store(on, std::memory_order_relaxed);
    if (outputMeter != nullptr) outputMeter->mPowerOn.store(on, std::memory_order_relaxed);

    if (mScope == FloatModeScope::kPerBlock) {
        DenormalGuard guard;
        Run<false>(io, frames, settings, driveMeter, outputMeter);
    } else {
        Run<true>(io, frames, settings, driveMeter, outputMeter);
    }
}

template <bool kGuardEachFilter>
void VocalChain::Run(const Channels& io, int frames, const VocalChainSettings& s, VuLevel* driveMeter,
                     VuLevel* outputMeter) {
    // The chain runs stage by stage over short slices instead of sample by
    // sample through the whole chain. Every stage of a sample depends only on
    // earlier stages of the same sample and on its own state, so each block
    // sees exactly the same sequence of calls and the output is bit-for-bit
    // that of the per-sample order; but the small loops keep each stage's
    // state in registers and let the left and right recursions (and
    // consecutive samples of a cascade's sections) overlap in the pipeline.
    for (int done = 0; done < frames; done += kSlice) {
        const int n = frames - done < kSlice ? frames - done : kSlice;
        Slice<kGuardEachFilter>(io, done, n, s, driveMeter, outputMeter);
    }
}

template <bool kGuardEachFilter>
void VocalChain::Slice(const Channels& io, int offset, int n, const VocalChainSettings& s, VuLevel* driveMeter,
                       VuLevel* outputMeter) {
    const int sr = s.sampleRate;
    const double fs = static_cast<double>(sr);
    auto filter = [&](BiquadCascade& f, double x, double freq, int type) {
        if constexpr (kGuardEachFilter) {
            return f.Process(x, freq, kFilterQ, kFilterGainDb, fs, type, kExtraStages);
        } else {
            return f.ProcessFlushed(x, freq, kFilterQ, kFilterGainDb, fs, type, kExtraStages);
        }
    };

    // Inputs are copied first: the host may process in place.
    double inL[kSlice], inR[kSlice];
    for (int i = 0; i < n; ++i) {
        inL[i] = io.inL[(offset + i) * io.inStepL];
        inR[i] = io.inR[(offset + i) * io.inStepR];
    }

    // Power mix, then the glides. The smoothed "Crispy" amount only fed the
    // unheard exciter, which is left out, so its smoother is too; the
    // smoothers are independent and the others' outputs do not change.
    double p[kSlice], gD[kSlice], fL[kSlice], fX[kSlice], gB[kSlice], gF[kSlice], gO[kSlice];
    for (int i = 0; i < n; ++i) {
        p[i] = mPowerSmoother.Process(s.power, sr, kPowerMs, kPowerLo, kPowerHi, kTolerance);
        mPowerMix = p[i];
    }
    for (int i = 0; i < n; ++i)
        gD[i] = mDriveSmoother.Process(s.presCompGain, sr, kGlideMs, kGainLo, kGainHi, kTolerance);
    for (int i = 0; i < n; ++i) fL[i] = mLowCutSmoother.Process(s.lowCutHz, sr, kGlideMs, kFreqLo, kFreqHi, kTolerance);
    for (int i = 0; i < n; ++i) {
        fX[i] = mCrossoverSmoother.Process(s.crossoverHz, sr, kGlideMs, kFreqLo, kFreqHi, kTolerance);
    }
    for (int i = 0; i < n; ++i) gB[i] = mBassSmoother.Process(s.bassGain, sr, kGlideMs, kBassLo, kBassHi, kTolerance);
    for (int i = 0; i < n; ++i) gF[i] = mFinalSmoother.Process(s.finalGain, sr, kGlideMs, kGainLo, kGainHi, kTolerance);
    for (int i = 0; i < n; ++i) {
        gO[i] = mOutputSmoother.Process(s.outputGain, sr, kGlideMs, kOutputLo, kOutputHi, kTolerance);
    }

    // Drive (the wet path is faded with the switch) and low cut.
    double hL[kSlice], hR[kSlice];
    for (int i = 0; i < n; ++i) {
        hL[i] = filter(mLowCutL, gD[i] * (p[i] * inL[i]), fL[i], kHighPass);
        hR[i] = filter(mLowCutR, gD[i] * (p[i] * inR[i]), fL[i], kHighPass);
    }

    // Two separate filters per band, not a complementary subtraction.
    double lowL[kSlice], lowR[kSlice], highL[kSlice], highR[kSlice];
    for (int i = 0; i < n; ++i) {
        lowL[i] = filter(mLowBandL, hL[i], fX[i], kLowPass);
        lowR[i] = filter(mLowBandR, hR[i], fX[i], kLowPass);
    }
    for (int i = 0; i < n; ++i) {
        highL[i] = filter(mHighBandL, hL[i], fX[i], kHighPass);
        highR[i] = filter(mHighBandR, hR[i], fX[i], kHighPass);
    }

    // The drive meter shows the high band after drive and low cut, before
    // its limiter.
    if (driveMeter != nullptr) {
        for (int i = 0; i < n; ++i) {
            driveMeter->SetLevel(LargerMagnitude(highR[i] * kDriveMeterScale, highL[i] * kDriveMeterScale), sr);
        }
    }

    // Band limiters and recombination (reusing the band arrays for the mix).
    double* mixL = highL;
    double* mixR = highR;
    for (int i = 0; i < n; ++i) {
        mLowLimiter.Process(lowL[i] * kLowBandDrive, lowR[i] * kLowBandDrive, kBandThreshold, s.attackBandsMs,
                            s.releaseLowMs, s.lookaheadBandsMs, sr);
        lowL[i] = mLowLimiter.OutL() * kLowBandTrim * gB[i];
        lowR[i] = mLowLimiter.OutR() * kLowBandTrim * gB[i];
    }
    for (int i = 0; i < n; ++i) {
        mHighLimiter.Process(highL[i], highR[i], kBandThreshold, s.attackBandsMs, s.releaseHighMs, s.lookaheadBandsMs,
                             sr);
        mixL[i] = mHighLimiter.OutL() * gF[i] + lowL[i];
        mixR[i] = mHighLimiter.OutR() * gF[i] + lowR[i];
    }
    if (outputMeter != nullptr) {
        for (int i = 0; i < n; ++i) outputMeter->SetLevel(LargerMagnitude(mixR[i], mixL[i]), sr);
    }

    // Output limiter, output gain and the wet/dry fade.
    for (int i = 0; i < n; ++i) {
        mOutputLimiter.Process(mixL[i], mixR[i], kOutputThreshold, s.attackOutputMs, s.releaseOutputMs,
                               s.lookaheadOutputMs, sr);
        const double yL = gO[i] * mOutputLimiter.OutL();
        const double yR = gO[i] * mOutputLimiter.OutR();
        io.outL[offset + i] = (1.0 - p[i]) * inL[i] + p[i] * yL;
        io.outR[(offset + i) * io.outStepR] = (1.0 - p[i]) * inR[i] + p[i] * yR;
    }
}
