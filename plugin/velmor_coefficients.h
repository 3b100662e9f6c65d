// The arithmetic that turns Velmor's parameter values into the chain's
// coefficients: plain functions, so each formula can be checked on its own.
#pragma once

// 10^(dB/20); at or below -200 dB the gain is exactly 0 (silence, not a
// denormal-sized gain).
double DbToGain(double db);

// The "Crispy" exciter amount for a value v in dB: a quadratic Bezier through
// 0, 0.05 and 1 evaluated at b = v / 6, scaled by 6 * 0.083.
double CrispyAmount(double v);

// Look-ahead and release times (ms) of one Mode voicing.
struct ModeVoicing {
    double lookaheadBandsMs;
    double lookaheadOutputMs;
    double releaseLowMs;
    double releaseHighMs;
    double releaseOutputMs;
};

// The voicing selected by Mode m (0 and 1 "A" to 4 "D"); null for any other
// m, which the parameter's range never gives.
const ModeVoicing* VoicingForMode(int m);

// The longest look-ahead (ms) of any voicing: what the limiters' storage is
// reserved for.
double LongestLookaheadMs();

// The plug-in's latency at a sample rate (truncated, as the chain runs it):
// the largest delay any voicing's look-ahead gives, which the chain keeps
// for every voicing and with "Power" off. 0 without a rate; also 0 at the
// rates where the chain passes its input through (600 Hz and below), which
// are too low for any window longer than one sample. Any thread.
int ChainLatencySamples(int sampleRate);

// Truncates a value toward zero to an int, saturating at the int range; NaN
// gives 0. The conversions here must never be undefined, whatever a host or
// a state chunk handed in.
int TruncateToInt(double v);
