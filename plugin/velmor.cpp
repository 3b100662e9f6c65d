#include "plugin/velmor.h"

#include "core/plugin_factory.h"
#include "editor/editor.h"
#include "plugin/velmor_coefficients.h"

namespace {

constexpr int kVersion = 0x10100;  // 1.1.0
constexpr int kPresetCount = 1;

// Switch positions: a value at or above the middle counts as on.
bool IsOn(double v) { return v >= 0.5; }

// A four-character code packed as hosts read it ('Q' in the top byte).
constexpr int FourCC(char a, char b, char c, char d) {
    return static_cast<int>((static_cast<unsigned>(static_cast<unsigned char>(a)) << 24) |
                            (static_cast<unsigned>(static_cast<unsigned char>(b)) << 16) |
                            (static_cast<unsigned>(static_cast<unsigned char>(c)) << 8) |
                            static_cast<unsigned>(static_cast<unsigned char>(d)));
}

}  // namespace

Velmor::Velmor()
    : IEffectBase(kNumParams, "1-1 2-2", kPresetCount, "Orvane", "", "Trelowen", kVersion, FourCC('Q', 'm', '7', 'z'),
                  0, false, false, false) {
    DeclareParameters();
    BuildEditor();
    // The only slot holds the defaults, under the name "-".
    FillUnsetPresets("-", 1);
}

// The meter controls read mDriveMeter and mOutputMeter: the editor (and a
// window a host left open) goes before they do.
Velmor::~Velmor() { DestroyEditor(); }

IEditor* Velmor::EditorView() const { return static_cast<IEditor*>(Editor()); }

void Velmor::DeclareParameters() {
    GetParam(kPresComp)->SetupDouble("Pres Comp", 12.5, -5.0, 25.0, 0.01, "dB", 1.0);
    GetParam(kLowCut)->SetupBool("Low Cut", true);
    GetParam(kPresence)->SetupBool("Presence", true);
    // Declared with an empty range: the one-step minimum width makes it
    // 0..0.01 dB, so both stay (inaudibly) at 0.
    GetParam(kBass)->SetupDouble("Bass", 0.0, 0.0, 0.0, 0.01, "dB", 1.0);
    GetParam(kCrispy)->SetupDouble("Crispy", 0.0, 0.0, 0.0, 0.01, "dB", 1.0);
    GetParam(kFinalComp)->SetupDouble("Final Comp", 0.0, 0.0, 3.0, 0.01, "dB", 1.0);
    GetParam(kDbOutput)->SetupDouble("Db Output", 0.0, -30.0, 20.0, 0.01, "dB", 1.0);
    GetParam(kPower)->SetupBool("Power", true);
    IParameter* mode = GetParam(kMode);
    mode->SetupInt("Mode", 1, 0, 4, "");
    // 0 shows as "A" and selects voicing A, as 1 does.
    mode->AddDisplayText(0, "A");
    mode->AddDisplayText(1, "A");
    mode->AddDisplayText(2, "B");
    mode->AddDisplayText(3, "C");
    mode->AddDisplayText(4, "D");
    GetParam(kPLimit)->SetupBool("P Limit", true);
    GetParam(kFLimit)->SetupBool("F Limit", false);
}

void Velmor::OnReset() {
    LockGuard guard(Lock());
    mSampleRate = TruncateToInt(SampleRate());
    // Here, off the audio thread: a new rate or Mode then finds the limiters'
    // storage ready (rates past the reserve's 768 kHz are reserved as set).
    mChain.Reserve(LongestLookaheadMs(), mSampleRate);
    ChangeLatency(ChainLatencySamples(mSampleRate));
}

