// One way of driving Velmor, as a host of one format does: the core through
// its format-neutral exporter, or a built plug-in through its format's real
// entry point. The conformance tests (conformance_test.cpp) run against every
// driver registered in the test executable, so each format is held to the
// same parameters, texts, state, audio and latency.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class IFormatDriver {
public:
    virtual ~IFormatDriver() = default;

    // A new instance with channels inputs and outputs (1 or 2), its rate
    // set and processing started, blocks of at most maxBlock frames. False
    // (with error) when the format refuses or the plug-in cannot be made.
    virtual bool Start(double rate, int maxBlock, int channels, std::string& error) = 0;
    // Processing stops, then starts again (the host's suspend and resume).
    virtual void Suspend() = 0;
    virtual void Resume() = 0;

    // Parameters by id (0..10), normalised values.
    virtual int ParameterCount() = 0;
    virtual std::string ParameterName(int id) = 0;
    virtual void SetParameter(int id, double normalized) = 0;
    virtual double GetParameter(int id) = 0;
    // The display text of the current value; "" where the format has none.
    virtual std::string ParameterText(int id) = 0;
    // Text typed by a user, read as the format reads it into a normalised
    // value; false when it cannot be read (or the format has no such call).
    virtual bool ParseParameter(int id, const std::string& text, double* normalized) = 0;

    // frames frames of every channel, in one block (frames <= maxBlock).
    virtual void ProcessFloat(const float* const* inputs, float* const* outputs, int frames) = 0;
    // False when the format has no double-precision path.
    virtual bool ProcessDouble(const double* const* inputs, double* const* outputs, int frames) = 0;

    // The state as the format saves it: the program chunk's bytes.
    virtual std::vector<std::uint8_t> SaveState() = 0;
    virtual bool LoadState(const std::vector<std::uint8_t>& bytes) = 0;

    // The latency the format reports to its host, in samples.
    virtual int Latency() = 0;
};

struct FormatDriverEntry {
    std::string name;
    std::function<std::unique_ptr<IFormatDriver>()> make;
};

// The drivers of this test executable, in registration order.
std::vector<FormatDriverEntry>& FormatDrivers();

// Registers a driver at static initialisation: one per format's driver file.
struct RegisterFormatDriver {
    RegisterFormatDriver(const std::string& name, std::function<std::unique_ptr<IFormatDriver>()> make) {
        FormatDrivers().push_back({name, std::move(make)});
    }
};
