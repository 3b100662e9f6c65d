// Helpers for driving VocalChain the way the plug-in does: settings as the
// plug-in's hooks would fill them, signals, and block-wise runs.
#pragma once

#include <vector>

#include "plugin/vocal_chain.h"
#include "plugin/vu_level.h"

namespace chain_test {

// The chain's settings as Velmor's own hooks make them, after the host
// opened it with every parameter at its default ("Pres Comp" 12.5 dB, "Low
// Cut" and "Presence" on, "Mode" 1, "P Limit" on, "F Limit" off) and set
// the rate. Tests compare what the chain does with these against numbers
// worked out by hand, so a wrong mapping or voicing in the plug-in fails
// them: the harness keeps no copy of either.
VocalChainSettings DefaultSettings(int sampleRate);

// Sets the rate and, with it, the latency the plug-in gives the chain there.
void SetRate(VocalChainSettings& s, int sampleRate);

// The voicing fields of s as Velmor's Mode hook writes them for 'A'..'D'
// (Mode 1..4); the rest of s stays.
void SetVoicing(VocalChainSettings& s, char voicing);

// Settings from Velmor with one parameter set to a real value (an index of
// Velmor::EParams) on top of the defaults.
VocalChainSettings SettingsWith(int sampleRate, int index, double value);

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
