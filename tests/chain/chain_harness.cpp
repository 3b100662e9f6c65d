#include "chain_harness.h"

#include <algorithm>
#include <cmath>

#include "plugin/velmor.h"
#include "plugin/velmor_coefficients.h"

namespace chain_test {

VocalChainSettings SettingsWith(int sampleRate, int index, double value) {
    // No host: the hooks need none, and nothing here asks one.
    Velmor velmor;
    for (int i = 0; i < velmor.ParamCount(); ++i) velmor.OnParameterChange(i);  // as a host's open does
    if (IParameter* param = velmor.GetParam(index)) {
        param->SetClamped(value);
        velmor.OnParameterChange(index);
    }
    VocalChainSettings s = velmor.ChainSettings();
    // The reset hook only truncates the host's rate (the plug-in tests check
    // it), so the rate is set here directly, whatever its size.
    SetRate(s, sampleRate);
    return s;
}

VocalChainSettings DefaultSettings(int sampleRate) {
    // One instance for all defaults: tests ask for them at many rates.
    static const VocalChainSettings kDefaults = SettingsWith(0, -1, 0.0);
    VocalChainSettings s = kDefaults;
    SetRate(s, sampleRate);
    return s;
}

void SetRate(VocalChainSettings& s, int sampleRate) {
    s.sampleRate = sampleRate;
    s.latencySamples = ChainLatencySamples(sampleRate);
}

void SetVoicing(VocalChainSettings& s, char voicing) {
    const VocalChainSettings v = SettingsWith(s.sampleRate, Velmor::kMode, voicing - 'A' + 1);
    s.lookaheadBandsMs = v.lookaheadBandsMs;
    s.lookaheadOutputMs = v.lookaheadOutputMs;
    s.releaseLowMs = v.releaseLowMs;
    s.releaseHighMs = v.releaseHighMs;
    s.releaseOutputMs = v.releaseOutputMs;
}

std::vector<double> Sine(double freqHz, double amplitude, int sampleRate, int frames, double phase) {
    std::vector<double> v(frames);
    for (int i = 0; i < frames; ++i) v[i] = amplitude * std::sin(6.283185307179586 * freqHz * i / sampleRate + phase);
    return v;
}

std::vector<double> Noise(double amplitude, int frames, unsigned seed) {
    std::vector<double> v(frames);
    unsigned x = seed ? seed : 1u;
    for (int i = 0; i < frames; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        v[i] = amplitude * (static_cast<double>(x) / 2147483648.0 - 1.0);
    }
    return v;
}

Stereo RunChain(VocalChain& chain, const VocalChainSettings& s, const Stereo& in, const std::vector<int>& blocks,
                bool mono, VuLevel* driveMeter, VuLevel* outputMeter) {
    const int frames = static_cast<int>(in.l.size());
    Stereo out;
    out.l.assign(frames, 0.0);
    out.r.assign(frames, 0.0);
    int pos = 0;
    size_t b = 0;
    while (pos < frames) {
        const int n = std::min(blocks[b++ % blocks.size()], frames - pos);
        double* inputs[2] = {const_cast<double*>(in.l.data()) + pos,
                             in.r.empty() ? nullptr : const_cast<double*>(in.r.data()) + pos};
        double* outputs[2] = {out.l.data() + pos, out.r.data() + pos};
        chain.Process(inputs, mono ? 1 : 2, outputs, mono ? 1 : 2, n, s, driveMeter, outputMeter);
        pos += n;
    }
    return out;
}

double PeakAbs(const std::vector<double>& v, size_t from, size_t to) {
    double peak = 0.0;
    for (size_t i = from; i < to && i < v.size(); ++i) peak = std::max(peak, std::fabs(v[i]));
    return peak;
}

}  // namespace chain_test
