// Helpers for driving VocalChain the way the plug-in does: settings as the
// plug-in's hooks would fill them, signals, and block-wise runs.
#pragma once

#include <vector>

#include "plugin/vocal_chain.h"
#include "plugin/vu_level.h"

namespace chain_test {

// The coefficients after the host opened the plug-in with every parameter at
// its default: "Pres Comp" 12.5 dB, "Low Cut" on (80 Hz), "Presence" on
// (250 Hz), "Bass", "Final Comp" and "Db Output" 0 dB, "Power" on, "Mode" 1
// (voicing A), "P Limit" on (0 ms), "F Limit" off (1 ms).
VocalChainSettings DefaultSettings(int sampleRate);

// Voicings 'A'..'D' as the "Mode" hook writes them.
void SetVoicing(VocalChainSettings& s, char voicing);

struct Stereo {
    std::vector<double> l;
    std::vector<double> r;
};

std::vector<double> Sine(double freqHz, double amplitude, int sampleRate, int frames, double phase = 0.0);
// Deterministic pseudo-random signal in [-amplitude, amplitude].
std::vector<double> Noise(double amplitude, int frames, unsigned seed);

// Runs in through the chain in blocks of the given sizes (cycled until the
// signal is used up), stereo in and out unless mono is set (then only in.l
// is read and only out.l written).
Stereo RunChain(VocalChain& chain, const VocalChainSettings& s, const Stereo& in, const std::vector<int>& blocks,
                bool mono = false, VuLevel* driveMeter = nullptr, VuLevel* outputMeter = nullptr);

double PeakAbs(const std::vector<double>& v, size_t from, size_t to);

}  // namespace chain_test
