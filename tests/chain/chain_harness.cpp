#include "chain_harness.h"

#include <algorithm>
#include <cmath>

namespace chain_test {

VocalChainSettings DefaultSettings(int sampleRate) {
    VocalChainSettings s;
    s.sampleRate = sampleRate;
    s.power = 1.0;
    s.presCompGain = std::pow(10.0, 12.5 / 20.0);
    s.lowCutHz = 80.0;
    s.crossoverHz = 250.0;
    s.bassGain = 1.0;
    s.finalGain = 1.0;
    s.outputGain = 1.0;
    SetVoicing(s, 'A');
    s.attackBandsMs = 0.0;
    s.attackOutputMs = 1.0;
    return s;
}

void SetVoicing(VocalChainSettings& s, char voicing) {
    struct Voicing {
        double lookBands, lookOut, relLow, relHigh, relOut;
    };
    static const Voicing kVoicings[] = {
        {1.5, 1.5, 160, 160, 280}, {1.0, 1.0, 50, 30, 20}, {0.2, 0.2, 50, 30, 5}, {0.2, 0.2, 50, 30, 0}};
    const Voicing& v = kVoicings[voicing - 'A'];
    s.lookaheadBandsMs = v.lookBands;
    s.lookaheadOutputMs = v.lookOut;
    s.releaseLowMs = v.relLow;
    s.releaseHighMs = v.relHigh;
    s.releaseOutputMs = v.relOut;
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
