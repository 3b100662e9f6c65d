// Host-independent records the base exchanges with its adapter.
#pragma once

#include <cstdint>

// Transport record filled by HostTimeInfo.
struct ITimeInfo {
    double tempo = 0;  // beats per minute
    double samplePosition = 0;
    double ppqPosition = 0;
    double lastBar = 0;  // quarter-note position of the last bar start
    double cycleStart = 0;
    double cycleEnd = 0;
    std::int32_t numerator = 0;
    std::int32_t denominator = 0;
    bool transportPlaying = false;
    bool transportLooping = false;
};

struct IMidiMessage {
    std::int32_t frameOffset = 0;
    std::uint8_t status = 0;
    std::uint8_t data1 = 0;
    std::uint8_t data2 = 0;
};

struct ISysExMessage {
    std::int32_t frameOffset = 0;
    std::int32_t size = 0;
    const std::uint8_t* bytes = nullptr;
};

// Pointer-event modifier flags, in this order.
struct IMouseMods {
    bool left = false;
    bool right = false;
    bool shift = false;
    bool control = false;
    bool alt = false;
};
