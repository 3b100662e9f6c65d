// The ports of Velmor's LV2 plug-ins, the same in the metadata, the plug-in
// and its editor: one control input per parameter, its index the
// parameter's id (so both plug-ins number them alike), then the latency, the
// meters' needles and the power lamp as control outputs, then the audio
// inputs and outputs.
#pragma once

#include <cstdint>
#include <string>

#include "core/effect_base.h"
#include "lv2/velmor_lv2_ids.h"

struct Lv2PortLayout {
    int params = 0;
    int channels = 2;

    std::uint32_t Latency() const { return static_cast<std::uint32_t>(params); }
    std::uint32_t Meter(int meter) const { return Latency() + 1 + static_cast<std::uint32_t>(meter); }
    // 1 while the chain runs with Power on (the meters' lamp), 0 when off.
    std::uint32_t PowerLamp() const { return Meter(kVelmorLv2MeterCount); }
    std::uint32_t AudioIn(int channel) const { return PowerLamp() + 1 + static_cast<std::uint32_t>(channel); }
    std::uint32_t AudioOut(int channel) const { return AudioIn(channels) + static_cast<std::uint32_t>(channel); }
    std::uint32_t Count() const { return AudioOut(channels); }
    bool IsParam(std::uint32_t port) const { return port < static_cast<std::uint32_t>(params); }
};

// A parameter's port symbol: its name in lower case, every run of other
// characters one "_" ("Pres Comp" is pres_comp).
std::string Lv2Symbol(const char* name);

// A control port's 32-bit value as the decimal number it reads as (the
// shortest text that gives back the same float): 0.005f is 0.005, not
// 0.004999999888. So a value typed, stored or automated as a decimal means
// what it means in the 64-bit formats.
double Lv2PortValue(float value);

// A host's plain value for parameter index, as a value the parameter can
// hold (stepped kinds to the nearest step, others exactly); the editor and
// the plug-in's hook follow. Lock held. False (nothing changed) for a bad
// index or a NaN.
bool ApplyLv2PortValue(IEffectBase& plugin, int index, double value);
