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
    const int sr = s.sampleRate;
    const double fs = static_cast<double>(sr);
    auto filter = [&](BiquadCascade& f, double x, double freq, int type) {
        if constexpr (kGuardEachFilter) {
            return f.Process(x, freq, kFilterQ, kFilterGainDb, fs, type, kExtraStages);
        } else {
            return f.ProcessFlushed(x, freq, kFilterQ, kFilterGainDb, fs, type, kExtraStages);
        }
    };

    for (int i = 0; i < frames; ++i) {
        const double inL = io.inL[i * io.inStepL];
        const double inR = io.inR[i * io.inStepR];

        const double p = mPowerSmoother.Process(s.power, sr, kPowerMs, kPowerLo, kPowerHi, kTolerance);
        mPowerMix = p;
        const double xL = p * inL;
        const double xR = p * inR;

        // The smoothed "Crispy" amount only fed the unheard exciter, which is
        // left out, so its smoother is too; the smoothers are independent and
        // the others' outputs do not change.
        const double gD = mDriveSmoother.Process(s.presCompGain, sr, kGlideMs, kGainLo, kGainHi, kTolerance);
        const double fL = mLowCutSmoother.Process(s.lowCutHz, sr, kGlideMs, kFreqLo, kFreqHi, kTolerance);
        const double fX = mCrossoverSmoother.Process(s.crossoverHz, sr, kGlideMs, kFreqLo, kFreqHi, kTolerance);
        const double gB = mBassSmoother.Process(s.bassGain, sr, kGlideMs, kBassLo, kBassHi, kTolerance);
        const double gF = mFinalSmoother.Process(s.finalGain, sr, kGlideMs, kGainLo, kGainHi, kTolerance);
        const double gO = mOutputSmoother.Process(s.outputGain, sr, kGlideMs, kOutputLo, kOutputHi, kTolerance);

        const double hL = filter(mLowCutL, gD * xL, fL, kHighPass);
        const double hR = filter(mLowCutR, gD * xR, fL, kHighPass);

        // Two separate filters per band, not a complementary subtraction.
        const double lowL = filter(mLowBandL, hL, fX, kLowPass);
        const double lowR = filter(mLowBandR, hR, fX, kLowPass);
        const double highL = filter(mHighBandL, hL, fX, kHighPass);
        const double highR = filter(mHighBandR, hR, fX, kHighPass);

        mLowLimiter.Process(lowL * kLowBandDrive, lowR * kLowBandDrive, kBandThreshold, s.attackBandsMs, s.releaseLowMs,
                            s.lookaheadBandsMs, sr);
        const double bL = mLowLimiter.OutL() * kLowBandTrim * gB;
        const double bR = mLowLimiter.OutR() * kLowBandTrim * gB;

        // The drive meter shows the high band after drive and low cut, before
        // its limiter.
        if (driveMeter != nullptr) {
            driveMeter->SetLevel(LargerMagnitude(highR * kDriveMeterScale, highL * kDriveMeterScale), sr);
        }

        mHighLimiter.Process(highL, highR, kBandThreshold, s.attackBandsMs, s.releaseHighMs, s.lookaheadBandsMs, sr);
        const double tL = mHighLimiter.OutL();
        const double tR = mHighLimiter.OutR();

        const double mixL = tL * gF + bL;
        const double mixR = tR * gF + bR;
        if (outputMeter != nullptr) outputMeter->SetLevel(LargerMagnitude(mixR, mixL), sr);

        mOutputLimiter.Process(mixL, mixR, kOutputThreshold, s.attackOutputMs, s.releaseOutputMs, s.lookaheadOutputMs,
                               sr);
        const double yL = gO * mOutputLimiter.OutL();
        const double yR = gO * mOutputLimiter.OutR();

        io.outL[i] = (1.0 - p) * inL + p * yL;
        io.outR[i * io.outStepR] = (1.0 - p) * inR + p * yR;
    }
}
