// The plug-in's per-sample signal path: input drive, an eighth-order low cut,
// an eighth-order split into a low and a high band, a linked look-ahead
// limiter per band (the low band driven 25 dB into its ceiling and trimmed
// 20 dB after it), recombination with the high-band gain, a look-ahead output
// limiter, the output gain and a wet/dry fade driven by the smoothed power
// switch. It owns every block it runs by value; nothing is ever reset, so
// settings and sample-rate changes glide through the blocks' caches.
#pragma once

#include <memory>

#include "plugin/dsp/biquad_cascade.h"
#include "plugin/dsp/delay_line.h"
#include "plugin/dsp/lookahead_limiter.h"
#include "plugin/dsp/param_smoother.h"

class VuLevel;

// The plug-in's processing coefficients, read once per block. Gains are
// linear, frequencies in Hz, times in ms. The defaults are the plug-in's
// constructor values (voicing A, gains and frequencies 0).
struct VocalChainSettings {
    int sampleRate = 0;  // Hz, truncated; 0 until the host sets a rate
    double power = 1.0;  // value of the "Power" switch, 0 or 1
    double presCompGain = 0.0;
    double lowCutHz = 0.0;
    double crossoverHz = 0.0;
    double bassGain = 0.0;
    double finalGain = 0.0;
    double outputGain = 0.0;
    double lookaheadBandsMs = 1.5;
    double lookaheadOutputMs = 1.5;
    double releaseLowMs = 160.0;
    double releaseHighMs = 160.0;
    double releaseOutputMs = 280.0;
    double attackBandsMs = 0.0;
    double attackOutputMs = 0.0;
    // The delay the chain keeps whatever the voicing (the longest voicing's
    // look-ahead delay at this rate, which the plug-in reports as its
    // latency): the wet path of a shorter voicing is padded to it and the
    // dry path of the power mix is delayed by it, so both stay aligned. 0
    // when there is no rate.
    int latencySamples = 0;
};

class VocalChain {
public:
    VocalChain();
    ~VocalChain();
    VocalChain(const VocalChain&) = delete;
    VocalChain& operator=(const VocalChain&) = delete;

    // Audio thread, under the plug-in lock. Runs frames samples from inputs
    // to outputs (which may be the same buffers). nIn and nOut are the
    // channel counts of the two pointer arrays, 1 or 2: with one input the
    // right path runs on silence, with one output the right result is
    // dropped. While the chain cannot run (settings.sampleRate 0 or
    // negative, or not above twice the highest corner frequency the glides
    // can reach: 600 Hz for the plug-in's settings) the input is copied
    // through unchanged and no state moves. Otherwise the output, wet and
    // dry alike, is settings.latencySamples late (the voicing's own delay
    // where settings ask for less). The meters (may be null) get one level
    // per sample, undelayed, and the power state.
    void Process(double* const* inputs, int nIn, double* const* outputs, int nOut, int frames,
                 const VocalChainSettings& settings, VuLevel* driveMeter, VuLevel* outputMeter);

    // Not on the audio thread (construction, a sample-rate change): makes
    // room in the three limiters, the wet path's padding and the dry path's
    // delay for look-ahead times up to maxLookaheadMs at every rate up to the
    // larger of sampleRate and kReservedRate, so that the audio thread never
    // allocates for a new rate or Mode within them.
    void Reserve(double maxLookaheadMs, int sampleRate);

    // Samples by which the wet path is late with these look-ahead times: the
    // band limiters run side by side and the output limiter follows, each
    // delaying by its window length less one. Any thread.
    static int LookaheadDelay(double lookaheadBandsMs, double lookaheadOutputMs, int sampleRate);
    static constexpr int kReservedRate = 768000;

    // Frames per stage-by-stage pass: long enough that each stage's set-up
    // is spread thin. The arrays passed from stage to stage stay on the
    // stack (about 60 kB at most, where the compiler sees that nothing else
    // writes them); a gliding corner's designs, as large again, are kept in
    // the chain's scratch.
    static constexpr int kSliceFrames = 256;

    // Audio thread, under the plug-in lock, before a block: every smoother
    // and the power mix stand at their targets in settings, so the block
    // starts with the settings made while nothing played instead of gliding
    // to them. No other state changes.
    void StartAt(const VocalChainSettings& settings);

    // Last smoothed power value, 0..1 (1.0 before the first sample).
    double PowerMix() const { return mPowerMix; }

private:
    // Channel pointers of one block. An input step of 0 holds a pointer on
    // one silent value; outR is null when the right result is dropped.
    struct Channels {
        const double* inL;
        const double* inR;
        double* outL;
        double* outR;
        int inStepL;
        int inStepR;
    };

    // Delay-line lengths of one block: the wet path's padding and the dry
    // path's delay.
    struct PathDelays {
        int padLength;
        int dryLength;
    };

    // False when the filters cannot be designed at this rate.
    bool CanRun(const VocalChainSettings& s) const;
    static PathDelays Delays(const VocalChainSettings& s);

    void Run(const Channels& io, int frames, const VocalChainSettings& s, const PathDelays& delays, VuLevel* driveMeter,
             VuLevel* outputMeter);
    void Slice(const Channels& io, int offset, int n, const VocalChainSettings& s, const PathDelays& delays,
               VuLevel* driveMeter, VuLevel* outputMeter);
    template <bool kLowCutHeld, bool kSplitHeld>
    void FilterSlice(const double* inL, const double* inR, const double* p, const double* gD, const double* fL,
                     const double* fX, double fs, double* lowL, double* lowR, double* highL, double* highR,
                     double* driveLevels, int n);

    // A slice's designs of gliding corners, allocated with the chain. Audio
    // thread only.
    struct Scratch;
    std::unique_ptr<Scratch> mScratch;

    double mPowerMix = 1.0;

    ParamSmoother mPowerSmoother;
    ParamSmoother mDriveSmoother;
    ParamSmoother mLowCutSmoother;
    ParamSmoother mCrossoverSmoother;
    ParamSmoother mBassSmoother;
    ParamSmoother mFinalSmoother;
    ParamSmoother mOutputSmoother;

    // The low cut of both channels (high-pass, type 1), and the band split's
    // low and high pass (types 0 and 1) of both channels: lanes left, right
    // (, left, right). Four sections each: 48 dB per octave.
    BiquadBank<velmor_dsp::Lanes2> mLowCut{{1, 1}};
    BiquadBank<velmor_dsp::Lanes4> mBandSplit{{0, 0, 1, 1}};

    LookaheadLimiter mLowLimiter;
    LookaheadLimiter mHighLimiter;
    LookaheadLimiter mOutputLimiter;

    // The wet path's padding up to the chain's delay and the dry path's
    // delay by it. Both run on every sample, with silence on the right in
    // mono, so that they hold the recent signal whatever the channel set-up.
    DelayLine mPadL;
    DelayLine mPadR;
    DelayLine mDryL;
    DelayLine mDryR;
};