void Velmor::OnParameterChange(int index) {
    LockGuard guard(Lock());
    const IParameter* param = GetParam(index);
    if (!param) return;
    const double v = param->Value();
    switch (index) {
        case kPresComp:
            mPresCompGain = DbToGain(v);
            break;
        case kLowCut:
            mLowCutHz = IsOn(v) ? 80.0 : 20.0;
            break;
        case kPresence:
            mCrossoverHz = IsOn(v) ? 250.0 : 21.0;
            break;
        case kBass:
            mBassGain = DbToGain(v);
            break;
        case kCrispy:
            mCrispyAmount = CrispyAmount(v);
            break;
        case kFinalComp:
            mFinalGain = DbToGain(v);
            break;
        case kDbOutput:
            mOutputGain = DbToGain(v);
            break;
        case kMode:
            ApplyMode(v);
            break;
        case kPLimit:
            mAttackBandsMs = IsOn(v) ? 0.0 : 1.0;
            break;
        case kFLimit:
            mAttackOutputMs = IsOn(v) ? 0.0 : 1.0;
            break;
        default:  // "Power" is read by the chain directly
            break;
    }
}

void Velmor::ApplyMode(double v) {
    const int m = TruncateToInt(v);
    // The meters pick their LED colour from the Mode, including 0.
    mDriveMeter.mMode.store(m, std::memory_order_relaxed);
    mOutputMeter.mMode.store(m, std::memory_order_relaxed);
    const ModeVoicing* voicing = VoicingForMode(m);
    if (!voicing) return;
    mLookaheadBandsMs = voicing->lookaheadBandsMs;
    mLookaheadOutputMs = voicing->lookaheadOutputMs;
    mReleaseLowMs = voicing->releaseLowMs;
    mReleaseHighMs = voicing->releaseHighMs;
    mReleaseOutputMs = voicing->releaseOutputMs;
}

void Velmor::OnActiveChanged(bool active) {
    LockGuard guard(Lock());
    if (active) mStartAtTargets = true;
}

void Velmor::ProcessBlock(double** inputs, double** outputs, int frames) {
    if (frames <= 0) return;
    // Parameters cannot change inside a block (the lock is held), so reading
    // the coefficients once per block equals reading them per sample.
    const VocalChainSettings s = ChainSettings();
    // An offline render or a bounce must not start at the defaults and glide
    // to what the user set before pressing play.
    if (mStartAtTargets) {
        mChain.StartAt(s);
        mStartAtTargets = false;
    }
    mChain.Process(inputs, InputCount(), outputs, OutputCount(), frames, s, &mDriveMeter, &mOutputMeter);
}

bool Velmor::ReadMeter(int meter, IMeterReading* out) const {
    const VuLevel* level = meter == kDriveMeter ? &mDriveMeter : (meter == kOutputMeter ? &mOutputMeter : nullptr);
    if (!level || !out) return false;
    out->level = level->Level();
    out->powerOn = level->mPowerOn.load(std::memory_order_relaxed);
    out->mode = level->mMode.load(std::memory_order_relaxed);
    return true;
}

bool Velmor::ShowMeterReading(int meter, const IMeterReading& reading) {
    VuLevel* level = meter == kDriveMeter ? &mDriveMeter : (meter == kOutputMeter ? &mOutputMeter : nullptr);
    if (!level) return false;
    level->Publish(reading.level);
    level->mPowerOn.store(reading.powerOn, std::memory_order_relaxed);
    level->mMode.store(reading.mode, std::memory_order_relaxed);
    return true;
}

VocalChainSettings Velmor::ChainSettings() const {
    VocalChainSettings s;
    s.sampleRate = mSampleRate;
    s.power = GetParam(kPower)->Value();
    s.presCompGain = mPresCompGain;
    s.lowCutHz = mLowCutHz;
    s.crossoverHz = mCrossoverHz;
    s.bassGain = mBassGain;
    s.finalGain = mFinalGain;
    s.outputGain = mOutputGain;
    s.lookaheadBandsMs = mLookaheadBandsMs;
    s.lookaheadOutputMs = mLookaheadOutputMs;
    s.releaseLowMs = mReleaseLowMs;
    s.releaseHighMs = mReleaseHighMs;
    s.releaseOutputMs = mReleaseOutputMs;
    s.attackBandsMs = mAttackBandsMs;
    s.attackOutputMs = mAttackOutputMs;
    s.latencySamples = ChainLatencySamples(mSampleRate);
    return s;
}

std::unique_ptr<IEffectBase> CreatePluginInstance() { return std::make_unique<Velmor>(); }
