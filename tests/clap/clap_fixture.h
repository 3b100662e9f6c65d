// Velmor.clap as a CLAP host drives it, for the CLAP tests: the module
// loaded once per test executable through its real clap_entry, and
// instances made through its factory with a host of the test's own
// (clap/host_context.h), with the calls a host makes around them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "clap/clap_module.h"
#include "clap/host_context.h"

// The module, opened at first use and kept until the process ends.
ClapModule& VelmorModule();
const clap_plugin_descriptor* VelmorDescriptor();

// Channel-major audio.
using Audio = std::vector<std::vector<float>>;
// A vocal-like test signal, different per channel, loud enough to drive
// the limiters.
Audio TestSignal(int channels, int frames);

class ClapInstance {
public:
    // create_plugin and init; the test fails when either does.
    explicit ClapInstance(ClapHostContext& host);
    // deactivate (when active) and destroy.
    ~ClapInstance();
    ClapInstance(const ClapInstance&) = delete;
    ClapInstance& operator=(const ClapInstance&) = delete;

    const clap_plugin* Get() const { return mPlugin; }
    const clap_plugin* operator->() const { return mPlugin; }
    template <typename Ext>
    const Ext* Extension(const char* id) const {
        return static_cast<const Ext*>(mPlugin->get_extension(mPlugin, id));
    }
    const clap_plugin_params* Params() const { return Extension<clap_plugin_params>(kClapExtParams); }

    // activate and start_processing.
    bool Start(double rate = 48000.0, std::uint32_t maxFrames = 512);
    // stop_processing and deactivate.
    void Stop();

    // One block through process, in place when inPlace; events go in, the
    // plug-in's events are added to sent.
    void Process(Audio& io, std::uint32_t offset, std::uint32_t frames, const ClapInputEvents& events,
                 ClapOutputEvents* sent = nullptr);
    // in through the plug-in in blocks of `block` frames (not in place).
    Audio Render(const Audio& in, std::uint32_t block = 512);

    // params.flush with these events; what the plug-in sent back.
    ClapOutputEvents Flush(const ClapInputEvents& events = ClapInputEvents());
    // One parameter set through flush.
    void Set(clap_id id, double value);
    double Value(clap_id id) const;
    clap_param_info Info(std::uint32_t index) const;

    // The state through streams of at most step bytes per call (0: any).
    std::vector<std::uint8_t> Save(std::size_t step = 0) const;
    bool Load(const std::vector<std::uint8_t>& bytes, std::size_t step = 0) const;

private:
    const clap_plugin* mPlugin = nullptr;
    bool mActive = false;
    std::int64_t mSteadyTime = 0;
};
