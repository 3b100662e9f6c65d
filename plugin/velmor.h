// Velmor: the vocal chain plug-in. Declares the eleven parameters, turns
// their values into the chain's coefficients (OnParameterChange), keeps the
// sample rate the chain runs at (OnReset) and runs the chain (ProcessBlock).
//
// It knows no plug-in format: each format's adapter wraps it (see
// core/plugin_factory.h) and reaches it through the base.
//
// Threads: both hooks run under the plug-in lock, which ProcessBlock also
// holds, so a block never sees a half-written voicing. The two meters are
// read by the editor without the lock (their fields are atomics).
#pragma once

#include "core/effect_base.h"
#include "plugin/vocal_chain.h"
#include "plugin/vu_level.h"

class IEditor;
class VuControl;

class Velmor : public IEffectBase {
public:
    enum EParams {
        kPresComp = 0,
        kLowCut,
        kPresence,
        kBass,
        kCrispy,
        kFinalComp,
        kDbOutput,
        kPower,
        kMode,
        kPLimit,
        kFLimit,
        kNumParams
    };
    // The meters ReadMeter answers for: the driven high band and the output.
    enum EMeters { kDriveMeter = 0, kOutputMeter };

    Velmor();
    ~Velmor() override;

    // Sample rate or block size set, or processing suspended: takes the
    // base's rate, truncated. Clears no filter, limiter or smoother state.
    void OnReset() override;
    // Maps one parameter's value to its coefficient.
    void OnParameterChange(int index) override;
    // Audio thread, lock held: one pointer per channel of the base (two in,
    // two out; an unconnected channel's pointer is its silent scratch).
    void ProcessBlock(double** inputs, double** outputs, int frames) override;
    // Processing starts (or stops): the next block starts at the settings of
    // the moment, with nothing gliding to them.
    void OnActiveChanged(bool active) override;
    // Window thread, no lock: the meter's atomics.
    bool ReadMeter(int meter, IMeterReading* out) const override;
    // Window thread: the meter's atomics from a reading the audio side made.
    bool ShowMeterReading(int meter, const IMeterReading& reading) override;

    // The chain's settings from the coefficients and "Power": what each
    // block runs with. Lock held (audio thread), or for tests.
    VocalChainSettings ChainSettings() const;

    // Coefficients for the chain (audio thread, lock held) and for tests.
    int SampleRateInt() const { return mSampleRate; }
    double PresCompGain() const { return mPresCompGain; }
    double LowCutHz() const { return mLowCutHz; }
    double CrossoverHz() const { return mCrossoverHz; }
    double BassGain() const { return mBassGain; }
    double CrispyAmountValue() const { return mCrispyAmount; }
    double FinalGain() const { return mFinalGain; }
    double OutputGain() const { return mOutputGain; }
    double LookaheadBandsMs() const { return mLookaheadBandsMs; }
    double LookaheadOutputMs() const { return mLookaheadOutputMs; }
    double ReleaseLowMs() const { return mReleaseLowMs; }
    double ReleaseHighMs() const { return mReleaseHighMs; }
    double ReleaseOutputMs() const { return mReleaseOutputMs; }
    double AttackBandsMs() const { return mAttackBandsMs; }
    double AttackOutputMs() const { return mAttackOutputMs; }
    // Smoothed wet/dry mix of the "Power" switch, 0..1 (1.0 when new).
    double PowerMix() const { return mChain.PowerMix(); }

    // The needle meters: the driven high band and the output. The editor's
    // meter widgets read them.
    VuLevel& DriveMeter() { return mDriveMeter; }
    VuLevel& OutputMeter() { return mOutputMeter; }
    // The editor the constructor built, and its two meter controls (owned by
    // the editor): for tools that paint it and for tests.
    IEditor* EditorView() const;
    VuControl* DriveMeterControl() const { return mDriveMeterControl; }
    VuControl* OutputMeterControl() const { return mOutputMeterControl; }

private:
    void DeclareParameters();
    // The editor's layout; ends by handing the editor to the base.
    void BuildEditor();
    void ApplyMode(double v);

    int mSampleRate = 0;
    double mPresCompGain = 0.0;
    double mLowCutHz = 0.0;
    double mCrossoverHz = 0.0;
    double mBassGain = 0.0;
    double mCrispyAmount = 0.0;
    double mFinalGain = 0.0;
    double mOutputGain = 0.0;
    // Voicing A until a Mode is chosen.
    double mLookaheadBandsMs = 1.5;
    double mLookaheadOutputMs = 1.5;
    double mReleaseLowMs = 160.0;
    double mReleaseHighMs = 160.0;
    double mReleaseOutputMs = 280.0;
    double mAttackBandsMs = 0.0;
    double mAttackOutputMs = 0.0;

    VocalChain mChain;
    // The next block starts the chain at its targets: set at construction
    // and whenever processing resumes.
    bool mStartAtTargets = true;
    VuLevel mDriveMeter;
    VuLevel mOutputMeter;
    VuControl* mDriveMeterControl = nullptr;
    VuControl* mOutputMeterControl = nullptr;
};
